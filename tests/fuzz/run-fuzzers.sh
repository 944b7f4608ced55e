#!/usr/bin/env bash
# Runs every fuzz harness built in BUILD for SECONDS each and prints, per
# harness, its executions and any finding. The seed corpus is copied into
# BUILD/corpus so that the inputs the fuzzer adds stay out of the repository;
# findings are written to BUILD/findings. Exits non-zero when any harness
# found something.
set -uo pipefail
build=${1:?build folder}
seconds=${2:-60}
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
mkdir -p "$build/corpus" "$build/findings" "$build/logs"
failed=0
for harness in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$harness" ] || continue
  name=${harness##*/fuzz_}
  work=$build/corpus/$name
  log=$build/logs/$name.log
  mkdir -p "$work"
  cp -n "$seeds/$name"/* "$work"/ 2>/dev/null
  "$harness" "$work" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
    >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
  if [ "$status" -eq 0 ]; then
    printf '%-16s %10s executions, no finding\n' "$name" "${runs:-?}"
  else
    failed=1
    printf '%-16s %10s executions, FINDING (exit %d):\n' "$name" "${runs:-?}" "$status"
    grep -m1 -E 'ERROR: |runtime error: |check failed: |SUMMARY: ' "$log" | sed 's/^/    /'
    grep -o "Test unit written to .*" "$log" | sed 's/^/    /'
    echo "    log: $log"
  fi
done
exit "$failed"
