#!/bin/sh
# Installs the Debian packages named as arguments that are not installed yet.
#
#   scripts/deps.sh PACKAGE...
#
# As root it runs apt-get itself, otherwise through sudo. Without either it
# says in one line what to run as root, and fails.
set -eu

missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -n "$missing" ] || exit 0

if [ "$(id -u)" = 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1; then
  sudo="sudo"
else
  echo "deps: missing packages; run as root: apt-get install -y --no-install-recommends$missing" >&2
  exit 1
fi

echo "Installing:$missing"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
# shellcheck disable=SC2086 # one word per package
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
