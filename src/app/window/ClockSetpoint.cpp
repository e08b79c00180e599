// Setting the heater's clock and water setpoint.

#include "app/FormMain.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"

#include <QDateEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

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
    SetRequest(cmdClock, DeviceClockValue(edtDate->date(), edtTime->time()));
}

void TFormMain::btnSetLocalDTClick()
{
    const QDateTime now = FOptions.Now();
    edtDate->setDate(now.date());
    edtTime->setTime(now.time());
    SetRequest(cmdClock, DeviceClockValue(now.date(), now.time()));
}

void TFormMain::btnSetTSollClick()
{
    const int setpoint = edtTSoll->value();
    const QString question = SetpointQuestionKey(setpoint);
    if (question.isEmpty() || FOptions.Dialogs->Confirm(Translate(question)))
        SetRequest(cmdSetpoint, setpoint);
    FTSollChanged = false;
    btnSetTSoll->setEnabled(false);
}
