// The command-line tool and the technician's window read the same heater into the same texts.

#include "WindowFixture.h"
#include "support/CliRun.h"
#include "support/StoredHistory.h"

#include <QDir>
#include <QFile>

namespace {

QByteArray Contents(const QString &Path)
{
    QFile file(Path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(WindowTest, CommandLineToolWritesTheStatusLineAndTheCsvAsTheTechniciansWindow)
{
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    const heatersim_status status = ExampleStatus();
    heatersim_set_status(&status);
    std::vector<TRecord> records = Hourly(2300);
    records[700] = Record(April7 - 40, 50, 0, true);   // a bad record: skipped by both
    Store(records);

    auto w = ShownWindow({QStringLiteral("mondrel")});
    const QString dataLog = QString::fromLatin1(Contents(w->FLogFilePath));
    ASSERT_TRUE(dataLog.endsWith(QStringLiteral("\r\n")));
    w->FHistoryData.Clear();
    w->GetHistoryData(500, true);
    for (int before = 0; before != w->FHistoryData.Count();) {
        before = w->FHistoryData.Count();
        w->GetHistoryData(500, false);
    }
    ASSERT_EQ(w->FHistoryData.Count(), 2299);
    const QString windowCsv = QDir(DataDir.path()).filePath(QStringLiteral("window.csv"));
    w->WriteHistoryCsv(windowCsv, w->FHistoryData);

    const QString cliCsv = QDir(DataDir.path()).filePath(QStringLiteral("cli.csv"));
    const TCliRun history = RunCliWith({QStringLiteral("history"), QStringLiteral("--csv"), cliCsv}, Now, TLocaleFormats{});
    ASSERT_EQ(history.Code, ExitDone) << history.Err.toStdString();
    EXPECT_EQ(Contents(cliCsv), Contents(windowCsv));

    const TCliRun reading = RunCliWith({QStringLiteral("status")}, Now, TLocaleFormats{});
    EXPECT_EQ(reading.Out, dataLog.chopped(2) + QLatin1Char('\n'));
}

}
