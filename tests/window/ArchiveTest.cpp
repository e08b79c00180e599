// The window with an archive: what it learns is kept per heater, and comes back at connection.

#include "WindowFixture.h"

#include "archive/Archive.h"
#include "support/StoredHistory.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <qcustomplot.h>

#include <algorithm>
#include <set>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";

// Hourly records back from a time, newest first as the heater keeps them.
std::vector<TRecord> HourlyBefore(TDateTime Newest, int Count)
{
    std::vector<TRecord> records;
    for (int i = 0; i < Count; ++i)
        records.push_back(Record(Newest - i / 24.0, 50, 100 + i));
    return records;
}

std::vector<TDateTime> Times(const THistoryList &History)
{
    std::vector<TDateTime> times;
    for (const THistoryData &sample : History)
        times.push_back(sample.DT);
    return times;
}

}

class ArchiveWindowTest : public WindowTest {
protected:
    std::unique_ptr<TFormMain> Connected(const QStringList &Arguments = {QStringLiteral("mondrel")})
    {
        heatersim_plug_heater(HeaterPath, L"V1.10");
        auto w = ShownWindow(Arguments);
        w->timRefreshCurrentData->stop();
        return w;
    }

    QString ArchiveFile() const { return QDir(DataDir.path()).filePath(QStringLiteral("Archive.sqlite")); }
};

// The heater's memory moved on between two connections: the second window holds both read-outs,
// each time stamp once, sorted, in the chart and the export; its time axis starts at the list's
// first sample, and "Load more Data" still says when the heater has nothing older.
TEST_F(ArchiveWindowTest, ConnectionHoldsTheArchivedAndTheDownloadedSamplesOnce)
{
    Now = QDateTime(QDate(2017, 4, 20), QTime(12, 0));
    Store(HourlyBefore(April7 + 0.5, 100));
    Connected().reset();

    Store(HourlyBefore(April7 + 10.5, 100));   // ten days on: the first read-out's samples are gone
    auto w = Connected();
    const std::vector<TDateTime> times = Times(w->FHistoryData);
    EXPECT_EQ(times.size(), 200U);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(std::set<TDateTime>(times.begin(), times.end()).size(), times.size());
    EXPECT_DOUBLE_EQ(times.front(), April7 + 0.5 - 99 / 24.0);
    EXPECT_EQ(w->FChart->Count(), 200U);
    EXPECT_DOUBLE_EQ(w->chartHistory->xAxis->range().lower, ChartKey(std::trunc(April7 + 0.5 - 99 / 24.0)));

    Dialogs->SavePath = QDir(DataDir.path()).filePath(QStringLiteral("export.csv"));
    w->btnExportHistory->click();
    QFile csv(Dialogs->SavePath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), 2 + 200);

    w->btnLoadMoreData->click();
    EXPECT_EQ(Dialogs->Informations, QStringList{QStringLiteral("The heater holds no older data.")});
    EXPECT_EQ(w->FHistoryData.Count(), 200);

}

// Clearing asks what becomes of the heater's archived samples: No (the default) erases nothing,
// "Heater only" leaves the archive's copy to come back at the next connection, "Heater and
// archive" erases that copy too, and only this heater's.
TEST_F(ArchiveWindowTest, ClearingAsksWhetherTheArchivedCopyGoesToo)
{
    const QString key = QStringLiteral("1709-0634");
    OpenArchive(ArchiveFile())->Store(QStringLiteral("1801-0001"), std::vector<THistoryData>(1));
    Store(HourlyBefore(April7 + 0.5, 100));
    auto w = Connected();
    const auto archived = [&] { return OpenArchive(ArchiveFile())->Samples(key, 0, 1e6).Count(); };
    ASSERT_EQ(archived(), 100);

    w->btnClearHistory->click();   // No
    ASSERT_EQ(Dialogs->Choices.size(), 1);
    EXPECT_TRUE(Dialogs->Choices.first().contains(key));
    EXPECT_EQ(Dialogs->ChoiceAnswers.first(),
              (QStringList{QStringLiteral("Heater only"), QStringLiteral("Heater and archive"), QStringLiteral("No")}));
    EXPECT_EQ(heatersim_history_count(), 100);
    EXPECT_EQ(w->FHistoryData.Count(), 100);

    Dialogs->Chosen = 0;
    w->btnClearHistory->click();
    EXPECT_EQ(heatersim_history_count(), 0);
    EXPECT_EQ(w->FHistoryData.Count(), 0);
    EXPECT_EQ(archived(), 100);
    w.reset();
    w = Connected();
    EXPECT_EQ(w->FHistoryData.Count(), 100);   // back from the archive

    Dialogs->Chosen = 1;
    w->btnClearHistory->click();
    EXPECT_EQ(archived(), 0);
    EXPECT_EQ(OpenArchive(ArchiveFile())->Serials(), QStringList{QStringLiteral("1801-0001")});
    w.reset();
    w = Connected();
    EXPECT_EQ(w->FHistoryData.Count(), 0);
}

// Live readings of the extended modes are archived in batches, the last one when the window closes.
TEST_F(ArchiveWindowTest, LiveReadingsAreArchivedInBatchesAndOnClose)
{
    auto w = Connected();
    const int downloaded = w->FHistoryData.Count();
    for (int poll = 0; poll < 61; ++poll) {
        heatersim_status status;
        heatersim_get_status(&status);
        status.clock += 60;   // a reading a minute
        heatersim_set_status(&status);
        w->RefreshCurrentData();
    }
    ASSERT_EQ(w->FHistoryData.Count(), downloaded + 61);
    // The reading taken at connection is one of them.
    EXPECT_EQ(OpenArchive(ArchiveFile())->Samples(QStringLiteral("1709-0634"), 0, 1e6).Count(), 60);
    w->close();
    EXPECT_EQ(OpenArchive(ArchiveFile())->Samples(QStringLiteral("1709-0634"), 0, 1e6).Count(), 62);
}

// An archive that cannot be used is said once, naming the file; the window works on without it.
TEST_F(ArchiveWindowTest, ArchiveThatCannotBeOpenedIsSaidAndTheWindowWorksOn)
{
    QFile text(ArchiveFile());
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a database, just a note\n");
    text.close();
    Store(HourlyBefore(April7 + 0.5, 8));
    auto w = Connected();
    ASSERT_EQ(Dialogs->Warnings.size(), 1);
    EXPECT_TRUE(Dialogs->Warnings.first().startsWith(QStringLiteral("The archive cannot be used")));
    EXPECT_TRUE(Dialogs->Warnings.first().contains(ArchiveFile())) << Dialogs->Warnings.first().toStdString();
    EXPECT_EQ(w->FHistoryData.Count(), 8);
    EXPECT_EQ(w->lblArchive->text(), QStringLiteral("Archive: not in use"));
    QFile after(ArchiveFile());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), QByteArray("not a database, just a note\n"));
}

// A heater whose serial number is unset is archived apart from every real serial number.
TEST_F(ArchiveWindowTest, HeaterWithoutSerialNumberIsArchivedUnderItsOwnKey)
{
    heatersim_status status = ExampleStatus();
    status.serial_number = 0;
    heatersim_set_status(&status);
    Store(HourlyBefore(April7 + 0.5, 8));
    Connected().reset();
    const auto archive = OpenArchive(ArchiveFile());
    EXPECT_EQ(archive->Serials(), QStringList{ArchiveKey(0)});
    EXPECT_EQ(archive->Samples(ArchiveKey(0), 0, 1e6).Count(), 8);
}
