#!/usr/bin/env bash
# Starts the Windows window talvine.exe under Wine on a virtual X display,
# as a user would by dropping two files on it: with the example drawing and
# figure on its command line. Checks that both are converted onto the Wine
# user's desktop and that the settings file beside the program has its 15
# lines, and saves a picture of the window (with its log).
#
#   scripts/wine-window.sh BUILD_WINDOWS [OUT.png]
#
# Uses the Wine prefix of the build folder (BUILD_WINDOWS/wineprefix), as
# the tests do. Needs Xvfb (exit status 77 without it) and, for the picture,
# ImageMagick's import. Wine gets a UTF-8 locale whatever the caller's
# (scripts/utf8-locale.sh), so that the Japanese folder name reaches it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/xvfb.sh"
. "$root/scripts/utf8-locale.sh"
build=$(cd "${1:?usage: wine-window.sh BUILD_WINDOWS [OUT.png]}" && pwd)
out=${2:-}
command -v Xvfb >/dev/null || { echo "wine-window: no Xvfb (apt-get install xvfb)" >&2; exit 77; }
[ -f "$build/talvine.exe" ] || { echo "wine-window: no $build/talvine.exe; build first (make build-windows)" >&2; exit 1; }

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.init.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1'
fi

work=$(mktemp -d /tmp/talvine-wine.XXXXXX)
xvfb="" app=""
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The program in a folder of its own (its settings file goes beside it), the
# drawings in a folder with a Japanese name.
mkdir -p "$work/Talvine" "$work/図面"
cp "$build/talvine.exe" "$work/Talvine/"
cp "$root/examples/plan.jww" "$root/examples/door.jws" "$work/図面/"

# The desktop folder Wine gives this user, as a path here.
desktop_win=$(unset DISPLAY; "$wine" cmd /c 'echo %USERPROFILE%\Desktop' 2>/dev/null | tr -d '\r')
desktop=$(winepath -u "$desktop_win" 2>/dev/null)
# A Wine session started without a display (the tests') cannot show windows:
# this one starts afresh.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
mkdir -p "$desktop"
rm -f "$desktop/plan.jww" "$desktop/door.jws"

start_xvfb wine-window 140 180 800x600

# Wine's own desktop window draws the frame and caption (there is no window
# manager on the virtual display).
DISPLAY="$display" "$wine" explorer /desktop=talvine,560x540 \
  "$work/Talvine/talvine.exe" "$(winepath -w "$work/図面/plan.jww")" "$(winepath -w "$work/図面/door.jws")" \
  >"$work/wine.log" 2>&1 &
app=$!
for _ in $(seq 600); do
  [ -f "$desktop/plan.jww" ] && [ -f "$desktop/door.jws" ] && [ -f "$work/Talvine/talvine.dat" ] && break
  sleep 0.1
done
status=0
for f in plan.jww door.jws; do
  [ -f "$desktop/$f" ] || { echo "wine-window: $f was not converted onto the desktop ($desktop)" >&2; status=1; }
done
if [ ! -f "$work/Talvine/talvine.dat" ]; then
  echo "wine-window: no settings file beside the program" >&2; status=1
elif [ "$(tr -cd '\n' < "$work/Talvine/talvine.dat" | wc -c)" != 15 ]; then
  echo "wine-window: the settings file has $(tr -cd '\n' < "$work/Talvine/talvine.dat" | wc -c) lines, not 15" >&2; status=1
fi
if [ -n "$out" ]; then
  sleep 1.5  # the last log line and the switch to the log tab are painted
  mkdir -p "$(dirname "$out")"
  # The window with its frame: the desktop around it trimmed away.
  import -display "$display" -window root -crop 560x540+0+0 +repage "$work/desktop.png"
  convert "$work/desktop.png" -fuzz 3% -trim +repage "$out"
  echo "wine-window: $out"
fi
rm -f "$desktop/plan.jww" "$desktop/door.jws"
kill "$app" 2>/dev/null || true
app=""
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
[ "$status" = 0 ] && echo "wine-window: both files converted onto the desktop; 15 lines of settings"
exit "$status"
