#!/usr/bin/env bash
# CPU use of talvo while the simulated mouse's lighting animates in mode 0
# (spectrum) at its fastest speed, and the frames per second the mouse
# receives; then the share of the UI thread, of the mouse's lighting thread
# (which also carries the simulated mouse's side of each exchange) and of
# the rest.
#   bench/cpu_while_animating.sh [SECONDS] [shown|hidden]     (default 30 shown)
# Runs offscreen in fresh folders; build first (scripts/test or scripts/run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
state=${2:-shown}
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/run" && chmod 700 "$work/run"
tray=0
[ "$state" = hidden ] && tray=1
HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/system \
  QT_QPA_PLATFORM=offscreen TALVO_TRAY=$tray build/bin/talvo --simulate --automation "$work/s.sock" \
  >/dev/null 2>&1 &
pid=$!
automate() { build/bin/talvo-automate "$work/s.sock" "$@" >/dev/null; }
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
  build/bin/talvo-automate "$work/s.sock" '{"cmd":"sim","op":"traffic","device":"mouse"}' |
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
  -v hz="$hz" -v s="$seconds" -v r="$reports" -v st="$state" 'BEGIN {
  printf "window %s: %.2f %% of one core over %d s, %.1f frames/s to the mouse\n", st, 100 * t / hz / s, s, r / 2 / s
  printf "  UI thread %.2f %%, mouse lighting thread %.2f %%, other threads %.2f %%\n",
    100 * ui / hz / s, 100 * light / hz / s, 100 * (t - ui - light) / hz / s }'
automate '{"cmd":"quit"}'
