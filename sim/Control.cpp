// The heater model's control interface.

#include "Bus.h"
#include "Heater.h"
#include "Model.h"
#include "Scenario.h"

#include <algorithm>
#include <cstring>

using namespace heatersim;

namespace {

std::optional<std::wstring> ErrorText(const wchar_t *error)
{
    return error != nullptr ? std::optional<std::wstring>(error) : std::nullopt;
}

} // namespace

extern "C" {

HEATERSIM_API void heatersim_reset(void)
{
    TheModel() = Model{};
}

HEATERSIM_API int heatersim_load_scenario(const char *file)
{
    return LoadScenario(TheModel(), file);
}

HEATERSIM_API void heatersim_plug_heater(const char *path, const wchar_t *firmware)
{
    if (path != nullptr) {
        Plug(TheModel(), HeaterDevice(path, firmware));
    }
}

HEATERSIM_API void heatersim_plug_device(const char *path, unsigned short vendor, unsigned short product)
{
    if (path != nullptr) {
        Plug(TheModel(), OtherDevice(path, vendor, product));
    }
}

HEATERSIM_API void heatersim_unplug(const char *path)
{
    if (path != nullptr) {
        Unplug(TheModel(), path);
    }
}

HEATERSIM_API void heatersim_get_status(struct heatersim_status *status)
{
    if (status != nullptr) {
        *status = ReportedStatus(TheModel().heater);
    }
}

HEATERSIM_API void heatersim_set_status(const struct heatersim_status *status)
{
    if (status == nullptr) {
        return;
    }
    Heater &heater = TheModel().heater;
    heater.status = *status;
    heater.days.reset();
    SetClock(heater.clock, status->clock);
}

HEATERSIM_API void heatersim_set_clock_running(int running)
{
    Clock &clock = TheModel().heater.clock;
    SetClock(clock, ClockNow(clock));
    clock.running = running != 0;
}

HEATERSIM_API void heatersim_set_history(const unsigned char *records, int count)
{
    if (records == nullptr || count < 0) {
        return;
    }
    Heater &heater = TheModel().heater;
    heater.history.assign(static_cast<std::size_t>(count), Record{});
    for (Record &record : heater.history) {
        std::memcpy(record.data(), records, record.size());
        records += record.size();
    }
    heater.historyNext = 0;
}

HEATERSIM_API int heatersim_history_count(void)
{
    return static_cast<int>(TheModel().heater.history.size());
}

HEATERSIM_API int heatersim_in_firmware_mode(void)
{
    return TheModel().heater.firmwareMode ? 1 : 0;
}

HEATERSIM_API void heatersim_fail_init(int fail)
{
    TheModel().faults.failInit = fail != 0;
}

HEATERSIM_API void heatersim_fail_exit(int fail)
{
    TheModel().faults.failExit = fail != 0;
}

HEATERSIM_API void heatersim_refuse_open(int refuse)
{
    TheModel().faults.refuseOpen = refuse != 0;
}

HEATERSIM_API void heatersim_fail_write(const wchar_t *error)
{
    TheModel().faults.writeError = ErrorText(error);
}

HEATERSIM_API void heatersim_fail_read(const wchar_t *error)
{
    TheModel().faults.readError = ErrorText(error);
}

HEATERSIM_API void heatersim_set_failure_result(int result)
{
    TheModel().faults.failureResult = result;
}

HEATERSIM_API void heatersim_set_reply_latency(int milliseconds)
{
    TheModel().faults.latencyMs = std::max(milliseconds, 0);
}

HEATERSIM_API void heatersim_set_status_length(int length)
{
    TheModel().faults.statusLength = std::clamp(length, 0, kReportSize);
}

HEATERSIM_API void heatersim_set_reply_lag(int reads)
{
    TheModel().faults.replyLag = std::max(reads, 0);
}

HEATERSIM_API void heatersim_set_silent(int silent)
{
    TheModel().faults.silent = silent != 0;
}

HEATERSIM_API void heatersim_set_reply_script(const unsigned char *bytes, int size)
{
    Model &model = TheModel();
    if (bytes == nullptr) {
        model.script.reset();
        return;
    }
    model.script = ReplyScript{{bytes, bytes + std::max(size, 0)}, 0};
}

HEATERSIM_API int heatersim_written_count(void)
{
    return static_cast<int>(TheModel().written.size());
}

HEATERSIM_API int heatersim_written(int index, unsigned char *data, int size)
{
    const auto &written = TheModel().written;
    if (index < 0 || static_cast<std::size_t>(index) >= written.size()) {
        return -1;
    }
    const std::vector<std::uint8_t> &report = written[static_cast<std::size_t>(index)];
    if (data != nullptr && size > 0) {
        std::memcpy(data, report.data(), std::min(report.size(), static_cast<std::size_t>(size)));
    }
    return static_cast<int>(report.size());
}

HEATERSIM_API void heatersim_clear_written(void)
{
    TheModel().written.clear();
}

HEATERSIM_API int heatersim_init_calls(void)
{
    return TheModel().counters.init;
}

HEATERSIM_API int heatersim_exit_calls(void)
{
    return TheModel().counters.exit;
}

HEATERSIM_API int heatersim_open_handles(void)
{
    return static_cast<int>(TheModel().handles.size());
}

HEATERSIM_API int heatersim_feature_reads(void)
{
    return TheModel().counters.featureReads;
}

HEATERSIM_API int heatersim_enumerations(void)
{
    return TheModel().counters.enumerations;
}

} // extern "C"
