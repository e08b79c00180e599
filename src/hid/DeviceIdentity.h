#pragma once

// Which device a removal notification speaks of. A notification names a USB device-interface
// path whose characters 9 to 25 read VID_xxxx&PID_xxxx; the connected heater is known by its
// HID path, which carries the same part on Windows but not on Linux (/dev/hidraw0).

#include "hid/FHid.h"

#include <QString>

constexpr quint16 HeaterVendor = 0x1FC9;
constexpr quint16 HeaterProduct = 0x8156;

bool IsHeater(const TFHidDevice &Device);

// Characters 9 to 25 of a device path, upper-cased; shorter paths give what exists.
QString DevicePathKey(const QString &Path);

// The key that a removal of the connected device carries; empty while nothing is connected.
QString ConnectedDeviceKey(const TFHidDevice &Device);
