# The tool through the kernel: status, the whole history and the commands, each compared with
# what the same tool gets from the heater model loaded as its HID library. $latency: the heater's
# reply latency in milliseconds.
scenario=/opt/helvane/cases/heater.scenario

# The tool against the model in place of hidapi, for the outputs the kernel's path must match.
through_model() {
  HELVANE_HIDAPI=/opt/helvane/libheatersim.so HEATERSIM_SCENARIO=$scenario XDG_DATA_HOME=/tmp/model-data helvane-cli "$@"
}

# The written report as the model recorded it: report number, command, value (big-endian),
# padded with zeros to 65 bytes.
command_line() {
  printf '00 %s %s' "$1" "$2"
  i=6
  while [ $i -lt 65 ]; do printf ' 00'; i=$((i + 1)); done
  echo
}

begin tool-$latency
start_heater --scenario $scenario --latency $latency --record /tmp/written
XDG_DATA_HOME=/tmp/kernel-data
export XDG_DATA_HOME

expect_exit 0 helvane-cli status --json
cp /tmp/out /tmp/status.json
expect_in /tmp/status.json '"serial_number": "1709-0634"'
expect_in /tmp/status.json '"setpoint_c": 60'
through_model status --json >/tmp/model-status.json 2>&1
cmp -s /tmp/status.json /tmp/model-status.json ||
  fail "status through the kernel: $(cat /tmp/status.json); through the model: $(cat /tmp/model-status.json)"

expect_exit 0 helvane-cli history --csv /tmp/history.csv
expect_in /tmp/out '3264 samples written to /tmp/history.csv'
through_model history --csv /tmp/model-history.csv >/dev/null 2>&1
# The first line tells when the file was written.
tail -n +2 /tmp/history.csv >/tmp/history.rows
tail -n +2 /tmp/model-history.csv >/tmp/model-history.rows
cmp -s /tmp/history.rows /tmp/model-history.rows ||
  fail "the history differs from the model's: $(diff /tmp/model-history.rows /tmp/history.rows | head -c 600)"

: >/tmp/written
expect_exit 0 helvane-cli set-setpoint 70 --yes
expect_in /tmp/written "$(command_line 20 '00 00 00 46')"
expect_exit 0 helvane-cli status --json
expect_in /tmp/out '"setpoint_c": 70'

: >/tmp/written
expect_exit 0 helvane-cli set-pwm 2 500
[ "$(cat /tmp/written)" = "$(command_line 32 '00 00 01 F4')" ] ||
  fail "set-pwm wrote $(cat /tmp/written)"
expect_exit 0 helvane-cli status --json
expect_in /tmp/out '"string2_pwm_permille": 500'

: >/tmp/written
expect_exit 0 helvane-cli set-clock
expect_in /tmp/out 'Clock set to'
grep -q '^00 21 ' /tmp/written || fail "set-clock wrote $(cat /tmp/written)"
expect_exit 0 helvane-cli status --json
grep -q '"time": "2017-04-07T02:00:00' /tmp/out && fail "the clock stayed: $(cat /tmp/out)"
pass
