#!/bin/sh
# Configures a build folder by its preset of CMakePresets.json.
#
#   scripts/configure.sh PRESET BUILD_DIR [CMAKE_ARGS...]
#
# BUILD_DIR is the preset's folder. Every preset builds with Ninja. A
# folder that was configured before with another generator (Unix
# Makefiles, which this script chose when Ninja was not installed) is
# configured afresh, so that the Makefile's targets keep running in any
# order in one checkout: its cache is removed, whether it builds the tests
# is kept, and its programs are built anew.
set -eu
preset=$1
dir=$2
shift 2
cache=$dir/CMakeCache.txt
if [ -f "$cache" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
  echo "configure: $dir was made by another generator; configuring it afresh for Ninja"
  tests=$(sed -n 's/^TALVINE_BUILD_TESTS:BOOL=//p' "$cache")
  rm -rf "$cache" "$dir/CMakeFiles"
  if [ -n "$tests" ]; then
    set -- "-DTALVINE_BUILD_TESTS=$tests" "$@"
  fi
fi
exec cmake --preset "$preset" "$@"
