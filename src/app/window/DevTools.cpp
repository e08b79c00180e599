// The development tools: memory and flash-table dumps, the sector erase.

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "core/IntegerText.h"
#include "protocol/Commands.h"
#include "protocol/Encodings.h"
#include "protocol/MemoryRows.h"

#include <QCoreApplication>
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
        timRefreshCurrentData->start();
    });
    try {
        ShowTransferProgress(*dialog);
        Dump(*dialog);
    } catch (const std::exception &Error) {
        LogError(Error);
    }
}

void TFormMain::btnReadMemClick()
{
    RunDump([this](TdlgProgress &Dialog) {
        std::int32_t address = StrToIntDef(edtAddr->text(), DefaultAddress);
        const std::int32_t count = StrToIntDef(edtData->text(), DefaultCount);
        int res = FHid->Write(MemoryReadRequest(address, count));
        LogLine(QStringLiteral("Get Data @%1 (%2):  res=%3").arg(HexAddress(address)).arg(count).arg(res));
        LogLine(QStringLiteral("Ready: ") + BytesToHex(FHid->Read(ReadyWaitMs)));
        FHid->SetBlockingMode(false);
        BeginLogBatch();
        for (int remaining = count; remaining > 0 && !Dialog.Cancelled;) {
            res = FHid->Write(BlockRequest());
            QCoreApplication::processEvents();
            const TBytes reply = FHid->Read();
            if (reply.empty())
                continue;
            for (const QString &line : MemoryRowLines(reply, address, res, FOptions.Locale))
                LogLine(line);
            SetProgress(Dialog, count - remaining, count);
            --remaining;
        }
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
        FHid->SetBlockingMode(false);
        for (int remaining = FlashTableReplies; remaining > 0 && !Dialog.Cancelled;) {
            const int res = FHid->Write(BlockRequest());
            QCoreApplication::processEvents();
            const TBytes reply = FHid->Read();
            if (reply.empty())
                continue;
            SetProgress(Dialog, FlashTableReplies - remaining, FlashTableReplies);
            --remaining;
            LogLine(QStringLiteral("Data: %1 res=%2").arg(BytesToHex(reply)).arg(res));
        }
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
