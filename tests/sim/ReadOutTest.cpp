// The block read-outs: stored history, memory and flash table, and erasing.

#include "SimTest.h"

#include <chrono>

namespace {

using ReadOutTest = SimTest;

constexpr std::uint32_t kHistoryAddress = 0xFFF000;

// count records, record i filled with the byte i + 1 (checksums do not matter to the heater).
Bytes Records(int count)
{
    Bytes records;
    for (int i = 0; i < count; ++i) {
        records.insert(records.end(), 16, static_cast<std::uint8_t>(i + 1));
    }
    return records;
}

// A block as the heater should give it: the records from first on, zero records after the last.
Bytes Block(int first, int count)
{
    Bytes block = Records(count);
    block.erase(block.begin(), block.begin() + 16 * first);
    block.resize(64, 0);
    return block;
}

Handle HeaterWithHistory(int count)
{
    const Bytes records = Records(count);
    heatersim_set_history(records.data(), count);
    return PlugAndOpenHeater();
}

TEST_F(ReadOutTest, HistoryComesInBlocksOfFourThenStops)
{
    Handle heater = HeaterWithHistory(6);
    ASSERT_FALSE(Exchange(heater.get(), CommandReport(0x02, 0)).empty());
    EXPECT_EQ(Exchange(heater.get(), BlockRequest()), Block(0, 6));
    EXPECT_EQ(Exchange(heater.get(), BlockRequest()), Block(4, 6));
    EXPECT_TRUE(Exchange(heater.get(), BlockRequest()).empty());
    EXPECT_TRUE(Exchange(heater.get(), BlockRequest()).empty());
}

TEST_F(ReadOutTest, ContinuingGoesOnAfterTheLastBlockAndRestartingBeginsAgain)
{
    Handle heater = HeaterWithHistory(10);
    Exchange(heater.get(), CommandReport(0x02, 0));
    Exchange(heater.get(), BlockRequest());
    Exchange(heater.get(), BlockRequest());
    heater = OpenPath(kHeaterPath); // each download opens the heater anew

    Exchange(heater.get(), CommandReport(0x02, 1));
    EXPECT_EQ(Exchange(heater.get(), BlockRequest()), Block(8, 10));
    Exchange(heater.get(), CommandReport(0x02, 0));
    EXPECT_EQ(Exchange(heater.get(), BlockRequest()), Block(0, 10));
}

TEST_F(ReadOutTest, UnansweredRequestsDeliverNothingTwice)
{
    Handle heater = HeaterWithHistory(8);
    Exchange(heater.get(), CommandReport(0x02, 0));
    ASSERT_EQ(Send(heater.get(), BlockRequest()), kHostReportSize);
    ASSERT_EQ(Send(heater.get(), BlockRequest()), kHostReportSize);
    EXPECT_EQ(ReadReport(heater.get()), Block(0, 8));
    EXPECT_EQ(ReadReport(heater.get()), Block(4, 8));
}

TEST_F(ReadOutTest, ErasingTheHistorySectorEmptiesTheHistory)
{
    Handle heater = HeaterWithHistory(5);
    Exchange(heater.get(), CommandReport(0x22, static_cast<std::int32_t>(kHistoryAddress)));
    EXPECT_EQ(heatersim_history_count(), 0);
    Exchange(heater.get(), CommandReport(0x02, 0));
    EXPECT_TRUE(Exchange(heater.get(), BlockRequest()).empty());
}

TEST_F(ReadOutTest, CommandTwoStartsHistoryOrMemoryByItsArguments)
{
    struct Case {
        std::uint32_t value;
        std::uint32_t length;
        bool history;
    };
    const Case cases[] = {{0, 0, true}, {0x1000, 100, false}, {0, 100, false}, {1, 4, false}, {2, 0, false}};
    for (const Case &c : cases) {
        heatersim_reset();
        Handle heater = HeaterWithHistory(4);
        EXPECT_FALSE(Exchange(heater.get(), MemoryRequest(c.value, c.length)).empty());
        EXPECT_EQ(Exchange(heater.get(), BlockRequest()) == Block(0, 4), c.history) << c.value << " " << c.length;
    }
}

TEST_F(ReadOutTest, MemoryShowsTheStoredHistoryAtItsAddress)
{
    Handle heater = HeaterWithHistory(3);
    const Bytes ready = Exchange(heater.get(), MemoryRequest(kHistoryAddress, 100));
    EXPECT_EQ(ready.size(), 64u);
    const Bytes rows = Exchange(heater.get(), Bytes{0x00, 0x10});
    ASSERT_EQ(rows.size(), 64u);
    const Bytes records = Records(3);
    EXPECT_EQ(Bytes(rows.begin(), rows.begin() + 48), records);
}

TEST_F(ReadOutTest, MemoryAdvancesBySixtyFourBytesPerBlock)
{
    Handle heater = PlugAndOpenHeater();
    Exchange(heater.get(), MemoryRequest(0x1000, 100));
    const Bytes first = Exchange(heater.get(), BlockRequest());
    const Bytes second = Exchange(heater.get(), BlockRequest());
    EXPECT_NE(first, second);

    Exchange(heater.get(), MemoryRequest(0x1040, 100));
    EXPECT_EQ(Exchange(heater.get(), BlockRequest()), second);
}

TEST_F(ReadOutTest, ErasedSectorReadsAsErasedFlash)
{
    Handle heater = PlugAndOpenHeater();
    Exchange(heater.get(), CommandReport(0x22, 0x2000));
    Exchange(heater.get(), MemoryRequest(0x2FC0, 1));
    EXPECT_EQ(Exchange(heater.get(), BlockRequest()), Bytes(64, 0xFF));
    EXPECT_NE(Exchange(heater.get(), BlockRequest()), Bytes(64, 0xFF));
}

TEST_F(ReadOutTest, FlashTableGivesSixtyFourRepliesThenStops)
{
    Handle heater = PlugAndOpenHeater();
    EXPECT_FALSE(Exchange(heater.get(), CommandReport(0x01, 0)).empty());
    std::vector<Bytes> replies;
    for (Bytes reply = Exchange(heater.get(), BlockRequest()); !reply.empty();
         reply = Exchange(heater.get(), BlockRequest())) {
        replies.push_back(reply);
        ASSERT_LE(replies.size(), 64u);
    }
    ASSERT_EQ(replies.size(), 64u);
    EXPECT_NE(replies.front(), replies.back());
    EXPECT_EQ(replies.front().size(), 64u);
}

} // namespace

// With a latency the heater answers one request after the other, each reply that long after it
// took the request up, and a write waits while it holds two; replies to requests written before
// the handle closes are counted as delivered all the same.
TEST_F(ReadOutTest, LatencyPacesRepliesOneAfterTheOther)
{
    using Clock = std::chrono::steady_clock;
    Handle heater = HeaterWithHistory(40);
    Exchange(heater.get(), CommandReport(0x02, 0));
    heatersim_set_reply_latency(20);

    const auto start = Clock::now();
    for (int request = 0; request < 3; ++request)
        ASSERT_EQ(Send(heater.get(), BlockRequest()), kHostReportSize);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(20));   // the third waited for room
    Bytes buffer(256, 0);
    EXPECT_EQ(hid_read(heater.get(), buffer.data(), buffer.size()), 64);   // the first, ready by now
    EXPECT_EQ(hid_read(heater.get(), buffer.data(), buffer.size()), 0);    // the second is not yet
    EXPECT_EQ(hid_read_timeout(heater.get(), buffer.data(), buffer.size(), 1), 0);
    EXPECT_EQ(hid_read_timeout(heater.get(), buffer.data(), buffer.size(), 100), 64);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 64), Block(4, 40));

    heater = OpenPath(kHeaterPath);   // the third reply goes with the closed handle
    heatersim_set_reply_latency(0);
    Exchange(heater.get(), CommandReport(0x02, 1));
    EXPECT_EQ(Exchange(heater.get(), BlockRequest()), Block(12, 40));
}
