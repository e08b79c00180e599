// The PV string measurement sweep: a string's PWM forced from 1000 down to 1, one step a tick.

#include "app/FormMain.h"
#include "protocol/Commands.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QScopeGuard>

namespace {

constexpr int SweepStart = 1000;

}

int &TFormMain::MeasurePWM(int n)
{
    return *std::array<int *, 3>{&FMeasurePWM1, &FMeasurePWM2, &FMeasurePWM3}.at(static_cast<std::size_t>(n - 1));
}

QString TFormMain::MeasurementFile(int n) const
{
    return QFileInfo(FLogFilePath).dir().filePath(QStringLiteral("Measurement%1.csv").arg(n));
}

// A start while the last sweep's file is still due writes that file first.
void TFormMain::ToggleMeasure(int n, QPushButton *Button)
{
    int &counter = MeasurePWM(n);
    if (counter > 0) {
        counter = 0;
        FMeasureFileDue.at(static_cast<std::size_t>(n - 1)) = true;
        const QString marker = QStringLiteral("Stop Measure %1").arg(n);
        LogLine(marker);
        AppendLogLine(marker);
        Button->setText(QStringLiteral("Measure"));
        return;
    }
    WriteDueMeasurement(n);
    counter = SweepStart;
    FMeasSamples.at(static_cast<std::size_t>(n - 1)).Clear();
    const QString marker = QStringLiteral("Start Measure %1").arg(n);
    LogLine(marker);
    AppendLogLine(marker);
    Button->setText(QStringLiteral("Stop"));
}

// One step of a running sweep. A sweep that ended, by running out or by a stop click, writes its
// file on the next tick, once the reading of its last command is in the list.
void TFormMain::MeasureStep(int n)
{
    int &counter = MeasurePWM(n);
    if (counter <= 0) {
        WriteDueMeasurement(n);
        return;
    }
    SetRequest(PwmCommand(n), counter);
    if (counter == 0) {
        // The stop click was handled inside the command exchange: the file waits for the next tick.
        counter = -1;
        return;
    }
    if (--counter == 0)
        FMeasureFileDue.at(static_cast<std::size_t>(n - 1)) = true;
}

// A reading kept in the list belongs to every sweep that runs, and to one whose file waits for
// the reading of its last step. The sweep keeps its own copy: the list may be sorted, extended
// with older history or emptied by a reconnection before the file is written.
void TFormMain::KeepMeasuredSample(const THistoryData &Sample)
{
    for (int n = 1; n <= 3; ++n) {
        if (MeasurePWM(n) != 0 || FMeasureFileDue.at(static_cast<std::size_t>(n - 1)))
            FMeasSamples.at(static_cast<std::size_t>(n - 1)).Add(Sample);
    }
}

void TFormMain::WriteDueMeasurement(int n)
{
    bool &due = FMeasureFileDue.at(static_cast<std::size_t>(n - 1));
    if (!due)
        return;
    due = false;
    THistoryList &samples = FMeasSamples.at(static_cast<std::size_t>(n - 1));
    const auto release = qScopeGuard([&samples] { samples.Clear(); });
    WriteHistoryCsv(MeasurementFile(n), samples);
}

// Files of sweeps that ended and whose last reading can no longer come: the window closes, or the
// heater is gone.
void TFormMain::WriteDueMeasurements()
{
    for (int n = 1; n <= 3; ++n)
        WriteDueMeasurement(n);
}

void TFormMain::btnMeasPV1Click() { ToggleMeasure(1, btnMeasPV1); }
void TFormMain::btnMeasPV2Click() { ToggleMeasure(2, btnMeasPV2); }
void TFormMain::btnMeasPV3Click() { ToggleMeasure(3, btnMeasPV3); }
