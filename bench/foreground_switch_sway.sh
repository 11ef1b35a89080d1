#!/usr/bin/env bash
# Focus changes on a headless sway with two windows of two programs (foot and
# a copy of foot under another name), focused in turn ROUNDS times each:
#  - how long each takes to reach Talvo's sway foreground source (from
#    sending the focus command to the source telling its listeners), and
#  - how long each takes to switch the profile linked to the program in
#    front: Talvo under automation with --foreground=desktop in the sway
#    session's environment (its Qt stays offscreen), 20 switches.
# Each prints the median and worst time.
#   bench/foreground_switch_sway.sh [ROUNDS] [BINARY] [SWITCH_BINARY]
# (defaults 20, build/bench/bench_foreground_switch_sway and
# build/bench/bench_foreground_switch; build them first with
# cmake --build build --target bench_foreground_switch_sway bench_foreground_switch).
# sway refuses to run as root: as root, sway and its clients run as nobody in
# a private runtime folder.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-20}
bench=${2:-build/bench/bench_foreground_switch_sway}
switch_bench=${3:-build/bench/bench_foreground_switch}
runtime=$(mktemp -d /tmp/talvo-bench-sway-XXXXXX)
sway_pid=
cleanup() {
  [ -n "$sway_pid" ] && kill "$sway_pid" 2>/dev/null && wait "$sway_pid" 2>/dev/null
  for f in "$runtime"/client*; do [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null; done
  rm -rf "$runtime"
}
trap cleanup EXIT

echo "xwayland disable" >"$runtime/config"
printf '#!/bin/sh\necho $$ > "$1"\nshift\nexec "$@"\n' >"$runtime/launch"
chmod 755 "$runtime/launch"
# A second program for the second window: both windows' programs are linked.
cp "$(command -v foot)" "$runtime/foot-second"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R 65534:65534 "$runtime"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
socket=$runtime/sway.sock
"${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$runtime" XDG_RUNTIME_DIR="$runtime" SWAYSOCK="$socket" \
  WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 sway -c "$runtime/config" \
  >"$runtime/sway.log" 2>&1 &
sway_pid=$!
for _ in $(seq 100); do [ -S "$socket" ] && break; sleep 0.1; done
[ -S "$socket" ] || { cat "$runtime/sway.log" >&2; exit 1; }

pids=()
programs=(foot "$runtime/foot-second")
for n in 1 2; do
  swaymsg -s "$socket" "exec $runtime/launch $runtime/client$n ${programs[n - 1]} sleep 600" >/dev/null
  for _ in $(seq 100); do [ -s "$runtime/client$n" ] && break; sleep 0.1; done
  pids+=("$(cat "$runtime/client$n")")
done
# Both windows mapped before timing starts.
for _ in $(seq 100); do
  [ "$(swaymsg -s "$socket" -t get_tree | grep -c '"pid"')" -ge 2 ] && break
  sleep 0.1
done
"$bench" "$socket" "${pids[0]}" "${pids[1]}" "$rounds"
display=$(find "$runtime" -maxdepth 1 -name 'wayland-*' -type s -printf '%p\n' | head -n 1)
SWAYSOCK=$socket WAYLAND_DISPLAY=$display XDG_SESSION_TYPE=wayland \
  "$switch_bench" --sway "${pids[0]}" "${pids[1]}"
