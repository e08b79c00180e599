#pragma once

// The heater's live status: feature report 0, whose 40 data bytes decode into one record.

#include "core/Bytes.h"
#include "history/HistoryData.h"

#include <cstdint>

struct TCurrentData {
    THistoryData Sample;
    std::int32_t SN = 0;      // year-week * 10000 + number
    std::int32_t Tsoll = 0;   // setpoint, degrees Celsius
    float TW2 = 0;            // second (control) water temperature
    float Uisol = 0;          // isolation-check voltage
};

constexpr int StatusPayloadSize = 40;

// The data bytes of a status report: the report without its report number. Raises
// std::runtime_error "Status report too short: N bytes" when fewer than 40 data bytes came.
TBytes StatusPayload(const TBytes &Report);

// Decodes the first 40 bytes of a payload. A string's power is U x I held to its PWM (no power
// while the PWM is below 1) and kept between 0 and MaxStringPower.
TCurrentData DecodeCurrentData(const TBytes &Payload, float MaxStringPower);

// The power U x I of a string, kept between 0 and MaxStringPower.
float StringPower(float U, float I, float MaxStringPower);
