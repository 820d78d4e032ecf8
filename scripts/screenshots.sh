#!/usr/bin/env bash
# Pictures of the editor for every example instrument, in out/screenshots/NAME.png: the Windows
# build's editor opened under wine on a virtual X display by `tessarine.exe edit`, captured
# into a BMP file and converted to PNG with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64)
for artifact in Tessarine.dll tessarine.exe; do
  [ -f "$build/$artifact" ] || { echo "$build/$artifact missing: run make windows" >&2; exit 1; }
done

# The wine prefix the Windows tests use, and a per-user folder of our own.
root="$(pwd)/$build/wine"
export HOME="$root/home" WINEPREFIX="$root/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init >/dev/null 2>&1
  "$wine" wineserver -w 2>/dev/null || true
fi
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
for bmp in out/screenshots/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
  rm "$bmp"
done
ls -1 out/screenshots/*.png
