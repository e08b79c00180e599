# The heater's faults passed through the kernel give the tool's messages and exit codes of the
# heater model loaded as its HID library.
scenario=/opt/helvane/cases/heater.scenario
begin faults

# A status report cut to 10 data bytes.
start_heater --scenario $scenario --status-length 10
expect_exit 1 helvane-cli status
expect_in /tmp/err 'The heater stopped answering (Status report too short: 11 bytes): unplug it and plug it in again.'
stop_heater

# A heater that sends no input report: commands go out, the history brings nothing.
start_heater --scenario $scenario --silent --record /tmp/written
expect_exit 0 helvane-cli set-pwm 1 0
expect_in /tmp/written '00 31 00 00 00 00 00'
expect_exit 1 helvane-cli history --csv /tmp/silent.csv
expect_in /tmp/err 'no valid samples: the heater sent no stored history'
stop_heater

# Replies 60 ms late.
start_heater --scenario $scenario --latency 60
expect_exit 0 helvane-cli set-setpoint 65 --yes
expect_exit 0 helvane-cli status --json
expect_in /tmp/out '"setpoint_c": 65'
stop_heater

# Input reports of 40 bytes, shorter than the 64 the heater's descriptor gives: the kernel drops
# them, so the tool meets a heater that sends no history.
start_heater --scenario $scenario --input-length 40
expect_exit 1 helvane-cli history --csv /tmp/short.csv
expect_in /tmp/err 'no valid samples: the heater sent no stored history; "/tmp/short.csv" was not written.'
stop_heater

# Unplugged in the middle of the read-out: the kernel fails the read.
start_heater --scenario $scenario --latency 20 --record /tmp/written
helvane-cli history --csv /tmp/cut.csv >/tmp/cut.out 2>/tmp/cut.err &
history_pid=$!
wait_for /tmp/written '00 10 00 00 00 00' 20
unplug
wait $history_pid
code=$?
[ $code = 1 ] || fail "history ended with $code when the heater was unplugged: $(cat /tmp/cut.err)"
expect_in /tmp/cut.err 'helvane-cli: The heater was unplugged during the exchange ('
[ -e /tmp/cut.csv ] && fail "history wrote a CSV file from a read-out cut short"
pass
