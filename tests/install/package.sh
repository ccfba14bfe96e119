#!/usr/bin/env bash
# Builds the Debian package into a temporary folder, checks its name and
# run-time dependencies, unpacks it into a temporary root (dpkg-deb -x) and
# runs talvine-cli from there.
#
#   package.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 src=$2 version=$3
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (make test installs it)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb="$work/out/talvine_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $(basename "$deb")"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6core6 zlib1g libstdc++6 qt6-qpa-plugins fonts-ipafont-gothic; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || { echo "FAIL: Depends lacks $dep: $depends"; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
while read -r f; do
  [ -s "$work/root/usr/$f" ] || { echo "FAIL: the package lacks /usr/$f"; exit 1; }
done < "$src/tests/install/files.txt"
out=$("$work/root/usr/bin/talvine-cli" --version)
[ "$out" = "talvine-cli $version" ] || { echo "FAIL: --version says '$out'"; exit 1; }
"$work/root/usr/bin/talvine-cli" --info "$src/examples/door.jws" | grep -q "format: jws (figure)" \
  || { "$work/root/usr/bin/talvine-cli" --info "$src/examples/door.jws"; echo "FAIL: --info of the example"; exit 1; }
echo "package $(basename "$deb"): ok"
