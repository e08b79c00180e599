# The packaged udev rule gives the heater's node to the group plugdev: a member uses the heater,
# anyone else gets the message that names the rule.
begin permissions
start_heater --scenario /opt/helvane/cases/heater.scenario
node=$(heater_node)
[ "$(stat -c '%A %G' $node)" = 'crw-rw---- plugdev' ] || fail "$node is $(stat -c '%A %U %G' $node)"
udevadm test /sys/class/hidraw/${node#/dev/} >/tmp/udevadm-test 2>&1
grep -q '70-helvane.rules' /tmp/udevadm-test || fail "udevadm test applies no line of 70-helvane.rules: $(tail -c 600 /tmp/udevadm-test)"
expect_exit 0 su -s /bin/sh -c '/opt/helvane/helvane-cli status --json' heater
expect_in /tmp/out '"serial_number": "1709-0634"'
expect_exit 1 su -s /bin/sh -c '/opt/helvane/helvane-cli status' guest
expect_in /tmp/err 'A heater is connected, but this user may not open it: install the udev rule 70-helvane.rules.'
pass
