#pragma once

// Shared pieces of the heater model's tests: a fixture that starts from the reset state, an
// owning handle, and the host's side of the reports.

#include "heatersim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { heatersim_reset(); }
};

inline constexpr const char *kHeaterPath = "/dev/hidraw-test-heater";
inline constexpr int kHostReportSize = 65;

struct HandleCloser {
    void operator()(hid_device *dev) const { hid_close(dev); }
};
using Handle = std::unique_ptr<hid_device, HandleCloser>;

inline Handle OpenPath(const char *path)
{
    return Handle(hid_open_path(path));
}

inline Handle PlugAndOpenHeater()
{
    heatersim_plug_heater(kHeaterPath, L"V1.10");
    return OpenPath(kHeaterPath);
}

// A command as the host writes it: report number, command, big-endian value, zero padding.
inline Bytes CommandReport(std::uint8_t command, std::int32_t value, std::size_t size = kHostReportSize)
{
    Bytes report(size, 0);
    const auto bits = static_cast<std::uint32_t>(value);
    const std::uint8_t head[] = {0, command, std::uint8_t(bits >> 24), std::uint8_t(bits >> 16),
                                 std::uint8_t(bits >> 8), std::uint8_t(bits)};
    std::copy_n(head, std::min(size, sizeof head), report.begin());
    return report;
}

inline Bytes BlockRequest()
{
    return CommandReport(0x10, 0);
}

inline Bytes MemoryRequest(std::uint32_t address, std::uint32_t length)
{
    Bytes report = CommandReport(0x02, static_cast<std::int32_t>(address));
    const std::uint8_t lengthBytes[] = {std::uint8_t(length >> 24), std::uint8_t(length >> 16),
                                        std::uint8_t(length >> 8), std::uint8_t(length)};
    std::copy_n(lengthBytes, 4, report.begin() + 6);
    return report;
}

inline int Send(hid_device *dev, const Bytes &report)
{
    return hid_write(dev, report.data(), report.size());
}

// The next input report, empty when none is readable.
inline Bytes ReadReport(hid_device *dev)
{
    Bytes buffer(256, 0);
    const int size = hid_read(dev, buffer.data(), buffer.size());
    buffer.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return buffer;
}

// Sends the request and returns the input report it brings.
inline Bytes Exchange(hid_device *dev, const Bytes &request)
{
    EXPECT_EQ(Send(dev, request), static_cast<int>(request.size()));
    return ReadReport(dev);
}

// The status feature report as the host receives it, report number first.
inline Bytes StatusReport(hid_device *dev, std::size_t bufferSize = 256)
{
    Bytes buffer(bufferSize, 0);
    const int size = hid_get_feature_report(dev, buffer.data(), buffer.size());
    buffer.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return buffer;
}

inline std::uint32_t U32At(const Bytes &data, std::size_t at)
{
    return (std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) | (std::uint32_t{data[at + 2]} << 8)
        | data[at + 3];
}

inline std::int16_t I16At(const Bytes &data, std::size_t at)
{
    return static_cast<std::int16_t>((data[at] << 8) | data[at + 1]);
}

inline heatersim_status HeaterStatus()
{
    heatersim_status status{};
    heatersim_get_status(&status);
    return status;
}

// Device seconds of the PC's local wall-clock time: second 0 is 1970-01-01 02:00 local.
inline std::int64_t LocalDeviceSecondsNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<std::int64_t>(timegm(&local)) - 7200;
}

// Device seconds of the local midnight that starts the day of deviceSeconds.
inline std::int64_t MidnightOf(std::int64_t deviceSeconds)
{
    const std::int64_t wall = deviceSeconds + 7200;
    return wall - wall % 86400 - 7200;
}

// Device seconds of a wall-clock time on 2025-06-21: device second 0 is 1970-01-01 02:00 local.
inline std::int32_t Midsummer2025(int hour, int minute = 0)
{
    constexpr std::int64_t kDay = 20260; // days since 1970-01-01
    return static_cast<std::int32_t>(kDay * 86400 + hour * 3600 + minute * 60 - 7200);
}

// The status after the host set the clock to deviceSeconds.
inline heatersim_status StatusAt(hid_device *heater, std::int64_t deviceSeconds)
{
    EXPECT_EQ(Send(heater, CommandReport(0x21, static_cast<std::int32_t>(deviceSeconds))), kHostReportSize);
    ReadReport(heater);
    return HeaterStatus();
}

// Writes a scenario file for the test and returns its name.
inline std::string WriteScenario(const std::string &name, const std::string &text)
{
    const std::string file = ::testing::TempDir() + "heatersim-" + name + ".scenario";
    std::ofstream(file) << text;
    return file;
}
