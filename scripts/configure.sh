#!/bin/sh
# Configures a CMake build folder.
#
#   scripts/configure.sh BUILD_DIR [CMAKE_ARGS...]
#
# The generator is chosen once, when the folder is first configured: Ninja
# when it is installed at that moment, else Unix Makefiles. A folder that
# was configured before keeps the generator it was made with, so the
# Makefile's targets can run in any order in one checkout.
set -eu
dir=$1
shift
if [ -f "$dir/CMakeCache.txt" ]; then
  exec cmake -S . -B "$dir" "$@"
elif command -v ninja >/dev/null 2>&1; then
  exec cmake -S . -B "$dir" -G Ninja "$@"
else
  exec cmake -S . -B "$dir" "$@"
fi
