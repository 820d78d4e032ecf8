#!/usr/bin/env bash
# Pictures of the editor for every example instrument: out/screenshots/NAME.png is the Windows
# build's editor opened under wine on a virtual X display by `tessarine.exe edit`, captured
# into a BMP file and converted to PNG with ImageMagick; out/screenshots/NAME-linux.png is the
# Linux build's X11 editor opened by `tessarine edit` on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(pwd)/build/windows
# The wine prefix the Windows tests use.
source tests/windows/wine_prefix.sh
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export TESSARINE_HOME="Z:${home//\//\\}" wine build

mkdir -p out/screenshots
xvfb-run -a -s "-screen 0 2400x1800x24" bash -c '
  status=0
  for instrument in examples/*.txt; do
    name=$(basename "$instrument" .txt)
    echo "== $instrument -> out/screenshots/$name.png"
    "$wine" "$build/tessarine.exe" edit "$build/Tessarine.dll" --instrument "$instrument" \
      --screenshot "out/screenshots/$name.bmp" 2>&1 | tr -d "\r" | grep -v "^X connection" || true
    [ -f "out/screenshots/$name.bmp" ] || status=1
  done
  exit $status'
linux=$(pwd)/build/linux
TESSARINE_HOME="$home" linux="$linux" xvfb-run -a -s "-screen 0 2400x1800x24" bash -c '
  status=0
  for instrument in examples/*.txt; do
    name=$(basename "$instrument" .txt)
    echo "== $instrument -> out/screenshots/$name-linux.png"
    "$linux/tessarine" edit "$linux/Tessarine.so" --instrument "$instrument" \
      --screenshot "out/screenshots/$name-linux.png" || status=1
  done
  exit $status'
# The tool writes its PNG files uncompressed; ImageMagick compresses them.
for png in out/screenshots/*-linux.png; do
  convert "$png" "$png"
done
for bmp in out/screenshots/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
  rm "$bmp"
done
ls -1 out/screenshots/*.png
