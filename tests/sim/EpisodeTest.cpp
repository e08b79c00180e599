// Fault episodes of the day model: one later on the clock's day shows once the clock gets there,
// and the isolation check reads as a technician expects during isolation faults.

#include "SimTest.h"

#include <algorithm>
#include <set>
#include <string>

namespace {

using EpisodeTest = SimTest;

std::string HeaterLine()
{
    return "heater " + std::string(kHeaterPath) + " V1.10\n";
}

TEST_F(EpisodeTest, EpisodeLaterOnTheClocksDayShowsWhenTheClockGetsThere)
{
    const std::string file = WriteScenario("later", HeaterLine() + "clock today 10:30\n"
                                                                   "day-model on\n"
                                                                   "episode 121 0 13:15 45\n");
    ASSERT_EQ(heatersim_load_scenario(file.c_str()), 0);
    Handle heater = OpenPath(kHeaterPath);
    const std::int64_t midnight = MidnightOf(HeaterStatus().clock);

    struct Case {
        int minuteOfDay;
        bool shown;
    };
    const Case cases[] = {
        {10 * 60 + 30, false}, {13 * 60 + 14, false}, {13 * 60 + 15, true}, {13 * 60 + 59, true},
        {14 * 60, false},
        {(24 + 13) * 60 + 30, false}, // on the next day
    };
    for (const Case &c : cases) {
        const heatersim_status status = StatusAt(heater.get(), midnight + c.minuteOfDay * 60);
        EXPECT_EQ(status.state == 121, c.shown) << c.minuteOfDay << " min: state " << int(status.state);
    }
}

double Volts(std::int16_t centivolts)
{
    return centivolts / 100.0;
}

double Amperes(const heatersim_status &status)
{
    return (status.current[0] + status.current[1] + status.current[2]) / 100.0;
}

TEST_F(EpisodeTest, IsolationCheckFollowsIsolationFaults)
{
    // A clear midsummer day with the water far from the setpoint: the heater loads the strings
    // all day unless a fault stops it.
    const std::string text = HeaterLine() + "setpoint 99\n"
                                            "clock " + std::to_string(Midsummer2025(10)) + "\n"
                                            "day-model on\n"
                                            "clouds 0\n"
                                            "episode 121 0 11:00 30\n"
                                            "episode 122 0 12:00 30\n"
                                            "episode 123 0 13:00 30\n"
                                            "episode 201 0 14:00 30\n";
    const std::string file = WriteScenario("isolation", text);
    ASSERT_EQ(heatersim_load_scenario(file.c_str()), 0);
    Handle heater = OpenPath(kHeaterPath);

    enum class Isolation { Healthy, Low, AtStrings, AtEarth };
    struct Case {
        int hour;
        int minute;
        int state;
        Isolation isolation;
        bool loaded;
    };
    const Case cases[] = {
        {10, 45, 0, Isolation::Healthy, true},
        {11, 10, 121, Isolation::Low, true}, // a warning: the heater goes on
        {12, 10, 122, Isolation::AtStrings, false},
        {13, 10, 123, Isolation::AtEarth, false},
        {14, 10, 201, Isolation::Healthy, true}, // strings 2 and 3 go on
        {14, 45, 0, Isolation::Healthy, true},
    };
    for (const Case &c : cases) {
        const heatersim_status status = StatusAt(heater.get(), Midsummer2025(c.hour, c.minute));
        const double isolation = status.isolation / 4.0;
        const double highest = Volts(*std::max_element(status.voltage, status.voltage + 3));
        SCOPED_TRACE(::testing::Message() << c.hour << ":" << c.minute << " isolation " << isolation << " V");
        EXPECT_EQ(status.state, c.state);
        switch (c.isolation) {
        case Isolation::Healthy:
            EXPECT_GE(isolation, 26);
            EXPECT_LE(isolation, 30.5);
            break;
        case Isolation::Low:
            EXPECT_GE(isolation, 2);
            EXPECT_LE(isolation, 16);
            break;
        case Isolation::AtStrings:
            EXPECT_GT(highest, 40);
            EXPECT_NEAR(isolation, highest, 2);
            break;
        case Isolation::AtEarth:
            EXPECT_LE(isolation, 1);
            break;
        }
        EXPECT_EQ(Amperes(status) > 0, c.loaded);
    }
    EXPECT_EQ(StatusAt(heater.get(), Midsummer2025(14, 10)).voltage[0], 5150); // overvoltage as before

    // An unsteady check reads differently from one minute to the next, always low.
    std::set<int> readings;
    for (int minute = 0; minute < 30; ++minute) {
        const heatersim_status status = StatusAt(heater.get(), Midsummer2025(11, minute));
        EXPECT_LE(status.isolation, 16 * 4) << minute;
        readings.insert(status.isolation);
    }
    EXPECT_GE(readings.size(), 5u);
}

} // namespace
