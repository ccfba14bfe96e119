#!/bin/sh
# Compares the conversions and --info reports of generated drawings and
# figures made by the native build and by the Windows build under Wine.
#
#   scripts/cross-build-check.sh NATIVE_BUILD WINDOWS_BUILD
set -eu
native=$1
windows=$2
abs() { case $1 in /*) echo "$1" ;; *) echo "$(pwd)/$1" ;; esac; }
a=$(abs "$native")/cross-build-report.txt
b=$(abs "$windows")/cross-build-report.txt
rm -f "$a" "$b"
# The tests labelled cross-build write the report; CTest runs the Windows
# build's under Wine.
TALVINE_CROSS_BUILD_REPORT=$a ctest --test-dir "$native" -L cross-build --no-tests=error --output-on-failure
TALVINE_CROSS_BUILD_REPORT=$b ctest --test-dir "$windows" -L cross-build --no-tests=error --output-on-failure
if cmp -s "$a" "$b"; then
  echo "cross-build check: $(wc -l < "$a") report lines, identical on both builds"
else
  echo "cross-build check: the builds differ" >&2
  diff "$a" "$b" | cut -c1-300 | head -20 >&2
  exit 1
fi
