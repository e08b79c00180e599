#include "Fixtures.h"
#include "history/EnergyReport.h"
#include "history/HistoryCsv.h"
#include "history/HistoryCsvImport.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

constexpr TDateTime March1 = 42795.0;   // 2017-03-01

// Samples whose values the export writes exactly: two decimals for voltages and currents, one
// for powers, none for temperatures; around midnight, noon and the afternoon of three days.
THistoryList Samples()
{
    THistoryList list;
    for (int i = 0; i < 9; ++i) {
        THistoryData s;
        s.DT = March1 + i / 3 + (i % 3) * (13.0 / 24) + (i % 3 == 2 ? 25.0 / 86400 : 0);
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
            const THistoryCsvImport import = ReadHistoryCsv(file);
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
    const THistoryCsvImport import = ReadHistoryCsv(file);
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
        const THistoryCsvImport import = ReadHistoryCsv(file.left(file.indexOf(row)) + QByteArray(row).replace(v.Field, v.Replacement) + '\n');
        ASSERT_EQ(import.Samples.Count(), v.U1 ? 1 : 0);
        EXPECT_EQ(import.BadRows, v.U1 ? 0 : 1);
        if (v.U1) {
            EXPECT_FLOAT_EQ(import.Samples.Items(0).U1, static_cast<float>(*v.U1));
        }
    }
    const struct {
        const char *Replacement;   // in place of the energy, "0"
        std::optional<int> Energy;
    } energies[] = {
        {"\"-7\"", -7}, {"\"123456789\"", 123456789}, {"\"2147483647\"", 2147483647}, {"\"+7\"", 7}, {"\" 7 \"", 7},
        {"\"2147483648\"", std::nullopt}, {"\"7.0\"", std::nullopt}, {"\"\"", std::nullopt}, {"\"--7\"", std::nullopt},
    };
    for (const auto &e : energies) {
        SCOPED_TRACE(e.Replacement);
        // The energy stands after the three powers: 328.5, 0, 700.
        const THistoryCsvImport import =
            ReadHistoryCsv(file.left(file.indexOf(row)) + QByteArray(row).replace("\"700.0\",\"0\"", QByteArray("\"700.0\",") + e.Replacement) + '\n');
        ASSERT_EQ(import.Samples.Count(), e.Energy ? 1 : 0);
        if (e.Energy) {
            EXPECT_EQ(import.Samples.Items(0).Energy, *e.Energy);
        }
    }
}

TEST(HistoryCsvImport, RefusesWhatIsNoHistoryFile)
{
    for (const char *text : {"", "just text\n", "\"a\",\"b\"\r\n\"Zeit\",\"U1\"\r\n", "\xEF\xBB\xBF\"x\"\r\n"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ReadHistoryCsv(QByteArray(text)), std::runtime_error);
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
