#!/bin/sh
# Profiles the end-to-end benchmark's chat host (bench/EndToEnd --chat: the
# 10 MB chat corpus through a real main window, alone and with a linked
# sibling) under perf with DWARF call graphs, then prints the functions that
# take the most time, each with its callers.
#
# Usage: tools/profile-endtoend.sh [BUILD_FOLDER]   (default: build-profile)
# Environment: PERCENT (default 1.5) hides functions below that share;
#              FREQUENCY (default 300) samples per second; JOBS (default 2).
# The build is optimised with debug information (RelWithDebInfo). The
# recording and the report stay in BUILD_FOLDER/profile/; browse the
# recording with: perf report -i BUILD_FOLDER/profile/perf.data
set -eu

cd "$(dirname "$0")/.."
build=${1:-build-profile}
percent=${PERCENT:-1.5}
frequency=${FREQUENCY:-300}
out=$build/profile

if ! command -v perf >/dev/null 2>&1; then
  echo "perf is not installed: install the Debian package linux-perf (make profile does)." >&2
  exit 1
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWOMBAT_TESTS=OFF -DWOMBAT_BENCH=ON >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target EndToEnd
mkdir -p "$out"

# perf refuses to record when kernel.perf_event_paranoid is too high for
# this user (3 and above forbid any recording without privileges).
if ! perf record -q -e cycles:u -o "$out/probe.data" -- true >"$out/probe.log" 2>&1; then
  paranoid=$(cat /proc/sys/kernel/perf_event_paranoid 2>/dev/null || echo unknown)
  echo "perf cannot record here (kernel.perf_event_paranoid is $paranoid):" >&2
  sed 's/^/  /' "$out/probe.log" >&2
  echo "When perf speaks of access or permissions, lower that setting for this boot" >&2
  echo "and run this again:" >&2
  echo "  sudo sysctl kernel.perf_event_paranoid=1" >&2
  echo "In a container the host must allow perf_event_open (e.g. Docker's --privileged" >&2
  echo "or --cap-add PERFMON with a seccomp profile that allows it)." >&2
  exit 1
fi
rm -f "$out/probe.data" "$out/probe.log"

# User space only: that is where the program's time goes, and it needs no
# privileges beyond the default paranoid level of 2.
perf record -e cycles:u -F "$frequency" --call-graph dwarf -o "$out/perf.data" \
  -- "$build/bench/EndToEnd" --chat

# Callers up to six frames up, inlined frames folded into the functions that
# hold them; the padding of perf's empty columns is trimmed.
perf report -i "$out/perf.data" --stdio --no-children --sort symbol --no-inline \
  --percent-limit "$percent" -g graph,0.5,callee,function,percent --max-stack 6 2>/dev/null |
  sed 's/  *-  *-  *$//; s/ *$//' | grep -v '^$' >"$out/report.txt"
echo
echo "Top functions by their own time, each with its callers (also in $out/report.txt):"
grep -v '^#' "$out/report.txt"
