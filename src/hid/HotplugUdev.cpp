#ifndef _WIN32

#include "hid/Hotplug.h"

#include <QSocketNotifier>

#include <libudev.h>
#include <unistd.h>

namespace {

struct TUdevRelease {
    void operator()(udev *Context) const { udev_unref(Context); }
    void operator()(udev_monitor *Monitor) const { udev_monitor_unref(Monitor); }
    void operator()(udev_device *Device) const { udev_device_unref(Device); }
};
using TUdevContext = std::unique_ptr<udev, TUdevRelease>;
using TUdevMonitor = std::unique_ptr<udev_monitor, TUdevRelease>;
using TUdevDevice = std::unique_ptr<udev_device, TUdevRelease>;

// Without the daemon (in containers, for example) a udev monitor opens but never hears a thing.
bool UdevDaemonRunning()
{
    return access("/run/udev/control", F_OK) == 0;
}

std::optional<THotplugChange> ReceiveChange(udev_monitor *Monitor)
{
    const TUdevDevice Device(udev_monitor_receive_device(Monitor));
    if (!Device)
        return std::nullopt;
    const QByteArray Action(udev_device_get_action(Device.get()));
    if (Action != "add" && Action != "remove")
        return std::nullopt;
    const std::optional<TUsbIds> Ids =
        UsbIdsFromHidId(QString::fromLatin1(udev_device_get_property_value(Device.get(), "HID_ID")));
    if (!Ids)
        return std::nullopt;
    const QString SysPath = QString::fromLocal8Bit(udev_device_get_syspath(Device.get()));
    return THotplugChange{Action == "add", UsbDeviceName(Ids->Vendor, Ids->Product, SysPath)};
}

class TUdevSource final : public THotplugSource {
public:
    TUdevSource(TUdevContext Context, TUdevMonitor Monitor, THotplugNotify Notify)
        : FContext(std::move(Context)), FMonitor(std::move(Monitor)), FNotify(std::move(Notify)),
          FReadable(udev_monitor_get_fd(FMonitor.get()), QSocketNotifier::Read)
    {
        QObject::connect(&FReadable, &QSocketNotifier::activated, &FReadable, [this] { Receive(); });
    }

private:
    void Receive()
    {
        const std::optional<THotplugChange> Change = ReceiveChange(FMonitor.get());
        if (!Change)
            return;
        // A handler may end the registration and so this source: use nothing of it from here.
        const THotplugNotify Notify = FNotify;
        qCInfo(lcHotplug).noquote() << "udev monitor:" << (Change->Arrival ? "arrival of" : "removal of") << Change->DeviceName;
        Notify(Change->Arrival, Change->DeviceName);
    }

    TUdevContext FContext;
    TUdevMonitor FMonitor;
    THotplugNotify FNotify;
    QSocketNotifier FReadable;
};

} // namespace

std::unique_ptr<THotplugSource> CreateUdevHotplugSource(THotplugNotify Notify)
{
    if (!UdevDaemonRunning())
        return nullptr;
    TUdevContext Context(udev_new());
    if (!Context)
        return nullptr;
    TUdevMonitor Monitor(udev_monitor_new_from_netlink(Context.get(), "udev"));
    if (!Monitor
        || udev_monitor_filter_add_match_subsystem_devtype(Monitor.get(), "hid", nullptr) < 0
        || udev_monitor_enable_receiving(Monitor.get()) < 0)
        return nullptr;
    return std::make_unique<TUdevSource>(std::move(Context), std::move(Monitor), std::move(Notify));
}

#endif
