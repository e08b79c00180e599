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
    const TDateTime oldest = FHistoryData.Count() > 0 ? FHistoryData.Items(0).DT : 0;
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
    if (FHistoryData.Count() > 1) {
        if (oldest == FHistoryData.Items(0).DT)
            FOptions.Dialogs->Information(Translate(QStringLiteral("sMsgNoMoreData")));
        SetBottomRange(DownloadedRange(FHistoryData.Items(0).DT, DateTimeFromQt(FOptions.Now())));
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
