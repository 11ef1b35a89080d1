#!/usr/bin/env bash
# Black-box checks of talvoctl against the simulated devices: exact request
# bytes on the wire and exit codes (bad arguments: talvoctl_bus_test.cpp).
set -u
talvoctl=$1
failures=0

check() {  # description, expected exit code, actual exit code
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1 (exit $3, expected $2)"
    failures=$((failures + 1))
  fi
}

expect_line() {  # description, output, regex
  if ! grep -qE "$3" <<<"$2"; then
    echo "FAIL: $1: no line matching $3 in:"
    echo "$2"
    failures=$((failures + 1))
  fi
}

zeros() { printf '0%.0s' $(seq 1 "$1"); }

out=$("$talvoctl" --simulate --trace info); rc=$?
check "info" 0 $rc
# Command 3: report id 4, checksum 0x0024 (3 + 33), command 3, length 0x21, offset 0, status 0.
expect_line "info request bytes" "$out" "^> 0424000321000000$(zeros 112)\$"
expect_line "info reply" "$out" "^< 04"

# Profiles are numbered 1..5 on the command line, 0..4 on the wire.
out=$("$talvoctl" --simulate --trace select-profile 3); rc=$?
check "select-profile" 0 $rc
# Command 6 writing one byte (2) at offset 0: checksum 6 + 1 + 2 = 9.
expect_line "select-profile request" "$out" "^> 0409000601000000$(printf 02)$(zeros 110)\$"

out=$("$talvoctl" --simulate settings); rc=$?
check "settings" 0 $rc
expect_line "settings shows the active profile" "$out" "^active profile [1-5]\$"

out=$("$talvoctl" --simulate --trace keymap 3); rc=$?
check "keymap" 0 $rc
# Profile 3 (2 on the wire): its key map is addressed from 2 x 126 = 252 (0x00fc), in ten chunks.
expect_line "keymap first chunk" "$out" "^> 04....0838fc0000"
expect_line "keymap last chunk" "$out" "^> 04....0808f40200"
chunks=$(grep -c '^> ' <<<"$out")
check "keymap chunk count" 10 "$chunks"

out=$("$talvoctl" --simulate --device keyboard default-map); rc=$?
check "keyboard default map" 0 $rc

out=$("$talvoctl" --simulate list); rc=$?
check "list" 0 $rc
expect_line "list shows the mouse command interface" "$out" "0c45:652c  usage page ff1c usage 0092"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all talvoctl checks passed"
