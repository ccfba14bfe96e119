#!/bin/sh
# Pictures rasterise, and look the same before and after a conversion.
#
# 1. Every SVG the picture tests made (they keep them in the folder
#    TALVINE_SVG_DIR names, SVG_DIR here; CTest runs them first) is turned
#    into a PNG by rsvg-convert, which must succeed and say nothing on
#    standard error: geometry and texts of different scales give it font
#    sizes it cannot use ("FreetypeError").
# 2. Each example is converted, both files are drawn (talvine-cli
#    --render), rasterised (rsvg-convert) and compared pixel by pixel
#    (ImageMagick's compare); differences beyond anti-aliasing fail.
#
#   tests/render/raster.sh BUILD_DIR SOURCE_DIR SVG_DIR
set -eu
build=$1
src=$2
svgs=$3
for tool in rsvg-convert compare; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/talvine-raster.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0

count=0
for svg in "$svgs"/*.svg; do
  [ -e "$svg" ] || continue
  count=$((count + 1))
  if ! rsvg-convert "$svg" -o "$work/picture.png" 2>"$work/rsvg.err" || [ -s "$work/rsvg.err" ] ||
     [ ! -s "$work/picture.png" ]; then
    echo "$(basename "$svg") does not rasterise:"
    head -5 "$work/rsvg.err"
    status=1
  fi
done
echo "$count pictures of the tests rasterised"
[ "$count" -gt 0 ] || status=1

for f in plan.jww door.jws; do
  "$build/talvine-cli" -q -o "$work" "$src/examples/$f" >/dev/null 2>&1
  "$build/talvine-cli" -q --render "$work/before.svg" "$src/examples/$f"
  "$build/talvine-cli" -q --render "$work/after.svg" "$work/$f"
  rsvg-convert "$work/before.svg" -o "$work/before.png"
  rsvg-convert "$work/after.svg" -o "$work/after.png"
  # Pixels that differ by more than a shade of anti-aliasing.
  differ=$(compare -metric AE -fuzz 20% "$work/before.png" "$work/after.png" "$work/diff.png" 2>&1 || true)
  pixels=$(identify -format '%[fx:w*h]' "$work/before.png")
  echo "$f: $differ of $pixels pixels differ"
  # Strokes drawn in another order may shade a few shared pixels otherwise.
  if [ "$(echo "$differ $pixels" | awk '{print ($1 <= $2 / 10000) ? "ok" : "bad"}')" != ok ]; then status=1; fi
  # Pictures are never written over a file.
  rm -f "$work/$f" "$work"/before.* "$work"/after.* "$work/diff.png"
done
exit $status
