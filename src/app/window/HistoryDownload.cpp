// Downloading the history stored in the heater.

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "core/IntegerText.h"
#include "protocol/Commands.h"
#include "protocol/Encodings.h"
#include "protocol/HistoryRecord.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

namespace {

constexpr int MaxEmptyReads = 1000;
constexpr int MaxBadRecords = 3;
// How long a reply to a request already written is waited for once the download has ended.
constexpr int DrainWaitMs = 50;
constexpr int LoadMoreBlocks = 500;
constexpr int GetDataBlocks = 100;

}

void TFormMain::GetHistoryData(int RequestCount, bool Restart)
{
    {
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
    SetRequest(cmdHistory, Restart ? 0 : 1);
    timRefreshCurrentData->stop();
    FHid->SetBlockingMode(false);

    int remaining = RequestCount;
    int badRecords = 0;
    int emptyReads = 0;
    int unanswered = 0;
    int res = 0;
    while (remaining > 0 && emptyReads < MaxEmptyReads && !Dialog.Cancelled) {
        res = FHid->Write(BlockRequest());
        ++unanswered;
        QCoreApplication::processEvents();
        const TBytes reply = FHid->Read();
        if (reply.empty()) {
            ++emptyReads;
            continue;
        }
        --unanswered;
        Dialog.ProgressBar1->setValue(static_cast<int>((RequestCount - remaining) * 100LL / RequestCount));
        --remaining;
        emptyReads = 0;
        badRecords += KeepHistoryBlock(reply, res);
        if (badRecords > MaxBadRecords)
            remaining = 0;
    }
    DrainHistoryReplies(unanswered, res);

    FHistoryData.Sort();
    if (FHistoryData.Count() > 1) {
        if (oldest == FHistoryData.Items(0).DT)
            FOptions.Dialogs->Information(Translate(QStringLiteral("sMsgNoMoreData")));
        SetBottomRange(DownloadedRange(FHistoryData.Items(0).DT, DateTimeFromQt(FOptions.Now())));
    }
}

// Every empty read wrote another request, and the heater counts each block it answers with as
// delivered: the replies still on their way are read before the device closes, or the next page
// would begin after blocks that never arrived.
void TFormMain::DrainHistoryReplies(int Unanswered, int Res)
{
    for (; Unanswered > 0; --Unanswered) {
        const TBytes reply = FHid->Read(DrainWaitMs);
        if (reply.empty())
            return;
        KeepHistoryBlock(reply, Res);
    }
}

// Logs the block's records and keeps its samples; returns its number of bad records.
int TFormMain::KeepHistoryBlock(const TBytes &Reply, int Res)
{
    const THistoryBlock block = DecodeHistoryBlock(Reply, Res, MaxStringPower, FOptions.Locale);
    for (const THistoryData &sample : block.Samples)
        FHistoryData.Add(sample);
    for (const QString &line : block.LogLines)
        LogLine(line);
    return block.BadRecords;
}

void TFormMain::btnLoadMoreDataClick()
{
    GetHistoryData(LoadMoreBlocks, false);
}

void TFormMain::btnGetDataClick()
{
    GetHistoryData(StrToIntDef(edtData->text(), GetDataBlocks), true);
}
