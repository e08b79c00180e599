#include "hid/Hotplug.h"

#include <QStringList>

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
        if (auto Monitor = CreateUdevHotplugSource(Notify))
            return Monitor;
    }
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

std::optional<TUsbIds> UsbIdsFromProduct(const QString &Product)
{
    const QStringList Parts = Product.split(QLatin1Char('/'));
    if (Parts.size() < 2)
        return std::nullopt;
    bool VendorOk = false;
    bool ProductOk = false;
    const TUsbIds Ids{Parts[0].toUShort(&VendorOk, 16), Parts[1].toUShort(&ProductOk, 16)};
    if (!VendorOk || !ProductOk)
        return std::nullopt;
    return Ids;
}
