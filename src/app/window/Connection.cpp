// Finding the heater, and following it being plugged in and removed.

#include "app/FormMain.h"
#include "hid/DeviceIdentity.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QThread>
#include <QTimer>

namespace {

// Gives a freshly plugged device time to settle before it is enumerated.
constexpr unsigned long ArrivalWaitMs = 300;

}

void TFormMain::ConnectDevice()
{
    for (const TFHidDevice &device : FHid->Enumerate(0, 0)) {
        if (!IsHeater(device))
            continue;
        FMyHidDev = device;
        try {
            pnlNotConnected->hide();
            lblFWVer->setText(device.SerialNumber);
            RefreshCurrentData();
            FHistoryData.Clear();
            GetHistoryData(300, true);
            timRefreshCurrentData->start();
        } catch (const std::exception &Error) {
            LogError(Error);
        }
    }
}

void TFormMain::DeviceArrival(TFHid *, const QString &)
{
    if (!FMyHidDev.DevicePath.isEmpty())
        return;
    QThread::msleep(ArrivalWaitMs);
    QCoreApplication::processEvents();
    QThread::msleep(ArrivalWaitMs);
    ConnectDevice();
}

void TFormMain::DeviceRemoved(TFHid *, const QString &DeviceName)
{
    // Without a connected heater nothing can be removed, even where a name too short to carry
    // a key would match the empty one.
    if (FMyHidDev.DevicePath.isEmpty() || ConnectedDeviceKey(FMyHidDev) != DevicePathKey(DeviceName))
        return;
    timRefreshCurrentData->stop();
    FMyHidDev.DevicePath.clear();
    FHistoryData.Clear();
    pnlNotConnected->show();
    LogLine(QStringLiteral("Helvane device removed"));
    LogLine(QString());
}

void TFormMain::btnRefreshUSBClick()
{
    ConnectDevice();
}
