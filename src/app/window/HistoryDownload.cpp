// Downloading the history stored in the heater.

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "core/IntegerText.h"
#include "exchange/HeaterExchange.h"
#include "protocol/Commands.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

namespace {

constexpr int LoadMoreBlocks = 500;
constexpr int GetDataBlocks = 100;

}

void TFormMain::GetHistoryData(int RequestCount, bool Restart)
{
    {
        const auto hold = HoldHeater();
        timRefreshCurrentData->stop();
        std::unique_ptr<TdlgProgress> dialog = CreateProgressDialog();
        BeginLogBatch();
        const auto cleanUp = qScopeGuard([&] {
            UpdateHistoryChart();
            EndLogBatch();
            FHid->Close();
            dialog.reset();
            timRefreshCurrentData->start();
        });
        try {
            DownloadHistory(*dialog, RequestCount, Restart);
        } catch (const std::exception &Error) {
            LogError(Error);
        }
    }
    if (LegionellaWarning(FHistoryData))
        FOptions.Dialogs->Warning(Translate(QStringLiteral("sMsgTempBelow60ForLongPeriod")));
}

void TFormMain::DownloadHistory(TdlgProgress &Dialog, int RequestCount, bool Restart)
{
    // Only what the chart draws counts as older: a live reading dated 1970 is no history.
    const bool hadSamples = FHistoryData.Count() > 0;
    const std::optional<TDateTime> oldest = OldestCharted(FHistoryData);
    ShowTransferProgress(Dialog);

    FHid->Open(FMyHidDev.DevicePath);
    const bool answered = !SetRequest(cmdHistory, Restart ? 0 : 1).empty();
    timRefreshCurrentData->stop();
    TransferHistory(*FHid, RequestCount, answered, MaxStringPower, FOptions.Locale,
                    {.Yield = [] { QCoreApplication::processEvents(); },
                     .Cancelled = [&Dialog] { return Dialog.Cancelled; },
                     .Progress = [&Dialog](int Percent) { Dialog.ProgressBar1->setValue(Percent); },
                     .Block = [this](const THistoryBlock &Block) { KeepHistoryBlock(Block); }});

    FHistoryData.Sort();
    const std::optional<TDateTime> oldestNow = OldestCharted(FHistoryData);
    if (FHistoryData.Count() > 1) {
        if (hadSamples && oldest == oldestNow)
            FOptions.Dialogs->Information(Translate(QStringLiteral("sMsgNoMoreData")));
        if (oldestNow)
            SetBottomRange(DownloadedRange(*oldestNow, DateTimeFromQt(FOptions.Now())));
    }
}

void TFormMain::KeepHistoryBlock(const THistoryBlock &Block)
{
    for (const THistoryData &sample : Block.Samples)
        FHistoryData.Add(sample);
    for (const QString &line : Block.LogLines)
        LogLine(line);
}

void TFormMain::btnLoadMoreDataClick()
{
    GetHistoryData(LoadMoreBlocks, false);
}

void TFormMain::btnGetDataClick()
{
    GetHistoryData(StrToIntDef(edtData->text(), GetDataBlocks), true);
}
