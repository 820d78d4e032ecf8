#!/usr/bin/env bash
# `make bench`: the engine benchmarks (cost per voice-sample of fixed patches, note-on time of a
# chord, load times), then resident memory: an empty instance as `tessarine info` shows it, and
# `tessarine render` playing each benchmark patch (and the peer benchmark's synth patch and the
# imported piano) on the peer benchmark's notes for a few seconds.
# Usage: scripts/bench.sh BUILD_DIR
set -euo pipefail

build=${1:-build/linux}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tessarine-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TESSARINE_HOME=$work/home
mkdir -p "$TESSARINE_HOME"

echo "Machine load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
"$build/bench/tessarine_bench" 64 2 "$work"

resident() {  # command... -> peak resident size in MiB
  /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>&1 </dev/null || { echo "failed"; return; }
  awk '{ printf "%.1f MiB", $1 / 1024 }' "$work/rss"
}

echo
echo "Resident memory (peak, whole process):"
printf '  %-42s %s\n' "empty instance (tessarine info)" "$(resident "$build/tessarine" info "$build/Tessarine.so")"
"$build/bench/tessarine_peers" midi "$work/notes.mid" >/dev/null
patches=("$work"/*.txt "$here/bench/peers/saw-filter-adsr.txt")
piano=$(grep -l '", preset 0 of bank 0,' "$work"/TimGM6mb/*/Instrument.txt 2>/dev/null || true)
[ -n "$piano" ] && patches+=("$piano")
for patch in "${patches[@]}"; do
  name=$(basename "$patch" .txt)
  [ "$name" = Instrument ] && name="TimGM6mb piano"
  case $name in chord | layers1000) continue ;; esac  # the note-on and load-time instruments
  printf '  %-42s %s\n' "$name, 6 s of the peer notes" \
    "$(resident "$build/tessarine" render --instrument "$patch" --midi "$work/notes.mid" --seconds 6 -o "$work/out.wav")"
done
