# watch follows the heater as it is unplugged and plugged in again.
begin hotplug
start_heater --scenario /opt/helvane/cases/heater.scenario
helvane-cli watch >/tmp/watch.out 2>/tmp/watch.err &
watch_pid=$!
wait_for /tmp/watch.err 'Heater 1709-0634 answers (firmware V1.10).'
wait_for /tmp/watch.out 'Helvane (1709- 634): 7 Apr 2017 02:00:00, Tsoll=60°C'
unplug
wait_for /tmp/watch.err 'No heater found: connect the heater by USB. Waiting for it.'
plug
wait_for /tmp/watch.err 'Heater 1709-0634 answers (firmware V1.10).' 2
kill -INT $watch_pid
wait $watch_pid
code=$?
[ $code = 0 ] || fail "watch ended with $code: $(cat /tmp/watch.err)"
grep -q 'stopped answering' /tmp/watch.err && fail "watch took the unplug for a silent heater: $(cat /tmp/watch.err)"
pass
