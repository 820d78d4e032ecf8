#!/usr/bin/env bash
# Fills build/fuzz/corpus-TARGET with the seed inputs of every fuzz target. Corpora only grow:
# what earlier runs found stays. Needs the FuzzSeeds program of build/fuzz and sox.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
corpus() { mkdir -p "$build/corpus-$1" && echo "$build/corpus-$1"; }

# Instrument files: the examples, the compiler's hostile test corpus, and inputs that carry
# their INCLUDE and sample files along.
cp "$root"/examples/*.txt "$root"/tests/data/compiler/corpus/* "$root"/fuzz/seeds/CompilerFuzz/* "$(corpus CompilerFuzz)"

# Samples: the example sample and sox-written files of every encoding the reader takes (sox
# writes 24- and 32-bit WAV with an extensible header), and a few it refuses (AIFF-C, four
# channels).
audio=$(corpus AudioFileFuzz)
cp "$root"/examples/samples/*.wav "$audio"
for channels in 1 2; do
  for bits in 8 16 24 32; do
    encoding=signed-integer; [ $bits = 8 ] && encoding=unsigned-integer
    sox -n -r 8000 -c $channels -b $bits -e $encoding "$audio/int$bits-$channels.wav" synth 0.004 sine 440
    sox -n -r 8000 -c $channels -b $bits -e signed-integer "$audio/int$bits-$channels.aiff" synth 0.004 sine 440
  done
  for bits in 32 64; do
    sox -n -r 8000 -c $channels -b $bits -e floating-point "$audio/float$bits-$channels.wav" synth 0.004 sine 440
  done
  sox -n -r 8000 -c $channels -b 16 -e signed-integer "$audio/aifc-$channels.aifc" synth 0.004 sine 440
done
sox -n -r 8000 -c 4 -b 16 "$audio/four-channels.wav" synth 0.004 sine 440

# MIDI files: the examples'.
cp "$root"/examples/*.mid "$(corpus MidiFileFuzz)"

# Banks the import tests build, a General MIDI bank when one is installed (copied, never kept
# in the repository), and the saved state of every example.
seeds=$(mktemp -d)
trap 'rm -rf "$seeds"' EXIT
TMPDIR="$seeds" "$build/fuzz/FuzzSeeds" "$seeds/out" >/dev/null
cp "$seeds"/out/SoundFontFuzz/* "$(corpus SoundFontFuzz)"
cp "$seeds"/out/ChunkFuzz/* "$(corpus ChunkFuzz)"
for bank in /usr/share/sounds/sf2/TimGM6mb.sf2; do
  [ -f "$bank" ] && cp "$bank" "$(corpus SoundFontFuzz)/"
done

# Event lists: for each example a note on, a block, a note off and a block; then a list with
# events outside the block and a controller sweep.
events=$(corpus EventsFuzz)
for example in $(seq 0 17); do
  printf "\\x$(printf %02x $example)\\x00\\x01\\x00\\x90\\x3c\\x64\\x00\\x00\\x02\\x00\\x02\\x00\\x01\\x00\\x80\\x3c\\x00\\x00\\x00\\x02\\x00\\x10" \
    >"$events/note-$example"
  printf "\\x$(printf %02x $example)\\x00\\x04\\x00\\x90\\x30\\x7f\\xff\\x7f\\x00\\xb0\\x01\\x40\\x00\\xff\\x00\\xe0\\x00\\x40\\x10\\x00\\x00\\xb0\\x40\\x7f\\x00\\x00\\x01\\x03\\x80\\x3e\\x02\\x00\\x04" \
    >"$events/edges-$example"
done
