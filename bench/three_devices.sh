# Sourced by the benches that run talvo with all three simulated devices:
# the CPU cost of one 1 ms sleep on this machine, talvo started offscreen in
# fresh folders, the frame reports each device received, and the CPU share
# measured over a span beside the floor of the sleeps those frames need (a
# sleep per frame and two per report: a wait for the device to take it and
# one for its reply). Expects $talvo, $automate_bin and $work to be set.

# Measured before talvo starts, so the two do not share the cores.
sleep_cost_us() {
  perl -MTime::HiRes=usleep,clock_gettime,CLOCK_PROCESS_CPUTIME_ID -e '
    my $n = 2000;
    my $t0 = clock_gettime(CLOCK_PROCESS_CPUTIME_ID);
    usleep(1000) for 1 .. $n;
    printf "%.2f\n", (clock_gettime(CLOCK_PROCESS_CPUTIME_ID) - $t0) / $n * 1e6;'
}

# start_talvo EXTRA_ARGUMENTS...: sets $pid; no session bus is reached.
start_talvo() {
  mkdir -p "$work/run" && chmod 700 "$work/run"
  HOME=$work XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/system \
    DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus QT_QPA_PLATFORM=offscreen TALVO_TRAY=0 \
    "$talvo" --simulate=mouse,keyboard,mousepad --automation "$work/s.sock" "$@" >/dev/null 2>&1 &
  pid=$!
}

automate() { "$automate_bin" "$work/s.sock" "$@" >/dev/null; }

# Frame reports (command 18) the device received since the last clear.
frame_reports() {
  "$automate_bin" "$work/s.sock" "{\"cmd\":\"sim\",\"op\":\"traffic\",\"device\":\"$1\"}" |
    grep -o '"hex":"04....12' | wc -l
}

cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }

# measure_cpu LABEL SECONDS SLEEP_US: clears the devices' logs, measures, and
# prints the CPU share, the frames per second each device received and the
# floor. Reports per frame: keyboard 7 (378 bytes), mouse 2 (60), mousepad 1.
measure_cpu() {
  local label=$1 seconds=$2 sleep_us=$3 start end d
  for d in keyboard mouse mousepad; do automate "{\"cmd\":\"sim\",\"op\":\"clear\",\"device\":\"$d\"}"; done
  start=$(cpu_ticks)
  sleep "$seconds"
  end=$(cpu_ticks)
  awk -v t=$((end - start)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" -v kb="$(frame_reports keyboard)" \
    -v ms="$(frame_reports mouse)" -v mp="$(frame_reports mousepad)" -v sleep_us="$sleep_us" -v label="$label" 'BEGIN {
    cost = 100 * t / hz / s
    kbf = kb / 7 / s; msf = ms / 2 / s; mpf = mp / s
    floor = (kbf + msf + mpf + 2 * (kb + ms + mp) / s) * sleep_us / 1e4
    printf "%s: %.2f %% of one core over %d s\n", label, cost, s
    printf "  frames/s: keyboard %.1f, mouse %.1f, mousepad %.1f\n", kbf, msf, mpf
    printf "  floor %.2f %% (a sleep per frame and two per report at %.1f us each), cost / floor %.2f\n", floor,
      sleep_us, (floor > 0 ? cost / floor : 0) }'
}
