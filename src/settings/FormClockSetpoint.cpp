// Setting the heater's clock and water setpoint.

#include "app/FormMain.h"
#include "protocol/Commands.h"
#include "protocol/Encodings.h"

#include <QDateEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

namespace {

// The setpoint above which water scalds and below which legionella grow.
constexpr int SafeSetpoint = 60;

std::int32_t DeviceSeconds(TDateTime Value)
{
    return static_cast<std::int32_t>(DateTimeToDeviceSeconds(Value));
}

}

void TFormMain::edtDateEnter()
{
    FDTChanged = true;
    btnSetDateTime->setEnabled(true);
}

void TFormMain::edtTSollEnter()
{
    FTSollChanged = true;
    btnSetTSoll->setEnabled(true);
}

void TFormMain::btnSetDateTimeClick()
{
    const TDateTime day = DateTimeFromQt(QDateTime(edtDate->date(), QTime(0, 0)));
    const TDateTime timeOfDay = edtTime->time().msecsSinceStartOfDay() / MSecsPerDay;
    SetRequest(cmdClock, DeviceSeconds(day + timeOfDay));
}

void TFormMain::btnSetLocalDTClick()
{
    const QDateTime now = FOptions.Now();
    edtDate->setDate(now.date());
    edtTime->setTime(now.time());
    SetRequest(cmdClock, DeviceSeconds(DateTimeFromQt(now)));
}

void TFormMain::btnSetTSollClick()
{
    const int setpoint = edtTSoll->value();
    bool confirmed = true;
    if (setpoint < SafeSetpoint)
        confirmed = FOptions.Dialogs->Confirm(Translate(QStringLiteral("sMsgTempBelow60")));
    else if (setpoint > SafeSetpoint)
        confirmed = FOptions.Dialogs->Confirm(Translate(QStringLiteral("sMsgHotWater")));
    if (confirmed)
        SetRequest(cmdSetpoint, setpoint);
    FTSollChanged = false;
    btnSetTSoll->setEnabled(false);
}
