#include "WindowFixture.h"

#include <QFile>
#include <QRegularExpression>
#include <QPushButton>
#include <qcustomplot.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

QByteArray Contents(const QString &Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString &Path, const QByteArray &Bytes)
{
    QFile file(Path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Bytes);
}

}

class ExportTest : public WindowTest {
protected:
    // Connected, so that no panel covers the buttons, with three samples of its own.
    std::unique_ptr<TFormMain> WindowWithSamples(const QStringList &Arguments = {})
    {
        heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
        auto w = ShownWindow(Arguments);
        w->FHistoryData.Clear();
        for (int i = 0; i < 3; ++i) {
            THistoryData sample;
            sample.DT = 42832.5 + i;
            sample.U1 = 12.25f;
            w->FHistoryData.Add(sample);
        }
        return w;
    }

    QString Target() const { return QDir(DataDir.path()).filePath(QStringLiteral("export.csv")); }
};

TEST_F(ExportTest, ExportWritesTheChosenFileFromTheProposedName)
{
    auto w = WindowWithSamples();
    Dialogs->SavePath = Target();
    w->btnExportHistory->click();
    EXPECT_EQ(Dialogs->SaveRequests, QStringList{QStringLiteral("Helvane Software - 30-03-2017.csv")});
    const QList<QByteArray> lines = Contents(Target()).split('\n');
    ASSERT_EQ(lines.size(), 6);   // heading, titles, three samples, and the end after the last CR LF
    EXPECT_TRUE(lines[0].startsWith("\xEF\xBB\xBF\"30/03/2017 10:00:00\""));
    EXPECT_TRUE(lines[2].startsWith("\"07/04/2017 12:00:00\",\"12.25\""));
    EXPECT_EQ(lines[1].count(','), 13);   // no PWM columns in the owner mode

    Dialogs->SavePath.clear();   // cancelled: nothing written
    QFile::remove(Target());
    w->btnExportHistory->click();
    EXPECT_FALSE(QFile::exists(Target()));
}

TEST_F(ExportTest, SecondExportReplacesTheFirst)
{
    auto w = WindowWithSamples({QStringLiteral("mondrel")});
    Dialogs->SavePath = Target();
    w->btnExportHistory->click();
    w->FHistoryData.Clear();
    w->btnExportHistory->click();
    EXPECT_EQ(Contents(Target()).count("\r\n"), 2);
}

TEST_F(ExportTest, FileThatCannotBeCreatedReachesTheErrorBox)
{
    auto w = WindowWithSamples();
    Dialogs->SavePath = QDir(DataDir.path()).filePath(QStringLiteral("missing/export.csv"));
    w->btnExportHistory->click();
    ASSERT_EQ(Dialogs->Errors.size(), 1);
    EXPECT_TRUE(Dialogs->Errors.first().startsWith(QStringLiteral("Cannot write \"")));
}

#ifdef Q_OS_UNIX
// A file-size limit stops the write half-way, as a full disk does: the file that was there stays.
TEST_F(ExportTest, WriteThatFailsHalfWayLeavesTheOldFileWhole)
{
    auto w = WindowWithSamples();
    Write(Target(), "the earlier export\r\n");
    Dialogs->SavePath = Target();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit tight = original;
    tight.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    w->btnExportHistory->click();
    setrlimit(RLIMIT_FSIZE, &original);
    EXPECT_EQ(Dialogs->Errors.size(), 1);
    EXPECT_EQ(Contents(Target()), QByteArray("the earlier export\r\n"));
    // No half-written file beside it; the archive lives in the same folder.
    EXPECT_EQ(QDir(DataDir.path()).entryList(QDir::Files).filter(QRegularExpression(QStringLiteral("^(?!Archive\\.sqlite)"))),
              (QStringList{QStringLiteral("export.csv")}));
}
#endif

// Without an archive there is no archived copy to ask about: the plain question.
TEST_F(ExportTest, ClearingAsksFirstThenErasesAndEmptiesTheList)
{
    Archived = false;
    auto w = WindowWithSamples();
    const QString title = w->chartTitle->text();
    heatersim_clear_written();
    Dialogs->Answers = {false};
    w->btnClearHistory->click();
    EXPECT_EQ(Dialogs->Confirmations, QStringList{QStringLiteral("Are you sure?")});
    EXPECT_EQ(heatersim_written_count(), 0);
    EXPECT_EQ(w->FHistoryData.Count(), 3);

    heatersim_refuse_open(1);   // the list goes whatever the command does
    Dialogs->Answers = {true};
    w->btnClearHistory->click();
    EXPECT_EQ(w->FHistoryData.Count(), 0);
    EXPECT_EQ(w->chartTitle->text(), title);

    heatersim_refuse_open(0);
    Dialogs->Answers = {true};
    w->btnClearHistory->click();
    EXPECT_EQ(WrittenReports(), std::vector<TBytes>{Sent({0x00, 0x22, 0x00, 0xFF, 0xF0, 0x00})});
}
