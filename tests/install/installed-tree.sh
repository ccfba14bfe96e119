#!/usr/bin/env bash
# Installs the build into a temporary root (DESTDIR) and checks what a user
# gets: every file in its place, talvine-cli running from there, the file
# types recognised by their content, and .jww and .jws opened with talvine
# by default in a desktop that knows only this installation.
#
#   installed-tree.sh BUILD_DIR SOURCE_DIR VERSION MIME_TYPE_OF
set -euo pipefail
build=$1 src=$2 version=$3 mimetypeof=$4
for tool in update-mime-database update-desktop-database xdg-mime; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (make test installs it)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
prefix="$work/root/usr"
while read -r f; do
  [ -s "$prefix/$f" ] || { echo "FAIL: $f was not installed"; exit 1; }
done < "$src/tests/install/files.txt"

out=$("$prefix/bin/talvine-cli" --version)
[ "$out" = "talvine-cli $version" ] || { echo "FAIL: --version says '$out'"; exit 1; }
"$prefix/bin/talvine-cli" --info "$src/examples/plan.jww" | grep -q "format: jww (drawing)" \
  || { echo "FAIL: --info of the example"; exit 1; }

# The file types: a desktop whose only data folder is this installation.
share="$prefix/share"
errors=$(XDG_DATA_HOME="$share" XDG_DATA_DIRS="$work/none" update-mime-database "$share/mime" 2>&1) || true
[ -z "$errors" ] || { echo "FAIL: update-mime-database: $errors"; exit 1; }
cp "$src/examples/plan.jww" "$work/plan"
cp "$src/examples/door.jws" "$work/door"
types=$(XDG_DATA_HOME="$share" XDG_DATA_DIRS="$work/none" QT_QPA_PLATFORM=offscreen \
        "$mimetypeof" "$work/plan" "$work/door" | tr '\n' ' ')
[ "$types" = "application/x-jww application/x-jws " ] || { echo "FAIL: the examples are '$types'"; exit 1; }

update-desktop-database "$share/applications"
for type in application/x-jww application/x-jws; do
  app=$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
        XDG_DATA_HOME="$share" XDG_DATA_DIRS="$work/none" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/none" \
        xdg-mime query default "$type")
  [ "$app" = talvine.desktop ] || { echo "FAIL: $type opens with '$app'"; exit 1; }
done
echo "installed tree: ok"
