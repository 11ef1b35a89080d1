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
sleep_cost_us=$(perl -MTime::HiRes=usleep,clock_gettime,CLOCK_PROCESS_CPUTIME_ID -e '
  my $n = 2000;
  my $t0 = clock_gettime(CLOCK_PROCESS_CPUTIME_ID);
  usleep(1000) for 1 .. $n;
  printf "%.2f\n", (clock_gettime(CLOCK_PROCESS_CPUTIME_ID) - $t0) / $n * 1e6;')
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/run" && chmod 700 "$work/run"
HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/system \
  QT_QPA_PLATFORM=offscreen TALVO_TRAY=0 "$talvo" --simulate=mouse,keyboard,mousepad \
  --automation "$work/s.sock" >/dev/null 2>&1 &
pid=$!
automate() { "$automate_bin" "$work/s.sock" "$@" >/dev/null; }
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
# Frame reports (command 18) each device received since the clear.
reports() {
  "$automate_bin" "$work/s.sock" "{\"cmd\":\"sim\",\"op\":\"traffic\",\"device\":\"$1\"}" |
    grep -o '"hex":"04....12' | wc -l
}
for d in keyboard mouse mousepad; do automate "{\"cmd\":\"sim\",\"op\":\"clear\",\"device\":\"$d\"}"; done
ticks() { awk '{print $14 + $15}' "$1"; }
start=$(ticks "/proc/$pid/stat")
sleep "$seconds"
end=$(ticks "/proc/$pid/stat")
kb=$(reports keyboard)
ms=$(reports mouse)
mp=$(reports mousepad)
hz=$(getconf CLK_TCK)
# Reports per frame: keyboard 7 (378 bytes), mouse 2 (60), mousepad 1 (45).
awk -v t=$((end - start)) -v hz="$hz" -v s="$seconds" -v kb="$kb" -v ms="$ms" -v mp="$mp" \
  -v sleep_us="$sleep_cost_us" 'BEGIN {
  cost = 100 * t / hz / s
  kbf = kb / 7 / s; msf = ms / 2 / s; mpf = mp / s
  floor = (kbf + msf + mpf + 2 * (kb + ms + mp) / s) * sleep_us / 1e4
  printf "all three animating, window shown: %.2f %% of one core over %d s\n", cost, s
  printf "  frames/s: keyboard %.1f, mouse %.1f, mousepad %.1f\n", kbf, msf, mpf
  printf "  floor %.2f %% (a sleep per frame and two per report at %.1f us each), cost / floor %.2f\n", floor,
    sleep_us, (floor > 0 ? cost / floor : 0) }'
automate '{"cmd":"quit"}'
