#include "Fixtures.h"
#include "core/CodePage.h"
#include "status/DataLog.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

QByteArray ReadAll(const QString &Path)
{
    QFile file(Path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

}

TEST(DataLog, StatusLineOfTheWorkedReading)
{
    EXPECT_EQ(StatusLine(WorkedReading(), EnGb()),
              QStringLiteral("Helvane (1709- 634): 07/04/2017 12:00:00, Tsoll=60°C, Err=0, TW=45.3, TW2=44.0, "
                             "TB=28.5, U1=31.00, U2=0.00, U3=0.00, I1=10.00, I2=0.00, I3=0.00, PWM1=400, PWM2=0, "
                             "PWM3=0, P1=310.0, P2=0.0, P3=0.0, E=12345, Uisol=63.8"));

    TCurrentData midnight = WorkedReading();
    midnight.Sample.DT = 42832.0;
    EXPECT_EQ(StatusLine(midnight, DeDe()),
              QStringLiteral("Helvane (1709- 634): 07.04.2017, Tsoll=60°C, Err=0, TW=45,3, TW2=44,0, TB=28,5, "
                             "U1=31,00, U2=0,00, U3=0,00, I1=10,00, I2=0,00, I3=0,00, PWM1=400, PWM2=0, PWM3=0, "
                             "P1=310,0, P2=0,0, P3=0,0, E=12345, Uisol=63,8"));
}

TEST(DataLog, Windows1252HoldsTheDegreeSignInOneByte)
{
    EXPECT_EQ(ToWindows1252(QStringLiteral("60°C")), QByteArray("60\xB0" "C"));
    EXPECT_EQ(ToWindows1252(QStringLiteral("€…–ä")), QByteArray("\x80\x85\x96\xE4"));
    EXPECT_EQ(ToWindows1252(QStringLiteral("Ω")), QByteArray("?"));
}

TEST(DataLog, LinesAreAppendedWithCrLfAndTheFileIsNeverTruncated)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("Data.log"));
    AppendLineToFile(path, QStringLiteral("Start Measure 1"));
    AppendLineToFile(path, QStringLiteral("Tsoll=60°C"));
    EXPECT_EQ(ReadAll(path), QByteArray("Start Measure 1\r\nTsoll=60\xB0" "C\r\n"));

    QFile::remove(path);  // moved away by another program: created anew
    AppendLineToFile(path, QStringLiteral("x"));
    EXPECT_EQ(ReadAll(path), QByteArray("x\r\n"));
}

TEST(DataLog, UnwritableFileRaisesWithItsPath)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("missing/Data.log"));
    try {
        AppendLineToFile(path, QStringLiteral("x"));
        FAIL() << "a line went to a folder that does not exist";
    } catch (const std::runtime_error &Error) {
        EXPECT_TRUE(QString::fromUtf8(Error.what()).startsWith(QStringLiteral("Cannot write the data log \"") + path));
    }
}

#ifdef Q_OS_UNIX
// A file-size limit makes the system write part of a line and then refuse, as a full disk does.
TEST(DataLog, ALineWrittenInPartIsTakenBackSoTheNextStartsOnAFreshLine)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("Data.log"));
    AppendLineToFile(path, QStringLiteral("first"));

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    {
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &original); });
        rlimit tight = original;
        tight.rlim_cur = 7 + 10;  // room for ten more bytes
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
        try {
            AppendLineToFile(path, QStringLiteral("PWM1=400, PWM2=0, PWM3=0, P1=310.0"));
            FAIL() << "a line written in part counted as written";
        } catch (const std::runtime_error &Error) {
            EXPECT_TRUE(QString::fromUtf8(Error.what()).startsWith(QStringLiteral("Cannot write the data log \"") + path));
        }
        EXPECT_EQ(ReadAll(path), QByteArray("first\r\n"));
    }
    AppendLineToFile(path, QStringLiteral("third"));
    EXPECT_EQ(ReadAll(path), QByteArray("first\r\nthird\r\n"));
}
#endif
