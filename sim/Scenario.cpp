#include "Scenario.h"

#include "Bus.h"
#include "Heater.h"
#include "Records.h"

#include <charconv>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string_view>

namespace heatersim {

namespace {

using Words = std::vector<std::string>;

struct PlugSetting {
    std::string path;
    std::wstring firmware;
    bool heater = false;
    unsigned short vendor = 0;
    unsigned short product = 0;
};

struct EpisodeSetting {
    int code = 0;
    int daysAgo = 0;
    int startMinute = 0; // minutes after midnight
    int minutes = 0;
};

// Where the clock starts.
struct ClockSetting {
    enum Kind { Fixed, Local, Today } kind = Fixed;
    std::uint32_t deviceSeconds = 0; // Fixed
    int minute = 0;                  // Today: minutes after midnight
};

struct Scenario {
    std::vector<PlugSetting> plugs;
    std::optional<std::int32_t> serialNumber;
    std::optional<std::int32_t> setpoint;
    std::optional<std::array<std::int16_t, 3>> pwm;
    std::optional<ClockSetting> clock;
    bool clockRunning = false;
    int clockRate = 1;
    bool dayModel = false;
    std::optional<int> cloudPercent;
    int historyDays = 0;
    std::vector<EpisodeSetting> episodes;
};

template <class T>
bool ParseNumber(std::string_view text, T &value)
{
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

template <class T>
bool ParseInRange(std::string_view text, T &value, T low, T high)
{
    return ParseNumber(text, value) && value >= low && value <= high;
}

bool ParseSwitch(std::string_view text, bool &value)
{
    value = text == "on";
    return text == "on" || text == "off";
}

// HH:MM as minutes after midnight.
bool ParseTimeOfDay(std::string_view text, int &minutes)
{
    const std::size_t colon = text.find(':');
    int hours = 0;
    int minute = 0;
    if (colon == std::string_view::npos || !ParseInRange(text.substr(0, colon), hours, 0, 23)
        || !ParseInRange(text.substr(colon + 1), minute, 0, 59)) {
        return false;
    }
    minutes = hours * 60 + minute;
    return true;
}

std::wstring Widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

bool ParseHeater(const Words &args, Scenario &scenario)
{
    scenario.plugs.push_back({args[0], Widen(args[1]), true, HEATERSIM_VENDOR, HEATERSIM_PRODUCT});
    return true;
}

bool ParseDevice(const Words &args, Scenario &scenario)
{
    PlugSetting plug{args[0], L"", false, 0, 0};
    if (!ParseNumber(args[1], plug.vendor) || !ParseNumber(args[2], plug.product)) {
        return false;
    }
    scenario.plugs.push_back(plug);
    return true;
}

bool ParseSerialNumber(const Words &args, Scenario &scenario)
{
    return ParseNumber(args[0], scenario.serialNumber.emplace());
}

bool ParseSetpoint(const Words &args, Scenario &scenario)
{
    return ParseInRange(args[0], scenario.setpoint.emplace(), 0, 99);
}

bool ParsePwm(const Words &args, Scenario &scenario)
{
    auto &pwm = scenario.pwm.emplace();
    for (int string = 0; string < 3; ++string) {
        if (!ParseInRange<std::int16_t>(args[string], pwm[string], -1, 1000)) {
            return false;
        }
    }
    return true;
}

bool ParseClock(const Words &args, Scenario &scenario)
{
    ClockSetting &clock = scenario.clock.emplace();
    if (args[0] == "today") {
        clock.kind = ClockSetting::Today;
        return args.size() == 2 && ParseTimeOfDay(args[1], clock.minute);
    }
    if (args.size() != 1) {
        return false;
    }
    if (args[0] == "local") {
        clock.kind = ClockSetting::Local;
        return true;
    }
    return ParseNumber(args[0], clock.deviceSeconds);
}

bool ParseClockRunning(const Words &args, Scenario &scenario)
{
    return ParseSwitch(args[0], scenario.clockRunning);
}

bool ParseClockRate(const Words &args, Scenario &scenario)
{
    return ParseInRange(args[0], scenario.clockRate, 1, kMaxClockRate);
}

bool ParseDayModel(const Words &args, Scenario &scenario)
{
    return ParseSwitch(args[0], scenario.dayModel);
}

bool ParseClouds(const Words &args, Scenario &scenario)
{
    return ParseInRange(args[0], scenario.cloudPercent.emplace(), 0, 95);
}

bool ParseHistoryDays(const Words &args, Scenario &scenario)
{
    return ParseInRange(args[0], scenario.historyDays, 0, 365);
}

bool ParseEpisode(const Words &args, Scenario &scenario)
{
    EpisodeSetting &episode = scenario.episodes.emplace_back();
    return ParseInRange(args[0], episode.code, 0, 255) && ParseInRange(args[1], episode.daysAgo, 0, 365)
        && ParseTimeOfDay(args[2], episode.startMinute) && ParseInRange(args[3], episode.minutes, 1, 24 * 60);
}

struct Setting {
    std::string_view name;
    std::size_t fewestArguments;
    std::size_t mostArguments;
    bool (*parse)(const Words &, Scenario &);
};

constexpr Setting kSettings[] = {
    {"heater", 2, 2, ParseHeater},
    {"device", 3, 3, ParseDevice},
    {"serial-number", 1, 1, ParseSerialNumber},
    {"setpoint", 1, 1, ParseSetpoint},
    {"pwm", 3, 3, ParsePwm},
    {"clock", 1, 2, ParseClock},
    {"clock-running", 1, 1, ParseClockRunning},
    {"clock-rate", 1, 1, ParseClockRate},
    {"day-model", 1, 1, ParseDayModel},
    {"clouds", 1, 1, ParseClouds},
    {"history-days", 1, 1, ParseHistoryDays},
    {"episode", 4, 4, ParseEpisode},
};

// The words of a line, without its comment.
Words SplitLine(const std::string &line)
{
    std::istringstream stream(line.substr(0, line.find('#')));
    Words words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

bool ParseLine(const std::string &line, Scenario &scenario)
{
    Words words = SplitLine(line);
    if (words.empty()) {
        return true;
    }
    for (const Setting &setting : kSettings) {
        if (words[0] == setting.name) {
            words.erase(words.begin());
            return words.size() >= setting.fewestArguments && words.size() <= setting.mostArguments
                && setting.parse(words, scenario);
        }
    }
    return false;
}

std::optional<Scenario> ParseScenario(std::istream &input)
{
    Scenario scenario;
    for (std::string line; std::getline(input, line);) {
        if (!ParseLine(line, scenario)) {
            return std::nullopt;
        }
    }
    return scenario;
}

// The PC's local wall-clock time in device seconds.
std::uint32_t LocalDeviceSeconds()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DeviceSeconds(timegm(&local));
}

// Where the clock starts, in device seconds; unset, it keeps its reading.
std::uint32_t ClockStart(const std::optional<ClockSetting> &setting, std::uint32_t kept)
{
    if (!setting) {
        return kept;
    }
    switch (setting->kind) {
    case ClockSetting::Local:
        return LocalDeviceSeconds();
    case ClockSetting::Today:
        return DeviceSeconds(MidnightBefore(WallSeconds(LocalDeviceSeconds())) + setting->minute * 60);
    case ClockSetting::Fixed:
        break;
    }
    return setting->deviceSeconds;
}

// The episodes in wall time, counted back from the day of the clock's start. Those later than the
// start are kept too: a running clock reaches them.
std::vector<Episode> EpisodeTimes(std::int64_t start, const std::vector<EpisodeSetting> &settings)
{
    std::vector<Episode> episodes;
    for (const EpisodeSetting &setting : settings) {
        const std::int64_t from = MidnightBefore(start) - setting.daysAgo * kSecondsPerDay + setting.startMinute * 60;
        episodes.push_back({from, from + setting.minutes * 60, setting.code});
    }
    return episodes;
}

void ApplyPlugs(Model &model, const Scenario &scenario)
{
    for (const PlugSetting &plug : scenario.plugs) {
        Plug(model, plug.heater ? HeaterDevice(plug.path.c_str(), plug.firmware.c_str())
                                : OtherDevice(plug.path.c_str(), plug.vendor, plug.product));
    }
}

void ApplyHeater(Heater &heater, const Scenario &scenario)
{
    heater.status.serial_number = scenario.serialNumber.value_or(heater.status.serial_number);
    heater.status.setpoint = scenario.setpoint.value_or(heater.status.setpoint);
    if (scenario.pwm) {
        std::ranges::copy(*scenario.pwm, heater.status.pwm);
    }

    const std::uint32_t start = ClockStart(scenario.clock, heater.clock.base);
    const std::int64_t startWall = WallSeconds(start);
    Conditions days;
    days.episodes = EpisodeTimes(startWall, scenario.episodes);
    if (scenario.cloudPercent) {
        days.cover = DayCover{MidnightBefore(startWall), *scenario.cloudPercent / 100.0};
    }
    if (scenario.dayModel) {
        heater.days = days;
    }
    const int records = scenario.historyDays * static_cast<int>(kSecondsPerDay / kHistoryInterval);
    heater.history = EncodeRecords(QuarterHourSamples(startWall, records, ConditionsOf(heater, days)));

    // Set last, so that a fast clock has not run on while the history was made.
    SetClock(heater.clock, start);
    heater.clock.running = scenario.clockRunning;
    heater.clock.rate = scenario.clockRate;
}

} // namespace

int LoadScenario(Model &model, const char *file)
{
    if (file == nullptr) {
        return -1;
    }
    std::ifstream input(file);
    if (!input) {
        return -1;
    }
    const std::optional<Scenario> scenario = ParseScenario(input);
    if (!scenario) {
        return -1;
    }
    model = Model{};
    ApplyPlugs(model, *scenario);
    ApplyHeater(model.heater, *scenario);
    return 0;
}

} // namespace heatersim
