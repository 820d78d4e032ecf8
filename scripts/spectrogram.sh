#!/usr/bin/env bash
# Draws the spectrogram of a rendered WAV file as a PNG with sox.
# Usage: scripts/spectrogram.sh IN.wav OUT.png TITLE
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 IN.wav OUT.png TITLE" >&2; exit 2; }
# 0 to 5 kHz (the examples' partials), 640 pixels of time, 90 dB of range.
sox "$1" -n remix - rate 10k spectrogram -x 640 -y 257 -z 90 -t "$3" -c "tessarine render" -o "$2"
