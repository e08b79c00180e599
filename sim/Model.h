#pragma once

// The heater model's whole state: the bus, the open handles, the one heater behind every
// plugged heater, the faults asked for and what the host did. It lives in one object.

#include "Clock.h"
#include "Days.h"
#include "heatersim.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace heatersim {

constexpr int kReportSize = 64;       // data bytes of every report, after the report number
constexpr int kStatusSize = 40;       // data bytes of the status feature report
constexpr int kRecordSize = 16;
constexpr int kRecordsPerBlock = 4;

using Report = std::array<std::uint8_t, kReportSize>;
using Record = std::array<std::uint8_t, kRecordSize>;

struct Device {
    int id = 0; // tells a device from one plugged later at the same path
    std::string path;
    unsigned short vendor = 0;
    unsigned short product = 0;
    unsigned short release = 0;
    unsigned short usagePage = 0;
    unsigned short usage = 0;
    std::wstring manufacturer;
    std::wstring productName;
    std::wstring serialNumber;
    bool heater = false;
};

struct QueuedReport {
    Report data{};
    int readsToWait = 0;
    std::chrono::steady_clock::time_point readyAt{}; // not readable before
};

enum class ReadOut { None, History, Memory, FlashTable };

struct Heater {
    heatersim_status status{}; // as last set; pwm holds the commanded values
    Clock clock;
    // Set while live values follow the time of day; its setpoint and PWM are taken from status.
    std::optional<Conditions> days;
    std::vector<Record> history; // newest first
    std::set<std::uint32_t> erasedSectors;
    ReadOut readOut = ReadOut::None;
    std::size_t historyNext = 0; // next record of the history read-out
    std::uint32_t memoryAddress = 0;
    int flashNext = 0;
    bool firmwareMode = false;
};

struct Faults {
    bool failInit = false;
    bool failExit = false;
    bool refuseOpen = false;
    std::optional<std::wstring> writeError;
    std::optional<std::wstring> readError;
    int statusLength = kStatusSize;
    int replyLag = 0;
    int latencyMs = 0;
    bool silent = false;
    int failureResult = -1;   // what a call failing by an injected fault returns
};

// Replies taken from a script instead of the heater: a length byte, then that many bytes.
struct ReplyScript {
    std::vector<std::uint8_t> bytes;
    std::size_t next = 0;
};

struct Counters {
    int init = 0;
    int exit = 0;
    int featureReads = 0;
    int enumerations = 0;
};

} // namespace heatersim

// hidapi's opaque handle.
struct hid_device_ {
    int deviceId = 0;
    std::deque<heatersim::QueuedReport> input;
    std::optional<std::wstring> error;
};

namespace heatersim {

Heater DefaultHeater();

struct Model {
    std::vector<Device> bus; // in plug order
    int lastDeviceId = 0;
    std::vector<std::unique_ptr<hid_device_>> handles;
    std::optional<std::wstring> error; // hid_error(NULL)
    Heater heater = DefaultHeater();
    Faults faults;
    std::optional<ReplyScript> script;
    Counters counters;
    std::vector<std::vector<std::uint8_t>> written;
};

// The one model. At first use it holds the scenario named by HEATERSIM_SCENARIO, if any.
Model &TheModel();

} // namespace heatersim
