#pragma once

// The values sent for the heater's settings, and the question asked before a setpoint is sent.

#include <QDate>
#include <QString>
#include <QTime>

#include <cstdint>

// The range the window's setpoint editor offers, and the setpoint sent without asking: water
// scalds above it, legionella grow below it.
constexpr int LowestSetpoint = 45;
constexpr int HighestSetpoint = 85;
constexpr int SafeSetpoint = 60;
// A string's PWM: automatic, or off up to full, in per mille.
constexpr int AutomaticPwm = -1;
constexpr int HighestPwm = 1000;

// The language key of the question asked before the water setpoint is sent: legionella grow
// below 60 °C, water scalds above it. Empty at 60 °C, which is sent without asking.
QString SetpointQuestionKey(int Setpoint);

// The heater's clock value, in device seconds, for a date and a time of day as the editors hold
// them; parts of a second are dropped.
std::int32_t DeviceClockValue(const QDate &Date, const QTime &Time);

// The serial number the heater keeps: year-week * 10000 + number.
std::int32_t SerialNumberValue(int YearWeek, int Number);

// Whether a serial number read from the heater has the form the window writes: a two-digit year
// and an ISO week from 1 to 53 (YYWW, as the year-week editor holds it, 1000 or more), then a
// number of up to four digits. A garbled status report rarely carries one.
bool PlausibleSerialNumber(std::int32_t SN);
