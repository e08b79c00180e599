#include "support/CliRun.h"

#include "bridge/HeaterLink.h"
#include "support/ExampleStatus.h"
#include "support/PermissionOverride.h"
#include "support/StoredHistory.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <set>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { heatersim_reset(); }

    TCliRun Run(const QStringList &Arguments, bool OnTerminal = false) { return RunCliWith(Arguments, Now, Locale, OnTerminal); }

    void PlugExampleHeater()
    {
        heatersim_plug_heater(HeaterPath, L"V1.10");
        const heatersim_status status = ExampleStatus();
        heatersim_set_status(&status);
    }

    static TLocaleFormats GermanStyle()
    {
        TLocaleFormats formats;
        formats.DecimalSeparator = QLatin1Char(',');
        formats.ThousandSeparator = QLatin1Char('.');
        formats.DateSeparator = QLatin1Char('.');
        formats.ShortDateFormat = QStringLiteral("dd.MM.yyyy");
        return formats;
    }

    QString CsvPath() const { return QDir(Dir.path()).filePath(QStringLiteral("history.csv")); }

    QTemporaryDir Dir;
    QDateTime Now{QDate(2017, 3, 30), QTime(10, 0)};
    TLocaleFormats Locale = GermanStyle();
};

TEST_F(CliTest, StatusPrintsTheDataLogLineInTheUsersLocale)
{
    PlugExampleHeater();
    const TCliRun run = Run({QStringLiteral("status")});
    EXPECT_EQ(run.Code, ExitDone);
    EXPECT_EQ(run.Out, QStringLiteral("Helvane (1709- 634): 07.04.2017 12:00:00, Tsoll=60°C, Err=0, TW=45,3, TW2=44,0, TB=28,5, "
                                      "U1=31,00, U2=0,00, U3=0,00, I1=10,00, I2=0,00, I3=0,00, PWM1=400, PWM2=0, PWM3=0, "
                                      "P1=310,0, P2=0,0, P3=0,0, E=12345, Uisol=63,8\n"));
    EXPECT_TRUE(run.Err.isEmpty());
}

TEST_F(CliTest, StatusJsonCarriesEveryValueInTheUnitItsKeyNames)
{
    PlugExampleHeater();
    heatersim_status status = ExampleStatus();
    status.voltage[1] = 4000;   // 40 V x 20 A: 800 W, held at the technician's ceiling of 700 W
    status.current[1] = 2000;
    status.pwm[1] = -1;
    status.pwm[2] = 1000;
    status.state = 221;
    heatersim_set_status(&status);

    const TCliRun run = Run({QStringLiteral("status"), QStringLiteral("--json")});
    ASSERT_EQ(run.Code, ExitDone) << run.Err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.Out.toUtf8()).object();
    const QJsonObject expected{
        {"serial_number", "1709-0634"}, {"time", "2017-04-07T12:00:00"}, {"clock", "2017-04-07T12:00:00+02:00"},
        {"status_code", 221}, {"status_text", "Water temperature too high (> 88°C)"}, {"problem", true},
        {"setpoint_c", 60}, {"water_temp_c", 45.25}, {"water_temp_control_c", 44.0}, {"board_temp_c", 28.5},
        {"energy_today_wh", 12345}, {"isolation_v", 63.75}, {"pv_power_w", 310.0},
        {"string1_voltage_v", 31.0}, {"string1_current_a", 10.0}, {"string1_power_w", 310.0}, {"string1_pwm_permille", 400},
        {"string2_voltage_v", 40.0}, {"string2_current_a", 20.0}, {"string2_power_w", 0.0}, {"string2_pwm_permille", -1},
        {"string3_voltage_v", 0.0}, {"string3_current_a", 0.0}, {"string3_power_w", 0.0}, {"string3_pwm_permille", 1000},
    };
    EXPECT_EQ(json, expected) << run.Out.toStdString();

    status.pwm[1] = 500;
    heatersim_set_status(&status);
    const QJsonObject capped = QJsonDocument::fromJson(Run({QStringLiteral("status"), QStringLiteral("--json")}).Out.toUtf8()).object();
    EXPECT_EQ(capped.value(QStringLiteral("string2_power_w")).toDouble(), 700.0);
}

TEST_F(CliTest, SetCommandsWriteTheReportsTheWindowWrites)
{
    struct TCase {
        QStringList Arguments;
        TBytes Report;
        QString Said;
    };
    const std::vector<TCase> cases{
        {{"set-clock"}, Sent({0x00, 0x21, 0x58, 0xDC, 0xBB, 0x00}), "Clock set to 30.03.2017 10:00:00\n"},
        {{"set-setpoint", "60"}, Sent({0x00, 0x20, 0x00, 0x00, 0x00, 0x3C}), "Water setpoint set to 60 °C\n"},
        {{"set-setpoint", "75", "--yes"}, Sent({0x00, 0x20, 0x00, 0x00, 0x00, 0x4B}), "Water setpoint set to 75 °C\n"},
        {{"set-setpoint", "--yes", "45"}, Sent({0x00, 0x20, 0x00, 0x00, 0x00, 0x2D}), "Water setpoint set to 45 °C\n"},
        {{"set-pwm", "1", "1000"}, Sent({0x00, 0x31, 0x00, 0x00, 0x03, 0xE8}), "String 1 PWM set to 1000\n"},
        {{"set-pwm", "2", "-1"}, Sent({0x00, 0x32, 0xFF, 0xFF, 0xFF, 0xFF}), "String 2 PWM set to automatic\n"},
        {{"set-pwm", "3", "0"}, Sent({0x00, 0x33, 0x00, 0x00, 0x00, 0x00}), "String 3 PWM set to 0\n"},
    };
    PlugExampleHeater();
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        heatersim_clear_written();
        const TCliRun run = Run(c.Arguments);
        EXPECT_EQ(run.Code, ExitDone) << run.Err.toStdString();
        EXPECT_EQ(WrittenReports(), std::vector<TBytes>{c.Report});
        EXPECT_EQ(run.Out, c.Said);
    }
    EXPECT_EQ(heatersim_open_handles(), 0);
}

// Bad usage ends with 2 and writes nothing to the heater; a setpoint other than 60 °C says why
// it needs --yes.
TEST_F(CliTest, BadUsageIsRefusedBeforeTheHeaterIsTouched)
{
    const QString secret = QDir(Dir.path()).filePath(QStringLiteral("secret"));
    QFile secretFile(secret);
    ASSERT_TRUE(secretFile.open(QIODevice::WriteOnly));
    secretFile.write("s3cret\n");
    secretFile.close();
    struct TCase {
        QStringList Arguments;
        QString Said;
    };
    const std::vector<TCase> cases{
        {{}, "Name a command."},
        {{"bogus"}, "Unknown command \"bogus\"."},
        {{"status", "extra"}, "status takes 0 argument(s)."},
        {{"status", "--bogus"}, "Unknown option 'bogus'."},
        {{"history"}, "history needs --csv FILE."},
        {{"history", "--csv", "x.csv", "--pages", "0"}, "--pages must be a whole number from 1"},
        {{"set-setpoint"}, "set-setpoint takes 1 argument(s)."},
        {{"set-setpoint", "44", "--yes"}, "The setpoint must be a whole number from 45 to 85, not \"44\"."},
        {{"set-setpoint", "warm"}, "not \"warm\""},
        {{"set-setpoint", "50"}, "Water temperatures below 60°C can promote legionella growth"},
        {{"set-setpoint", "61"}, "Water above 60°C can lead to scalding."},
        {{"set-pwm", "4", "0"}, "STRING must be a whole number from 1 to 3"},
        {{"set-pwm", "1", "1001"}, "VALUE must be a whole number from -1 to 1000"},
        {{"set-pwm", "1", "-2"}, "VALUE must be a whole number from -1 to 1000"},
        {{"mqtt"}, "mqtt needs --broker HOST[:PORT]."},
        {{"mqtt", "--broker", "host:0"}, "\"0\" is no port number"},
        {{"mqtt", "--broker", "[::1"}, "is no broker address"},
        {{"mqtt", "--broker", "host", "--password-file", secret}, "--password-file needs --username."},
        {{"mqtt", "--broker", "host", "--prefix", "a/+/b"}, "--prefix must be topic levels"},
        {{"mqtt", "--broker", "host", "--cafile", "ca.crt", "--cert", "client.crt"}, "--cert and --key go together: give both or neither."},
        {{"mqtt", "--broker", "host", "--cafile", "ca.crt", "--key", "client.key"}, "--cert and --key go together: give both or neither."},
        {{"mqtt", "--broker", "host", "--cert", "client.crt", "--key", "client.key"}, "--cert and --key need --cafile."},
        {{"mqtt", "--broker", "host", "--archive", "postgresql://heater:s3cret@db/helvane"},
         "Keep the PostgreSQL password out of the command line, where every user sees it"},
        {{"history", "--csv", "x.csv", "--archive", "postgresql://heater:s3cret@db/helvane"}, "Keep the PostgreSQL password out"},
    };
    PlugExampleHeater();
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = Run(c.Arguments);
        EXPECT_EQ(run.Code, ExitUsage);
        EXPECT_TRUE(run.Err.contains(c.Said)) << run.Err.toStdString();
        EXPECT_TRUE(run.Err.endsWith(QStringLiteral("Try \"helvane-cli --help\".\n")));
    }
    EXPECT_EQ(heatersim_written_count(), 0);
    EXPECT_FALSE(QFile::exists(QStringLiteral("x.csv")));
}

TEST_F(CliTest, EveryCommandHasHelp)
{
    const TCliRun overview = Run({QStringLiteral("--help")});
    EXPECT_EQ(overview.Code, ExitDone);
    for (const char *command : {"status", "history", "watch", "set-clock", "set-setpoint", "set-pwm", "mqtt"}) {
        SCOPED_TRACE(command);
        EXPECT_TRUE(overview.Out.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(command))));
        const TCliRun help = Run({QLatin1String(command), QStringLiteral("--help")});
        EXPECT_EQ(help.Code, ExitDone);
        EXPECT_TRUE(help.Out.startsWith(QStringLiteral("Usage: helvane-cli %1 [options]").arg(QLatin1String(command))))
            << help.Out.toStdString();
    }
    const QString mqttHelp = Run({QStringLiteral("mqtt"), QStringLiteral("--help")}).Out;
    for (const char *option : {"--password-file <F>", "--cafile <FILE>", "--cert <FILE>", "--key <FILE>"})
        EXPECT_TRUE(mqttHelp.contains(QLatin1String(option))) << option;
    EXPECT_EQ(heatersim_init_calls(), 0);
}

TEST_F(CliTest, ErrorsSayWhatTheUserCanDo)
{
    const TCliRun none = Run({QStringLiteral("status")});
    EXPECT_EQ(none.Code, ExitError);
    EXPECT_EQ(none.Err, QStringLiteral("helvane-cli: No heater found: connect the heater by USB.\n"));

    PlugExampleHeater();
    heatersim_set_status_length(10);
    const TCliRun silent = Run({QStringLiteral("status")});
    EXPECT_EQ(silent.Code, ExitError);
    EXPECT_EQ(silent.Err, QStringLiteral("helvane-cli: The heater stopped answering (Status report too short: 11 bytes): "
                                         "unplug it and plug it in again.\n"));
    heatersim_set_status_length(40);

    heatersim_fail_write(L"Broken pipe");
    const TCliRun refusedWrite = Run({QStringLiteral("set-pwm"), QStringLiteral("1"), QStringLiteral("0")});
    EXPECT_EQ(refusedWrite.Code, ExitError);
    EXPECT_TRUE(refusedWrite.Err.contains(QStringLiteral("The heater stopped answering (Broken pipe)")));
    EXPECT_TRUE(refusedWrite.Out.isEmpty());
    EXPECT_EQ(heatersim_open_handles(), 0);
}

// Pulled out while the history is read: the tool says so rather than ask for a replug of a heater
// that is not there.
TEST_F(CliTest, HeaterUnpluggedDuringTheHistorySaysSo)
{
    PlugExampleHeater();
    // Fires at the first point where the tool lets events through: inside the history's start.
    QTimer::singleShot(0, [] { heatersim_unplug(HeaterPath); });
    const TCliRun run = Run({QStringLiteral("history"), QStringLiteral("--csv"), QDir(Dir.path()).filePath(QStringLiteral("cut.csv"))});
    EXPECT_EQ(run.Code, ExitError);
    EXPECT_EQ(run.Err, QStringLiteral("helvane-cli: The heater was unplugged during the exchange (Device disconnected).\n"));
    EXPECT_FALSE(QFile::exists(QDir(Dir.path()).filePath(QStringLiteral("cut.csv"))));
    EXPECT_EQ(heatersim_open_handles(), 0);
}

#ifdef Q_OS_LINUX
TEST_F(CliTest, HeaterThisUserMayNotOpenNamesTheUdevRule)
{
    ASSERT_FALSE(PlugRefusedHeater(Dir.path()).isEmpty());
    const TWithoutPermissionOverride asUser;

    const TCliRun run = Run({QStringLiteral("status")});
    EXPECT_EQ(run.Code, ExitError);
    EXPECT_TRUE(run.Err.startsWith(QStringLiteral("helvane-cli: A heater is connected, but this user may not open it: "
                                                  "install the udev rule 70-helvane.rules.")));
    EXPECT_TRUE(run.Err.contains(QStringLiteral("/usr/lib/udev/rules.d")));
    EXPECT_TRUE(run.Err.contains(QStringLiteral("plugdev")));
}
#endif

TEST_F(CliTest, HistoryTakesPagesUntilNothingOlderComes)
{
    PlugExampleHeater();
    Store(Hourly(2100));   // 525 blocks: a page of 500 and a part of the next

    const TCliRun all = Run({QStringLiteral("history"), QStringLiteral("--csv"), CsvPath()});
    ASSERT_EQ(all.Code, ExitDone) << all.Err.toStdString();
    EXPECT_EQ(all.Out, QStringLiteral("2100 samples written to %1\n").arg(CsvPath()));
    // No progress bar where the output is no terminal; 87 days below 60 °C are warned of.
    EXPECT_TRUE(all.Err.startsWith(QStringLiteral("Legionella risk! The water temperature was never above 60")));
    QFile csv(CsvPath());
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2103);   // heading, titles, 2100 samples, nothing after the last CR LF
    EXPECT_EQ(lines[0], QByteArray("\xEF\xBB\xBF\"30.03.2017 10:00:00\",\"1709- 634\",\"V1.10\"\r"));
    EXPECT_TRUE(lines[1].startsWith("\"Timestamp\",\"U1 [V]\""));
    EXPECT_TRUE(lines[1].contains("\"PWM1\""));
    EXPECT_EQ(lines[2101], QByteArray("\"07.04.2017 12:00:00\",\"31,00\",\"0,00\",\"0,00\",\"10,00\",\"0,00\",\"0,00\","
                                      "\"0\",\"0\",\"0\",\"310,0\",\"0,0\",\"0,0\",\"100\",\"50\",\"0\",\"0\"\r"));
    EXPECT_TRUE(lines[2].endsWith("\"2199\",\"50\",\"0\",\"0\"\r")) << lines[2].toStdString();   // the oldest first
    EXPECT_TRUE(lines[2102].isEmpty());

    const TCliRun onePage = Run({QStringLiteral("history"), QStringLiteral("--csv"), CsvPath(), QStringLiteral("--pages"),
                                 QStringLiteral("1")},
                                true);
    EXPECT_EQ(onePage.Out, QStringLiteral("2000 samples written to %1\n").arg(CsvPath()));
    EXPECT_TRUE(onePage.Err.startsWith(QStringLiteral("\rPage 1 [                    ]   0 %\rPage 1 [")));
    EXPECT_TRUE(onePage.Err.contains(QStringLiteral("\rPage 1 [####################] 100 %\nLegionella risk!")));
    EXPECT_FALSE(onePage.Err.contains(QStringLiteral("Page 2")));
    EXPECT_EQ(heatersim_open_handles(), 0);
}

// A heater that brings older samples page after page, past all that a heater's memory can hold,
// is not read for ever: the tool stops after 525 pages, writes what came and says so.
TEST_F(CliTest, HistoryStopsAtWhatAHeatersMemoryCanHold)
{
    PlugExampleHeater();
    constexpr int Records = 525 * 500 * 4 + 4;
    std::vector<TRecord> records;
    records.reserve(Records);
    for (int i = 0; i < Records; ++i)
        records.push_back(Record(45292.0 - i / 1440.0));   // one a minute, two years back from 2024
    Store(records);
    const TCliRun run = Run({QStringLiteral("history"), QStringLiteral("--csv"), CsvPath()});
    EXPECT_EQ(run.Code, ExitError);
    EXPECT_EQ(run.Out, QStringLiteral("%1 samples written to %2\n").arg(Records - 4).arg(CsvPath()));
    EXPECT_TRUE(run.Err.endsWith(QStringLiteral("helvane-cli: the heater still brought older samples after 525 pages, more "
                                                 "than its memory can hold; the download stopped there.\n")))
        << run.Err.toStdString();
    EXPECT_TRUE(QFile::exists(CsvPath()));
}

TEST_F(CliTest, HistoryThatCannotBeWrittenLeavesNoFileAndSaysWhy)
{
    PlugExampleHeater();
    Store(Hourly(8));
    const QString target = QDir(Dir.path()).filePath(QStringLiteral("missing/history.csv"));
    const TCliRun run = Run({QStringLiteral("history"), QStringLiteral("--csv"), target});
    EXPECT_EQ(run.Code, ExitError);
    EXPECT_TRUE(run.Err.startsWith(QStringLiteral("helvane-cli: Cannot write \"%1\"").arg(target))) << run.Err.toStdString();
    EXPECT_TRUE(run.Out.isEmpty());
}

// However late the heater answers, its reply to the command that starts a read-out included:
// the history command, and a page of one block continued by a page to the end, bring every
// stored record exactly once.
TEST_F(CliTest, HistoryHoldsEveryRecordOnceHoweverLateTheHeaterAnswers)
{
    PlugExampleHeater();
    Store(Hourly(38));   // ten blocks, the last one half full
    const auto expectEveryRecordOnce = [](const THistoryList &History) {
        std::set<TDateTime> times;
        for (const THistoryData &sample : History)
            times.insert(sample.DT);
        EXPECT_EQ(times.size(), static_cast<std::size_t>(History.Count())) << "a record came twice";
        EXPECT_EQ(History.Count(), 38) << "records went missing";
    };
    for (const int latency : {0, 2, 5, 20, 60}) {
        SCOPED_TRACE(latency);
        heatersim_set_reply_latency(latency);
        const TCliRun run = Run({QStringLiteral("history"), QStringLiteral("--csv"), CsvPath()});
        EXPECT_EQ(run.Code, ExitDone) << run.Err.toStdString();
        EXPECT_EQ(run.Out, QStringLiteral("38 samples written to %1\n").arg(CsvPath()));

        TFHid hid(QStringLiteral(HEATERSIM_FILE), nullptr);
        THeaterLink link(hid);
        THistoryList history;
        THistoryTally tally;
        // A page of one block: with the heater working through requests already written, the
        // blocks it delivered for those come with the page.
        EXPECT_LE(link.DownloadPage(true, 1, history, tally, {}), 3);
        link.DownloadPage(false, 500, history, tally, {});
        expectEveryRecordOnce(history);
        EXPECT_EQ(tally.BadRecords, 0);   // the command's late reply was no block
    }
}

// A download without one sample to keep says what came, leaves the file that was there as it
// was and ends with an error.
TEST_F(CliTest, HistoryWithoutValidSamplesKeepsTheFileAndSaysWhy)
{
    const TRecord erased = [] {
        TRecord record;
        record.fill(0xFF);
        return record;
    }();
    const struct {
        const char *Name;
        std::vector<TRecord> Stored;
        bool Silent;
        QString Said;
    } cases[] = {
        {"bad checksums", {Record(April7, 50, 0, true), Record(April7, 50, 0, true), Record(April7, 50, 0, true),
                           Record(April7, 50, 0, true)}, false, QStringLiteral("4 records with a bad checksum")},
        {"erased flash", std::vector<TRecord>(4, erased), false, QStringLiteral("4 records with a bad checksum")},
        {"empty records", std::vector<TRecord>(5, TRecord{}), false, QStringLiteral("8 records dated before 2016 (empty)")},
        {"both", {erased, TRecord{}}, false,
         QStringLiteral("1 record with a bad checksum, 3 records dated before 2016 (empty)")},
        {"nothing stored", {}, false, QStringLiteral("the heater sent no stored history")},
        {"silent heater", Hourly(8), true, QStringLiteral("the heater sent no stored history")},
    };
    PlugExampleHeater();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        QFile old(CsvPath());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("kept\r\n");
        old.close();
        Store(c.Stored);
        heatersim_set_silent(c.Silent ? 1 : 0);

        const TCliRun run = Run({QStringLiteral("history"), QStringLiteral("--csv"), CsvPath()});
        EXPECT_EQ(run.Code, ExitError);
        EXPECT_EQ(run.Err, QStringLiteral("helvane-cli: no valid samples: %1; \"%2\" was not written.\n").arg(c.Said, CsvPath()));
        EXPECT_TRUE(run.Out.isEmpty());
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("kept\r\n"));
        old.close();
    }
}

// A command the heater took short, or not at all, was not set: the tool says so and ends with
// an error, as the window's log shows the short count.
TEST_F(CliTest, CommandWrittenShortIsAnError)
{
    PlugExampleHeater();
    heatersim_fail_write(L"cut short");
    for (const QStringList &arguments : {QStringList{QStringLiteral("set-pwm"), QStringLiteral("1"), QStringLiteral("500")},
                                         QStringList{QStringLiteral("set-clock")},
                                         QStringList{QStringLiteral("set-setpoint"), QStringLiteral("60")}}) {
        for (const int written : {0, 1, 64}) {
            SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString() + " " + std::to_string(written));
            heatersim_set_failure_result(written);
            const TCliRun run = Run(arguments);
            EXPECT_EQ(run.Code, ExitError);
            EXPECT_EQ(run.Err, QStringLiteral("helvane-cli: The heater took only %1 of the command's 65 bytes: it was not set.\n")
                                   .arg(written));
            EXPECT_TRUE(run.Out.isEmpty());
        }
    }
}

// The monitor of watch and the bridge: a heater that goes and comes back, and one that is there
// but does not answer.
TEST_F(CliTest, MonitorFollowsUnplugReplugAndSilence)
{
    TFHid hid(QStringLiteral(HEATERSIM_FILE), nullptr);
    THeaterMonitor monitor(hid);
    const auto poll = [&] { return monitor.Poll(); };

    THeaterPoll p = poll();
    EXPECT_EQ(p.Presence, THeaterPresence::Absent);
    EXPECT_TRUE(p.Changed);
    EXPECT_EQ(PresenceMessage(p), QStringLiteral("No heater found: connect the heater by USB. Waiting for it."));
    EXPECT_FALSE(poll().Changed);

    PlugExampleHeater();
    p = poll();
    EXPECT_EQ(p.Presence, THeaterPresence::Answering);
    EXPECT_TRUE(p.Changed);
    ASSERT_TRUE(p.Reading);
    EXPECT_EQ(p.Reading->SN, 17090634);
    EXPECT_EQ(PresenceMessage(p), QStringLiteral("Heater 1709-0634 answers (firmware V1.10)."));
    p = poll();
    EXPECT_FALSE(p.Changed);
    EXPECT_TRUE(p.Reading);
    EXPECT_TRUE(PresenceMessage(p).isEmpty());

    heatersim_set_status_length(10);
    p = poll();
    EXPECT_EQ(p.Presence, THeaterPresence::Silent);
    EXPECT_TRUE(p.Changed);
    EXPECT_FALSE(p.Reading);
    EXPECT_TRUE(PresenceMessage(p).startsWith(QStringLiteral("The heater stopped answering (Status report too short")));
    heatersim_set_status_length(40);

    heatersim_unplug(HeaterPath);
    p = poll();
    EXPECT_EQ(p.Presence, THeaterPresence::Absent);
    EXPECT_TRUE(p.Changed);

    heatersim_plug_heater("/dev/hidraw-heater1", L"V1.11");
    p = poll();
    EXPECT_EQ(p.Presence, THeaterPresence::Answering);
    EXPECT_TRUE(p.Changed);
    EXPECT_EQ(p.Device.DevicePath, QStringLiteral("/dev/hidraw-heater1"));
    EXPECT_EQ(heatersim_open_handles(), 0);
}

}
