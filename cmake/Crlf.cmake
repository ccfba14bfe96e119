# Writes a text file with Windows line ends (CRLF), which Windows' own
# editor shows.
#
#   cmake -DIN=FILE -DOUT=FILE [-DNOTICE=ON] [-DBOM=ON] -P Crlf.cmake
#
# With BOM, the file begins with UTF-8's byte-order mark, by which every
# Notepad, old ones too, reads it as UTF-8.
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
if(BOM)
  string(ASCII 239 187 191 bom)
  set(text "${bom}${text}")
endif()
file(WRITE "${OUT}" "${text}")
