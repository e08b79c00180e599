# The MQTT bridge tells a broker on the machine's own loopback that the heater went offline when
# it was unplugged, and online again when it came back.
begin bridge
start_heater --scenario /opt/helvane/cases/heater.scenario
printf 'listener 1883 127.0.0.1\nallow_anonymous true\nuser root\n' >/tmp/mosquitto.conf
mosquitto -c /tmp/mosquitto.conf >/tmp/mosquitto.log 2>&1 &
broker_pid=$!
sleep 1
mosquitto_sub -h 127.0.0.1 -p 1883 -v -t 'helvane/+/availability' >/tmp/availability &
sub_pid=$!
helvane-cli mqtt --broker 127.0.0.1:1883 --no-archive >/tmp/bridge.out 2>/tmp/bridge.err &
bridge_pid=$!
wait_for /tmp/availability 'helvane/1709-0634/availability online'
unplug
wait_for /tmp/availability 'helvane/1709-0634/availability offline'
plug
wait_for /tmp/availability 'helvane/1709-0634/availability online' 2
kill -TERM $bridge_pid
wait $bridge_pid
code=$?
kill $sub_pid $broker_pid
[ $code = 0 ] || fail "the bridge ended with $code: $(tail -c 600 /tmp/bridge.err)"
pass
