#!/usr/bin/env bash
# Takes a picture of the Wombat main window on a virtual X server, with a
# fresh data folder and settings store.
# Usage: tools/screenshot.sh [--empty] [--panel] [--reconnect] [OUTPUT.png]
#                                                  (default: docs/screenshot.png)
# By default the window chats with the demo host, where a second user and
# the host's bot talk too; --empty shows the first start instead. --panel
# shows the view settings panel open. --reconnect turns on reconnecting a
# dropped line and stops the demo host after a while, so that the picture
# shows the countdown to the next attempt.
set -euo pipefail
cd "$(dirname "$0")/.."
empty=
reconnect=
options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --empty) empty=1; shift ;;
    --panel) options+=(--panel); shift ;;
    --reconnect) reconnect=1; shift ;;
    *) break ;;
  esac
done
output="$(realpath -m "${1:-docs/screenshot.png}")"

if ! command -v xvfb-run >/dev/null; then
  sudo=$([ "$(id -u)" = 0 ] || echo sudo)
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq xvfb xauth
fi

cmake -S . -B build >/dev/null
cmake --build build -j2 --target screenshot wombat-demohost >/dev/null

scratch="$(mktemp -d)"
host_pid=
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$(dirname "$output")" "$scratch/config/Zeb"
arguments=()
if [ -n "$empty" ]; then
  # Show a telnet entry, so that the host fields are filled.
  printf '[AccessList]\nDefault=Tern(Telnet)\n' >"$scratch/config/Zeb/Wombat.conf"
else
  build/src/wombat-demohost --port 0 --port-file "$scratch/port" --bot-interval 0.6 >/dev/null &
  host_pid=$!
  for _ in $(seq 100); do [ -s "$scratch/port" ] && break; sleep 0.1; done
  port="$(cat "$scratch/port")"
  arguments=(--demo "$port")
  if [ -n "$reconnect" ]; then
    printf '[Settings]\nAutoReconnect=1\n' >"$scratch/config/Zeb/Wombat.conf"
    # The host goes away: the window waits 2 seconds, is refused, and counts
    # down the next wait when the picture is taken.
    (sleep 8; kill "$host_pid") &
  fi
  # A second user, who joins, greets and pages the window's user.
  (
    sjis() { printf '%s\r' "$1" | iconv -f UTF-8 -t CP932; }
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    cat <&3 >/dev/null &
    printf 'kiwi\rsecret\rC\r' >&3
    sleep 6.5; sjis 'guest さん、いらっしゃい。リンクはダブルクリックで開けます' >&3
    sleep 1.5; sjis '/P guest 後で /W も試してみてね' >&3
    sleep 5
  ) &
fi
WOMBAT_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
  xvfb-run -a -s "-screen 0 1024x768x24" build/tools/screenshot "${options[@]}" "$output" \
  "${arguments[@]}"
echo "saved $output"
