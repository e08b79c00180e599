# The rule's first line still knows a heater by its USB parent: made from the same template for
# the machine's emulated USB keyboard, it gives the keyboard's hidraw node to plugdev.
begin usb-rule
rules=/etc/udev/rules.d/70-usb-keyboard.rules
cp /opt/helvane/cases/70-usb-keyboard.rules $rules
usb_line=$(grep -n 'ATTRS{idVendor}=="0627", ATTRS{idProduct}=="0001"' $rules | cut -d: -f1)
[ -n "$usb_line" ] || fail "the rule has no line for the USB parent: $(cat $rules)"
udevadm settle
node=
for path in /sys/class/hidraw/*; do
  case $(readlink -f "$path") in
    */usb*/0003:0627:0001.*) node=${path##*/} ;;
  esac
done
[ -n "$node" ] || fail "the emulated USB keyboard has no hidraw node with a USB parent: $(ls -l /sys/class/hidraw)"
udevadm test /sys/class/hidraw/$node >/tmp/udevadm-test 2>&1
grep -q "70-usb-keyboard.rules:$usb_line GROUP" /tmp/udevadm-test ||
  fail "udevadm test applies no GROUP from line $usb_line: $(grep -a 70-usb /tmp/udevadm-test | head -c 600)"
pass
