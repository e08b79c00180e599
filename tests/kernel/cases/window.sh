# The window in the technician mode, which keeps the data log, connects at start and downloads, polls, follows an unplug in the middle of a
# download and the replug, all through udev's monitor. The heater answers 20 ms late, so that a
# download lasts long enough to be cut.
begin window
start_heater --scenario /opt/helvane/cases/heater.scenario --latency 20 --record /tmp/written
export HELVANE_ARCHIVE=/tmp/window.sqlite QT_LOGGING_RULES='helvane.hotplug.info=true'
helvane mondrel >/tmp/window.out 2>/tmp/window.err &
window_pid=$!

# A history read-out begins afresh with command 2, value 0; each block is asked for with 16.
restart='^00 02 00 00 00 00 '
wait_for /tmp/window.err 'device changes from the udev monitor'
wait_for /tmp/written '00 10 00 00 00 00' 20
unplug
wait_for /tmp/window.err 'udev monitor: removal of \\?\USB#VID_1FC9&PID_8156#'
[ "$(grep -c "$restart" /tmp/written)" = 1 ] || fail "the window read the history more than once before the unplug"
plug
wait_for /tmp/window.err 'udev monitor: arrival of \\?\USB#VID_1FC9&PID_8156#'
tries=0
while [ "$(grep -c "$restart" /tmp/written)" -lt 2 ] && [ $tries -lt 300 ]; do sleep 0.1; tries=$((tries + 1)); done
[ "$(grep -c "$restart" /tmp/written)" = 2 ] || fail "the window did not read the history again after the replug"

# The second download ends with its 300 blocks in the archive, then the polls go on.
tries=0
samples=0
while [ $tries -lt 120 ]; do
  helvane-cli archive export --csv /tmp/archive.csv >/dev/null 2>&1 && samples=$(($(wc -l </tmp/archive.csv) - 1))
  [ "$samples" -ge 1200 ] && break
  sleep 0.5
  tries=$((tries + 1))
done
[ "$samples" -ge 1200 ] || fail "the archive holds $samples samples after the replug's download, not 1200"
# Each status poll adds a line to the data log beside the program.
log=/opt/helvane/Data.log
lines=$(wc -l <$log)
tries=0
while [ "$(wc -l <$log)" -lt $((lines + 2)) ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
[ "$(wc -l <$log)" -ge $((lines + 2)) ] || fail "the window stopped polling: $log stays at $lines lines"
grep -q 'enumeration poll' /tmp/window.err && fail "the enumeration poll reported a change: $(cat /tmp/window.err)"
kill $window_pid
wait $window_pid
pass
