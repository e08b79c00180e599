// The tool as scripts and shells run it: exit codes, and watch ending on a stop request.

#include "HeaterProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

TEST(CliProcess, ExitCodesTellDoneErrorAndBadUsage)
{
    const struct {
        QStringList Arguments;
        bool Plugged;
        int Code;
    } cases[] = {
        {{QStringLiteral("status")}, true, 0},
        {{QStringLiteral("status"), QStringLiteral("--json")}, true, 0},
        {{QStringLiteral("status")}, false, 1},
        {{QStringLiteral("set-pwm"), QStringLiteral("1"), QStringLiteral("-1")}, false, 1},
        {{QStringLiteral("set-pwm"), QStringLiteral("1")}, true, 2},
        {{QStringLiteral("frobnicate")}, true, 2},
        {{QStringLiteral("--version")}, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        QProcess cli;
        cli.setProcessEnvironment(HeaterEnvironment(c.Plugged));
        cli.start(QStringLiteral(HELVANE_CLI_FILE), c.Arguments);
        ASSERT_TRUE(cli.waitForFinished(10000));
        EXPECT_EQ(cli.exitCode(), c.Code) << cli.readAllStandardError().toStdString();
    }
}

// Each status line goes to the terminal and, whole and in the data log's encoding, to the file.
TEST(CliProcess, WatchPrintsAndLogsEachReadingAndEndsCleanlyOnStop)
{
    const QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("Data.log"));
    QProcess watch;
    watch.setProcessEnvironment(HeaterEnvironment(true));
    watch.start(QStringLiteral(HELVANE_CLI_FILE), {QStringLiteral("watch"), QStringLiteral("--log"), logFile});
    QByteArray printed;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        printed += watch.readAllStandardOutput();
        return printed.count('\n') >= 2;
    }, 10000));
    watch.terminate();
    ASSERT_TRUE(watch.waitForFinished(10000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0);
    printed += watch.readAllStandardOutput();
    EXPECT_TRUE(watch.readAllStandardError().startsWith("Heater 1709-0634 answers (firmware V1.10).\n"));

    QFile file(logFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray logged = file.readAll();
    EXPECT_TRUE(logged.endsWith("\r\n"));
    const QString printedText = QString::fromUtf8(printed);
    EXPECT_EQ(QString::fromLatin1(logged).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), printedText);
    EXPECT_TRUE(printedText.startsWith(QStringLiteral("Helvane (1709- 634): ")));
    EXPECT_TRUE(printedText.contains(QStringLiteral("Tsoll=60°C")));
}

// Output that cannot be written is no success: every command that prints ends with an error
// when its standard output is a full disk.
TEST(CliProcess, OutputToAFullDiskIsAnError)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    const QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("history.csv"));
    const QStringList commands[] = {
        {QStringLiteral("status")},
        {QStringLiteral("status"), QStringLiteral("--json")},
        {QStringLiteral("history"), QStringLiteral("--csv"), csv, QStringLiteral("--pages"), QStringLiteral("1")},
        {QStringLiteral("set-clock")},
        {QStringLiteral("set-setpoint"), QStringLiteral("60")},
        {QStringLiteral("set-pwm"), QStringLiteral("1"), QStringLiteral("-1")},
        {QStringLiteral("status"), QStringLiteral("--help")},
        {QStringLiteral("--help")},
        {QStringLiteral("--version")},
    };
    for (const QStringList &arguments : commands) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        QProcess cli;
        cli.setProcessEnvironment(HeaterEnvironment(true));
        cli.setStandardOutputFile(QStringLiteral("/dev/full"));
        cli.start(QStringLiteral(HELVANE_CLI_FILE), arguments);
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitCode(), 1);
        EXPECT_TRUE(cli.readAllStandardError().contains("helvane-cli: Cannot write to standard output: "));
    }
}

#ifdef Q_OS_UNIX
// Under a file-size limit (ulimit -f, a service's LimitFSIZE=) a write past it fails as on a full
// disk instead of ending the tool by a signal: the log keeps whole lines, the CSV that was there
// stays, and the tool says why and ends with an error.
TEST(CliProcess, FileSizeLimitIsAnErrorAndLeavesWholeFiles)
{
    constexpr qint64 Limit = 8192;
    const QTemporaryDir dir;
    const QString logFile = dir.filePath(QStringLiteral("Data.log"));
    const QString csv = dir.filePath(QStringLiteral("history.csv"));
    const QByteArray logLine = QByteArray(98, 'x') + "\r\n";
    const struct {
        QStringList Arguments;
        QString File;
        QByteArray Before;   // whole lines, close enough to the limit that the next one crosses it
        const char *Said;
    } cases[] = {
        {{QStringLiteral("watch"), QStringLiteral("--log"), logFile}, logFile, logLine.repeated(Limit / logLine.size()),
         "helvane-cli: Cannot write the data log"},
        {{QStringLiteral("history"), QStringLiteral("--csv"), csv, QStringLiteral("--pages"), QStringLiteral("1")}, csv,
         "kept\r\n", "helvane-cli: Cannot write \""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        QFile file(c.File);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.Before);
        file.close();

        QProcess cli;
        cli.setProcessEnvironment(HeaterEnvironment(true));
        cli.setChildProcessModifier([] {
            const rlimit limit{Limit, Limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        cli.start(QStringLiteral(HELVANE_CLI_FILE), c.Arguments);
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit) << "ended by a signal";
        EXPECT_EQ(cli.exitCode(), 1);
        EXPECT_TRUE(cli.readAllStandardError().contains(c.Said));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.Before);
        file.close();
    }
}
#endif

}
