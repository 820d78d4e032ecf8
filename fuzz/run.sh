#!/usr/bin/env bash
# Runs fuzz targets over their corpora, each with the options given after "--" (e.g.
# -max_total_time=20, or -runs=10000000 -max_total_time=3600), at most JOBS at once (-j JOBS,
# default 1), and stops after the first finding. Prints each target's executions and its last
# status line (cov and ft).
# Usage: fuzz/run.sh [-j JOBS] TARGET... -- LIBFUZZER-OPTIONS...
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
jobs=1
if [ "${1:-}" = -j ]; then jobs=$2; shift 2; fi
[ "$jobs" -ge 1 ] 2>/dev/null || { echo "fuzz/run.sh: -j needs a number of at least 1" >&2; exit 2; }
targets=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do targets+=("$1"); shift; done
[ $# -gt 0 ] && shift
options=("$@")

# The targets write their inputs, and what they make of them, as files into a sandbox folder on
# every run. On a disk, creating and removing those files costs more than most runs (up to 15
# times the run on ext4), so the sandboxes go to the shared-memory folder when it has room.
sandboxes=$build
if [ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -ge 1048576 ]; then
  sandboxes=/dev/shm
fi

# One target over its corpus, its output in build/fuzz/TARGET.log; the exit status is the
# fuzzer's (0: no finding).
run_target() {
  local target=$1
  mkdir -p "$build/corpus-$target" "$build/findings"
  local extra=()
  # The General MIDI bank among the seeds is 6 MB: libFuzzer would cut it to 1 MB.
  [ "$target" = SoundFontFuzz ] && extra=(-max_len=8388608)
  # Event lists would grow only slowly from the short seeds.
  [ "$target" = EventsFuzz ] && extra=(-max_len=512 -len_control=0)
  local tmp="$sandboxes/tessarine-fuzz-$target"
  rm -rf "$tmp" && mkdir -p "$tmp"
  (cd "$build" && TMPDIR="$tmp" "fuzz/$target" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
     -artifact_prefix="$build/findings/$target-" "${extra[@]}" "${options[@]}" "corpus-$target") \
    >"$build/$target.log" 2>&1
  local status=$?
  [ $status -eq 0 ] && rm -rf "$tmp"  # after a finding the sandbox stays for a look
  return $status
}

summary() {
  local target=$1 log="$build/$1.log" line runs
  line=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1)
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  echo "$target: ${runs:-?} executions; last status: ${line:-none}"
}

failed=()
lines=()
next=0
while [ $next -lt ${#targets[@]} ] && [ ${#failed[@]} -eq 0 ]; do
  batch=("${targets[@]:$next:$jobs}")
  next=$((next + ${#batch[@]}))
  pids=()
  for target in "${batch[@]}"; do
    echo "== $target ${options[*]}"
    run_target "$target" &
    pids+=($!)
  done
  for i in "${!batch[@]}"; do
    wait "${pids[$i]}" || failed+=("${batch[$i]}")
    lines+=("$(summary "${batch[$i]}")")
  done
done
printf '%s\n' "${lines[@]}"
for target in "${failed[@]}"; do
  tail -60 "$build/$target.log"
  echo "== $target found a fault (input in $build/findings/, sandbox in $sandboxes/tessarine-fuzz-$target)"
done
[ ${#failed[@]} -eq 0 ]
