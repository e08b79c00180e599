#include "Heater.h"

#include "Bytes.h"
#include "ReadOut.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace heatersim {

namespace {

enum Command : std::uint8_t {
    kFlashTable = 0x01,
    kHistoryOrMemory = 0x02,
    kBlockRequest = 0x10,
    kSetpoint = 0x20,
    kClock = 0x21,
    kEraseSector = 0x22,
    kSerialNumber = 0x2F,
    kPwm1 = 0x31,
    kPwm3 = 0x33,
    kFirmwareUpdate = 0x40,
};

constexpr std::size_t kMemoryRequestSize = 30;
constexpr int kPwmAutomatic = -1;
constexpr int kPwmFull = 1000;

// Report byte index; bytes past the end of a short report count as the zeros of its padding.
std::uint8_t ByteAt(std::span<const std::uint8_t> report, std::size_t index)
{
    return index < report.size() ? report[index] : 0;
}

std::uint32_t U32At(std::span<const std::uint8_t> report, std::size_t index)
{
    const std::uint8_t bytes[4] = {ByteAt(report, index), ByteAt(report, index + 1), ByteAt(report, index + 2),
                                   ByteAt(report, index + 3)};
    return GetU32(bytes);
}

std::int16_t Centi(double value)
{
    return RoundInto<std::int16_t>(value * 100);
}

void ApplyMoment(heatersim_status &status, const Moment &moment)
{
    for (int string = 0; string < 3; ++string) {
        status.voltage[string] = Centi(moment.voltage[string]);
        status.current[string] = Centi(moment.current[string]);
        status.pwm[string] = static_cast<std::int16_t>(moment.pwm[string]);
    }
    status.water_temp = Centi(moment.water);
    status.water_temp2 = Centi(moment.water2);
    status.board_temp = Centi(moment.board);
    status.isolation = RoundInto<std::uint8_t>(moment.isolation * 4);
    status.energy = RoundInto<std::int16_t>(moment.energy);
    status.state = RoundInto<std::uint8_t>(moment.state);
}

std::array<std::uint8_t, kStatusSize> EncodeStatus(const heatersim_status &status)
{
    std::array<std::uint8_t, kStatusSize> payload{};
    PutU32(&payload[0], static_cast<std::uint32_t>(status.serial_number));
    PutU32(&payload[4], static_cast<std::uint32_t>(status.setpoint));
    PutU32(&payload[8], status.clock);
    for (int string = 0; string < 3; ++string) {
        PutU16(&payload[12 + 2 * string], static_cast<std::uint16_t>(status.voltage[string]));
        PutU16(&payload[18 + 2 * string], static_cast<std::uint16_t>(status.current[string]));
        PutU16(&payload[24 + 2 * string], static_cast<std::uint16_t>(status.pwm[string]));
    }
    PutU16(&payload[30], static_cast<std::uint16_t>(status.water_temp));
    PutU16(&payload[32], static_cast<std::uint16_t>(status.water_temp2));
    PutU16(&payload[34], static_cast<std::uint16_t>(status.board_temp));
    payload[36] = status.isolation;
    PutU16(&payload[37], static_cast<std::uint16_t>(status.energy));
    payload[39] = status.state;
    return payload;
}

// The reply to a command: the command and its bytes as received.
Report Echo(std::span<const std::uint8_t> report)
{
    Report reply{};
    std::copy_n(report.begin() + 1, std::min<std::size_t>(report.size() - 1, reply.size()), reply.begin());
    return reply;
}

// With a latency the heater works through its requests one at a time: each reply is ready that
// long after the heater took the request up, which is when the previous reply was ready.
void Queue(const Model &model, hid_device_ &handle, const Report &report)
{
    if (model.faults.silent) {
        return;
    }
    auto readyAt = std::chrono::steady_clock::time_point{};
    if (model.faults.latencyMs > 0) {
        const auto now = std::chrono::steady_clock::now();
        const auto start = handle.input.empty() ? now : std::max(now, handle.input.back().readyAt);
        readyAt = start + std::chrono::milliseconds(model.faults.latencyMs);
    }
    handle.input.push_back({report, model.faults.replyLag, readyAt});
}

// Command 2 starts the history read-out (value 0 afresh, 1 continuing) or, as a longer request
// with an address and a length, a memory read-out.
void StartReadOut(Heater &heater, std::span<const std::uint8_t> report)
{
    const std::uint32_t value = U32At(report, 2);
    if (value <= 1 && U32At(report, 6) == 0) {
        StartHistory(heater, value == 0);
    } else if (report.size() >= kMemoryRequestSize) {
        StartMemory(heater, value);
    }
}

void Act(Heater &heater, std::span<const std::uint8_t> report)
{
    const std::uint8_t command = report[1];
    const auto value = static_cast<std::int32_t>(U32At(report, 2));
    switch (command) {
    case kFlashTable:
        StartFlashTable(heater);
        break;
    case kHistoryOrMemory:
        StartReadOut(heater, report);
        break;
    case kSetpoint:
        heater.status.setpoint = value;
        break;
    case kClock:
        SetClock(heater.clock, static_cast<std::uint32_t>(value));
        break;
    case kEraseSector:
        EraseSector(heater, static_cast<std::uint32_t>(value));
        break;
    case kSerialNumber:
        heater.status.serial_number = value;
        break;
    case kFirmwareUpdate:
        heater.firmwareMode = true;
        break;
    default:
        if (command >= kPwm1 && command <= kPwm3) {
            heater.status.pwm[command - kPwm1] = static_cast<std::int16_t>(std::clamp(value, kPwmAutomatic, kPwmFull));
        }
        break;
    }
}

} // namespace

Heater DefaultHeater()
{
    Heater heater;
    heater.status = {
        .serial_number = 17090634,
        .setpoint = 60,
        .clock = 1491559200, // 2017-04-07 12:00:00
        .voltage = {3100, 3050, 2980},
        .current = {1000, 950, 900},
        .pwm = {400, 390, 380},
        .water_temp = 4500,
        .water_temp2 = 4460,
        .board_temp = 3150,
        .isolation = 112,
        .energy = 1234,
        .state = 0,
    };
    SetClock(heater.clock, heater.status.clock);
    return heater;
}

Conditions ConditionsOf(const Heater &heater, Conditions days)
{
    days.setpoint = heater.status.setpoint;
    std::ranges::copy(heater.status.pwm, days.pwm.begin());
    return days;
}

heatersim_status ReportedStatus(const Heater &heater)
{
    heatersim_status status = heater.status;
    status.clock = ClockNow(heater.clock);
    if (heater.days) {
        ApplyMoment(status, MomentAt(WallSeconds(status.clock), ConditionsOf(heater, *heater.days)));
    }
    return status;
}

int FillStatusReport(const Model &model, unsigned char *data, std::size_t length)
{
    std::array<std::uint8_t, 1 + kReportSize> report{};
    const auto payload = EncodeStatus(ReportedStatus(model.heater));
    std::ranges::copy(payload, report.begin() + 1);
    const std::size_t size = std::min<std::size_t>(1 + model.faults.statusLength, length);
    std::memcpy(data, report.data(), size);
    return static_cast<int>(size);
}

void Receive(Model &model, hid_device_ &handle, std::span<const std::uint8_t> report)
{
    if (report.size() < 2) {
        return;
    }
    if (report[1] == kBlockRequest) {
        if (const auto block = NextBlock(model.heater)) {
            Queue(model, handle, *block);
        }
        return;
    }
    Act(model.heater, report);
    Queue(model, handle, Echo(report));
}

void WaitForRoom(const hid_device_ &handle)
{
    constexpr std::size_t kRequestsHeld = 2; // the one in work and one in the endpoint's buffer
    const auto now = std::chrono::steady_clock::now();
    const auto pending = std::ranges::count_if(handle.input, [now](const QueuedReport &queued) { return queued.readyAt > now; });
    if (static_cast<std::size_t>(pending) >= kRequestsHeld) {
        const auto next = std::ranges::find_if(handle.input, [now](const QueuedReport &queued) { return queued.readyAt > now; });
        std::this_thread::sleep_until(next->readyAt);
    }
}

int TakeInputReport(hid_device_ &handle, unsigned char *data, std::size_t length, int timeoutMs)
{
    if (handle.input.empty()) {
        // Nothing is on its way: a read with a timeout waits it out, as hidapi's does.
        if (timeoutMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        }
        return 0;
    }
    const auto readyAt = handle.input.front().readyAt;
    const auto now = std::chrono::steady_clock::now();
    if (readyAt > now) {
        if (timeoutMs == 0 || (timeoutMs > 0 && readyAt > now + std::chrono::milliseconds(timeoutMs))) {
            if (timeoutMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
            }
            return 0;
        }
        std::this_thread::sleep_until(readyAt);
    }
    if (handle.input.front().readsToWait > 0) {
        for (QueuedReport &queued : handle.input) {
            queued.readsToWait = std::max(queued.readsToWait - 1, 0);
        }
        return 0;
    }
    const std::size_t size = std::min(length, handle.input.front().data.size());
    std::memcpy(data, handle.input.front().data.data(), size);
    handle.input.pop_front();
    return static_cast<int>(size);
}

} // namespace heatersim
