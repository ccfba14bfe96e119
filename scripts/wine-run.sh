#!/bin/sh
# Runs a Windows console program under Wine, for the tests of a cross build.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
#
# The Wine prefix is the folder "wineprefix" beside the program (the top of
# its build folder), or $WINEPREFIX when that is set; it is made on first use.
# No display is needed: console programs run without one. Wine gets a
# UTF-8 locale whatever the caller's (scripts/utf8-locale.sh).
set -eu
. "$(dirname "$0")/utf8-locale.sh"
prog=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(cd "$(dirname "$prog")" && pwd)/wineprefix
fi
export WINEPREFIX
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # One first start at a time; the others wait for it.
  flock "$WINEPREFIX/.init.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1'
fi
exec "$wine" "$prog" "$@"
