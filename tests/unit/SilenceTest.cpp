#include "exchange/Silence.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using TClock = TSilenceWatch::TClock;

const TClock::time_point Start{};

TSilenceWatch MissedAfterStart(int Reads)
{
    TSilenceWatch watch(Start);
    for (int i = 0; i < Reads; ++i)
        watch.Missed();
    return watch;
}

// Neither many quick empty reads nor a long pause alone end a read-out: a slow heater's replies
// take longer than a thousand reads, and a single slow read is no thousand.
TEST(SilenceWatch, EndsOnlyAfterEnoughEmptyReadsThatLastedLongEnough)
{
    const struct {
        int EmptyReads;
        std::chrono::milliseconds After;
        bool Silent;
    } cases[] = {
        {1000, 999ms, false}, {1000, 1000ms, true}, {999, 5000ms, false}, {5000, 20ms, false}, {0, 1h, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MissedAfterStart(c.EmptyReads).Silent(Start + c.After), c.Silent) << c.EmptyReads << " " << c.After.count();
}

TEST(SilenceWatch, AReplyStartsTheSilenceAgain)
{
    TSilenceWatch watch = MissedAfterStart(2000);
    watch.Heard(Start + 3s);
    EXPECT_FALSE(watch.Lasted(Start + 3s + 999ms));
    EXPECT_TRUE(watch.Lasted(Start + 4s));
    for (int i = 0; i < 999; ++i)
        watch.Missed();
    EXPECT_FALSE(watch.Silent(Start + 10s));
    watch.Missed();
    EXPECT_TRUE(watch.Silent(Start + 10s));
}

// A read right after a reply does not wait; the reads of a silence share what is left of it, so
// that the last of the thousand ends it and no request more is written than the empty reads need.
TEST(SilenceWatch, ReadsShareWhatIsLeftOfTheSilence)
{
    const struct {
        int EmptyReads;
        std::chrono::microseconds After;
        int WaitMs;
        int RemainingMs;
    } cases[] = {
        {0, 0ms, 0, 1000},         // right after a reply: no wait, more may be ready at once
        {1, 1ms, 1, 999},          // a fresh silence: a millisecond a read
        {999, 10ms, 990, 990},      // the last read waits for all that is left
        {500, 500ms, 1, 500},
        {500, 100ms, 2, 900},      // rounded up: 900 ms over 500 reads
        {1000, 400ms, 600, 600},    // reads beyond the thousand wait for the rest at once
        {10, 1500ms, 0, 0},         // the silence has lasted: reads no longer wait
        {1, 999500us, 1, 1},       // parts of a millisecond left are waited for whole
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.EmptyReads << " after " << c.After.count() << " us");
        const TSilenceWatch watch = MissedAfterStart(c.EmptyReads);
        EXPECT_EQ(watch.ReadWaitMs(Start + c.After), c.WaitMs);
        EXPECT_EQ(watch.RemainingMs(Start + c.After), c.RemainingMs);
    }
}

// Once the heater has answered, the silence that ends a read-out is a few times the longest wait
// for a reply seen, never above the second a heater not yet heard gets.
TEST(SilenceWatch, LengthFollowsTheLatencySeen)
{
    const struct {
        std::optional<std::chrono::milliseconds> Before;
        std::chrono::milliseconds Gap;   // from the start to the first reply
        std::chrono::milliseconds Length;
    } cases[] = {
        {std::nullopt, 0ms, 0ms},     // an answer at once: the empty reads alone end it
        {std::nullopt, 20ms, 100ms},  // 20 ms late
        {std::nullopt, 60ms, 300ms},
        {std::nullopt, 400ms, 1000ms},
        {30ms, 2ms, 150ms},           // the latency of earlier read-outs counts
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Gap.count() << " ms");
        TSilenceWatch watch(Start, c.Before);
        watch.Heard(Start + c.Gap);
        EXPECT_EQ(watch.Length(), c.Length);
        watch.Missed();
        EXPECT_EQ(watch.RemainingMs(Start + c.Gap), c.Length.count());
    }
    EXPECT_EQ(TSilenceWatch(Start).Length(), 1000ms);
    EXPECT_EQ(TSilenceWatch(Start, 30ms).Length(), 150ms);
}

}
