#include "WindowFixture.h"
#include "support/StoredHistory.h"

#include "app/ProgressDlg.h"
#include "protocol/Encodings.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <qcustomplot.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <set>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";
std::vector<TDateTime> Times(const THistoryList &History)
{
    std::vector<TDateTime> times;
    for (const THistoryData &sample : History)
        times.push_back(sample.DT);
    return times;
}

}

class HistoryDownloadTest : public WindowTest {
protected:
    std::unique_ptr<TFormMain> Connected(const QStringList &Arguments = {QStringLiteral("mondrel")})
    {
        heatersim_plug_heater(HeaterPath, L"V1.10");
        return ShownWindow(Arguments);
    }
};

TEST_F(HistoryDownloadTest, ConnectionDownloadsSortsLogsAndChartsTheStoredHistory)
{
    Now = QDateTime(QDate(2017, 4, 8), QTime(9, 30));
    Store(Hourly(10));
    auto w = Connected();
    ASSERT_EQ(w->FHistoryData.Count(), 10);
    const std::vector<TDateTime> times = Times(w->FHistoryData);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_DOUBLE_EQ(times.back(), April7 + 0.5);

    const QStringList lines = LogLines(*w);
    const qsizetype start = lines.indexOf(QStringLiteral("SetRequest res=65"));
    ASSERT_GE(start, 0);
    EXPECT_TRUE(lines.at(start + 1).startsWith(QStringLiteral("Data 07/04/2017 12:00:00: 58 E7 63 20 7C 00 00 28 ")));
    EXPECT_TRUE(lines.at(start + 1).endsWith(QStringLiteral(" res=65")));
    // Three blocks bring the ten records and two empty ones; then the heater has no more.
    EXPECT_EQ(lines.filter(QStringLiteral("Data ")).size(), 12);
    EXPECT_EQ(BlockRequests(), 3 + 1000);
    EXPECT_EQ(WrittenReports().front(), Sent({0x00, 0x02, 0x00, 0x00, 0x00, 0x00}));

    EXPECT_EQ(w->chartTitle->text(), QStringLiteral("Historical data: 07/04/2017 - 07/04/2017"));
    const QCPRange range = w->chartHistory->xAxis->range();
    EXPECT_DOUBLE_EQ(range.lower, ChartKey(April7));
    EXPECT_DOUBLE_EQ(range.upper, ChartKey(DateTimeFromQt(Now)));
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_EQ(heatersim_open_handles(), 0);
    EXPECT_TRUE(Dialogs->Informations.isEmpty());   // a first download never says "no more data"
    EXPECT_EQ(OpenProgressDialog(), nullptr);
}

TEST_F(HistoryDownloadTest, FourthBadRecordEndsTheDownloadAfterItsBlock)
{
    std::vector<TRecord> records = Hourly(20);
    for (int bad : {0, 1, 5, 9})
        records[static_cast<std::size_t>(bad)] = Record(April7, 50, 0, true);
    Store(records);
    auto w = Connected();
    EXPECT_EQ(BlockRequests(), 3);
    EXPECT_EQ(LogLines(*w).filter(QStringLiteral("Data ChkSum invalid: ")).size(), 4);
    EXPECT_EQ(w->FHistoryData.Count(), 12 - 4);   // the rest of the third block is kept
}

TEST_F(HistoryDownloadTest, LoadMoreSaysSoWhenNothingOlderCame)
{
    Store(Hourly(6));
    auto w = Connected();
    ASSERT_EQ(w->FHistoryData.Count(), 6);
    w->btnLoadMoreData->click();
    EXPECT_EQ(Dialogs->Informations, QStringList{QStringLiteral("The heater holds no older data.")});
    EXPECT_EQ(WrittenReports().at(static_cast<std::size_t>(heatersim_written_count() - 1001)),
              Sent({0x00, 0x02, 0x00, 0x00, 0x00, 0x01}));
}

TEST_F(HistoryDownloadTest, CancelKeepsSortsAndChartsWhatArrived)
{
    Store(Hourly(400));
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = MakeWindow({QStringLiteral("mondrel")});
    TDuringExchange cancel([] { return BlockRequests() >= 10 && OpenProgressDialog(); },
                           [] { OpenProgressDialog()->btnCancel->click(); });
    Show(*w);
    EXPECT_GE(w->FHistoryData.Count(), 40);
    EXPECT_LT(w->FHistoryData.Count(), 400);
    const std::vector<TDateTime> times = Times(w->FHistoryData);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(w->FChart->Count(), static_cast<std::size_t>(w->FHistoryData.Count()));
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
}

TEST_F(HistoryDownloadTest, RemovalDuringTheDownloadLogsItAndKeepsWhatArrived)
{
    Store(Hourly(400));
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = MakeWindow({QStringLiteral("mondrel")});
    TDuringExchange unplug([] { return BlockRequests() >= 10; }, [] { heatersim_unplug(HeaterPath); });
    Show(*w);
    EXPECT_GE(w->FHistoryData.Count(), 36);
    EXPECT_LT(w->FHistoryData.Count(), 400);
    EXPECT_TRUE(LogLines(*w).filter(QStringLiteral("Error: ")).size() >= 1);
    EXPECT_EQ(heatersim_open_handles(), 0);
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_EQ(OpenProgressDialog(), nullptr);
}

TEST_F(HistoryDownloadTest, WithoutHeaterTheErrorIsLoggedAndTheChartStillRedrawn)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    w->FHistoryData.Add(THistoryData{});
    w->memLog->clear();
    w->timRefreshCurrentData->stop();
    w->GetHistoryData(300, true);
    EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Can't open HID device"), QString()}));
    EXPECT_EQ(w->FHistoryData.Count(), 1);
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
}

TEST_F(HistoryDownloadTest, GetDataTakesTheCountFromItsEdit)
{
    Store(Hourly(40));
    auto w = Connected({QStringLiteral("quintabok")});
    const struct {
        const char *Text;
        int Requests;
    } cases[] = {{"0", 0}, {"-3", 0}, {"2", 2}, {"abc", 10 + 1000}};
    for (const auto &c : cases) {
        heatersim_clear_written();
        w->edtData->setText(QString::fromLatin1(c.Text));
        w->btnGetData->click();
        EXPECT_EQ(BlockRequests(), c.Requests) << c.Text;
        EXPECT_EQ(WrittenReports().front(), Sent({0x00, 0x02, 0x00, 0x00, 0x00, 0x00})) << c.Text;
    }
}

TEST_F(HistoryDownloadTest, LongColdPeriodWarnsOfLegionella)
{
    std::vector<TRecord> records;
    for (int day = 0; day <= 31; ++day)
        records.push_back(Record(April7 - day, day == 31 ? 60 : 50));
    Store(records);
    Connected();
    EXPECT_TRUE(Dialogs->Warnings.isEmpty());   // the hot sample 31 days back still counts

    records.back() = Record(April7 - 31, 59);
    Store(records);
    Connected();
    ASSERT_EQ(Dialogs->Warnings.size(), 1);
    EXPECT_TRUE(Dialogs->Warnings.first().startsWith(QStringLiteral("Legionella risk!")));
}

// A heater answers each request a little later: the replies to requests written before the
// download ended are read too, so page after page holds every record exactly once.
TEST_F(HistoryDownloadTest, PagesWithLateRepliesHoldEveryRecordOnce)
{
    const std::vector<TRecord> records = Hourly(200);
    Store(records);
    auto w = Connected();
    w->FHistoryData.Clear();
    heatersim_set_reply_latency(2);
    w->GetHistoryData(5, true);
    for (int page = 0; page < 20 && w->FHistoryData.Count() < 200; ++page)
        w->GetHistoryData(5, false);

    const std::vector<TDateTime> times = Times(w->FHistoryData);
    const std::set<TDateTime> distinct(times.begin(), times.end());
    EXPECT_EQ(distinct.size(), times.size()) << "a record came twice";
    EXPECT_EQ(times.size(), records.size()) << "records went missing";
}

// However late the heater answers, its reply to the command that starts a read-out included:
// the connection's download, and a page followed by "Load more Data", bring every stored record
// exactly once, and the late reply to the command is never logged as a block.
TEST_F(HistoryDownloadTest, EveryRecordOnceHoweverLateTheHeaterAnswers)
{
    const std::vector<TRecord> records = Hourly(38);   // ten blocks, the last one half full
    Store(records);
    const auto expectEveryRecordOnce = [&](const TFormMain &Window) {
        const std::vector<TDateTime> times = Times(Window.FHistoryData);
        EXPECT_EQ(std::set<TDateTime>(times.begin(), times.end()).size(), times.size()) << "a record came twice";
        EXPECT_EQ(times.size(), records.size()) << "records went missing";
        EXPECT_TRUE(LogLines(Window).filter(QStringLiteral("Data ChkSum invalid")).isEmpty());
    };
    for (const int latency : {0, 2, 5, 20, 60}) {
        SCOPED_TRACE(latency);
        heatersim_set_reply_latency(latency);
        auto w = Connected({QStringLiteral("quintabok")});
        expectEveryRecordOnce(*w);

        w->FHistoryData.Clear();
        w->memLog->clear();
        w->GetHistoryData(1, true);
        w->btnLoadMoreData->click();
        expectEveryRecordOnce(*w);
    }
}

// A heater whose clock is unset dates its live readings long before 2016: they stay in the list,
// but neither count as older history for "Load more Data" nor stretch the time axis back.
TEST_F(HistoryDownloadTest, LiveReadingsOfAnUnsetClockNeitherEndLoadingNorStretchTheAxis)
{
    Now = QDateTime(QDate(2017, 4, 8), QTime(9, 30));
    heatersim_status status = ExampleStatus();
    status.clock = 0;
    heatersim_set_status(&status);
    Store(Hourly(2000));
    auto w = Connected();
    w->RefreshCurrentData();   // a poll keeps the undated reading
    w->btnLoadMoreData->click();
    EXPECT_TRUE(Dialogs->Informations.isEmpty()) << Dialogs->Informations.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(w->FHistoryData.Count(), 1 + 2000);
    EXPECT_LT(YearOf(w->FHistoryData.Items(0).DT), 2016);
    const TDateTime oldest = w->FHistoryData.Items(1).DT;
    EXPECT_DOUBLE_EQ(oldest, April7 + 0.5 - 1999 / 24.0);
    EXPECT_DOUBLE_EQ(w->chartHistory->xAxis->range().lower, ChartKey(std::trunc(oldest)));

    w->btnLoadMoreData->click();   // now the heater has nothing older
    EXPECT_EQ(Dialogs->Informations, QStringList{QStringLiteral("The heater holds no older data.")});
}
