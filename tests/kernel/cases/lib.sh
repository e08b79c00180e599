# Helpers of the cases run inside the test machine. A case ends with "CASE name ok" once all its
# checks held, or at its first failed check with "CASE name failed: why".
export HOME=/tmp LANG=C.UTF-8 TZ=UTC QT_QPA_PLATFORM=offscreen
case_name=
heater_pid=

begin() {
  case_name=$1
  echo "machine: case $case_name"
}

fail() {
  echo "CASE $case_name failed: $*"
  stop_heater
  exit 1
}

pass() {
  stop_heater
  echo "CASE $case_name ok"
}

# Starts the heater on /dev/uhid with the options given; returns once udev has made its node.
start_heater() {
  LD_LIBRARY_PATH=/opt/helvane heatersim-uhid "$@" 2>/tmp/heater.log &
  heater_pid=$!
  wait_for_node present || fail "no hidraw node for the heater: $(cat /tmp/heater.log)"
}

stop_heater() {
  if [ -n "$heater_pid" ]; then
    kill "$heater_pid" 2>/dev/null
    wait "$heater_pid" 2>/dev/null
    heater_pid=
  fi
  udevadm settle
}

unplug() { kill -USR1 "$heater_pid"; wait_for_node absent || fail "the heater's node stayed after the unplug"; }
plug() { kill -USR2 "$heater_pid"; wait_for_node present || fail "no node after the plug"; }

# The heater's hidraw node, /dev/hidrawN; nothing while it is unplugged. Other HID devices, such
# as an emulated USB keyboard, may have nodes of their own.
heater_node() {
  local node
  for node in /sys/class/hidraw/*; do
    case $(readlink -f "$node") in
      */0003:1FC9:8156.*) echo "/dev/${node##*/}" ;;
    esac
  done
}

# Waits up to 10 s for the heater's hidraw node to be there (present) or gone (absent), with
# udev done with it.
wait_for_node() {
  local tries=0
  while [ $tries -lt 100 ]; do
    udevadm settle
    if [ "$1" = present ] && [ -n "$(heater_node)" ] && [ -e "$(heater_node)" ]; then return 0; fi
    if [ "$1" = absent ] && [ -z "$(heater_node)" ]; then return 0; fi
    tries=$((tries + 1))
    sleep 0.1
  done
  return 1
}

# expect_exit CODE COMMAND...: runs the command, its output in /tmp/out and /tmp/err.
expect_exit() {
  local want=$1; shift
  "$@" >/tmp/out 2>/tmp/err
  local got=$?
  [ "$got" = "$want" ] || fail "'$*' exited $got, not $want: $(head -c 400 /tmp/err)"
}

# expect_in FILE TEXT: the file holds the text.
expect_in() {
  grep -qF -- "$2" "$1" || fail "$1 lacks '$2': $(head -c 400 "$1")"
}

# wait_for FILE TEXT [COUNT]: waits up to 30 s until the file holds the text on COUNT lines (1).
wait_for() {
  local tries=0
  while [ $tries -lt 300 ]; do
    [ "$(grep -cF -- "$2" "$1" 2>/dev/null)" -ge "${3:-1}" ] && return 0
    tries=$((tries + 1))
    sleep 0.1
  done
  fail "$1 does not hold '$2' ${3:-1} times: $(tail -c 600 "$1" 2>/dev/null)"
}
