// Finding the heater, and following it being plugged in and removed.

#include "app/FormMain.h"
#include "exchange/HeaterExchange.h"
#include "hid/DeviceAccess.h"
#include "hid/DeviceIdentity.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QThread>
#include <QTimer>

#include <utility>


namespace {

// Gives a freshly plugged device time to settle before it is enumerated.
constexpr unsigned long ArrivalWaitMs = 300;

}

void TFormMain::ConnectDevice()
{
    const auto hold = HoldHeater();
    bool refused = false;
    for (const TFHidDevice &device : FHid->Enumerate(0, 0)) {
        if (!IsHeater(device) || FClosing)
            continue;
        // A heater this user may not open stays unused: the panel says why, the log as ever.
        if (DeviceAccessDenied(device.DevicePath)) {
            LogError(EFHidError(QStringLiteral("Can't open HID device")));
            refused = true;
            continue;
        }
        FMyHidDev = device;
        FPace = {};
        try {
            pnlNotConnected->hide();
            lblFWVer->setText(device.SerialNumber);
            FArchiveKey.clear();
            RefreshCurrentData();
            EmptyHistoryList();
            LoadArchivedSamples();
            GetHistoryData(300, true);
            ResumePolling();
        } catch (const std::exception &Error) {
            LogError(Error);
        }
    }
    if (FMyHidDev.DevicePath.isEmpty())
        ShowNotConnected(refused);
}

void TFormMain::ShowNotConnected(bool HeaterRefused)
{
    SetKeyText(lblNotConnected, HeaterRefused ? QStringLiteral("sMsgHeaterRefused") : QStringLiteral("sMsgNoHeater"));
    pnlNotConnected->show();
}

// Changes while no heater is in use are taken a burst at a time, so that a hub full of other
// devices costs one look at the bus rather than one per device.
void TFormMain::DeviceArrival(TFHid *, const QString &)
{
    if (!FMyHidDev.DevicePath.isEmpty())
        return;
    FArrivalInBurst = true;
    if (!FDeviceChangeBurst->isActive())
        FDeviceChangeBurst->start();
}

void TFormMain::DeviceRemoved(TFHid *, const QString &DeviceName)
{
    // Without a connected heater nothing can be removed, even where a name too short to carry
    // a key would match the empty one; a heater this user was refused may be the one gone.
    if (FMyHidDev.DevicePath.isEmpty()) {
        if (!FDeviceChangeBurst->isActive())
            FDeviceChangeBurst->start();
        return;
    }
    if (ConnectedDeviceKey(FMyHidDev) != DevicePathKey(DeviceName))
        return;
    timRefreshCurrentData->stop();
    FMyHidDev.DevicePath.clear();
    FlushLiveSamples();
    FArchiveKey.clear();
    EmptyHistoryList();
    ShowNotConnected(false);
    LogLine(QStringLiteral("Helvane device removed"));
    LogLine(QString());
    WriteDueMeasurements();
}

// After an arrival the device is given time to settle before the bus is enumerated; after
// removals only, the not-connected panel is brought up to date.
void TFormMain::DeviceChangeBurstEnded()
{
    if (FHeld > 0) {
        FDeviceChangeBurst->start();
        return;
    }
    if (!FMyHidDev.DevicePath.isEmpty()) {
        FArrivalInBurst = false;
        return;
    }
    if (!std::exchange(FArrivalInBurst, false)) {
        ShowNotConnected(FindHeater(*FHid).Refused);
        return;
    }
    QThread::msleep(ArrivalWaitMs);
    QCoreApplication::processEvents();
    QThread::msleep(ArrivalWaitMs);
    if (FMyHidDev.DevicePath.isEmpty() && !FClosing)
        ConnectDevice();
}

void TFormMain::btnRefreshUSBClick()
{
    ConnectDevice();
}
