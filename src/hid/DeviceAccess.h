#pragma once

// Whether the system lets this user at a device that was found. On Linux a heater's hidraw node
// belongs to root until a udev rule hands it to the logged-in user; the open then fails without
// saying why, so the node is asked directly.

#include <QString>

// True only when the system refuses this user access to the device node at Path; a path that is
// no file (another HID backend, another system) is never refused here.
bool DeviceAccessDenied(const QString &Path);
