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
    ShowTransferProgress(Dialog);

    FHid->Open(FMyHidDev.DevicePath);
    const bool answered = !SetRequest(cmdHistory, Restart ? 0 : 1).empty();
    timRefreshCurrentData->stop();
    std::vector<THistoryData> delivered;   // this page's samples
    // What came is archived, also when the heater went half-way.
    const auto archive = qScopeGuard([&] { ArchiveSamples(delivered); });
    TransferHistory(*FHid, RequestCount, answered, MaxStringPower, FOptions.Locale,
                    {.Yield = [] { QCoreApplication::processEvents(); },
                     .Cancelled = [&Dialog] { return Dialog.Cancelled; },
                     .Progress = [&Dialog](int Percent) { Dialog.ProgressBar1->setValue(Percent); },
                     .Block = [&](const THistoryBlock &Block) {
                         KeepHistoryBlock(Block);
                         delivered.insert(delivered.end(), Block.Samples.begin(), Block.Samples.end());
                     }});

    // Only what the heater delivered and the chart draws counts as older: neither an archived
    // sample nor a live reading dated 1970 is history of this read-out.
    const std::optional<TDateTime> before = FOldestDelivered;
    if (const std::optional<TDateTime> oldest = OldestCharted(delivered); oldest && (!before || *oldest < *before))
        FOldestDelivered = oldest;
    FHistoryData.SortUnique();
    if (FHistoryData.Count() > 1) {
        if (before && before == FOldestDelivered)
            FOptions.Dialogs->Information(Translate(QStringLiteral("sMsgNoMoreData")));
        if (FOldestDelivered)
            SetBottomRange(DownloadedRange(*FOldestDelivered, DateTimeFromQt(FOptions.Now())));
    }
}

void TFormMain::KeepHistoryBlock(const THistoryBlock &Block)
{
    for (const THistoryData &sample : Block.Samples)
        FHistoryData.Add(sample);
    for (const QString &line : Block.LogLines)
        LogLine(line);
}

void TFormMain::EmptyHistoryList()
{
    FHistoryData.Clear();
    FOldestDelivered.reset();
}

void TFormMain::btnLoadMoreDataClick()
{
    GetHistoryData(LoadMoreBlocks, false);
}

void TFormMain::btnGetDataClick()
{
    GetHistoryData(StrToIntDef(edtData->text(), GetDataBlocks), true);
}
