// Downloading the history stored in the heater.

#include "app/FormMain.h"

#include <QScopeGuard>
#include <QTimer>

void TFormMain::GetHistoryData(int RequestCount, bool Restart)
{
    timRefreshCurrentData->stop();
    const auto timerOn = qScopeGuard([this] { timRefreshCurrentData->start(); });
    Q_UNUSED(RequestCount);
    Q_UNUSED(Restart);
}
