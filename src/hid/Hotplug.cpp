#include "hid/Hotplug.h"

#include <QStringList>

Q_LOGGING_CATEGORY(lcHotplug, "helvane.hotplug", QtWarningMsg)

std::unique_ptr<THotplugSource> CreateHotplugSource(QWidget *Window, bool SystemLibrary,
                                                    THotplugEnumerate Enumerate,
                                                    THotplugNotify Notify)
{
#ifdef _WIN32
    Q_UNUSED(SystemLibrary);
    Q_UNUSED(Enumerate);
    return CreateWindowsHotplugSource(Window, std::move(Notify));
#else
    Q_UNUSED(Window);
    if (SystemLibrary) {
        if (auto Monitor = CreateUdevHotplugSource(Notify)) {
            qCInfo(lcHotplug, "device changes from the udev monitor");
            return Monitor;
        }
    }
    qCInfo(lcHotplug, "device changes from a poll of the HID enumeration");
    return CreatePollingHotplugSource(std::move(Enumerate), std::move(Notify));
#endif
}

QString UsbDeviceName(quint16 Vendor, quint16 Product, const QString &NativeId)
{
    return QStringLiteral("\\\\?\\USB#VID_%1&PID_%2#")
               .arg(Vendor, 4, 16, QLatin1Char('0'))
               .arg(Product, 4, 16, QLatin1Char('0'))
               .toUpper()
           + NativeId;
}

std::optional<TUsbIds> UsbIdsFromHidId(const QString &HidId)
{
    constexpr uint UsbBus = 0x0003;
    const QStringList Parts = HidId.split(QLatin1Char(':'));
    if (Parts.size() != 3)
        return std::nullopt;
    bool BusOk = false;
    bool VendorOk = false;
    bool ProductOk = false;
    const uint Bus = Parts[0].toUInt(&BusOk, 16);
    const uint Vendor = Parts[1].toUInt(&VendorOk, 16);
    const uint Product = Parts[2].toUInt(&ProductOk, 16);
    if (!BusOk || !VendorOk || !ProductOk || Bus != UsbBus || Vendor > 0xFFFF || Product > 0xFFFF)
        return std::nullopt;
    return TUsbIds{static_cast<quint16>(Vendor), static_cast<quint16>(Product)};
}
