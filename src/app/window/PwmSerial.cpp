// Forcing a string's PWM and writing the serial number.

#include "app/FormMain.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"

#include <QSpinBox>

QSpinBox *TFormMain::PwmEdit(int n) const
{
    return std::array<QSpinBox *, 3>{edtPWM1, edtPWM2, edtPWM3}.at(static_cast<std::size_t>(n - 1));
}

void TFormMain::SendPwm(int n)
{
    SetRequest(PwmCommand(n), PwmEdit(n)->value());
}

// The spin box shows the value being sent.
void TFormMain::ForcePwm(int n, int Value)
{
    PwmEdit(n)->setValue(Value);
    SendPwm(n);
}

void TFormMain::btnSetPWM1Click() { SendPwm(1); }
void TFormMain::btnSetPWM2Click() { SendPwm(2); }
void TFormMain::btnSetPWM3Click() { SendPwm(3); }
void TFormMain::btnSetMax1Click() { ForcePwm(1, edtPWM1->maximum()); }
void TFormMain::btnSetMax2Click() { ForcePwm(2, edtPWM2->maximum()); }
void TFormMain::btnSetMax3Click() { ForcePwm(3, edtPWM3->maximum()); }
void TFormMain::btnSetNull1Click() { ForcePwm(1, 0); }
void TFormMain::btnSetNull2Click() { ForcePwm(2, 0); }
void TFormMain::btnSetNull3Click() { ForcePwm(3, 0); }
void TFormMain::btnAutoPWM1Click() { ForcePwm(1, edtPWM1->minimum()); }
void TFormMain::btnAutoPWM2Click() { ForcePwm(2, edtPWM2->minimum()); }
void TFormMain::btnAutoPWM3Click() { ForcePwm(3, edtPWM3->minimum()); }

void TFormMain::btnSetSNClick()
{
    SetRequest(cmdSerialNumber, SerialNumberValue(edtYeWe->value(), edtSerNr->value()));
}
