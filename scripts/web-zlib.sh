#!/bin/sh
# Builds zlib for the WebAssembly build from Debian's own source package:
# emscripten's port would download its sources while building. The source
# package is fetched with apt-get source through an apt configuration that
# lives in the build folder (the system's sources with deb-src in place of
# deb), so that the system's apt configuration stays untouched. Once built,
# the library is kept in the build folder and not made again.
#
#   scripts/web-zlib.sh BUILD_DIR
#
# Leaves BUILD_DIR/zlib/include/zlib.h and BUILD_DIR/zlib/lib/libz.a.
set -eu
build=$(mkdir -p "$1" && cd "$1" && pwd)
prefix=$build/zlib
if [ -f "$prefix/lib/libz.a" ] && [ -f "$prefix/include/zlib.h" ]; then
  exit 0
fi
apt=$build/apt
rm -rf "$apt" "$build/zlib-source"
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/preferences.d" \
         "$build/zlib-source"

# The system's Debian sources, as source-package sources.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  sed 's/^Types:.*/Types: deb-src/' "$f" > "$apt/sources.list.d/$(basename "$f")"
done
: > "$apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n 's/^deb \(.*\)$/deb-src \1/p' "$f" >> "$apt/sources.list"
done
cat > "$apt/apt.conf" <<CONF
Dir::Etc::sourcelist "$apt/sources.list";
Dir::Etc::sourceparts "$apt/sources.list.d";
Dir::Etc::preferencesparts "$apt/preferences.d";
Dir::State::lists "$apt/lists";
Dir::Cache "$apt/cache";
Dir::Cache::srcpkgcache "";
Dir::Cache::pkgcache "";
APT::Sandbox::User "root";
CONF
export APT_CONFIG="$apt/apt.conf"
apt-get -q update
# The version of the system's zlib first, then any other the sources offer
# (a mirror may lack the sources of one).
installed=$(dpkg-query -W -f='${Version}' zlib1g 2>/dev/null || true)
fetched=""
for v in $installed $(apt-cache showsrc zlib | sed -n 's/^Version: //p'); do
  if (cd "$build/zlib-source" && apt-get -q source "zlib=$v"); then fetched=$v; break; fi
  rm -rf "$build/zlib-source"/*
done
[ -n "$fetched" ] || { echo "web-zlib: apt-get source zlib failed for every version" >&2; exit 1; }
src=$(find "$build/zlib-source" -mindepth 1 -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
[ -n "$src" ] || { echo "web-zlib: apt-get source zlib gave no source folder" >&2; exit 1; }

# zlib's own configure and Makefile, with emscripten's compiler: the static
# library only.
cd "$src"
CFLAGS="-O3" emconfigure ./configure --static --prefix="$prefix"
emmake make -j2 libz.a
mkdir -p "$prefix/lib" "$prefix/include"
cp libz.a "$prefix/lib/"
cp zlib.h zconf.h "$prefix/include/"
echo "web-zlib: built $prefix/lib/libz.a from $(basename "$src")"
