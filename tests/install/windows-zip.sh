#!/bin/sh
# Checks the Windows release zip as a first-time user gets it: one folder
# with both programs, the two examples, the licence notices and a README
# that every Notepad reads (UTF-8 with a byte-order mark, Windows line
# ends, Japanese first, then English, with what to do about a blocked zip
# and SmartScreen). The unpacked command-line tool runs under Wine, knows
# the Send to option and converts the unpacked examples.
#
#   tests/install/windows-zip.sh ZIP
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d /tmp/talvine-zip.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "windows-zip: $*" >&2; exit 1; }

(cd "$work" && unzip -q "$zip")
top=$work/$(basename "$zip" .zip)
for f in talvine.exe talvine-cli.exe README.txt examples/plan.jww examples/door.jws \
         licenses/zlib.txt licenses/mingw-w64.txt licenses/gcc-runtime.txt licenses/fdlibm.txt; do
  [ -s "$top/$f" ] || fail "no $f in the zip"
done
readme=$top/README.txt
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt has no byte-order mark"
lines=$(wc -l < "$readme")
crlf=$(grep -c "$(printf '\r')\$" "$readme" || true)
[ "$lines" = "$crlf" ] || fail "README.txt: $crlf of $lines lines end in CR LF"
ja=$(grep -n '【日本語】' "$readme" | cut -d: -f1)
en=$(grep -n '【English】' "$readme" | cut -d: -f1)
[ -n "$ja" ] && [ -n "$en" ] && [ "$ja" -lt "$en" ] || fail "README.txt: Japanese does not come first"
for text in 'ブロックの解除' '詳細情報' 'SmartScreen' 'Unblock' 'Run anyway' '--sendto install' 'examples'; do
  grep -q -- "$text" "$readme" || fail "README.txt does not mention $text"
done

# The unpacked tool, as a user would start it.
run() { WINEPREFIX=${WINEPREFIX:-$root/build-windows/wineprefix} "$root/scripts/wine-run.sh" "$@"; }
run "$top/talvine-cli.exe" --help | grep -q -- '--sendto install' || fail "talvine-cli.exe --help has no --sendto"
mkdir "$work/out"
run "$top/talvine-cli.exe" -o "$(winepath -w "$work/out" 2>/dev/null || echo "$work/out")" \
    "$top/examples/plan.jww" "$top/examples/door.jws" >"$work/log.txt" 2>&1 || { cat "$work/log.txt" >&2; fail "the examples do not convert"; }
[ -s "$work/out/plan.jww" ] && [ -s "$work/out/door.jws" ] || fail "no converted examples"
echo "windows-zip: $(basename "$zip") holds what a first-time user needs"
