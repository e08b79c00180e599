// What the bridge decides without a broker: which command a payload asks for, and when a state
// goes out.

#include "bridge/BridgeCommands.h"
#include "bridge/BridgeDiagnostics.h"
#include "bridge/CommandPace.h"
#include "bridge/Discovery.h"
#include "bridge/StatePublication.h"
#include "bridge/StatusJson.h"
#include "core/DateTime.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <optional>
#include <utility>
#include <vector>

TEST(BridgeCommands, PayloadsInRangeAreCommands)
{
    const QDateTime now(QDate(2017, 4, 7), QTime(12, 30, 15));
    const struct {
        const char *Name;
        const char *Payload;
        std::uint8_t Command;
        std::int32_t Value;
        bool Caution;
    } cases[] = {
        {"setpoint", "45", cmdSetpoint, 45, true},      {"setpoint", " 59 ", cmdSetpoint, 59, true},
        {"setpoint", "60", cmdSetpoint, 60, false},     {"setpoint", "+85.00", cmdSetpoint, 85, false},
        {"pwm1", "auto", PwmCommand(1), -1, false},     {"pwm2", "-1", PwmCommand(2), -1, false},
        {"pwm3", "100 ‰", PwmCommand(3), 100, false},   {"pwm3", "1000", PwmCommand(3), 1000, false},
        {"clock", "PRESS", cmdClock, DeviceClockValue(now.date(), now.time()), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + c.Payload);
        const TBridgeCommand command = ParseBridgeCommand(QString::fromLatin1(c.Name), QByteArray(c.Payload), now);
        EXPECT_EQ(command.Command, c.Command);
        EXPECT_EQ(command.Value, c.Value);
        EXPECT_EQ(command.Caution.isEmpty(), !c.Caution);
    }
    // Every choice a dashboard offers is a command.
    for (const QString &option : PwmOptions())
        EXPECT_NO_THROW(ParseBridgeCommand(QStringLiteral("pwm1"), option.toUtf8(), now)) << option.toStdString();
}

TEST(BridgeCommands, RefusedPayloadsSayWhy)
{
    const QDateTime now(QDate(2017, 4, 7), QTime(12, 30, 15));
    const struct {
        const char *Name;
        std::string Payload;
        const char *Shown;
        const char *Reason;
    } cases[] = {
        {"setpoint", "abc", "abc", "not a number"},
        {"setpoint", "", "", "empty"},
        {"setpoint", "  ", "  ", "empty"},
        {"setpoint", "44", "44", "out of range (45 to 85 °C)"},
        {"setpoint", "86", "86", "out of range (45 to 85 °C)"},
        {"setpoint", "60.5", "60.5", "not a whole number"},
        {"setpoint", "99999999999", "99999999999", "out of range (45 to 85 °C)"},
        {"setpoint", std::string(40, '6'), "66666666666666666666666666666666…", "too long"},
        {"setpoint", std::string("6\0", 2), "6\uFFFD", "not a number"},
        {"pwm1", "1001", "1001", "out of range (-1 to 1000 ‰)"},
        {"pwm2", "-2", "-2", "out of range (-1 to 1000 ‰)"},
        {"pwm3", "half", "half", "not a number"},
        {"clock", "press", "press", "not PRESS"},
        {"pwm4", "Auto", "Auto", "no such command"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + c.Payload);
        const QByteArray payload = QByteArray::fromStdString(c.Payload);
        try {
            ParseBridgeCommand(QString::fromLatin1(c.Name), payload, now);
            ADD_FAILURE() << "taken";
        } catch (const EBridgeCommand &Error) {
            EXPECT_STREQ(Error.what(), c.Reason);
        }
        EXPECT_EQ(ShownPayload(payload), QString::fromUtf8(c.Shown));
    }
}

TEST(CommandPace, OneCommandPerEntityASecondTheLatestWins)
{
    using namespace std::chrono_literals;
    const auto command = [](int Value) { return TBridgeCommand{cmdSetpoint, Value, {}, {}}; };
    const struct {
        std::chrono::milliseconds At;
        const char *Name;   // the entity offered a command, or none
        int Value;
        std::vector<std::pair<QString, int>> Due;
        std::optional<std::chrono::milliseconds> NextDue;
    } steps[] = {
        {0ms, "setpoint", 50, {{"setpoint", 50}}, {}},            // the first goes at once
        {100ms, "setpoint", 51, {}, 1000ms},                      // within the second: waits
        {200ms, "setpoint", 52, {}, 1000ms},                      // the latest replaces it
        {300ms, "pwm1", -1, {{"pwm1", -1}}, 1000ms},              // another entity goes at once
        {999ms, nullptr, 0, {}, 1000ms},
        {1000ms, nullptr, 0, {{"setpoint", 52}}, {}},             // its second is over
        {1100ms, "pwm1", 100, {}, 1300ms},
        {1200ms, "setpoint", 53, {}, 1300ms},                     // the earliest due first
        {1300ms, nullptr, 0, {{"pwm1", 100}}, 2000ms},
        {2100ms, "pwm1", 200, {{"setpoint", 53}}, 2300ms},
        {2300ms, nullptr, 0, {{"pwm1", 200}}, {}},
        {5000ms, "setpoint", 54, {{"setpoint", 54}}, {}},         // long after the last: at once
    };
    TCommandPace pace;
    const TBridgeClock::time_point start;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.At.count());
        if (step.Name)
            pace.Offer(QString::fromLatin1(step.Name), command(step.Value));
        std::vector<std::pair<QString, int>> due;
        for (const auto &[name, given] : pace.Due(start + step.At))
            due.emplace_back(name, given.Value);
        EXPECT_EQ(due, step.Due);
        const std::optional<TBridgeClock::time_point> next = pace.NextDue();
        ASSERT_EQ(next.has_value(), step.NextDue.has_value());
        if (next) {
            EXPECT_EQ(*next - start, *step.NextDue);
        }
    }
}

TEST(RefusalLog, TheFirstRefusalOfAMinuteIsToldTheOthersCounted)
{
    using namespace std::chrono_literals;
    const struct {
        std::chrono::seconds At;
        const char *Refused;   // a refusal's line, or none: the log asked for what is due
        const char *Told;
    } steps[] = {
        {0s, "a", "a"},
        {1s, "b", ""},
        {2s, "c", ""},
        {30s, nullptr, ""},
        {60s, nullptr, "2 more command payloads ignored within a minute; the last: c"},
        {61s, nullptr, ""},
        {70s, "d", ""},
        {121s, "e", "1 more command payloads ignored within a minute; the last: d\ne"},
        {200s, nullptr, ""},
        {201s, "f", "f"},
    };
    TRefusalLog log;
    const TBridgeClock::time_point start;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.At.count());
        const QString told = step.Refused ? log.Refused(QString::fromLatin1(step.Refused), start + step.At) : log.Due(start + step.At);
        EXPECT_EQ(told, QString::fromUtf8(step.Told));
    }
}

// The host name is one topic level: nothing in it separates or matches levels.
TEST(BridgeTopics, TheBridgesAvailabilityIsOneLevelPerHost)
{
    const struct {
        const char *Host;
        const char *Topic;
    } cases[] = {
        {"kitchen-pi", "helvane/bridge/kitchen-pi/availability"},
        {"a/b+c#d", "helvane/bridge/a_b_c_d/availability"},
        {"", "helvane/bridge/localhost/availability"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(BridgeAvailabilityTopic(QStringLiteral("helvane"), QString::fromUtf8(c.Host)), QString::fromUtf8(c.Topic)) << c.Host;
    const TBridgeTopics topics = BridgeTopics(QStringLiteral("helvane"), QStringLiteral("1709-0634"), QStringLiteral("helvane/bridge/x/availability"));
    EXPECT_EQ(topics.Diagnostics, QStringLiteral("helvane/1709-0634/diagnostics"));
    EXPECT_EQ(topics.Bridge, QStringLiteral("helvane/bridge/x/availability"));
}

TEST(BridgeDiagnostics, ClockOffsetAndUnknownValues)
{
    const QDateTime now(QDate(2017, 4, 7), QTime(12, 0));
    const struct {
        QDateTime Heater;
        qint64 Offset;
    } cases[] = {
        {now, 0}, {now.addSecs(90), 90}, {now.addSecs(-3600), -3600}, {now.addDays(-400), -400 * 86400LL}, {now.addMSecs(1400), 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ClockOffsetSeconds(DateTimeFromQt(c.Heater), now), c.Offset) << c.Heater.toString(Qt::ISODate).toStdString();

    const QJsonObject unknown = DiagnosticsJson({std::nullopt, 3, QStringLiteral("failing: disk full"), std::nullopt});
    EXPECT_TRUE(unknown.value("last_reading").isNull());
    EXPECT_TRUE(unknown.value("clock_offset_s").isNull());
    EXPECT_EQ(unknown.value("failed_polls").toInt(), 3);
    EXPECT_EQ(unknown.value("archive").toString(), QStringLiteral("failing: disk full"));
    const QJsonObject known = DiagnosticsJson({QDateTime(QDate(2017, 4, 7), QTime(10, 0), Qt::UTC), 0, QStringLiteral("ok"), -5});
    EXPECT_EQ(known.value("last_reading").toString(), QStringLiteral("2017-04-07T10:00:00Z"));
    EXPECT_EQ(known.value("clock_offset_s").toInt(), -5);
}

namespace {

TCurrentData Reading(double Day, int Energy, int Code)
{
    TCurrentData reading;
    reading.SN = 17090634;
    reading.Sample.DT = Day;
    reading.Sample.Energy = Energy;
    reading.Sample.Err = Code;
    return reading;
}

}

TEST(StatePublication, ChangesWaitForTheIntervalAStatusChangeDoesNot)
{
    using namespace std::chrono_literals;
    const struct {
        std::chrono::milliseconds At;
        double Day;   // the heater's clock
        int Energy;
        int Code;
        bool Hurry;
        std::optional<int> Published;   // the energy published, if any
    } steps[] = {
        {0s, 42832.50, 100, 0, false, 100},     // the first state
        {1s, 42832.51, 100, 0, false, {}},      // only the clock moved
        {2s, 42832.52, 150, 0, false, {}},      // a change within the interval
        {10s, 42832.53, 150, 0, false, 150},    // the interval is over
        {11s, 42832.54, 0, 0, false, {}},       // a glitch: the day's energy stays, nothing changed
        {12s, 42832.55, 150, 111, false, 150},  // a status change goes out at once
        {13s, 42832.56, 160, 111, true, 160},   // a command hurries the next state
        {30s, 42833.01, 0, 111, false, 0},      // a new day starts from 0
        {89s, 42833.02, 0, 111, false, {}},
        {90s, 42833.03, 0, 111, false, 0},      // unchanged for a minute: again, so that it stays fresh
    };
    TStatePublication publication(10s);
    const TStatePublication::TClock::time_point start;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.At.count());
        if (step.Hurry)
            publication.Hurry();
        const std::optional<QByteArray> state = publication.Next(Reading(step.Day, step.Energy, step.Code), start + step.At);
        ASSERT_EQ(state.has_value(), step.Published.has_value());
        if (state) {
            EXPECT_EQ(QJsonDocument::fromJson(*state).object().value("energy_today_wh").toInt(), *step.Published);
        }
    }
    EXPECT_EQ(publication.ExpireAfter(), 180s);
    EXPECT_EQ(TStatePublication(5min).ExpireAfter(), 15min);
}

// The heater's counter of the day as Home Assistant's total_increasing meter should see it: a
// glitch held back, a confirmed restart and a new day published as they are.
TEST(StatePublication, DayEnergyHoldsAGlitchAndPublishesARestart)
{
    const double Day = 42832.5;
    const struct {
        const char *Name;
        std::vector<std::pair<double, int>> Readings;   // the heater's clock and counter
        std::vector<int> Published;
    } cases[] = {
        {"growing", {{Day, 100}, {Day, 100}, {Day, 250}}, {100, 100, 250}},
        {"a glitch", {{Day, 3000}, {Day, 0}, {Day, 3001}}, {3000, 3000, 3001}},
        {"a restart", {{Day, 3000}, {Day, 0}, {Day, 500}, {Day, 2999}}, {3000, 3000, 500, 2999}},
        {"a restart at the same lower value", {{Day, 3000}, {Day, 20}, {Day, 20}}, {3000, 3000, 20}},
        {"a glitch after a restart", {{Day, 3000}, {Day, 0}, {Day, 500}, {Day, 100}, {Day, 600}}, {3000, 3000, 500, 500, 600}},
        {"midnight", {{Day, 3000}, {Day + 1, 0}, {Day + 1, 10}}, {3000, 0, 10}},
        {"a glitch on the new day", {{Day, 3000}, {Day + 1, 50}, {Day + 1, 0}, {Day + 1, 60}}, {3000, 50, 50, 60}},
        {"the clock set back a day", {{Day + 1, 3000}, {Day, 40}}, {3000, 40}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TStatePublication publication(std::chrono::seconds(10));
        std::vector<int> published;
        for (const auto &[day, energy] : c.Readings) {
            publication.Hurry();
            const std::optional<QByteArray> state = publication.Next(Reading(day, energy, 0), {});
            ASSERT_TRUE(state);
            published.push_back(QJsonDocument::fromJson(*state).object().value("energy_today_wh").toInt());
        }
        EXPECT_EQ(published, c.Published);
    }
}

namespace {

// This machine's UTC offset at a local wall-clock time, from the C library rather than Qt.
int CLibraryOffset(const QDateTime &Wall)
{
    std::tm local{};
    local.tm_year = Wall.date().year() - 1900;
    local.tm_mon = Wall.date().month() - 1;
    local.tm_mday = Wall.date().day();
    local.tm_hour = Wall.time().hour();
    local.tm_min = Wall.time().minute();
    local.tm_isdst = -1;
    std::tm utc = local;
    return static_cast<int>(timegm(&utc) - std::mktime(&local));
}

}

// Run once in each of several zones: the heater's clock as Home Assistant's timestamp carries the
// offset this machine's zone had at that wall-clock time, summer, winter, 1971, and the hours that
// summer time skips or repeats.
TEST(HeaterClockInZone, CarriesTheMachinesOffset)
{
    const QDateTime walls[] = {
        {QDate(2017, 7, 15), QTime(12, 0)},  {QDate(2017, 1, 15), QTime(12, 0)},  {QDate(1971, 6, 1), QTime(12, 0)},
        {QDate(2017, 3, 26), QTime(2, 30)},  {QDate(2017, 10, 29), QTime(2, 30)}, {QDate(2017, 3, 12), QTime(2, 30)},
        {QDate(2017, 10, 1), QTime(2, 15)},  {QDate(2017, 4, 2), QTime(1, 45)},
    };
    for (QDateTime wall : walls) {
        wall.setTimeSpec(Qt::UTC);
        SCOPED_TRACE(wall.toString(Qt::ISODate).toStdString());
        TCurrentData reading;
        reading.Sample.DT = DateTimeFromQt(wall);
        const QString clock = StatusJson(reading).value(QStringLiteral("clock")).toString();
        const QDateTime parsed = QDateTime::fromString(clock, Qt::ISODate);
        ASSERT_TRUE(parsed.isValid()) << clock.toStdString();
        EXPECT_TRUE(clock.startsWith(wall.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")))) << clock.toStdString();
        const QDateTime local(wall.date(), wall.time(), Qt::LocalTime);
        if (local.isValid()) {
            EXPECT_EQ(parsed.offsetFromUtc(), local.offsetFromUtc()) << clock.toStdString();
            // Away from a change, the C library agrees.
            if (local.addSecs(-7200).offsetFromUtc() == local.addSecs(7200).offsetFromUtc()) {
                EXPECT_EQ(parsed.offsetFromUtc(), CLibraryOffset(wall)) << clock.toStdString();
            }
        } else {
            // Skipped by the change to summer time: the offset after it.
            const QDateTime later = wall.addSecs(3 * 3600);
            EXPECT_EQ(parsed.offsetFromUtc(), QDateTime(later.date(), later.time(), Qt::LocalTime).offsetFromUtc()) << clock.toStdString();
        }
    }
}
