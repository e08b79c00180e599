#ifdef _WIN32

#include "hid/Hotplug.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>

#include <windows.h>
#include <dbt.h>

namespace {

// GUID_DEVINTERFACE_USB_DEVICE
constexpr GUID UsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

std::optional<THotplugChange> ChangeOf(const MSG &Message, HWND Window)
{
    if (Message.hwnd != Window || Message.message != WM_DEVICECHANGE)
        return std::nullopt;
    if (Message.wParam != DBT_DEVICEARRIVAL && Message.wParam != DBT_DEVICEREMOVECOMPLETE)
        return std::nullopt;
    const auto *Header = reinterpret_cast<const DEV_BROADCAST_HDR *>(Message.lParam);
    if (!Header || Header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return std::nullopt;
    const auto *Interface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W *>(Header);
    return THotplugChange{Message.wParam == DBT_DEVICEARRIVAL,
                          QString::fromWCharArray(Interface->dbcc_name)};
}

class TWindowsSource final : public THotplugSource, public QAbstractNativeEventFilter {
public:
    TWindowsSource(HWND Window, HDEVNOTIFY Registration, THotplugNotify Notify)
        : FWindow(Window), FRegistration(Registration), FNotify(std::move(Notify))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~TWindowsSource() override
    {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        UnregisterDeviceNotification(FRegistration);
    }

    // The window still gets every message: the event only runs before it.
    bool nativeEventFilter(const QByteArray &EventType, void *Message, qintptr *) override
    {
        if (EventType != "windows_generic_MSG")
            return false;
        const std::optional<THotplugChange> Change = ChangeOf(*static_cast<const MSG *>(Message), FWindow);
        if (Change) {
            // A handler may end the registration and so this source: use nothing of it from here.
            const THotplugNotify Notify = FNotify;
            Notify(Change->Arrival, Change->DeviceName);
        }
        return false;
    }

private:
    HWND FWindow;
    HDEVNOTIFY FRegistration;
    THotplugNotify FNotify;
};

} // namespace

std::unique_ptr<THotplugSource> CreateWindowsHotplugSource(QWidget *Window, THotplugNotify Notify)
{
    const HWND Handle = reinterpret_cast<HWND>(Window->winId());
    DEV_BROADCAST_DEVICEINTERFACE_W Filter{};
    Filter.dbcc_size = sizeof(Filter);
    Filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    Filter.dbcc_classguid = UsbDeviceInterface;
    const HDEVNOTIFY Registration =
        RegisterDeviceNotificationW(Handle, &Filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!Registration)
        return nullptr;
    return std::make_unique<TWindowsSource>(Handle, Registration, std::move(Notify));
}

#endif
