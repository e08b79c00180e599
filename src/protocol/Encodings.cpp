#include "protocol/Encodings.h"

#include "protocol/Commands.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <stdexcept>
#include <string>

namespace {

constexpr std::int32_t DeviceEpochOffset = 7200;  // device second 0 is 02:00 local time
constexpr double UnixEpochDay = 25569.0;
constexpr int SecondsPerDay = 86400;

void RequireBytes(const TBytes &Data, int Pos, int Count)
{
    if (Pos < 0 || static_cast<std::size_t>(Pos) + static_cast<std::size_t>(Count) > Data.size())
        throw std::out_of_range("Report too short: " + std::to_string(Count) + " bytes at offset "
                                + std::to_string(Pos) + " of " + std::to_string(Data.size()));
}

TBytes Report(std::initializer_list<std::uint8_t> Head)
{
    TBytes report(OutputReportSize, 0);
    std::copy(Head.begin(), Head.end(), report.begin());
    return report;
}

void WriteU32BE(TBytes &Data, int Pos, std::uint32_t Value)
{
    for (int i = 0; i < 4; ++i)
        Data[static_cast<std::size_t>(Pos + i)] = static_cast<std::uint8_t>(Value >> (24 - 8 * i));
}

}

std::uint32_t ReadU32BE(const TBytes &Data, int Pos)
{
    RequireBytes(Data, Pos, 4);
    const auto at = [&](int i) { return static_cast<std::uint32_t>(Data[static_cast<std::size_t>(Pos + i)]); };
    return (at(0) << 24) | (at(1) << 16) | (at(2) << 8) | at(3);
}

std::int32_t ReadI16BE(const TBytes &Data, int Pos)
{
    RequireBytes(Data, Pos, 2);
    const auto pattern = static_cast<std::uint16_t>((Data[static_cast<std::size_t>(Pos)] << 8)
                                                    | Data[static_cast<std::size_t>(Pos + 1)]);
    return static_cast<std::int16_t>(pattern);
}

std::uint8_t ReadU8(const TBytes &Data, int Pos)
{
    RequireBytes(Data, Pos, 1);
    return Data[static_cast<std::size_t>(Pos)];
}

TDateTime DeviceSecondsToDateTime(std::int32_t Seconds)
{
    const auto shifted = static_cast<std::int32_t>(static_cast<std::uint32_t>(Seconds)
                                                   + static_cast<std::uint32_t>(DeviceEpochOffset));
    return shifted / static_cast<double>(SecondsPerDay) + UnixEpochDay;
}

std::uint32_t DateTimeToDeviceSeconds(TDateTime Value)
{
    const double day = std::trunc(Value);
    const auto secondOfDay = static_cast<std::int64_t>(std::trunc((Value - day) * SecondsPerDay));
    const std::int64_t seconds = (static_cast<std::int64_t>(day) - static_cast<std::int64_t>(UnixEpochDay)) * SecondsPerDay
                                 + secondOfDay - DeviceEpochOffset;
    return static_cast<std::uint32_t>(seconds);
}

QString BytesToHex(const TBytes &Data)
{
    QString text;
    text.reserve(static_cast<qsizetype>(Data.size()) * 3);
    for (std::uint8_t byte : Data) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

TBytes CommandReport(std::uint8_t Command, std::int32_t Value)
{
    TBytes report = Report({0x00, Command});
    WriteU32BE(report, 2, static_cast<std::uint32_t>(Value));
    return report;
}

TBytes BlockRequest()
{
    return CommandReport(cmdNextBlock, 0);
}

TBytes MemoryReadRequest(std::int32_t Address, std::int32_t Length)
{
    TBytes report = Report({0x00, cmdHistory});
    WriteU32BE(report, 2, static_cast<std::uint32_t>(Address));
    WriteU32BE(report, 6, static_cast<std::uint32_t>(Length));
    return report;
}

TBytes TextReport(const QString &Text)
{
    TBytes report = Report({0x00});
    const qsizetype count = std::min<qsizetype>(Text.size(), OutputReportSize - 1);
    for (qsizetype i = 0; i < count; ++i)
        report[static_cast<std::size_t>(i + 1)] = static_cast<std::uint8_t>(Text[i].unicode() & 0xFF);
    return report;
}
