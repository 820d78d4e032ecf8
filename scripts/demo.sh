#!/usr/bin/env bash
# Shows the plug-in as a host sees it, then renders every example instrument (with its MIDI
# file when one stands beside it) through the plug-in into out/*.wav, and draws a spectrogram
# of each beside it (out/*.png, by sox).
set -euo pipefail
cd "$(dirname "$0")/.."
tool=build/linux/tessarine
mkdir -p out

echo "== tessarine info build/linux/Tessarine.so"
"$tool" info build/linux/Tessarine.so
if [ -x /usr/lib/wine/wine64 ] && [ -f build/windows/Tessarine.dll ]; then
  echo "== tessarine.exe info Tessarine.dll (under wine)"
  (cd build/windows && WINEDEBUG=-all /usr/lib/wine/wine64 tessarine.exe info Tessarine.dll 2>/dev/null | tr -d '\r') || true
fi

shopt -s nullglob
for instrument in examples/*.txt; do
  name=$(basename "$instrument" .txt)
  args=(--instrument "$instrument")
  [ -f "examples/$name.mid" ] && args+=(--midi "examples/$name.mid") || args+=(--seconds 3)
  echo "== render $instrument -> out/$name.wav, out/$name.png"
  "$tool" render "${args[@]}" -o "out/$name.wav"
  scripts/spectrogram.sh "out/$name.wav" "out/$name.png" "examples/$name"
done
