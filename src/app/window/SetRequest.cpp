// Sending one command to the heater.

#include "app/FormMain.h"
#include "protocol/Encodings.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTimer>

namespace {

// How long a command's reply is waited for.
constexpr int ReplyTimeoutMs = 2;

}

TBytes TFormMain::SetRequest(std::uint8_t Command, std::int32_t Value)
{
    timRefreshCurrentData->stop();
    // Runs inside other exchanges too: it closes only what it opened.
    const bool wasInactive = !FHid->Active();
    const auto cleanUp = qScopeGuard([this, wasInactive] {
        if (wasInactive)
            FHid->Close();
        timRefreshCurrentData->start();
    });
    TBytes reply;
    try {
        if (!FHid->Active())
            FHid->Open(FMyHidDev.DevicePath);
        const int written = FHid->Write(CommandReport(Command, Value));
        FHid->SetBlockingMode(false);
        QCoreApplication::processEvents();
        reply = FHid->Read(ReplyTimeoutMs);
        LogLine(QStringLiteral("SetRequest res=%1").arg(written));
    } catch (const std::exception &Error) {
        LogError(Error);
    }
    return reply;
}
