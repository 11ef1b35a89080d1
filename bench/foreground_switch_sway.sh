#!/usr/bin/env bash
# How long a focus change on sway takes to reach Talvo's sway foreground
# source: a headless sway with two foot windows, focused in turn ROUNDS times
# each, prints the median and worst time from sending the focus command to
# the source telling its listeners.
#   bench/foreground_switch_sway.sh [ROUNDS] [BINARY]
# (default 20, build/bench/bench_foreground_switch_sway; build it first with
# cmake --build build --target bench_foreground_switch_sway). sway refuses to run
# as root: as root, sway and its clients run as nobody in a private runtime
# folder.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-20}
bench=${2:-build/bench/bench_foreground_switch_sway}
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
for n in 1 2; do
  swaymsg -s "$socket" "exec $runtime/launch $runtime/client$n foot sleep 600" >/dev/null
  for _ in $(seq 100); do [ -s "$runtime/client$n" ] && break; sleep 0.1; done
  pids+=("$(cat "$runtime/client$n")")
done
# Both windows mapped before timing starts.
for _ in $(seq 100); do
  [ "$(swaymsg -s "$socket" -t get_tree | grep -c '"pid"')" -ge 2 ] && break
  sleep 0.1
done
"$bench" "$socket" "${pids[0]}" "${pids[1]}" "$rounds"
