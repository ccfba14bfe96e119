#!/bin/sh
# The pictures of a drawing before and after its conversion are the same
# picture: each example is converted, both files are drawn (talvine-cli
# --render), rasterised (rsvg-convert) and compared pixel by pixel
# (ImageMagick's compare); differences beyond anti-aliasing fail.
#
#   tests/render/raster.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
src=$2
for tool in rsvg-convert compare; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/talvine-raster.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
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
  rm -f "$work/$f"
done
exit $status
