#pragma once

// One status reading as JSON, for scripts and home-automation systems: every value a number in
// the unit its key names, the heater's local time in ISO 8601, the status code with its English text.

#include "protocol/StatusReport.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// The heater's serial number as topics and file names can carry it: "YYWW-NNNN".
QString SerialNumberId(std::int32_t SN);

// The status in English words: the window's text for the code, "Normal operation" while the
// window shows none, "Unknown status" for a code it has no text for.
QString StatusText(int Code);
// Every text StatusText gives, each once.
QStringList StatusTexts();

// Keys: serial_number, time (the heater's clock as it reads), clock (the same with this machine's
// UTC offset), status_code, status_text, problem (the window shows the status as an error),
// setpoint_c, water_temp_c, water_temp_control_c, board_temp_c, energy_today_wh, isolation_v,
// pv_power_w (the strings' sum) and,
// for n = 1 to 3, stringN_voltage_v, stringN_current_a, stringN_power_w, stringN_pwm_permille.
QJsonObject StatusJson(const TCurrentData &S);
