#include "hid/Hotplug.h"

#include <QTimer>

#include <map>
#include <vector>

namespace {

// The devices present: HID path to device name.
using TSnapshot = std::map<QString, QString>;

TSnapshot Snapshot(const TFHidDevices &Devices)
{
    TSnapshot Present;
    for (const TFHidDevice &Device : Devices)
        Present.emplace(Device.DevicePath,
                        UsbDeviceName(Device.Vendor, Device.Product, Device.DevicePath));
    return Present;
}

// Removals first, so that a device unplugged and plugged again between two polls on the same
// path is reported in the order it happened.
std::vector<THotplugChange> Changes(const TSnapshot &Before, const TSnapshot &After)
{
    std::vector<THotplugChange> Found;
    for (const auto &[Path, Name] : Before)
        if (!After.contains(Path))
            Found.push_back({false, Name});
    for (const auto &[Path, Name] : After)
        if (!Before.contains(Path))
            Found.push_back({true, Name});
    return Found;
}

class TPollingSource final : public THotplugSource {
public:
    TPollingSource(THotplugEnumerate Enumerate, THotplugNotify Notify)
        : FEnumerate(std::move(Enumerate)), FNotify(std::move(Notify)),
          FPresent(Snapshot(FEnumerate()))
    {
        QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this] { Poll(); });
        FTimer.start(PollInterval);
    }

private:
    static constexpr int PollInterval = 500;

    void Poll()
    {
        TSnapshot Now = Snapshot(FEnumerate());
        const std::vector<THotplugChange> Found = Changes(FPresent, Now);
        FPresent = std::move(Now);
        // A handler may end the registration and so this source: use nothing of it from here.
        const THotplugNotify Notify = FNotify;
        for (const THotplugChange &Change : Found) {
            qCInfo(lcHotplug).noquote() << "enumeration poll:" << (Change.Arrival ? "arrival of" : "removal of") << Change.DeviceName;
            Notify(Change.Arrival, Change.DeviceName);
        }
    }

    THotplugEnumerate FEnumerate;
    THotplugNotify FNotify;
    TSnapshot FPresent;
    QTimer FTimer;
};

} // namespace

std::unique_ptr<THotplugSource> CreatePollingHotplugSource(THotplugEnumerate Enumerate,
                                                           THotplugNotify Notify)
{
    return std::make_unique<TPollingSource>(std::move(Enumerate), std::move(Notify));
}
