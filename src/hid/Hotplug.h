#pragma once

// Sources of device arrival and removal notifications. A source lives while TFHid is
// registered and reports each change on the UI thread, with a device name whose characters
// 9 to 25 read "VID_xxxx&PID_xxxx" (the form Windows gives to USB device-interface paths),
// so that the vendor and product of the device can be told from it on every platform.

#include "hid/FHid.h"

#include <QLoggingCategory>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Which source runs and each change it reports, at the info level: off unless asked for with
// QT_LOGGING_RULES="helvane.hotplug.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcHotplug)

class THotplugSource {
public:
    virtual ~THotplugSource() = default;
};

struct THotplugChange {
    bool Arrival = false;
    QString DeviceName;
};

using THotplugNotify = std::function<void(bool Arrival, const QString &DeviceName)>;
using THotplugEnumerate = std::function<TFHidDevices()>;

// The source for this platform: the window's device-change messages on Windows; elsewhere the
// system's USB monitor when the HID library is the system's and a monitor can be made, else a
// poll of the HID enumeration. Null when no source can be made.
std::unique_ptr<THotplugSource> CreateHotplugSource(QWidget *Window, bool SystemLibrary,
                                                    THotplugEnumerate Enumerate,
                                                    THotplugNotify Notify);

// Polls the enumeration about every 500 ms; devices present at creation are not reported.
std::unique_ptr<THotplugSource> CreatePollingHotplugSource(THotplugEnumerate Enumerate,
                                                           THotplugNotify Notify);
#ifdef _WIN32
std::unique_ptr<THotplugSource> CreateWindowsHotplugSource(QWidget *Window, THotplugNotify Notify);
#else
// Null when no udev monitor can be made or no udev daemon runs to feed it.
std::unique_ptr<THotplugSource> CreateUdevHotplugSource(THotplugNotify Notify);
#endif

// "\\?\USB#VID_%04X&PID_%04X#" followed by the native id of the device.
QString UsbDeviceName(quint16 Vendor, quint16 Product, const QString &NativeId);

struct TUsbIds {
    quint16 Vendor = 0;
    quint16 Product = 0;
};
// Vendor and product of a USB HID device from its uevent's HID_ID value: bus, vendor and product
// in hexadecimal ("0003:00001FC9:00008156"). Nothing for another bus or a malformed value.
std::optional<TUsbIds> UsbIdsFromHidId(const QString &HidId);
