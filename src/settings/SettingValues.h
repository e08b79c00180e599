#pragma once

// The values sent for the heater's settings, and the question asked before a setpoint is sent.

#include <QDate>
#include <QString>
#include <QTime>

#include <cstdint>

// The language key of the question asked before the water setpoint is sent: legionella grow
// below 60 °C, water scalds above it. Empty at 60 °C, which is sent without asking.
QString SetpointQuestionKey(int Setpoint);

// The heater's clock value, in device seconds, for a date and a time of day as the editors hold
// them; parts of a second are dropped.
std::int32_t DeviceClockValue(const QDate &Date, const QTime &Time);

// The serial number the heater keeps: year-week * 10000 + number.
std::int32_t SerialNumberValue(int YearWeek, int Number);
