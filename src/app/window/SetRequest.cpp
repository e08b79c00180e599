// Sending one command to the heater.

#include "app/FormMain.h"
#include "exchange/HeaterExchange.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTimer>

TBytes TFormMain::SetRequest(std::uint8_t Command, std::int32_t Value)
{
    const auto hold = HoldHeater();
    timRefreshCurrentData->stop();
    // Runs inside other exchanges too: it closes only what it opened.
    const bool wasInactive = !FHid->Active();
    const auto cleanUp = qScopeGuard([this, wasInactive] {
        if (wasInactive)
            FHid->Close();
        ResumePolling();
    });
    TBytes reply;
    try {
        if (!FHid->Active())
            FHid->Open(FMyHidDev.DevicePath);
        TCommandExchange exchange = ExchangeCommand(*FHid, Command, Value, [] { QCoreApplication::processEvents(); });
        reply = std::move(exchange.Reply);
        LogLine(QStringLiteral("SetRequest res=%1").arg(exchange.Written));
    } catch (const std::exception &Error) {
        LogError(Error);
    }
    return reply;
}
