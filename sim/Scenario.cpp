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

struct Scenario {
    std::vector<PlugSetting> plugs;
    std::optional<std::int32_t> serialNumber;
    std::optional<std::int32_t> setpoint;
    std::optional<std::array<std::int16_t, 3>> pwm;
    std::optional<std::uint32_t> clock;
    bool localClock = false;
    bool clockRunning = false;
    bool dayModel = false;
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
    scenario.localClock = args[0] == "local";
    return scenario.localClock || ParseNumber(args[0], scenario.clock.emplace());
}

bool ParseClockRunning(const Words &args, Scenario &scenario)
{
    return ParseSwitch(args[0], scenario.clockRunning);
}

bool ParseDayModel(const Words &args, Scenario &scenario)
{
    return ParseSwitch(args[0], scenario.dayModel);
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
    std::size_t arguments;
    bool (*parse)(const Words &, Scenario &);
};

constexpr Setting kSettings[] = {
    {"heater", 2, ParseHeater},
    {"device", 3, ParseDevice},
    {"serial-number", 1, ParseSerialNumber},
    {"setpoint", 1, ParseSetpoint},
    {"pwm", 3, ParsePwm},
    {"clock", 1, ParseClock},
    {"clock-running", 1, ParseClockRunning},
    {"day-model", 1, ParseDayModel},
    {"history-days", 1, ParseHistoryDays},
    {"episode", 4, ParseEpisode},
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
            return words.size() == setting.arguments && setting.parse(words, scenario);
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

std::vector<Episode> EpisodesBefore(std::int64_t wallSeconds, const std::vector<EpisodeSetting> &settings)
{
    std::vector<Episode> episodes;
    for (const EpisodeSetting &setting : settings) {
        const std::int64_t from =
            MidnightBefore(wallSeconds) - setting.daysAgo * kSecondsPerDay + setting.startMinute * 60;
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
    SetClock(heater.clock, scenario.localClock ? LocalDeviceSeconds() : scenario.clock.value_or(heater.clock.base));
    heater.clock.running = scenario.clockRunning;

    const std::int64_t now = WallSeconds(heater.clock.base);
    const Conditions conditions = ConditionsOf(heater, EpisodesBefore(now, scenario.episodes));
    if (scenario.dayModel) {
        heater.days = conditions.episodes;
    }
    const int records = scenario.historyDays * static_cast<int>(kSecondsPerDay / kHistoryInterval);
    heater.history = EncodeRecords(QuarterHourSamples(now, records, conditions));
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
