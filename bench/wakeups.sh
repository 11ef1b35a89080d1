#!/usr/bin/env bash
# How often each thread of an idle talvo wakes up: voluntary context switches
# per second of every thread over SECONDS, in two cases where nothing needs
# doing:
#   none    no device at all (--simulate=none);
#   hidden  the simulated mouse in mode 3, which the mouse runs itself (the
#           host computes frames for modes 0..2 only), the window hidden.
# With "desktop" as third argument, two other cases instead, on an X desktop
# (Xvfb and openbox, one xmessage window in front) with the desktop's own
# foreground source (--foreground=desktop):
#   unlinked  as hidden, no profile linked, so every application watcher rests;
#   linked    as hidden, a profile of each of the five watched lists linked to xmessage,
#             so all five watchers follow the window in front.
#   bench/wakeups.sh [SECONDS] [BINARY] [desktop]   (default 10, build/bin/talvo)
# The binary may also come from TALVO_BIN, e.g. an installed copy; its
# talvo-automate is used when it has one beside it. Runs offscreen in fresh
# folders; build first (scripts/test or scripts/run).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
talvo=${2:-${TALVO_BIN:-build/bin/talvo}}
automate_bin=$(dirname "$talvo")/talvo-automate
[ -x "$automate_bin" ] || automate_bin=build/bin/talvo-automate
cases=${3:-}
work=$(mktemp -d)
desktop=$(mktemp -d)
pid=
desktop_pids=()
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; for p in "${desktop_pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work" "$desktop"' EXIT

automate() { "$automate_bin" "$work/s.sock" "$@" >/dev/null; }

# One line per thread: id, voluntary switches, name.
snapshot() {
  local task
  for task in /proc/"$pid"/task/*; do
    awk -v tid="${task##*/}" -v name="$(cat "$task/comm" 2>/dev/null)" \
      '/^voluntary_ctxt_switches/ { printf "%s %s %s\n", tid, $2, name }' "$task/status" 2>/dev/null || true
  done
}

start() {
  HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/system \
    QT_QPA_PLATFORM=offscreen TALVO_TRAY=1 "$talvo" "$@" --automation "$work/s.sock" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -S "$work/s.sock" ] && break; sleep 0.1; done
  automate '{"cmd":"ready"}'
}

# The first entry of each watched list (keyboard key and device, mouse key
# and device, mousepad lighting) linked to xmessage in the index files a
# first start wrote, as its link check box leaves them.
link_five_lists() {
  start "$@"
  automate '{"cmd":"quit"}'
  wait "$pid" 2>/dev/null || true
  pid=
  python3 - "$work" <<'PY'
import pathlib, sys
links = {"kbProfile.ini": [("PROFILELIKEEXE", "PROCESS"), ("PROFILELIKEDEVICEEXE", "DEVICEPROCESS")],
         "msProfile.ini": [("PROFILELIKEEXE", "PROCESS"), ("PROFILELIKEDEVICEEXE", "DEVICEPROCESS")],
         "mpProfile.ini": [("PROFILELIKEDENGEXE", "DENGPROCESS")]}
for name, sections in links.items():
    path = next(pathlib.Path(sys.argv[1]).rglob(name))
    text = path.read_text(encoding="utf-8")
    for linked, process in sections:
        for section, value in ((linked, "1"), (process, "/usr/bin/xmessage")):
            header = "[" + section + "]\n"
            if header in text:
                at = text.index(header) + len(header)
                text = text[:at] + "0=" + value + "\n" + text[at:]
            else:
                text += "\n" + header + "0=" + value + "\n"
    path.write_text(text, encoding="utf-8")
PY
}

measure() {
  local label=$1
  shift
  rm -rf "${work:?}"/*
  mkdir -p "$work/run" && chmod 700 "$work/run"
  if [ "$label" = linked ]; then link_five_lists "$@"; fi
  start "$@"
  # Past the lighting threads' start delays and the device's first pass.
  automate '{"cmd":"wait","ms":4000}'
  if [ "$label" != none ]; then
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

if [ "$cases" = desktop ]; then
  Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 3>"$desktop/display" >/dev/null 2>&1 &
  desktop_pids+=($!)
  for _ in $(seq 100); do [ -s "$desktop/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n 1 "$desktop/display")
  openbox >/dev/null 2>&1 &
  desktop_pids+=($!)
  sleep 1
  xmessage -title linked "in front" >/dev/null 2>&1 &
  desktop_pids+=($!)
  sleep 1
  measure unlinked --simulate --foreground=desktop
  measure linked --simulate --foreground=desktop
else
  measure none --simulate=none
  measure hidden --simulate
fi
