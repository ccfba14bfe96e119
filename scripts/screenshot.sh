#!/usr/bin/env bash
# Converts the two examples in the window, as a user would by starting it
# with files, under a virtual X display, and saves a picture of the window
# with its log as docs/window.png (or the file named as the first argument).
#
#   BUILD=build scripts/screenshot.sh [OUT.png]
#
# Needs Xvfb and ImageMagick's import (make screenshot installs them).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/xvfb.sh"
build=$(cd "${BUILD:-$root/build}" && pwd)
out=${1:-$root/docs/window.png}
[ -x "$build/talvine" ] || { echo "screenshot: no $build/talvine; build first (make build)" >&2; exit 1; }

work=$(mktemp -d /tmp/talvine.XXXXXX)
app="" xvfb=""
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A user with a desktop and a folder of drawings; the program in a folder of
# its own, so that its settings file and work folder stay in the sandbox.
home="$work"
mkdir -p "$home/Desktop" "$home/図面" "$work/bin"
cp "$root/examples/plan.jww" "$root/examples/door.jws" "$home/図面/"
cp "$build/talvine" "$work/bin/"

start_xvfb screenshot 90 130 640x560

# The window starts at 50, 50 with a client area of 464 x 442 (the defaults);
# without a window manager there is no frame around it.
(cd "$home" && exec env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$work" \
   DISPLAY="$display" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
   "$work/bin/talvine" "$home/図面/plan.jww" "$home/図面/door.jws") >/dev/null 2>&1 &
app=$!
for _ in $(seq 100); do
  [ -f "$home/Desktop/plan.jww" ] && [ -f "$home/Desktop/door.jws" ] && break
  sleep 0.1
done
[ -f "$home/Desktop/door.jws" ] || { echo "screenshot: the window converted nothing" >&2; exit 1; }
sleep 1  # the last log line and the switch to the log tab are painted

mkdir -p "$(dirname "$out")"
import -display "$display" -window root -crop 464x442+50+50 +repage "$out"
echo "screenshot: $out"
