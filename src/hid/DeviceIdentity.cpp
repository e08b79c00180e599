#include "hid/DeviceIdentity.h"

bool IsHeater(const TFHidDevice &Device)
{
    return Device.Vendor == HeaterVendor && Device.Product == HeaterProduct;
}

QString DevicePathKey(const QString &Path)
{
    return Path.mid(8, 17).toUpper();
}

QString ConnectedDeviceKey(const TFHidDevice &Device)
{
    if (Device.DevicePath.isEmpty())
        return QString();
#ifdef _WIN32
    return DevicePathKey(Device.DevicePath);
#else
    return QStringLiteral("VID_%1&PID_%2")
        .arg(Device.Vendor, 4, 16, QLatin1Char('0'))
        .arg(Device.Product, 4, 16, QLatin1Char('0'))
        .toUpper();
#endif
}
