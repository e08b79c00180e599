// The status poll.

#include "app/FormMain.h"

#include <QScopeGuard>

void TFormMain::RefreshCurrentData()
{
    const auto closeDevice = qScopeGuard([this] { FHid->Close(); });
    try {
        FHid->Open(FMyHidDev.DevicePath);
        const TCurrentData s = DecodeCurrentData(StatusPayload(FHid->GetFeatureReport(0)), MaxStringPower);
        ShowCurrentData(s);
    } catch (const std::exception &Error) {
        LogError(Error);
    }
}

void TFormMain::timRefreshCurrentDataTimer()
{
    RefreshCurrentData();
}
