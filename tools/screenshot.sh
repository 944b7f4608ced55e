#!/usr/bin/env bash
# Takes a picture of the Wombat main window on a virtual X server, with a
# fresh data folder and settings store (so it shows a first start).
# Usage: tools/screenshot.sh [--panel] [OUTPUT.png]  (default: docs/screenshot.png)
# --panel shows the view settings panel open.
set -euo pipefail
cd "$(dirname "$0")/.."
options=()
if [ "${1:-}" = --panel ]; then
  options+=(--panel)
  shift
fi
output="$(realpath -m "${1:-docs/screenshot.png}")"

if ! command -v xvfb-run >/dev/null; then
  sudo=$([ "$(id -u)" = 0 ] || echo sudo)
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq xvfb
fi

cmake -S . -B build >/dev/null
cmake --build build -j2 --target screenshot >/dev/null

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$(dirname "$output")" "$scratch/config/Zeb"
# Show a telnet entry, so that the host fields are filled.
printf '[AccessList]\nDefault=Tern(Telnet)\n' >"$scratch/config/Zeb/Wombat.conf"
WOMBAT_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
  xvfb-run -a -s "-screen 0 1024x768x24" build/tools/screenshot "${options[@]}" "$output"
echo "saved $output"
