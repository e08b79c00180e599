// The tool and the archive: history archives what it downloads, archive export and import, the
// energy report.

#include "support/CliRun.h"

#include "archive/Archive.h"
#include "history/HistoryCsv.h"
#include "support/ExampleStatus.h"
#include "support/StoredHistory.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <set>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

// Records every two hours back from a time, newest first, the energy rising through each day.
std::vector<TRecord> EveryTwoHoursBefore(TDateTime Newest, int Count)
{
    std::vector<TRecord> records;
    for (int i = 0; i < Count; ++i) {
        const TDateTime dt = Newest - i / 12.0;
        records.push_back(Record(dt, 50, static_cast<int>(std::lround((dt - std::floor(dt)) * 2400))));
    }
    return records;
}

class ArchiveCliTest : public ::testing::Test {
protected:
    void SetUp() override { heatersim_reset(); }

    TCliRun Run(const QStringList &Arguments) { return RunCliWith(Arguments, Now, TLocaleFormats(), false, ArchivePath()); }

    QString ArchivePath() const { return Dir.filePath(QStringLiteral("Archive.sqlite")); }
    QString Csv(const char *Name) const { return Dir.filePath(QString::fromLatin1(Name)); }

    void PlugHeater(std::int32_t SerialNumber = 17090634)
    {
        heatersim_plug_heater(HeaterPath, L"V1.10");
        heatersim_status status = ExampleStatus();
        status.serial_number = SerialNumber;
        heatersim_set_status(&status);
    }

    QTemporaryDir Dir;
    QDateTime Now{QDate(2017, 4, 30), QTime(10, 0)};
};

}

// Two read-outs of a heater whose memory moved on in between: the archive holds their union, each
// sample once; export needs no heater; the month's report adds the days up exactly.
TEST_F(ArchiveCliTest, HistoryArchivesEachReadOutAndExportGivesTheirUnion)
{
    PlugHeater();
    Store(EveryTwoHoursBefore(April7 + 0.5, 120));   // ten days up to 7 April noon
    ASSERT_EQ(Run({QStringLiteral("history"), QStringLiteral("--csv"), Csv("first.csv")}).Code, ExitDone);
    Store(EveryTwoHoursBefore(April7 + 5.5, 120));   // five days on: the oldest five are gone
    ASSERT_EQ(Run({QStringLiteral("history"), QStringLiteral("--csv"), Csv("second.csv")}).Code, ExitDone);
    heatersim_unplug(HeaterPath);

    const TCliRun exported = Run({QStringLiteral("archive"), QStringLiteral("export"), QStringLiteral("--csv"), Csv("all.csv")});
    ASSERT_EQ(exported.Code, ExitDone) << exported.Err.toStdString();
    EXPECT_EQ(exported.Out, QStringLiteral("180 samples written to %1\n").arg(Csv("all.csv")));
    QFile all(Csv("all.csv"));
    ASSERT_TRUE(all.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = all.readAll().split('\n');
    EXPECT_EQ(lines.size(), 2 + 180 + 1);
    EXPECT_TRUE(lines[0].contains("\"1709-0634\""));
    std::set<QByteArray> stamps;
    for (qsizetype i = 2; i + 1 < lines.size(); ++i)
        stamps.insert(lines[i].left(lines[i].indexOf(',')));
    EXPECT_EQ(stamps.size(), 180U);

    const TCliRun days = Run({QStringLiteral("archive"), QStringLiteral("export"), QStringLiteral("--csv"), Csv("days.csv"),
                              QStringLiteral("--from"), QStringLiteral("2017-04-05"), QStringLiteral("--to"), QStringLiteral("2017-04-06")});
    EXPECT_EQ(days.Out, QStringLiteral("24 samples written to %1\n").arg(Csv("days.csv")));

    // Each whole day's last reading is at 22:00, 2200 Wh; the last day ends at noon, 1200 Wh.
    const TCliRun report = Run({QStringLiteral("report"), QStringLiteral("--month"), QStringLiteral("2017-04"), QStringLiteral("--json")});
    ASSERT_EQ(report.Code, ExitDone) << report.Err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(report.Out.toUtf8()).object();
    const QJsonArray daysArray = json.value(QStringLiteral("days")).toArray();
    qint64 sum = 0;
    for (const QJsonValue &day : daysArray)
        sum += day.toObject().value(QStringLiteral("energy_wh")).toInteger();
    EXPECT_EQ(daysArray.size(), 12);   // 1 to 12 April
    EXPECT_EQ(daysArray.first().toObject().value(QStringLiteral("date")).toString(), QStringLiteral("2017-04-01"));
    EXPECT_EQ(daysArray.last().toObject().value(QStringLiteral("energy_wh")).toInteger(), 1200);
    EXPECT_EQ(json.value(QStringLiteral("total_wh")).toInteger(), sum);
    EXPECT_EQ(sum, 11 * 2200 + 1200);   // 31 March is outside the month
}

// Another program holds the archive's write lock all through a download: the CSV is written, the
// samples that could not be archived are counted and the exit code is 1; once the lock is gone,
// the next download archives them, and the report reads while another program writes.
TEST_F(ArchiveCliTest, HistoryThatCannotArchiveSaysSoAndEndsWithOne)
{
    PlugHeater();
    Store(EveryTwoHoursBefore(April7 + 0.5, 120));
    OpenArchive(ArchivePath());
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(ArchivePath());
        ASSERT_TRUE(holder.open());
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        ASSERT_TRUE(lock.exec(QStringLiteral("UPDATE schema_version SET version = version")));
        const TCliRun locked = Run({QStringLiteral("history"), QStringLiteral("--csv"), Csv("locked.csv")});
        EXPECT_EQ(locked.Code, ExitError);
        EXPECT_TRUE(locked.Err.contains(QStringLiteral("helvane-cli: archive failing: Cannot open the archive"))) << locked.Err.toStdString();
        EXPECT_TRUE(locked.Err.contains(QStringLiteral("helvane-cli: 120 samples could not be archived."))) << locked.Err.toStdString();
        EXPECT_TRUE(QFile::exists(Csv("locked.csv")));
        const TCliRun report = Run({QStringLiteral("report"), QStringLiteral("--month"), QStringLiteral("2017-04")});
        EXPECT_EQ(report.Code, ExitError);
        EXPECT_TRUE(report.Err.contains(QStringLiteral("holds no samples"))) << report.Err.toStdString();
        ASSERT_TRUE(lock.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    EXPECT_EQ(Run({QStringLiteral("history"), QStringLiteral("--csv"), Csv("free.csv")}).Code, ExitDone);
    EXPECT_EQ(OpenArchive(ArchivePath())->Samples(QStringLiteral("1709-0634"), 0, 1e6).Count(), 120);
}

// CSV files written by the window in another locale, without the PWM columns, come into the
// archive; rows that cannot be read are counted and left out.
TEST_F(ArchiveCliTest, ImportTakesTheWindowsCsvAndCountsBadRows)
{
    THistoryList samples;
    for (int i = 0; i < 5; ++i) {
        THistoryData s;
        s.DT = April7 + i / 24.0;
        s.Energy = 100 * i;
        s.U1 = 31.5f;
        samples.Add(s);
    }
    TLocaleFormats german;
    german.DecimalSeparator = QLatin1Char(',');
    german.DateSeparator = QLatin1Char('.');
    german.ShortDateFormat = QStringLiteral("dd.MM.yyyy");
    QByteArray file = HistoryCsv(samples, 0, 5, false, {April7 + 1, QStringLiteral("1709- 634"), QStringLiteral("V1.10")}, german);
    file += "\"07.04.2017 09:00:00\",\"kaputt\"\r\n";
    QFile csv(Csv("window.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write(file);
    csv.close();

    const TCliRun import = Run({QStringLiteral("archive"), QStringLiteral("import"), QStringLiteral("--csv"), Csv("window.csv")});
    ASSERT_EQ(import.Code, ExitDone) << import.Err.toStdString();
    EXPECT_EQ(import.Out, QStringLiteral("5 samples of 1709-0634 imported into %1\n").arg(ArchivePath()));
    EXPECT_EQ(import.Err, QStringLiteral("1 rows could not be read and were left out.\n"));
    const THistoryList archived = OpenArchive(ArchivePath())->Samples(QStringLiteral("1709-0634"), 0, 1e6);
    ASSERT_EQ(archived.Count(), 5);
    EXPECT_FLOAT_EQ(archived.Items(4).U1, 31.5f);
    EXPECT_EQ(archived.Items(4).Energy, 400);

    // Again: nothing twice, and said so.
    const TCliRun again = Run({QStringLiteral("archive"), QStringLiteral("import"), QStringLiteral("--csv"), Csv("window.csv")});
    EXPECT_EQ(again.Code, ExitDone);
    EXPECT_EQ(again.Out, QStringLiteral("0 samples of 1709-0634 imported into %1; 5 were archived already or stood twice in the file\n")
                             .arg(ArchivePath()));
    EXPECT_EQ(OpenArchive(ArchivePath())->Samples(QStringLiteral("1709-0634"), 0, 1e6).Count(), 5);
}

// A file whose dates cannot be told apart stores nothing and ends with 1, until the order is
// named; rows out of a heater's years or energies are counted and left out.
TEST_F(ArchiveCliTest, ImportRefusesDatesItCannotTellApart)
{
    const auto write = [&](const char *Name, const QByteArray &Rows) {
        QFile csv(Csv(Name));
        EXPECT_TRUE(csv.open(QIODevice::WriteOnly));
        csv.write("\"30/04/2017 10:00:00\",\"1709- 634\",\"V1.10\"\r\n"
                  "\"Timestamp\",\"U1 [V]\",\"U2 [V]\",\"U3 [V]\",\"I1 [A]\",\"I2 [A]\",\"I3 [A]\",\"P1 [W]\",\"P2 [W]\","
                  "\"P3 [W]\",\"Energy [Wh]\",\"TW [\xC2\xB0" "C]\",\"TB [\xC2\xB0" "C]\",\"Status\"\r\n" + Rows);
    };
    const auto row = [](const char *Stamp, const char *Energy) {
        return QByteArray("\"") + Stamp + "\",\"1.00\",\"0.00\",\"0.00\",\"0.00\",\"0.00\",\"0.00\",\"0.0\",\"0.0\",\"0.0\",\"" + Energy
               + "\",\"60\",\"30\",\"0\"\r\n";
    };
    write("open.csv", row("3/4/2017 1:00:00 PM", "10") + row("3/5/2017", "20"));
    write("mixed.csv", row("13/04/2017", "10") + row("04/14/2017", "20"));
    write("far.csv", row("13/04/2017", "10") + row("13/04/2019", "20") + row("13/04/9999", "30") + row("14/04/2017", "-5"));
    const auto import = [&](const char *Name, QStringList More = {}) {
        return Run(QStringList{QStringLiteral("archive"), QStringLiteral("import"), QStringLiteral("--csv"), Csv(Name)} + More);
    };
    for (const char *name : {"open.csv", "mixed.csv"}) {
        SCOPED_TRACE(name);
        const TCliRun refused = import(name);
        EXPECT_EQ(refused.Code, ExitError);
        EXPECT_TRUE(refused.Err.contains(QStringLiteral("more than one order"))) << refused.Err.toStdString();
        EXPECT_FALSE(QFile::exists(ArchivePath()));
    }
    const TCliRun named = import("open.csv", {QStringLiteral("--date-order"), QStringLiteral("mdy")});
    ASSERT_EQ(named.Code, ExitDone) << named.Err.toStdString();
    const THistoryList archived = OpenArchive(ArchivePath())->Samples(QStringLiteral("1709-0634"), 0, 1e6);
    ASSERT_EQ(archived.Count(), 2);
    EXPECT_EQ(DateTimeToQt(archived.Items(0).DT), QDateTime(QDate(2017, 3, 4), QTime(13, 0), Qt::UTC));
    EXPECT_EQ(import("open.csv", {QStringLiteral("--date-order"), QStringLiteral("dm")}).Code, ExitUsage);

    const TCliRun far = import("far.csv");
    EXPECT_EQ(far.Code, ExitDone);
    EXPECT_EQ(far.Out, QStringLiteral("1 samples of 1709-0634 imported into %1\n").arg(ArchivePath()));
    EXPECT_EQ(far.Err, QStringLiteral("3 rows were left out as no heater's: dated before 2016 or after 2018, or an energy "
                                      "outside 0 to 32767 Wh.\n"));
}

TEST_F(ArchiveCliTest, ArchiveCommandsSayWhatIsMissing)
{
    const struct {
        QStringList Arguments;
        int Code;
        const char *Says;
    } cases[] = {
        {{QStringLiteral("archive"), QStringLiteral("export"), QStringLiteral("--csv"), QStringLiteral("x.csv")}, ExitError, "holds no samples"},
        {{QStringLiteral("archive"), QStringLiteral("sell")}, ExitUsage, "archive takes export or import"},
        {{QStringLiteral("report")}, ExitUsage, "report needs either --month YYYY-MM or --year YYYY."},
        {{QStringLiteral("report"), QStringLiteral("--month"), QStringLiteral("2017-13")}, ExitUsage, "--month must be a date as yyyy-MM"},
        {{QStringLiteral("archive"), QStringLiteral("import"), QStringLiteral("--csv"), QStringLiteral("/no/such.csv")}, ExitError, "Cannot read"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TCliRun run = Run(c.Arguments);
        EXPECT_EQ(run.Code, c.Code);
        EXPECT_TRUE(run.Err.contains(QString::fromLatin1(c.Says))) << run.Err.toStdString();
    }
    // Two heaters: the one to take must be named.
    const auto archive = OpenArchive(ArchivePath());
    THistoryData sample;
    sample.DT = April7;
    archive->Store(QStringLiteral("1709-0634"), std::vector<THistoryData>{sample});
    archive->Store(QStringLiteral("1801-0001"), std::vector<THistoryData>{sample});
    const TCliRun several = Run({QStringLiteral("report"), QStringLiteral("--year"), QStringLiteral("2017")});
    EXPECT_EQ(several.Code, ExitUsage);
    EXPECT_TRUE(several.Err.contains(QStringLiteral("several heaters (1709-0634, 1801-0001)"))) << several.Err.toStdString();
    const TCliRun named = Run({QStringLiteral("report"), QStringLiteral("--year"), QStringLiteral("2017"), QStringLiteral("--serial"), QStringLiteral("1801-0001")});
    EXPECT_EQ(named.Code, ExitDone);
}
