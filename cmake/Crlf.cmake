# Writes a text file with Windows line ends (CRLF), which Windows' own
# editor shows.
#
#   cmake -DIN=FILE -DOUT=FILE [-DNOTICE=ON] -P Crlf.cmake
#
# With NOTICE, only the notice at the top of the source file IN is written:
# its comment lines from one line "// ====..." to the next, without their
# "// ".
file(READ "${IN}" text)
if(NOTICE)
  string(REGEX MATCH "// =+\n(//([^=\n][^\n]*)?\n)*// =+\n" text "${text}")
  if(text STREQUAL "")
    message(FATAL_ERROR "${IN} has no notice between lines of \"// ====\"")
  endif()
  string(REGEX REPLACE "\n// ?" "\n" text "\n${text}")
  string(SUBSTRING "${text}" 1 -1 text)
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
