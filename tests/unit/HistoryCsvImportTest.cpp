#include "Fixtures.h"
#include "history/EnergyReport.h"
#include "history/HistoryCsv.h"
#include "history/HistoryCsvImport.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

constexpr TDateTime March1 = 42795.0;   // 2017-03-01
// Samples up to 2027 are a heater's.
const THistoryCsvRules Rules{2027, std::nullopt};

// Samples whose values the export writes exactly: two decimals for voltages and currents, one
// for powers, none for temperatures; around midnight, noon and the afternoon of three days, the
// last the 13th, which tells the day from the month.
THistoryList Samples()
{
    THistoryList list;
    for (int i = 0; i < 9; ++i) {
        THistoryData s;
        s.DT = March1 + 6 * (i / 3) + (i % 3) * (13.0 / 24) + (i % 3 == 2 ? 25.0 / 86400 : 0);
        s.U1 = 31.25f + static_cast<float>(i);
        s.U2 = 0.5f;
        s.U3 = 250.75f;
        s.I1 = 10.5f;
        s.I2 = 0.25f;
        s.I3 = 1;
        s.PWM1 = -1;
        s.PWM2 = 1000;
        s.PWM3 = i;
        s.P1 = 328.5f;
        s.P2 = 0;
        s.P3 = 700;
        s.Energy = 1000 * i;
        s.TW = 61;
        s.TB = -3;
        s.Err = 111;
        list.Add(s);
    }
    return list;
}

void ExpectSameSample(const THistoryData &A, const THistoryData &B, bool WithPwm)
{
    EXPECT_NEAR(A.DT, B.DT, 1e-9);
    for (const auto &[a, b] : {std::pair{A.U1, B.U1}, {A.U2, B.U2}, {A.U3, B.U3}, {A.I1, B.I1}, {A.I2, B.I2},
                               {A.I3, B.I3}, {A.P1, B.P1}, {A.P2, B.P2}, {A.P3, B.P3}, {A.TW, B.TW}, {A.TB, B.TB}})
        EXPECT_FLOAT_EQ(a, b);
    if (WithPwm) {
        EXPECT_EQ(A.PWM1, B.PWM1);
        EXPECT_EQ(A.PWM2, B.PWM2);
        EXPECT_EQ(A.PWM3, B.PWM3);
    }
    EXPECT_EQ(A.Energy, B.Energy);
    EXPECT_EQ(A.Err, B.Err);
}

}

// Files written in any of these locales, with and without the PWM columns, read back as the
// samples they were written from.
TEST(HistoryCsvImport, ReadsWhatTheExportWroteInEveryDialect)
{
    const THistoryList samples = Samples();
    const std::pair<const char *, TLocaleFormats> dialects[] = {
        {"en-GB", EnGb()},
        {"en-US", EnUs()},
        {"de-DE", DeDe()},
        {"ISO", MakeFormats(',', ' ', '-', ':', "yyyy-MM-dd", "HH:mm:ss", QStringLiteral("a b c d e f g h i j k l"))},
        {"Arabic decimal separator", [] {
             TLocaleFormats formats = MakeFormats('.', ',', '/', ':', "dd/MM/yyyy", "HH:mm:ss", QStringLiteral("a b c d e f g h i j k l"));
             formats.DecimalSeparator = QChar(0x066B);
             return formats;
         }()},
    };
    for (const auto &[name, formats] : dialects) {
        for (const bool withPwm : {true, false}) {
            SCOPED_TRACE(std::string(name) + (withPwm ? " with PWM" : " without PWM"));
            const QByteArray file = HistoryCsv(samples, 0, samples.Count(), withPwm, {March1 + 20, QStringLiteral("1709- 634"), QStringLiteral("V1.10")}, formats);
            const THistoryCsvImport import = ReadHistoryCsv(file, Rules);
            EXPECT_EQ(import.SerialNumber, QStringLiteral("1709- 634"));
            EXPECT_EQ(import.BadRows, 0);
            ASSERT_EQ(import.Samples.Count(), samples.Count());
            for (int i = 0; i < samples.Count(); ++i)
                ExpectSameSample(import.Samples.Items(i), samples.Items(i), withPwm);
        }
    }
}

// A row that cannot be read whole is counted and left out; the others are taken.
TEST(HistoryCsvImport, CountsRowsItCannotReadAndTakesNoneOfThem)
{
    const THistoryList samples = Samples();
    QByteArray file = HistoryCsv(samples, 0, 2, true, {March1, QStringLiteral("1709- 634"), QString()}, DeDe());
    const QByteArray good = file.split('\n').at(2) + '\n';
    file += good;                                                               // a row twice is still two rows
    file += QByteArray(good).replace("\"31,25\"", "\"31,2x\"");                 // a garbled number
    file += QByteArray(good).replace("01.03.2017", "31.02.2017");               // no such day
    file += QByteArray(good).replace(",\"111\"\r", "\r");                       // a field short
    file += "01.03.2017 10:00:00,\"1\"\r\n";                                    // not quoted
    file += QByteArray(good).replace("01.03.2017", "01.03.2017 25:00:00");      // no such hour
    file += "\r\n";                                                             // an empty line
    const THistoryCsvImport import = ReadHistoryCsv(file, Rules);
    EXPECT_EQ(import.Samples.Count(), 3);
    EXPECT_EQ(import.BadRows, 6);
}

// Each value is read from its own field's text: a number with a decimal separator of any one
// character, however many digits; a whole number as written, signs and blanks as a number's text
// may have them; a field with a quote inside it as its text.
TEST(HistoryCsvImport, ReadsEachFieldByItsText)
{
    THistoryList one;
    one.Add(Samples().Items(0));
    const QByteArray file = HistoryCsv(one, 0, 1, true, {March1, QStringLiteral("1709- 634"), QString()}, EnGb());
    const QByteArray row = file.split('\n').at(2);
    // One date, 01/03/2017, leaves its order open.
    const THistoryCsvRules DayFirst{2027, TDateOrder::DayFirst};
    const struct {
        const char *Field;        // in place of the first voltage, "31.25"
        const char *Replacement;
        std::optional<double> U1;
    } voltages[] = {
        {"\"31.25\"", "\"-0.5\"", -0.5},
        {"\"31.25\"", "\"31,25\"", 31.25},
        {"\"31.25\"", "\"31\xD9\xAB" "25\"", 31.25},                      // one character of two bytes
        {"\"31.25\"", "\"1234567890123456.75\"", 1234567890123456.75},
        {"\"31.25\"", "\"31\"\"25\"", 31.25},                             // a doubled quote stands for one
        {"\"31.25\"", "\"31.2.5\"", std::nullopt},
        {"\"31.25\"", "\"31.\"", std::nullopt},
        {"\"31.25\"", "\"-\"", std::nullopt},
        {"\"31.25\"", "\"\"", std::nullopt},
        {"\"31.25\"", "\"\xD9\xA3\"", std::nullopt},                       // a digit, but not one of ASCII
    };
    for (const auto &v : voltages) {
        SCOPED_TRACE(v.Replacement);
        const THistoryCsvImport import = ReadHistoryCsv(file.left(file.indexOf(row)) + QByteArray(row).replace(v.Field, v.Replacement) + '\n', DayFirst);
        ASSERT_EQ(import.Samples.Count(), v.U1 ? 1 : 0);
        EXPECT_EQ(import.BadRows, v.U1 ? 0 : 1);
        if (v.U1) {
            EXPECT_FLOAT_EQ(import.Samples.Items(0).U1, static_cast<float>(*v.U1));
        }
    }
    // An energy of the day is a heater's from 0 to 32767 Wh: others are read, then refused.
    enum TOutcome { Taken, Refused, Bad };
    const struct {
        const char *Replacement;   // in place of the energy, "0"
        TOutcome Outcome;
        int Energy;
    } energies[] = {
        {"\"7\"", Taken, 7}, {"\"32767\"", Taken, 32767}, {"\"+7\"", Taken, 7}, {"\" 7 \"", Taken, 7},
        {"\"-7\"", Refused, 0}, {"\"32768\"", Refused, 0}, {"\"-1000000001\"", Refused, 0}, {"\"2147483647\"", Refused, 0},
        {"\"2147483648\"", Bad, 0}, {"\"7.0\"", Bad, 0}, {"\"\"", Bad, 0}, {"\"--7\"", Bad, 0},
    };
    for (const auto &e : energies) {
        SCOPED_TRACE(e.Replacement);
        // The energy stands after the three powers: 328.5, 0, 700.
        const THistoryCsvImport import =
            ReadHistoryCsv(file.left(file.indexOf(row)) + QByteArray(row).replace("\"700.0\",\"0\"", QByteArray("\"700.0\",") + e.Replacement) + '\n', DayFirst);
        ASSERT_EQ(import.Samples.Count(), e.Outcome == Taken ? 1 : 0);
        EXPECT_EQ(import.RefusedRows, e.Outcome == Refused ? 1 : 0);
        EXPECT_EQ(import.BadRows, e.Outcome == Bad ? 1 : 0);
        if (e.Outcome == Taken) {
            EXPECT_EQ(import.Samples.Items(0).Energy, e.Energy);
        }
    }
}

// What the export writes in every locale Qt knows reads back as the samples it was written from:
// times around midnight and noon on both clocks, and days that tell the day from the month.
TEST(HistoryCsvImport, ReadsWhatTheExportWroteInEveryLocale)
{
    THistoryList samples;
    const int secondsOfDay[] = {0, 15, 30 * 60 + 15, 11 * 3600 + 59 * 60 + 59, 12 * 3600, 12 * 3600 + 45 * 60 + 30,
                                13 * 3600 + 14 * 60 + 15, 23 * 3600 + 59 * 60 + 59};
    for (const int day : {0, 3, 12, 30}) {
        for (const int second : secondsOfDay) {
            THistoryData s = Samples().Items(0);
            s.DT = March1 + day + second / 86400.0;
            s.Energy = samples.Count();
            samples.Add(s);
        }
    }
    int locales = 0;
    for (const QLocale &locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        SCOPED_TRACE(locale.name().toStdString());
        ++locales;
        const TLocaleFormats formats = TLocaleFormats::FromLocale(locale);
        const QByteArray file = HistoryCsv(samples, 0, samples.Count(), true, {March1, QStringLiteral("1709- 634"), QString()}, formats);
        THistoryCsvImport import;
        ASSERT_NO_THROW(import = ReadHistoryCsv(file, Rules)) << file.left(300).toStdString();
        EXPECT_EQ(import.BadRows, 0);
        EXPECT_EQ(import.RefusedRows, 0);
        ASSERT_EQ(import.Samples.Count(), samples.Count()) << file.left(300).toStdString();
        for (int i = 0; i < samples.Count(); ++i)
            ASSERT_NEAR(import.Samples.Items(i).DT, samples.Items(i).DT, 1e-9) << file.split('\n').at(i + 2).toStdString();
    }
    EXPECT_GT(locales, 300);
}

// A file's dates are read in one order, told from all of them: dates that only one order reads
// decide it; dates in several orders, or dates that two orders read apart with none named, stop
// the import; a date out of a heater's years is refused.
TEST(HistoryCsvImport, ReadsDatesInTheOneOrderTheFileTellsOrRefuses)
{
    const auto fileOf = [](std::initializer_list<const char *> Stamps) {
        THistoryList one;
        one.Add(Samples().Items(0));
        const QByteArray file = HistoryCsv(one, 0, 1, false, {March1, QStringLiteral("1709- 634"), QString()}, EnGb());
        const QByteArray row = file.split('\n').at(2);
        QByteArray result = file.left(file.indexOf(row));
        for (const char *stamp : Stamps)
            result += QByteArray(row).replace("01/03/2017", stamp) + '\n';
        return result;
    };
    const struct {
        const char *Name;
        std::initializer_list<const char *> Stamps;
        std::optional<TDateOrder> Order;
        std::vector<QDate> Dates;   // of the rows taken; none when the file is refused whole
        int Refused;
        int Bad;
    } cases[] = {
        {"a day above 12 tells day first", {"04/03/2017", "13/03/2017"}, {}, {QDate(2017, 3, 4), QDate(2017, 3, 13)}, 0, 0},
        {"a day above 12 tells month first", {"3/4/2017 1:00:00 PM", "3/13/2017"}, {},
         {QDate(2017, 3, 4), QDate(2017, 3, 13)}, 0, 0},
        {"day and month the same", {"05/05/2017", "06/06/2017"}, {}, {QDate(2017, 5, 5), QDate(2017, 6, 6)}, 0, 0},
        {"year first", {"2017-03-04"}, {}, {QDate(2017, 3, 4)}, 0, 0},
        {"both orders in one file", {"13/03/2017", "03/14/2017"}, {}, {}, 0, 0},
        {"every day up to 12", {"3/4/2017", "3/5/2017"}, {}, {}, 0, 0},
        {"every day up to 12, month first named", {"3/4/2017", "3/5/2017"}, TDateOrder::MonthFirst,
         {QDate(2017, 3, 4), QDate(2017, 3, 5)}, 0, 0},
        {"every day up to 12, day first named", {"3/4/2017", "3/5/2017"}, TDateOrder::DayFirst,
         {QDate(2017, 4, 3), QDate(2017, 5, 3)}, 0, 0},
        {"a named order the dates deny", {"13/03/2017", "04/03/2017"}, TDateOrder::MonthFirst, {QDate(2017, 4, 3)}, 1, 0},
        {"years out of range", {"13/03/2017", "13/03/2015", "13/03/2028", "13/03/10000", "13/03/999999999", "13/03/0000"}, {},
         {QDate(2017, 3, 13)}, 4, 1},
        {"the first and the last year", {"01/01/2016", "31/12/2027 11:59:59 PM"}, {}, {QDate(2016, 1, 1), QDate(2027, 12, 31)}, 0, 0},
        {"a day no month has", {"13/03/2017", "31/02/2017"}, {}, {QDate(2017, 3, 13)}, 0, 1},
        {"no such hour", {"13/03/2017", "13/03/2017 25:00:00", "13/03/2017 13:00:00 PM", "13/03/2017 0:00:00 AM"}, {},
         {QDate(2017, 3, 13)}, 0, 3},
        {"the C locale's month names", {"4 Mar 2017", "13 Dec 2017 13:14:15"}, {}, {QDate(2017, 3, 4), QDate(2017, 12, 13)}, 0, 0},
        {"a shape no locale writes", {"13/03/2017", "13/03/2017 at 1:00:00", "13//03/2017"}, {}, {QDate(2017, 3, 13)}, 0, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const QByteArray file = fileOf(c.Stamps);
        const THistoryCsvRules rules{2027, c.Order};
        if (c.Dates.empty()) {
            EXPECT_THROW(ReadHistoryCsv(file, rules), std::runtime_error);
            continue;
        }
        const THistoryCsvImport import = ReadHistoryCsv(file, rules);
        EXPECT_EQ(import.RefusedRows, c.Refused);
        EXPECT_EQ(import.BadRows, c.Bad);
        ASSERT_EQ(import.Samples.Count(), static_cast<int>(c.Dates.size()));
        for (std::size_t i = 0; i < c.Dates.size(); ++i)
            EXPECT_EQ(DateTimeToQt(import.Samples.Items(static_cast<int>(i)).DT).date(), c.Dates[i]) << i;
    }
}

TEST(HistoryCsvImport, RefusesWhatIsNoHistoryFile)
{
    for (const char *text : {"", "just text\n", "\"a\",\"b\"\r\n\"Zeit\",\"U1\"\r\n", "\xEF\xBB\xBF\"x\"\r\n"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ReadHistoryCsv(QByteArray(text), Rules), std::runtime_error);
    }
}

// A day's energy is its counter's last reading, summed over the runs of a heater that restarted;
// a day without samples is not in the report; months add their days up.
TEST(EnergyReport, DaysMonthsAndTotalOverAMonthBoundaryWithADayMissing)
{
    THistoryList list;
    const std::pair<TDateTime, int> readings[] = {
        {March1 - 2 + 0.4, 100}, {March1 - 2 + 0.9, 500},   // 27 February
        {March1 - 1 + 0.5, 700},                            // 28 February; 1 March has none
        {March1 + 1 + 0.1, 0},   {March1 + 1 + 0.5, 300}, {March1 + 1 + 0.6, 10},
        {March1 + 1 + 0.7, 20},  {March1 + 1 + 0.99, 600},   // 2 March: a restart after 300
    };
    for (const auto &[dt, energy] : readings) {
        THistoryData s;
        s.DT = dt;
        s.Energy = energy;
        list.Add(s);
    }
    const TEnergyReport report = MakeEnergyReport(list);
    EXPECT_EQ(EnergyReportJson(report, false),
              QByteArray(R"({"days":[{"date":"2017-02-27","energy_wh":500},{"date":"2017-02-28","energy_wh":700},)"
                         R"({"date":"2017-03-02","energy_wh":900}],"total_wh":2100})"));
    EXPECT_EQ(EnergyReportJson(report, true),
              QByteArray(R"({"days":[{"date":"2017-02-27","energy_wh":500},{"date":"2017-02-28","energy_wh":700},)"
                         R"({"date":"2017-03-02","energy_wh":900}],"months":[{"energy_wh":1200,"month":"2017-02"},)"
                         R"({"energy_wh":900,"month":"2017-03"}],"total_wh":2100})"));
    EXPECT_EQ(EnergyReportJson(MakeEnergyReport(THistoryList()), true), QByteArray(R"({"days":[],"months":[],"total_wh":0})"));
}
