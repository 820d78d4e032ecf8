#!/usr/bin/env bash
# The side-by-side benchmark: the same 128 overlapping notes played by Tessarine and by its
# peers, each render timed RUNS times (default 3), then a table of medians and the ratios
# Tessarine/peer. CPU time (user + system) is the figure compared, because these machines are
# shared; wall time is shown beside it.
# Usage: scripts/bench-peers.sh BUILD_DIR   (make bench-peers)
set -euo pipefail

build=${1:-build/linux}
runs=${RUNS:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
peers=$here/bench/peers
bank=/usr/share/sounds/sf2/TimGM6mb.sf2
work=$(mktemp -d "${TMPDIR:-/tmp}/tessarine-peers.XXXXXX")
[ -n "${KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
export TESSARINE_HOME=$work/home
mkdir -p "$TESSARINE_HOME"

tool=$build/tessarine
seconds=$("$build/bench/tessarine_peers" midi "$work/notes.mid")

# The imported bank's first preset (General MIDI piano, program 0) at 3 zero crossings, with
# the shared reverb of its POST section taken out (FluidSynth plays with reverb and chorus off).
"$tool" import-sf2 "$bank" --out "$work/gm" >/dev/null 2>&1
piano=$(grep -l '", preset 0 of bank 0,' "$work"/gm/*/Instrument.txt)
{ echo "QUALITY 4096, 3"; grep -v '^out=out+REVERB2(' "$piano"; } > "$(dirname "$piano")/Bench.txt"
piano=$(dirname "$piano")/Bench.txt
echo "interp 7" > "$work/fluidsynth.cmd"

# name|command writing $work/NAME.wav
jobs=(
  "tessarine-synth|$tool render --instrument $peers/saw-filter-adsr.txt --midi $work/notes.mid --seconds $seconds -o $work/tessarine-synth.wav"
  "csound-ksmps1|csound -d -m0 --ksmps=1 --smacro:LENGTH=$seconds -F $work/notes.mid -W -f -o $work/csound-ksmps1.wav $peers/saw-filter-adsr.csd"
  "csound-ksmps64|csound -d -m0 --ksmps=64 --smacro:LENGTH=$seconds -F $work/notes.mid -W -f -o $work/csound-ksmps64.wav $peers/saw-filter-adsr.csd"
  "tessarine-sf2|$tool render --instrument $piano --midi $work/notes.mid --seconds $seconds -o $work/tessarine-sf2.wav"
  "fluidsynth-sf2|fluidsynth -n -i -q -R 0 -C 0 -g 1 -r 44100 -O float -T wav -f $work/fluidsynth.cmd -F $work/fluidsynth-sf2.wav $bank $work/notes.mid"
)

run() {  # name command... -> appends "wall cpu" to $work/NAME.times
  local name=$1; shift
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >"$work/$name.log" 2>&1 </dev/null ||
    { echo "$name failed:"; tail -5 "$work/$name.log"; exit 1; }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time" >>"$work/$name.times"
}

echo "Rendering $seconds s of the same 128 notes, $runs times each (load before: $(cut -d' ' -f1-3 /proc/loadavg))"
for job in "${jobs[@]}"; do run "${job%%|*}" ${job#*|}; done

echo "Checking that every render plays the same notes (onsets and pitches):"
"$build/bench/tessarine_peers" check "$work"/{tessarine-synth,csound-ksmps1,csound-ksmps64,tessarine-sf2,fluidsynth-sf2}.wav

for ((i = 1; i < runs; ++i)); do
  for job in "${jobs[@]}"; do run "${job%%|*}" ${job#*|}; done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -A wall cpu
for job in "${jobs[@]}"; do
  name=${job%%|*}
  wall[$name]=$(cut -d' ' -f1 "$work/$name.times" | median)
  cpu[$name]=$(cut -d' ' -f2 "$work/$name.times" | median)
done

echo
echo "Medians of $runs runs ($seconds s of audio at 44100 Hz; load after: $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-16s %10s %10s   %s\n' "render" "cpu s" "wall s" "Tessarine/peer (cpu)"
row() {  # name [tessarine-name]
  local ratio=""
  [ -n "${2:-}" ] && ratio=$(awk -v t="${cpu[$2]}" -v p="${cpu[$1]}" 'BEGIN { printf "%.2f", (p > 0 ? t / p : 0) }')
  printf '%-16s %10s %10s   %s\n' "$1" "${cpu[$1]}" "${wall[$1]}" "$ratio"
}
row tessarine-synth
row csound-ksmps1 tessarine-synth
row csound-ksmps64 tessarine-synth
row tessarine-sf2
row fluidsynth-sf2 tessarine-sf2
echo "(FluidSynth's fast render runs on to the end of its own tail, about two seconds past the file's end.)"
