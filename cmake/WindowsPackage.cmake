# The Windows release zip (make windows, or cpack in the cross build's
# folder): talvine-VERSION-windows-x64.zip, whose one folder of that name
# holds the programs, the README, the two examples and, in licenses/, the notices of what is
# linked into them: zlib, the mingw-w64 runtime (with winpthreads), the GCC
# runtime libraries, and fdlibm's for the portable sine and cosine. The
# texts get Windows line ends.
set(zip_texts ${PROJECT_BINARY_DIR}/zip-texts)

# Writes OUT (below zip_texts) from IN with Windows line ends; more
# arguments go to cmake/Crlf.cmake.
function(talvine_zip_text out in)
  add_custom_command(OUTPUT ${zip_texts}/${out}
    COMMAND ${CMAKE_COMMAND} -DIN=${in} -DOUT=${zip_texts}/${out} ${ARGN} -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Crlf.cmake
    DEPENDS ${in} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Crlf.cmake VERBATIM)
endfunction()

# The README in Japanese and English: UTF-8 with a byte-order mark.
talvine_zip_text(README.txt ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt -DBOM=ON)
talvine_zip_text(licenses/fdlibm.txt ${PROJECT_SOURCE_DIR}/util/Maths.cpp -DNOTICE=ON)
talvine_zip_text(licenses/gcc-runtime.txt /usr/share/doc/gcc-mingw-w64-base/copyright)
talvine_zip_text(licenses/mingw-w64.txt /usr/share/doc/mingw-w64-x86-64-dev/copyright)
talvine_zip_text(licenses/zlib.txt /usr/share/doc/libz-mingw-w64-dev/copyright)
talvine_zip_text(licenses/fmt.txt /usr/share/doc/libfmt-dev/copyright)
talvine_zip_text(licenses/fast_float.txt /usr/share/doc/libfast-float-dev/copyright)
set(licenses fdlibm gcc-runtime mingw-w64 zlib fmt fast_float)
list(TRANSFORM licenses PREPEND ${zip_texts}/licenses/)
list(TRANSFORM licenses APPEND .txt)
add_custom_target(talvine-zip-texts ALL DEPENDS ${zip_texts}/README.txt ${licenses})

# The folder is installed as a folder of its own, so that the zip holds an
# entry for it too.
set(CPACK_PACKAGE_FILE_NAME talvine-${PROJECT_VERSION}-windows-x64)
set(folder ${CPACK_PACKAGE_FILE_NAME})
install(TARGETS talvine talvine-cli RUNTIME DESTINATION ${folder})
install(FILES ${zip_texts}/README.txt DESTINATION ${folder})
install(FILES ${licenses} DESTINATION ${folder}/licenses)
# A drawing and a figure to try it on.
install(FILES ${PROJECT_SOURCE_DIR}/examples/plan.jww ${PROJECT_SOURCE_DIR}/examples/door.jws
        DESTINATION ${folder}/examples)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME talvine)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
