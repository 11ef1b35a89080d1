#!/usr/bin/env bash
# The lighting SDK server under a streaming client: one openrgb-sdk client
# puts all three simulated devices in Direct and sends 60 colour updates a
# second to each; the CPU talvo takes over that time beside the floor of the
# sleeps the protocol needs for the frames the devices receive (as in
# cpu_all_devices.sh), then the latency from a client's update to the frame
# on the simulated mouse, median and 99th percentile over 200 updates.
#   bench/sdk_direct.sh [SECONDS] [BINARY]
# (default 30 build/bin/talvo). Needs node; the openrgb-sdk client is kept in
# tests/third_party.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
talvo=${2:-${TALVO_BIN:-build/bin/talvo}}
automate_bin=$(dirname "$talvo")/talvo-automate
[ -x "$automate_bin" ] || automate_bin=build/bin/talvo-automate
export NODE_PATH=${NODE_PATH:-$PWD/tests/third_party/node_modules}
. bench/three_devices.sh
sleep_us=$(sleep_cost_us)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
start_talvo --sdk="$port"
automate '{"cmd":"ready"}'
automate '{"cmd":"wait","ms":2500}'
node bench/sdk_direct_client.js stream "$port" "$seconds" >/dev/null &
client=$!
sleep 1
measure_cpu "Direct at 60 updates/s to all three" $((seconds - 2)) "$sleep_us"
wait "$client"
node bench/sdk_direct_client.js latency "$port" "$work/s.sock" 200
automate '{"cmd":"quit"}'
