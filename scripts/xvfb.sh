# Sourced by the scripts that show a window on a virtual X display.
#
#   start_xvfb NAME FIRST LAST WIDTHxHEIGHT
#
# starts Xvfb on the first free display from :FIRST to :LAST, sets
# $display to it and $xvfb to the server's process id (for the caller's
# clean-up), and waits until it takes connections. Fails with a message
# naming NAME when every display is taken.
start_xvfb() {
  display=""
  for n in $(seq "$2" "$3"); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || { echo "$1: no free X display" >&2; exit 1; }
  Xvfb "$display" -screen 0 "$4x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
}
