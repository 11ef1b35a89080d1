#!/usr/bin/env bash
# The lighting SDK server under a streaming client: one openrgb-sdk client
# puts all three simulated devices in Direct and sends 60 colour updates a
# second to each; the CPU talvo takes over that time beside the floor of the
# sleeps the protocol needs for the frames the devices receive (as in
# cpu_all_devices.sh), then the latency from a client's update to the frame
# on the simulated mouse, median and 99th percentile over 200 updates.
#   bench/sdk_direct.sh [SECONDS] [BINARY]
# (default 30 build/bin/talvo). Needs node and the openrgb-sdk package the
# tests install into build/npm (run scripts/test first).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
talvo=${2:-${TALVO_BIN:-build/bin/talvo}}
automate_bin=$(dirname "$talvo")/talvo-automate
[ -x "$automate_bin" ] || automate_bin=build/bin/talvo-automate
export NODE_PATH=${NODE_PATH:-$PWD/build/npm/node_modules}
sleep_cost_us=$(perl -MTime::HiRes=usleep,clock_gettime,CLOCK_PROCESS_CPUTIME_ID -e '
  my $n = 2000;
  my $t0 = clock_gettime(CLOCK_PROCESS_CPUTIME_ID);
  usleep(1000) for 1 .. $n;
  printf "%.2f\n", (clock_gettime(CLOCK_PROCESS_CPUTIME_ID) - $t0) / $n * 1e6;')
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/run" && chmod 700 "$work/run"
HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/system \
  DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus QT_QPA_PLATFORM=offscreen TALVO_TRAY=0 \
  "$talvo" --simulate=mouse,keyboard,mousepad --sdk="$port" --automation "$work/s.sock" >/dev/null 2>&1 &
pid=$!
automate() { "$automate_bin" "$work/s.sock" "$@" >/dev/null; }
automate '{"cmd":"ready"}'
automate '{"cmd":"wait","ms":2500}'
reports() {
  "$automate_bin" "$work/s.sock" "{\"cmd\":\"sim\",\"op\":\"traffic\",\"device\":\"$1\"}" |
    grep -o '"hex":"04....12' | wc -l
}
ticks() { awk '{print $14 + $15}' "$1"; }
node bench/sdk_direct_client.js stream "$port" "$seconds" >"$work/stream.json" &
client=$!
sleep 1
for d in keyboard mouse mousepad; do automate "{\"cmd\":\"sim\",\"op\":\"clear\",\"device\":\"$d\"}"; done
measured=$((seconds - 2))
start=$(ticks "/proc/$pid/stat")
sleep "$measured"
end=$(ticks "/proc/$pid/stat")
kb=$(reports keyboard)
ms=$(reports mouse)
mp=$(reports mousepad)
wait "$client"
hz=$(getconf CLK_TCK)
awk -v t=$((end - start)) -v hz="$hz" -v s="$measured" -v kb="$kb" -v ms="$ms" -v mp="$mp" \
  -v sleep_us="$sleep_cost_us" 'BEGIN {
  cost = 100 * t / hz / s
  kbf = kb / 7 / s; msf = ms / 2 / s; mpf = mp / s
  floor = (kbf + msf + mpf + 2 * (kb + ms + mp) / s) * sleep_us / 1e4
  printf "Direct at 60 updates/s to all three: %.2f %% of one core over %d s\n", cost, s
  printf "  frames/s: keyboard %.1f, mouse %.1f, mousepad %.1f\n", kbf, msf, mpf
  printf "  floor %.2f %% (a sleep per frame and two per report at %.1f us each), cost / floor %.2f\n", floor,
    sleep_us, (floor > 0 ? cost / floor : 0) }'
node bench/sdk_direct_client.js latency "$port" "$work/s.sock" 200 |
  awk -F'[:,}]' '{printf "update to frame on the mouse: median %.2f ms, p99 %.2f ms (%d updates)\n", $2, $4, $6}'
automate '{"cmd":"quit"}'
