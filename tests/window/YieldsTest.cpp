// The yields window against an archive filled by the test: the bars, totals and comparison of
// every level, its navigation, the heater it shows, its texts in both languages and its files.

#include "WindowFixture.h"

#include "app/YieldsWindow.h"
#include "archive/Archive.h"

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <qcustomplot.h>

#include <map>
#include <optional>

namespace {

const QString HeaterA = QStringLiteral("1709-0634");   // the example status's heater
const QString HeaterB = QStringLiteral("1512-0001");

TDateTime At(int Year, int Month, int Day, double Hours)
{
    return DayStart(QDate(Year, Month, Day)) + Hours / 24;
}

std::vector<THistoryData> Readings(std::initializer_list<std::pair<TDateTime, int>> Items)
{
    std::vector<THistoryData> samples;
    for (const auto &[dt, wh] : Items) {
        THistoryData s;
        s.DT = dt;
        s.Energy = wh;
        s.P1 = 100;
        samples.push_back(s);
    }
    return samples;
}

// Heater A over a year boundary, with a restart and a glitch, a month's gaps and a year before;
// heater B, whose sample is the newest, on one day.
void FillArchive(const QString &Location)
{
    const auto archive = OpenArchive(Location);
    archive->Store(HeaterA, Readings({
                                {At(2016, 2, 27, 8), 100}, {At(2016, 2, 27, 12), 900}, {At(2016, 2, 27, 18), 1500},
                                {At(2016, 3, 5, 12), 2000},
                                {At(2016, 12, 31, 23.8), 6000},   // then midnight starts the counter again
                                {At(2017, 1, 1, 0.2), 0}, {At(2017, 1, 1, 12), 700},
                                // a restart, confirmed: 3000 + 1200
                                {At(2017, 2, 27, 10), 3000}, {At(2017, 2, 27, 11), 0}, {At(2017, 2, 27, 12), 500},
                                {At(2017, 2, 27, 18), 1200},
                                // a glitch, ignored
                                {At(2017, 2, 28, 10), 800}, {At(2017, 2, 28, 11), 5}, {At(2017, 2, 28, 12), 900},
                                {At(2017, 3, 5, 12), 2500},
                            }));
    archive->Store(HeaterB, Readings({{At(2017, 3, 20, 12), 99999}}));
}

// Each series' bars, key to value.
std::map<double, double> BarValues(const QCPBars *Bars)
{
    std::map<double, double> values;
    for (auto it = Bars->data()->constBegin(); it != Bars->data()->constEnd(); ++it)
        values[it->key] = it->value;
    return values;
}

// A click into the middle of a bar, as the user makes it.
void ClickBar(TYieldsWindow &Window, const QCPBars *Bars, double Key)
{
    Window.chartYields->replot();
    const auto found = Bars->data()->findBegin(Key, false);
    ASSERT_NE(found, Bars->data()->constEnd());
    ASSERT_EQ(found->key, Key);
    const QPointF top = Bars->dataPixelPosition(static_cast<int>(found - Bars->data()->constBegin()));
    const QPointF base(top.x(), Window.chartYields->yAxis->coordToPixel(0));
    QTest::mouseClick(Window.chartYields, Qt::LeftButton, {}, ((top + base) / 2).toPoint());
}

}

class YieldsWindowTest : public WindowTest {
protected:
    QString ArchiveFile() const { return QDir(DataDir.path()).filePath(QStringLiteral("Archive.sqlite")); }

    // The owner's window without a heater, its yields opened from the not-connected panel.
    TYieldsWindow &OpenedWithoutHeater(TFormMain &Window)
    {
        EXPECT_TRUE(Window.btnYieldsArchive->isVisible());
        Window.btnYieldsArchive->click();
        EXPECT_TRUE(Window.FYields && Window.FYields->isVisible());
        return *Window.FYields;
    }
};

// Heater A at every level: the bars against sums worked out from its readings, the totals, the
// comparison, the way between the levels; under several zones, as its days are the heater's.
class YieldsInZone : public YieldsWindowTest {};

TEST_F(YieldsInZone, BarsTotalsAndComparisonAtEveryLevel)
{
    FillArchive(ArchiveFile());
    heatersim_status status = ExampleStatus();
    heatersim_set_status(&status);
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    auto w = ShownWindow();
    ASSERT_TRUE(w->pnlNotConnected->isHidden());
    w->timRefreshCurrentData->stop();
    w->btnYields->click();
    ASSERT_TRUE(w->FYields);
    TYieldsWindow &y = *w->FYields;
    // The connected heater, though another has the newer sample.
    EXPECT_EQ(y.cbxHeater->currentText(), HeaterA);
    EXPECT_EQ(y.cbxHeater->count(), 2);

    // The months of 2017, the year of the newest sample, beside 2016's.
    EXPECT_EQ(y.Yields().Period, (TYieldPeriod{TYieldLevel::Months, 2017, 0}));
    EXPECT_EQ(BarValues(y.serYield), (std::map<double, double>{{1, 700}, {2, 4200 + 900}, {3, 2500}}));
    EXPECT_EQ(BarValues(y.serYieldEarlier), (std::map<double, double>{{2, 1500}, {3, 2000}, {12, 6000}}));
    // 89 days up to 30 March, four with samples; the comparison with the days up to 30 March 2016.
    EXPECT_EQ(y.lblTotals->text(), QStringLiteral("Total: 8,300 Wh    85 days without samples    Best day: 27/02/2017, 4,200 Wh    "
                                                  "A year earlier: 3,500 Wh (+137.1 %)"));
    EXPECT_TRUE(y.btnPrevious->isEnabled());
    EXPECT_FALSE(y.btnNext->isEnabled());
    EXPECT_EQ(y.btnUp->text(), QStringLiteral("All years"));

    y.btnPrevious->click();
    EXPECT_EQ(BarValues(y.serYield), (std::map<double, double>{{2, 1500}, {3, 2000}, {12, 6000}}));
    EXPECT_TRUE(BarValues(y.serYieldEarlier).empty());
    EXPECT_EQ(y.lblTotals->text(), QStringLiteral("Total: 9,500 Wh    306 days without samples    Best day: 31/12/2016, 6,000 Wh    "
                                                  "A year earlier: no samples"));
    EXPECT_FALSE(y.btnPrevious->isEnabled());
    y.btnNext->click();

    // A click on February's bar: its days.
    ClickBar(y, y.serYield, 2);
    EXPECT_EQ(y.Yields().Period, (TYieldPeriod{TYieldLevel::Days, 2017, 2}));
    EXPECT_EQ(BarValues(y.serYield), (std::map<double, double>{{27, 4200}, {28, 900}}));
    EXPECT_EQ(BarValues(y.serYieldEarlier), (std::map<double, double>{{27, 1500}}));
    EXPECT_EQ(y.lblTotals->text(), QStringLiteral("Total: 5,100 Wh    26 days without samples    Best day: 27/02/2017, 4,200 Wh    "
                                                  "A year earlier: 1,500 Wh (+240.0 %)"));
    EXPECT_EQ(y.btnUp->text(), QStringLiteral("Whole year"));
    y.btnNext->click();
    EXPECT_EQ(BarValues(y.serYield), (std::map<double, double>{{5, 2500}}));
    EXPECT_FALSE(y.btnNext->isEnabled());

    // Up to the year, and to the years: each beside the one before, no comparison of the whole.
    y.btnUp->click();
    EXPECT_EQ(y.Yields().Period, (TYieldPeriod{TYieldLevel::Months, 2017, 0}));
    y.btnUp->click();
    EXPECT_EQ(BarValues(y.serYield), (std::map<double, double>{{2016, 9500}, {2017, 8300}}));
    EXPECT_EQ(BarValues(y.serYieldEarlier), (std::map<double, double>{{2017, 9500}}));
    EXPECT_EQ(y.lblTotals->text(), QStringLiteral("Total: 17,800 Wh    391 days without samples    Best day: 31/12/2016, 6,000 Wh"));
    EXPECT_FALSE(y.btnUp->isEnabled());
    EXPECT_FALSE(y.btnPrevious->isEnabled());
    EXPECT_FALSE(y.btnNext->isEnabled());

    // A click on the lighter bar of 2017 (2016 beside it) goes to 2017 as well.
    ClickBar(y, y.serYieldEarlier, 2017);
    EXPECT_EQ(y.Yields().Period, (TYieldPeriod{TYieldLevel::Months, 2017, 0}));
    EXPECT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join(QLatin1Char('\n')).toStdString();
}

// Without a heater: the heater last connected, the one with the newest sample; another picked by
// its serial number shows its own days alone.
TEST_F(YieldsWindowTest, WithoutHeaterTheNewestAndAnyOtherArchivedHeater)
{
    FillArchive(ArchiveFile());
    auto w = ShownWindow();
    TYieldsWindow &y = OpenedWithoutHeater(*w);
    EXPECT_EQ(y.cbxHeater->currentText(), HeaterB);
    EXPECT_EQ(BarValues(y.serYield), (std::map<double, double>{{3, 99999}}));
    EXPECT_FALSE(y.btnPrevious->isEnabled());

    y.cbxHeater->setCurrentText(HeaterA);
    emit y.cbxHeater->activated(y.cbxHeater->currentIndex());
    EXPECT_EQ(BarValues(y.serYield), (std::map<double, double>{{1, 700}, {2, 5100}, {3, 2500}}));
    EXPECT_TRUE(Dialogs->Errors.isEmpty()) << Dialogs->Errors.join(QLatin1Char('\n')).toStdString();
}

// An empty archive has no yields to show: said, and no window stays.
TEST_F(YieldsWindowTest, EmptyArchiveIsSaid)
{
    auto w = ShownWindow();
    w->btnYieldsArchive->click();
    EXPECT_EQ(Dialogs->Informations, QStringList{QStringLiteral("The archive holds no samples of a heater yet.")});
    QApplication::processEvents();
    EXPECT_TRUE(!w->FYields || !w->FYields->isVisible());
}

// Every text of the window in German, and following the main window's switch at once.
TEST_F(YieldsWindowTest, TextsFollowTheLanguage)
{
    FillArchive(ArchiveFile());
    LanguageId = QStringLiteral("de");
    auto w = ShownWindow();
    EXPECT_EQ(w->btnYieldsArchive->text(), QStringLiteral("Erträge"));
    EXPECT_EQ(w->btnYields->text(), QStringLiteral("Erträge"));
    TYieldsWindow &y = OpenedWithoutHeater(*w);
    y.cbxHeater->setCurrentText(HeaterA);
    emit y.cbxHeater->activated(y.cbxHeater->currentIndex());
    const auto texts = [&] {
        return QStringList{y.windowTitle(), y.btnPrevious->text(), y.btnNext->text(), y.btnUp->text(), y.lblHeater->text(),
                           y.btnExportYields->text(), y.btnSavePicture->text(), y.serYield->name(), y.serYieldEarlier->name(),
                           y.lblTotals->text()};
    };
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("Erträge"), QStringLiteral("Früher"), QStringLiteral("Später"),
                                    QStringLiteral("Alle Jahre"), QStringLiteral("Heizgerät:"), QStringLiteral("Export"),
                                    QStringLiteral("Bild speichern"), QStringLiteral("Energie [Wh]"),
                                    QStringLiteral("Ein Jahr früher [Wh]"),
                                    QStringLiteral("Summe: 8,300 Wh    85 Tage ohne Messwerte    Bester Tag: 27/02/2017, 4,200 Wh    "
                                                   "Ein Jahr früher: 3,500 Wh (+137.1 %)")}));
    w->lblSwitchLangClick();
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("Yields"), QStringLiteral("Earlier"), QStringLiteral("Later"),
                                    QStringLiteral("All years"), QStringLiteral("Heater:"), QStringLiteral("Export"),
                                    QStringLiteral("Save picture"), QStringLiteral("Energy [Wh]"),
                                    QStringLiteral("A year earlier [Wh]"),
                                    QStringLiteral("Total: 8,300 Wh    85 days without samples    Best day: 27/02/2017, 4,200 Wh    "
                                                   "A year earlier: 3,500 Wh (+137.1 %)")}));
}

// The shown table as CSV in the locale's separators, and the chart as a PNG picture.
TEST_F(YieldsWindowTest, TableAndPictureAreWritten)
{
    FillArchive(ArchiveFile());
    auto w = ShownWindow();
    TYieldsWindow &y = OpenedWithoutHeater(*w);
    y.cbxHeater->setCurrentText(HeaterA);
    emit y.cbxHeater->activated(y.cbxHeater->currentIndex());

    Dialogs->SavePath = QDir(DataDir.path()).filePath(QStringLiteral("yields.csv"));
    y.btnExportYields->click();
    EXPECT_EQ(Dialogs->SaveRequests.last(), QStringLiteral("Yields 1709-0634 - 2017.csv"));
    QFile csv(Dialogs->SavePath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2 + 12 + 1);
    EXPECT_EQ(lines[0], QByteArray("\xEF\xBB\xBF\"30/03/2017 10:00:00\",\"1709-0634\",\"2017\"\r"));
    EXPECT_EQ(lines[1], QByteArray("\"Month\",\"Energy [Wh]\",\"A year earlier [Wh]\",\"Change [%]\"\r"));
    EXPECT_EQ(lines[3], QByteArray("\"Feb 2017\",\"5100\",\"1500\",\"240.0\"\r"));
    EXPECT_EQ(lines[13], QByteArray("\"Dec 2017\",\"\",\"6000\",\"\"\r"));

    Dialogs->SavePath = QDir(DataDir.path()).filePath(QStringLiteral("yields.png"));
    y.btnSavePicture->click();
    EXPECT_EQ(Dialogs->SaveRequests.last(), QStringLiteral("Yields 1709-0634 - 2017.png"));
    const QImage picture(Dialogs->SavePath);
    EXPECT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), y.chartYields->size());

    // A file that cannot be written is said, naming it.
    Dialogs->SavePath = QDir(DataDir.path()).filePath(QStringLiteral("no folder/yields.csv"));
    y.btnExportYields->click();
    ASSERT_EQ(Dialogs->Errors.size(), 1);
    EXPECT_TRUE(Dialogs->Errors.first().contains(Dialogs->SavePath)) << Dialogs->Errors.first().toStdString();
}
