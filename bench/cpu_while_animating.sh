#!/usr/bin/env bash
# CPU use of talvo while the simulated mouse's lighting animates in mode 0
# (spectrum) at its fastest speed, and the frames per second the mouse
# receives; then the share of the UI thread, of the mouse's lighting thread
# (which also carries the simulated mouse's side of each exchange) and of
# the rest.
#   bench/cpu_while_animating.sh [SECONDS] [shown|hidden] [BINARY]
# (default 30 shown build/bin/talvo; the binary may also come from TALVO_BIN,
# and its talvo-automate is used when it has one beside it).
#
# It also prints the floor: what the sleeps the protocol cannot avoid cost,
# five per frame (the frame delay, and per report a wait for the device to
# take it and one for its reply), at this machine's CPU cost of one 1 ms
# sleep, measured first; and the ratio of the CPU use to that floor.
# Runs offscreen in fresh folders; build first (scripts/test or scripts/run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
state=${2:-shown}
talvo=${3:-${TALVO_BIN:-build/bin/talvo}}
automate_bin=$(dirname "$talvo")/talvo-automate
[ -x "$automate_bin" ] || automate_bin=build/bin/talvo-automate
# Before talvo starts, so the two do not share the cores.
sleep_cost_us=$(perl -MTime::HiRes=usleep,clock_gettime,CLOCK_PROCESS_CPUTIME_ID -e '
  my $n = 2000;
  my $t0 = clock_gettime(CLOCK_PROCESS_CPUTIME_ID);
  usleep(1000) for 1 .. $n;
  printf "%.2f\n", (clock_gettime(CLOCK_PROCESS_CPUTIME_ID) - $t0) / $n * 1e6;')
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/run" && chmod 700 "$work/run"
tray=0
[ "$state" = hidden ] && tray=1
HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/system \
  QT_QPA_PLATFORM=offscreen TALVO_TRAY=$tray "$talvo" --simulate --automation "$work/s.sock" \
  >/dev/null 2>&1 &
pid=$!
automate() { "$automate_bin" "$work/s.sock" "$@" >/dev/null; }
automate '{"cmd":"ready"}'
# The first pass shows the window and loads the mouse's profile; then the
# effect is set as a user would.
automate '{"cmd":"wait","ms":2000}'
automate '{"cmd":"select","name":"ms_deng_combo_modeSelect2","index":0}'
automate '{"cmd":"set_value","name":"ms_deng_speed_slider","value":4}'
automate '{"cmd":"wait","ms":2000}'
# Hide it again for the hidden case.
[ "$state" = hidden ] && automate '{"cmd":"tray","button":"left"}'
frames() {
  "$automate_bin" "$work/s.sock" '{"cmd":"sim","op":"traffic","device":"mouse"}' |
    grep -o '"hex":"04....12' | wc -l
}
automate '{"cmd":"sim","op":"clear","device":"mouse"}'
ticks() { awk '{print $14 + $15}' "$1"; }
lighting=$(grep -l '^MouseLighting$' /proc/"$pid"/task/*/comm | head -1)
lighting=${lighting%/comm}
start=$(ticks "/proc/$pid/stat")
ui_start=$(ticks "/proc/$pid/task/$pid/stat")
light_start=$(ticks "$lighting/stat")
sleep "$seconds"
end=$(ticks "/proc/$pid/stat")
ui_end=$(ticks "/proc/$pid/task/$pid/stat")
light_end=$(ticks "$lighting/stat")
reports=$(frames)
hz=$(getconf CLK_TCK)
awk -v t=$((end - start)) -v ui=$((ui_end - ui_start)) -v light=$((light_end - light_start)) \
  -v hz="$hz" -v s="$seconds" -v r="$reports" -v st="$state" -v sleep_us="$sleep_cost_us" 'BEGIN {
  cost = 100 * t / hz / s
  fps = r / 2 / s
  floor = fps * 5 * sleep_us / 1e4
  printf "window %s: %.2f %% of one core over %d s, %.1f frames/s to the mouse\n", st, cost, s, fps
  printf "  UI thread %.2f %%, mouse lighting thread %.2f %%, other threads %.2f %%\n",
    100 * ui / hz / s, 100 * light / hz / s, 100 * (t - ui - light) / hz / s
  printf "  floor %.2f %% (5 sleeps a frame at %.1f us each), cost / floor %.2f\n", floor, sleep_us,
    (floor > 0 ? cost / floor : 0) }'
automate '{"cmd":"quit"}'
