# The Debian package (make package, or cpack -G DEB in the build folder):
# talvine_VERSION_ARCH.deb with the files of make install below /usr.
set(CPACK_PACKAGE_NAME talvine)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Talvine")
set(CPACK_PACKAGE_CONTACT "Talvine maintainers <talvine@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns the dimensions of Jw_cad drawings into plain lines, texts and points")
set(CPACK_PACKAGE_DESCRIPTION
    "Talvine reads Jw_cad drawing files (.jww) and figure files (.jws), dissolves\n"
    "every dimension into the lines, texts and points it is made of, and writes\n"
    "the result as a new file of the same format and version. It never\n"
    "overwrites a file. It comes as a window (talvine), which takes files\n"
    "dropped on it or opened with it from a file manager, and as a\n"
    "command-line tool (talvine-cli).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # talvine_1.10.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt 6, zlib, the C++ run-time) as
# dpkg-shlibdeps finds them; besides them the window needs Qt's platform
# plugins and a Japanese font, and likes Qt's translations.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-japanese-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
