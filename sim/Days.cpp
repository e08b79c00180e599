#include "Days.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace heatersim {

namespace {

constexpr std::int64_t kStep = 60;          // seconds per simulation step
constexpr int kWarmUpDays = 5;              // days simulated before the day asked for
constexpr double kStartWater = 45;          // degrees Celsius at the start of the warm-up
constexpr double kTankCapacity = 120 * 4186.0; // J/K: 120 litres of water
constexpr double kStandbyLossTime = 5.0 * kSecondsPerDay; // s: time constant of the tank's cooling
constexpr double kRoom = 18;                // degrees Celsius around the tank
constexpr double kMains = 12;               // degrees Celsius of the cold water refilling it
constexpr double kDrawPerStep = 0.004;      // share of the tank drawn per step while water runs
constexpr int kRestartBelowSetpoint = 3;    // degrees Celsius of hysteresis
constexpr double kNightLight = 0.003;       // irradiance below which the strings give no voltage
constexpr double kStartLight = 0.03;        // irradiance below which the heater does not start
constexpr double kPeakCurrent = 13;         // A at full sun
constexpr double kOvervoltage = 51.5;       // V on a string in an overvoltage episode
constexpr double kMaxCover = 0.95;          // cloud cover of the darkest days
constexpr std::array<double, 3> kStringNoonShift{-0.5, 0.0, 0.4}; // hours: east, south, west
constexpr std::array<double, 3> kStringShare{1.0, 0.96, 0.91};    // shading and panel spread

enum State { kHeating = 0, kUsbOnly = 101, kPowerNotStable = 102, kSetpointReached = 111 };
enum Fault { kIsolationUnsteady = 121, kIsolationToHigh = 122, kIsolationToGround = 123, kOvervoltage1 = 201 };

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return (value % divisor < 0) ? quotient - 1 : quotient;
}

// A fixed pseudo-random number in [0, 1) for every key and channel (splitmix64).
double Noise(std::int64_t key, int channel)
{
    std::uint64_t x = static_cast<std::uint64_t>(key) * 8 + static_cast<std::uint64_t>(channel);
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<double>(x >> 11) * 0x1.0p-53;
}

// Small jitter in [-0.5, 0.5), the same within one minute.
double Jitter(std::int64_t wallSeconds, int string, int channel)
{
    return Noise(FloorDiv(wallSeconds, 60) * 4 + string, channel) - 0.5;
}

// +1 at midsummer, -1 at midwinter.
double Season(std::int64_t day)
{
    constexpr double kYear = 365.2425;
    return std::sin(2 * std::numbers::pi * (std::fmod(static_cast<double>(day), kYear) - 80) / kYear);
}

double HourOfDay(std::int64_t wallSeconds)
{
    return static_cast<double>(wallSeconds - MidnightBefore(wallSeconds)) / 3600;
}

// The day's cloud cover: as the conditions fix it, else drawn, most days fairly clear.
double DayCoverOf(std::int64_t wallSeconds, const Conditions &conditions)
{
    if (conditions.cover && conditions.cover->midnight == MidnightBefore(wallSeconds)) {
        return conditions.cover->cover;
    }
    return kMaxCover * std::pow(Noise(FloorDiv(wallSeconds, kSecondsPerDay), 0), 2);
}

// 0 for a clear sky up to 0.95 for heavy overcast: a cover for the day with clouds passing.
double Cloudiness(std::int64_t wallSeconds, const Conditions &conditions)
{
    constexpr std::int64_t kCloudSlot = 1200;
    const double dayCover = DayCoverOf(wallSeconds, conditions);
    const std::int64_t slot = FloorDiv(wallSeconds, kCloudSlot);
    const double within = static_cast<double>(wallSeconds - slot * kCloudSlot) / kCloudSlot;
    const double passing = std::lerp(Noise(slot, 1), Noise(slot + 1, 1), within);
    return dayCover * (0.4 + 0.6 * passing);
}

// Sunlight on a string, 0 to 1.
double Irradiance(std::int64_t wallSeconds, int string, const Conditions &conditions)
{
    const double season = Season(FloorDiv(wallSeconds, kSecondsPerDay));
    const double dayLength = 12 + 4 * season;
    const double noon = 12.6 + 0.5 * season; // wall clock: summer time moves it later
    const double sunrise = noon + kStringNoonShift[string] - dayLength / 2;
    const double progress = (HourOfDay(wallSeconds) - sunrise) / dayLength;
    if (progress <= 0 || progress >= 1) {
        return 0;
    }
    const double peak = 0.85 + 0.15 * season;
    return kStringShare[string] * peak * std::pow(std::sin(std::numbers::pi * progress), 1.5)
        * (1 - Cloudiness(wallSeconds, conditions));
}

double OpenVoltage(double light)
{
    return light < kNightLight ? 0.0 : 42.0 + 2.5 * light;
}

double MppVoltage(double light)
{
    return 36.5 - 4.0 * light; // panels run warmer in strong sun
}

int AutoPwm(double light)
{
    return static_cast<int>(std::lround(300 + 600 * std::min(light, 1.0)));
}

struct Operating {
    std::array<double, 3> light{};
    std::array<double, 3> voltage{};
    std::array<double, 3> current{};
    std::array<int, 3> pwm{};
    double isolation = 0; // V
    int state = kHeating;

    double Power() const
    {
        return voltage[0] * current[0] + voltage[1] * current[1] + voltage[2] * current[2];
    }
    double Brightest() const { return std::max({light[0], light[1], light[2]}); }
    double HighestVoltage() const { return std::max({voltage[0], voltage[1], voltage[2]}); }
};

// Loads a string: automatic PWM holds it at its maximum power point, a fixed PWM draws a share.
void Drive(Operating &op, int string, int commandedPwm, std::int64_t wallSeconds)
{
    const double light = op.light[string];
    if (light < kStartLight) {
        return;
    }
    const int automatic = AutoPwm(light);
    const double share = commandedPwm < 0 ? 1.0 : std::min(1.0, static_cast<double>(commandedPwm) / automatic);
    const double mpp = MppVoltage(light);
    op.pwm[string] = commandedPwm < 0 ? automatic : commandedPwm;
    op.current[string] = kPeakCurrent * light * share * (1 + 0.02 * Jitter(wallSeconds, string, 2));
    op.voltage[string] = mpp + (op.voltage[string] - mpp) * (1 - share) + 0.3 * Jitter(wallSeconds, string, 3);
}

// The isolation check measures between the strings and earth: steady in a healthy system, rising
// a little with the sun, nothing without it.
double HealthyIsolation(const Operating &op)
{
    return op.Brightest() < kNightLight ? 0.0 : 26 + 4 * op.Brightest();
}

void SwitchOff(Operating &op, int string)
{
    op.voltage[string] = OpenVoltage(op.light[string]);
    op.current[string] = 0;
    op.pwm[string] = 0;
}

void SwitchOffAll(Operating &op)
{
    for (int string = 0; string < 3; ++string) {
        SwitchOff(op, string);
    }
}

void ApplyEpisode(Operating &op, std::int64_t wallSeconds, int code)
{
    op.state = code;
    switch (code) {
    case kIsolationUnsteady: // low and different at every look
        op.isolation = 9 + 12 * Jitter(wallSeconds, 3, 4);
        break;
    case kIsolationToHigh: // a leak pulls the check up to the string voltage
        SwitchOffAll(op);
        op.isolation = std::max(0.0, op.HighestVoltage() - 1 + Jitter(wallSeconds, 3, 4));
        break;
    case kIsolationToGround: // a leak pulls the check down to earth
        SwitchOffAll(op);
        op.isolation = 0.5 + 0.5 * Jitter(wallSeconds, 3, 4);
        break;
    default:
        if (const int string = code - kOvervoltage1; string >= 0 && string < 3) {
            SwitchOff(op, string);
            op.voltage[string] = kOvervoltage;
        }
        break;
    }
}

void ApplyEpisodes(Operating &op, std::int64_t wallSeconds, const std::vector<Episode> &episodes)
{
    for (const Episode &episode : episodes) {
        if (wallSeconds >= episode.from && wallSeconds < episode.to) {
            ApplyEpisode(op, wallSeconds, episode.code);
        }
    }
}

Operating Operate(std::int64_t wallSeconds, bool heating, const Conditions &conditions)
{
    Operating op;
    for (int string = 0; string < 3; ++string) {
        op.light[string] = Irradiance(wallSeconds, string, conditions);
        op.voltage[string] = OpenVoltage(op.light[string]);
        op.pwm[string] = std::max(conditions.pwm[string], 0);
    }
    if (op.Brightest() < kNightLight) {
        op.state = kUsbOnly;
    } else if (op.Brightest() < kStartLight) {
        op.state = kPowerNotStable;
    } else if (!heating) {
        op.state = kSetpointReached;
    } else {
        for (int string = 0; string < 3; ++string) {
            Drive(op, string, conditions.pwm[string], wallSeconds);
        }
    }
    op.isolation = HealthyIsolation(op);
    ApplyEpisodes(op, wallSeconds, conditions.episodes);
    return op;
}

// Hot water runs for showers in the morning and for the dishes in the evening.
bool WaterRunning(std::int64_t wallSeconds)
{
    const double hour = HourOfDay(wallSeconds);
    return (hour >= 6.5 && hour < 7.25) || (hour >= 19.0 && hour < 19.5);
}

// The tank and the day's energy, stepped minute by minute from a few days before the moment
// asked for, so that any moment of a day comes out the same however it is reached.
class Simulation {
public:
    Simulation(std::int64_t wallSeconds, const Conditions &conditions)
        : FTime(MidnightBefore(wallSeconds) - kWarmUpDays * kSecondsPerDay), FConditions(conditions)
    {
    }

    void AdvanceTo(std::int64_t wallSeconds)
    {
        while (FTime + kStep <= wallSeconds) {
            Step();
        }
    }

    Moment Observe(std::int64_t wallSeconds) const
    {
        const Operating op = Operate(wallSeconds, FHeating, FConditions);
        const double season = Season(FloorDiv(wallSeconds, kSecondsPerDay));
        const double daily = std::sin(2 * std::numbers::pi * (HourOfDay(wallSeconds) - 10) / 24);
        Moment moment;
        moment.voltage = op.voltage;
        moment.current = op.current;
        moment.pwm = op.pwm;
        moment.state = op.state;
        moment.water = FWater;
        moment.water2 = FWater - 0.4;
        moment.board = 19 + 2 * season + 1.5 * daily + op.Power() / 60;
        moment.isolation = op.isolation;
        moment.energy = FEnergy;
        return moment;
    }

private:
    void Step()
    {
        const double power = Operate(FTime, FHeating, FConditions).Power();
        FEnergy += power * kStep / 3600;
        FWater += power * kStep / kTankCapacity;
        FWater -= (FWater - kRoom) * kStep / kStandbyLossTime;
        if (WaterRunning(FTime)) {
            FWater -= (FWater - kMains) * kDrawPerStep;
        }
        FTime += kStep;
        if (FTime == MidnightBefore(FTime)) {
            FEnergy = 0;
        }
        FHeating = FWater < FConditions.setpoint - (FHeating ? 0 : kRestartBelowSetpoint);
    }

    std::int64_t FTime;
    const Conditions &FConditions;
    double FWater = kStartWater;
    double FEnergy = 0;
    bool FHeating = true;
};

} // namespace

std::int64_t MidnightBefore(std::int64_t wallSeconds)
{
    return FloorDiv(wallSeconds, kSecondsPerDay) * kSecondsPerDay;
}

Moment MomentAt(std::int64_t wallSeconds, const Conditions &conditions)
{
    Simulation simulation(wallSeconds, conditions);
    simulation.AdvanceTo(wallSeconds);
    return simulation.Observe(wallSeconds);
}

std::vector<Sample> QuarterHourSamples(std::int64_t wallSeconds, int count, const Conditions &conditions)
{
    std::vector<Sample> samples;
    if (count <= 0) {
        return samples;
    }
    samples.reserve(static_cast<std::size_t>(count));
    const std::int64_t newest = FloorDiv(wallSeconds, kHistoryInterval) * kHistoryInterval;
    std::int64_t slot = newest - (count - 1) * kHistoryInterval;
    while (slot <= newest) {
        Simulation day(slot, conditions);
        const std::int64_t nextMidnight = MidnightBefore(slot) + kSecondsPerDay;
        for (; slot <= newest && slot < nextMidnight; slot += kHistoryInterval) {
            day.AdvanceTo(slot);
            samples.push_back({slot, day.Observe(slot)});
        }
    }
    std::reverse(samples.begin(), samples.end());
    return samples;
}

} // namespace heatersim
