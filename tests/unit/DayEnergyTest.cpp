#include "history/DayEnergy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct TCase {
    const char *Name;
    std::vector<std::int64_t> Readings;
    std::vector<std::int64_t> Published;   // Reading() after each reading
    std::int64_t DayWh;
};

}

// One day's readings in order: what the counter stands at after each, and the day's energy.
TEST(DayEnergy, GlitchesAreHeldAndConfirmedRestartsAddUp)
{
    const TCase cases[] = {
        {"one sample", {1234}, {1234}, 1234},
        {"growing", {0, 100, 100, 250}, {0, 100, 100, 250}, 250},
        {"a glitch is held back", {3000, 0, 3010}, {3000, 3000, 3010}, 3010},
        {"a glitch at the day's end is not counted", {3000, 20}, {3000, 3000}, 3000},
        {"a confirmed restart", {3000, 0, 500, 2999}, {3000, 3000, 500, 2999}, 5999},
        {"a restart confirmed by an equal reading", {800, 0, 0, 40}, {800, 800, 0, 40}, 840},
        {"two restarts", {100, 10, 20, 5, 7, 9}, {100, 100, 20, 20, 7, 9}, 129},
        {"glitches apart are each held", {500, 1, 600, 2, 700}, {500, 500, 600, 600, 700}, 700},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TDayEnergyCounter counter;
        std::vector<std::int64_t> published;
        for (const std::int64_t wh : c.Readings) {
            counter.Add(wh);
            published.push_back(counter.Reading());
        }
        EXPECT_EQ(published, c.Published);
        EXPECT_EQ(counter.DayWh(), c.DayWh);
    }
}
