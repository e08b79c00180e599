// The status poll and the data log.

#include "app/FormMain.h"
#include "exchange/HeaterExchange.h"
#include "status/DataLog.h"

#include <QScopeGuard>

namespace {

// A reading whose string-1 voltage is exactly this is shown and logged but not kept.
constexpr float NotKeptVoltage = 255.0f;

}

void TFormMain::RefreshCurrentData()
{
    const auto hold = HoldHeater();
    const auto closeDevice = qScopeGuard([this] { FHid->Close(); });
    try {
        FHid->Open(FMyHidDev.DevicePath);
        const TCurrentData s = ReadCurrentData(*FHid, MaxStringPower);
        ShowCurrentData(s);
        UpdateArchiveKey(s.SN);
        if (ExtendedMode()) {
            if (s.Sample.U1 != NotKeptVoltage) {
                FHistoryData.Add(s.Sample);
                KeepMeasuredSample(s.Sample);
                ArchiveLiveSample(s.Sample);
            }
            const QString line = StatusLine(s, FOptions.Locale);
            LogLine(line);
            AppendLogLine(line);
        }
    } catch (const std::exception &Error) {
        LogError(Error);
    }
    UpdateHistoryChart();
}

// Each tick refreshes the status; the measurement sweep steps of strings 1 to 3 follow it.
void TFormMain::timRefreshCurrentDataTimer()
{
    RefreshCurrentData();
    for (int n = 1; n <= 3; ++n)
        MeasureStep(n);
}

void TFormMain::btnGetStatusClick()
{
    RefreshCurrentData();
}

void TFormMain::AppendLogLine(const QString &Line)
{
    AppendLineToFile(FLogFilePath, Line);
}
