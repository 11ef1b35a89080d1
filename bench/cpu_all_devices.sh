#!/usr/bin/env bash
# CPU use of talvo while the simulated keyboard, mouse and mousepad all
# animate at their fastest with the window shown on the keyboard's lighting
# page (keyboard mode 1, mouse
# spectrum, mousepad spectrum, speed sliders at 4), and the frames per second
# each device receives; beside it the floor: what the sleeps the protocol
# cannot avoid cost at this machine's CPU cost of one 1 ms sleep, measured
# first (per frame the frame delay, per report a wait for the device to take
# it and one for its reply), and the ratio of the two.
#   bench/cpu_all_devices.sh [SECONDS] [BINARY]
# (default 30 build/bin/talvo; the binary may also come from TALVO_BIN).
# Runs offscreen in fresh folders; build first (scripts/test or scripts/run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
talvo=${2:-${TALVO_BIN:-build/bin/talvo}}
automate_bin=$(dirname "$talvo")/talvo-automate
[ -x "$automate_bin" ] || automate_bin=build/bin/talvo-automate
. bench/three_devices.sh
sleep_us=$(sleep_cost_us)
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
start_talvo
automate '{"cmd":"ready"}'
automate '{"cmd":"wait","ms":2500}'
# Each device's effect, set as a user would, tab by tab.
automate '{"cmd":"check","name":"kb_tab","on":true}' '{"cmd":"check","name":"kb_deng_Op_tab","on":true}' \
  '{"cmd":"select","name":"kb_deng_combo_modeSelect","index":1}' \
  '{"cmd":"set_value","name":"kb_deng_speed_slider","value":4}'
automate '{"cmd":"check","name":"ms_tab","on":true}' '{"cmd":"check","name":"ms_deng_Op_tab","on":true}' \
  '{"cmd":"select","name":"ms_deng_combo_modeSelect2","index":0}' \
  '{"cmd":"set_value","name":"ms_deng_speed_slider","value":4}'
automate '{"cmd":"check","name":"mp_tab","on":true}' \
  '{"cmd":"select","name":"mp_deng_combo_modeSelect","index":1}' \
  '{"cmd":"set_value","name":"mp_deng_speed_slider","value":4}'
# The keyboard's lighting page shown: the busiest preview, every key lit.
automate '{"cmd":"check","name":"kb_tab","on":true}' '{"cmd":"check","name":"kb_deng_Op_tab","on":true}'
automate '{"cmd":"wait","ms":2000}'
measure_cpu "all three animating, window shown" "$seconds" "$sleep_us"
automate '{"cmd":"quit"}'
