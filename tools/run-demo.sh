#!/usr/bin/env bash
# Starts the demo chat host on a free loopback port and Wombat connected to
# it; the host stops when Wombat exits.
# Usage: tools/run-demo.sh [BUILD-FOLDER]      (default: build)
set -euo pipefail
build="${1:-build}"
scratch="$(mktemp -d)"
host_pid=
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$build/src/wombat-demohost" --port 0 --port-file "$scratch/port" >/dev/null &
host_pid=$!
for _ in $(seq 100); do
  [ -s "$scratch/port" ] && break
  kill -0 "$host_pid" 2>/dev/null || { echo "wombat-demohost did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$scratch/port" ] || { echo "wombat-demohost did not report its port" >&2; exit 1; }
"$build/src/wombat" --demo "$(cat "$scratch/port")"
