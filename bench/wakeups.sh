#!/usr/bin/env bash
# How often each thread of an idle talvo wakes up: voluntary context switches
# per second of every thread over SECONDS, in two cases where nothing needs
# doing:
#   none    no device at all (--simulate=none);
#   hidden  the simulated mouse in mode 3, which the mouse runs itself (the
#           host computes frames for modes 0..2 only), the window hidden.
#   bench/wakeups.sh [SECONDS] [BINARY]     (default 10, build/bin/talvo)
# The binary may also come from TALVO_BIN, e.g. an installed copy; its
# talvo-automate is used when it has one beside it. Runs offscreen in fresh
# folders; build first (scripts/test or scripts/run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
talvo=${2:-${TALVO_BIN:-build/bin/talvo}}
automate_bin=$(dirname "$talvo")/talvo-automate
[ -x "$automate_bin" ] || automate_bin=build/bin/talvo-automate
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

automate() { "$automate_bin" "$work/s.sock" "$@" >/dev/null; }

# One line per thread: id, voluntary switches, name.
snapshot() {
  local task
  for task in /proc/"$pid"/task/*; do
    awk -v tid="${task##*/}" -v name="$(cat "$task/comm" 2>/dev/null)" \
      '/^voluntary_ctxt_switches/ { printf "%s %s %s\n", tid, $2, name }' "$task/status" 2>/dev/null || true
  done
}

measure() {
  local label=$1
  shift
  rm -rf "${work:?}"/*
  mkdir -p "$work/run" && chmod 700 "$work/run"
  HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/system \
    QT_QPA_PLATFORM=offscreen TALVO_TRAY=1 "$talvo" "$@" --automation "$work/s.sock" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -S "$work/s.sock" ] && break; sleep 0.1; done
  automate '{"cmd":"ready"}'
  # Past the lighting threads' start delays and the device's first pass.
  automate '{"cmd":"wait","ms":4000}'
  if [ "$label" = hidden ]; then
    automate '{"cmd":"select","name":"ms_deng_combo_modeSelect2","index":3}'
    automate '{"cmd":"wait","ms":500}'
    if [ "$(automate_window visible)" = true ]; then automate '{"cmd":"tray","button":"left"}'; fi
  fi
  # Let what the last requests started settle.
  automate '{"cmd":"wait","ms":1000}'
  snapshot >"$work/before"
  sleep "$seconds"
  snapshot >"$work/after"
  automate '{"cmd":"quit"}'
  wait "$pid" 2>/dev/null || true
  pid=
  echo "$label: $talvo $*, wake-ups per second over $seconds s"
  printf '  %-22s %8s %9s\n' thread id wakes/s
  awk -v s="$seconds" '
    NR == FNR { start[$1] = $2; next }
    {
      name = $3
      for (i = 4; i <= NF; ++i) name = name " " $i
      printf "%.3f\t%s\t%s\n", ($2 - (($1 in start) ? start[$1] : 0)) / s, name, $1
    }' "$work/before" "$work/after" | sort -t $'\t' -k1,1gr |
    awk -F '\t' '{ total += $1; printf "  %-22s %8s %9.1f\n", $2, $3, $1 }
      END { printf "  %-22s %8s %9.1f\n", "total", "", total }'
}

automate_window() {
  "$automate_bin" "$work/s.sock" '{"cmd":"window"}' | grep -o "\"$1\":[a-z]*" | cut -d: -f2
}

measure none --simulate=none
measure hidden --simulate
