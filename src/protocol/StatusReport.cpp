#include "protocol/StatusReport.h"

#include "protocol/Encodings.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

float Hundredths(const TBytes &Payload, int Pos)
{
    return static_cast<float>(ReadI16BE(Payload, Pos) / 100.0);
}

float PowerHeldToPwm(float U, float I, std::int32_t Pwm, float MaxStringPower)
{
    return Pwm < 1 ? 0.0f : StringPower(U, I, MaxStringPower);
}

}

TBytes StatusPayload(const TBytes &Report)
{
    if (Report.size() < static_cast<std::size_t>(StatusPayloadSize + 1))
        throw std::runtime_error("Status report too short: " + std::to_string(Report.size()) + " bytes");
    return TBytes(Report.begin() + 1, Report.end());
}

float StringPower(float U, float I, float MaxStringPower)
{
    const double product = static_cast<double>(U) * static_cast<double>(I);
    return static_cast<float>(std::clamp(product, 0.0, static_cast<double>(MaxStringPower)));
}

TCurrentData DecodeCurrentData(const TBytes &Payload, float MaxStringPower)
{
    TCurrentData s;
    THistoryData &sample = s.Sample;
    s.SN = static_cast<std::int32_t>(ReadU32BE(Payload, 0));
    s.Tsoll = static_cast<std::int32_t>(ReadU32BE(Payload, 4));
    sample.DT = DeviceSecondsToDateTime(static_cast<std::int32_t>(ReadU32BE(Payload, 8)));
    sample.U1 = Hundredths(Payload, 12);
    sample.U2 = Hundredths(Payload, 14);
    sample.U3 = Hundredths(Payload, 16);
    sample.I1 = Hundredths(Payload, 18);
    sample.I2 = Hundredths(Payload, 20);
    sample.I3 = Hundredths(Payload, 22);
    sample.PWM1 = ReadI16BE(Payload, 24);
    sample.PWM2 = ReadI16BE(Payload, 26);
    sample.PWM3 = ReadI16BE(Payload, 28);
    sample.P1 = PowerHeldToPwm(sample.U1, sample.I1, sample.PWM1, MaxStringPower);
    sample.P2 = PowerHeldToPwm(sample.U2, sample.I2, sample.PWM2, MaxStringPower);
    sample.P3 = PowerHeldToPwm(sample.U3, sample.I3, sample.PWM3, MaxStringPower);
    sample.TW = Hundredths(Payload, 30);
    s.TW2 = Hundredths(Payload, 32);
    sample.TB = Hundredths(Payload, 34);
    s.Uisol = static_cast<float>(ReadU8(Payload, 36) / 4.0);
    sample.Energy = ReadI16BE(Payload, 37);
    sample.Err = ReadU8(Payload, 39);
    return s;
}
