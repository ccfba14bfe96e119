#!/usr/bin/env bash
# Every CTest name is readable and stable: no printed parameter bytes, only
# printable ASCII.
#
#   test-names.sh BUILD_DIR
set -euo pipefail
names=$(ctest --test-dir "$1" -N | sed -n 's/^ *Test *#[0-9]*: //p')
[ -n "$names" ] || { echo "FAIL: no tests listed"; exit 1; }
bad=$(printf '%s\n' "$names" | LC_ALL=C grep -E 'GetParam|byte object|[^ -~]' || true)
[ -z "$bad" ] || { echo "FAIL: unreadable test names:"; printf '%s\n' "$bad" | head; exit 1; }
echo "$(printf '%s\n' "$names" | wc -l) test names: ok"
