#!/bin/sh
# Writes the Windows release zip from a cross build.
#
#   scripts/package-windows.sh BUILD_DIR ZIP
#
# The zip holds the programs (talvine.exe and talvine-cli.exe), the README and the licence notices of what is linked into
# them: zlib, the mingw-w64 runtime (with winpthreads), the GCC runtime
# libraries, and fdlibm's notice for the portable sine and cosine.
set -eu
build=$1
zip=$2
version=$(basename "$zip" .zip)
stage=$build/package/$version
rm -rf "$build/package"
mkdir -p "$stage/licenses"
cp "$build/talvine.exe" "$build/talvine-cli.exe" "$stage/"
# Windows' own editor shows CRLF line ends.
sed 's/$/\r/' packaging/windows/README.txt > "$stage/README.txt"
crlf() { sed 's/$/\r/' "$1" > "$2"; }
crlf /usr/share/doc/libz-mingw-w64-dev/copyright "$stage/licenses/zlib.txt"
crlf /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/mingw-w64.txt"
crlf /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc-runtime.txt"
sed -n '/^\/\/ ====/,/^\/\/ ====/s#^// \{0,1\}##p' util/Maths.cpp | sed 's/$/\r/' > "$stage/licenses/fdlibm.txt"
mkdir -p "$(dirname "$zip")"
rm -f "$zip"
zipabs=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
(cd "$build/package" && cmake -E tar cf "$zipabs" --format=zip "$version")
echo "Wrote $zip"
