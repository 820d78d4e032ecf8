#!/usr/bin/env bash
# Runs fuzz targets one after another over their corpora, each with the options given after
# "--" (e.g. -max_total_time=20, or -runs=10000000 -max_total_time=3600), and stops at the
# first finding. Prints each target's last status line (executions, cov and ft).
# Usage: fuzz/run.sh TARGET... -- LIBFUZZER-OPTIONS...
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
targets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
[ $# -gt 0 ] && shift
summary=()
for target in "${targets[@]}"; do
  echo "== $target $*"
  mkdir -p "$build/corpus-$target" "$build/findings"
  log="$build/$target.log"
  extra=()
  # The General MIDI bank among the seeds is 6 MB: libFuzzer would cut it to 1 MB.
  [ "$target" = SoundFontFuzz ] && extra=(-max_len=8388608)
  # Event lists would grow only slowly from the short seeds.
  [ "$target" = EventsFuzz ] && extra=(-max_len=512 -len_control=0)
  export TMPDIR="$build/tmp-$target"
  rm -rf "$TMPDIR" && mkdir -p "$TMPDIR"
  (cd "$build" && "fuzz/$target" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
     -artifact_prefix="$build/findings/$target-" "${extra[@]}" "$@" "corpus-$target") >"$log" 2>&1
  status=$?
  [ $status -eq 0 ] && rm -rf "$TMPDIR"  # after a finding the sandbox stays for a look
  line=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1)
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  summary+=("$target: ${runs:-?} executions; last status: ${line:-none}")
  if [ $status -ne 0 ]; then
    tail -60 "$log"
    echo "== $target found a fault (input in $build/findings/)"
    exit 1
  fi
done
printf '%s\n' "${summary[@]}"
