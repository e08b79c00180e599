// What the bridge decides without a broker: which command a payload asks for, and when a state
// goes out.

#include "bridge/BridgeCommands.h"
#include "bridge/StatePublication.h"
#include "bridge/StatusJson.h"
#include "core/DateTime.h"
#include "protocol/Commands.h"
#include "settings/SettingValues.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <ctime>
#include <optional>

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
        {12s, 42832.55, 0, 111, false, 150},    // a status change goes out at once, with the energy kept
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
