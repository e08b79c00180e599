// The development tools: memory and flash-table dumps, the sector erase.

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "exchange/HeaterExchange.h"
#include "core/IntegerText.h"
#include "protocol/Commands.h"
#include "protocol/Encodings.h"
#include "protocol/MemoryRows.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

namespace {

constexpr int ReadyWaitMs = 1000;
constexpr int FlashTableReplies = 64;
constexpr int DefaultAddress = 0;
constexpr int DefaultCount = 100;

void SetProgress(TdlgProgress &Dialog, int Done, int Total)
{
    Dialog.ProgressBar1->setValue(static_cast<int>(static_cast<double>(Done) / Total * 100));
}

}

// A dump runs with the refresh timer off, the device open and the progress dialog shown, and
// ends with all three undone. Opening the device fails before the dialog exists: that error
// reaches the error box, and the timer stays off until the next exchange switches it on.
void TFormMain::RunDump(const std::function<void(TdlgProgress &)> &Dump)
{
    const auto hold = HoldHeater();
    timRefreshCurrentData->stop();
    FHid->Open(FMyHidDev.DevicePath);
    std::unique_ptr<TdlgProgress> dialog = CreateProgressDialog();
    const auto cleanUp = qScopeGuard([&] {
        EndLogBatch();
        FHid->Close();
        dialog.reset();
        ResumePolling();
    });
    try {
        ShowTransferProgress(*dialog);
        Dump(*dialog);
    } catch (const std::exception &Error) {
        LogError(Error);
    }
}

// A dump's replies are read until Count came, the heater fell silent or the user cancelled; a
// heater that stopped answering ends the dump with a line that says so.
void TFormMain::ReadDumpReplies(TdlgProgress &Dialog, int Count, const std::function<void(const TBytes &, int)> &Take)
{
    FHid->SetBlockingMode(false);
    TSilenceWatch silence(TSilenceWatch::TClock::now(), FPace.Latency);
    int done = 0;
    RequestBlocks(*FHid, Count, silence, DialogEvents(Dialog), [&](const TBytes &Reply, int Res) {
        if (done == Count)
            return false;
        Take(Reply, Res);
        SetProgress(Dialog, done++, Count);
        return true;
    });
    FPace.Latency = silence.Latency();
    if (done < Count && !Dialog.Cancelled)
        LogLine(QStringLiteral("No reply: the heater fell silent after %1 of %2").arg(done).arg(Count));
}

void TFormMain::btnReadMemClick()
{
    RunDump([this](TdlgProgress &Dialog) {
        std::int32_t address = StrToIntDef(edtAddr->text(), DefaultAddress);
        const std::int32_t count = StrToIntDef(edtData->text(), DefaultCount);
        const int res = FHid->Write(MemoryReadRequest(address, count));
        LogLine(QStringLiteral("Get Data @%1 (%2):  res=%3").arg(HexAddress(address)).arg(count).arg(res));
        LogLine(QStringLiteral("Ready: ") + BytesToHex(FHid->Read(ReadyWaitMs)));
        BeginLogBatch();
        ReadDumpReplies(Dialog, count, [&](const TBytes &Reply, int Res) {
            for (const QString &line : MemoryRowLines(Reply, address, Res, FOptions.Locale))
                LogLine(line);
        });
    });
}

void TFormMain::btnGetFlashTableClick()
{
    RunDump([this](TdlgProgress &Dialog) {
        BeginLogBatch();
        SetRequest(cmdFlashTable, 0);
        timRefreshCurrentData->stop();
        LogLine(QStringLiteral("Get FTable: %1").arg(FlashTableReplies));
        LogLine(QStringLiteral("Ready: ") + BytesToHex(FHid->Read(ReadyWaitMs)));
        ReadDumpReplies(Dialog, FlashTableReplies, [this](const TBytes &Reply, int Res) {
            LogLine(QStringLiteral("Data: %1 res=%2").arg(BytesToHex(Reply)).arg(Res));
        });
    });
}

// Erasing flash can leave the heater without firmware: it is sent only after the user said Yes
// to the sector's address, as the history clearing is; SetRequest reports a missing heater. Text
// that is not an integer sends nothing.
void TFormMain::btnClearSectorClick()
{
    std::int32_t address = 0;
    try {
        address = StrToInt(edtAddr->text());
    } catch (const std::exception &Error) {
        LogError(Error);
        return;
    }
    if (!FOptions.Dialogs->Confirm(Translate(QStringLiteral("sMsgEraseSector")).arg(HexAddress(address))))
        return;
    SetRequest(cmdEraseSector, address);
}
