#include "Fixtures.h"
#include "history/HistoryCsv.h"

#include <gtest/gtest.h>

namespace {

constexpr TDateTime April7 = 42832.0;

THistoryList PartSample()
{
    THistoryData sample;
    sample.DT = April7 + 0.5;
    sample.U1 = 12.25f;
    sample.I1 = 3.75f;
    sample.P1 = 45.9375f;
    sample.PWM1 = 400;
    sample.Energy = -2;
    sample.TW = -10;
    sample.TB = 28.5f;
    THistoryList list;
    list.Add(sample);
    sample.DT = April7 + 1;   // exactly midnight
    list.Add(sample);
    return list;
}

// The lines of a file without its byte order mark and line ends, checking both on the way.
QStringList Lines(const QByteArray &File)
{
    EXPECT_TRUE(File.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(File.endsWith("\r\n"));
    QStringList lines = QString::fromUtf8(File.mid(3)).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

const TCsvHeading Heading{April7 + 0.75, QStringLiteral(" 1709- 634\t"), QStringLiteral("\nV1.10 ")};

}

TEST(HistoryCsv, EmptyListGivesTheHeadingAndTheTitles)
{
    const QStringList lines = Lines(HistoryCsv(THistoryList{}, 0, 0, false, Heading, EnGb()));
    EXPECT_EQ(lines, (QStringList{
                         QStringLiteral("\"07/04/2017 18:00:00\",\"1709- 634\",\"V1.10\""),
                         QStringLiteral("\"Timestamp\",\"U1 [V]\",\"U2 [V]\",\"U3 [V]\",\"I1 [A]\",\"I2 [A]\",\"I3 [A]\","
                                        "\"P1 [W]\",\"P2 [W]\",\"P3 [W]\",\"Energy [Wh]\",\"TW [°C]\",\"TB [°C]\",\"Status\"")}));
}

TEST(HistoryCsv, SamplesInTheLocaleWithOrWithoutThePwmColumns)
{
    const struct {
        const char *Name;
        bool WithPwm;
        TLocaleFormats Formats;
        QString Line, Midnight;
    } cases[] = {
        {"English", false, EnGb(),
         QStringLiteral("\"07/04/2017 12:00:00\",\"12.25\",\"0.00\",\"0.00\",\"3.75\",\"0.00\",\"0.00\",\"45.9\",\"0.0\","
                        "\"0.0\",\"-2\",\"-10\",\"29\",\"0\""),
         QStringLiteral("\"08/04/2017\",")},
        {"German with PWM", true, DeDe(),
         QStringLiteral("\"07.04.2017 12:00:00\",\"12,25\",\"0,00\",\"0,00\",\"3,75\",\"0,00\",\"0,00\",\"400\",\"0\",\"0\","
                        "\"45,9\",\"0,0\",\"0,0\",\"-2\",\"-10\",\"29\",\"0\""),
         QStringLiteral("\"08.04.2017\",")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const QStringList lines = Lines(HistoryCsv(PartSample(), 0, 2, c.WithPwm, Heading, c.Formats));
        ASSERT_EQ(lines.size(), 4);
        EXPECT_EQ(lines[2], c.Line);
        EXPECT_TRUE(lines[3].startsWith(c.Midnight));
        const qsizetype fields = c.WithPwm ? 17 : 14;
        EXPECT_EQ(lines[1].split(QLatin1Char(',')).size(), fields);
        EXPECT_EQ(lines[2].split(QStringLiteral("\",\"")).size(), fields);
    }
}

TEST(HistoryCsv, OnlyTheAskedRangeIsWritten)
{
    EXPECT_EQ(Lines(HistoryCsv(PartSample(), 1, 2, false, Heading, EnGb())).size(), 3);
    EXPECT_EQ(Lines(HistoryCsv(PartSample(), 2, 1, false, Heading, EnGb())).size(), 2);
}

TEST(HistoryCsv, FileNamesLoseTheCharactersFilesCannotHold)
{
    EXPECT_EQ(SafeFileName(QStringLiteral("Helvane Software - 07/04/2017.csv")),
              QStringLiteral("Helvane Software - 07-04-2017.csv"));
    EXPECT_EQ(SafeFileName(QStringLiteral("a:b*c?d\"e<f>g|h\\i")), QStringLiteral("a-b-c-d-e-f-g-h-i"));
    EXPECT_EQ(TrimmedLabel(QStringLiteral("\t 1709- 634 \r\n")), QStringLiteral("1709- 634"));
}
