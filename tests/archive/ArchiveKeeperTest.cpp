// Samples kept while the archive fails, and stored once it works again: a lock that another
// program holds for a while, a folder that is not there yet.

#include "ArchiveTesting.h"

#include "archive/ArchiveKeeper.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace std::chrono_literals;
using TClock = TArchiveKeeper::TClock;

const QString Heater = QStringLiteral("1709-0634");
const QString Other = QStringLiteral("1801-0001");
constexpr qint64 March2017 = 1488326400;

struct TKeeperRun {
    explicit TKeeperRun(const QString &File)
        : Keeper(File, [File] { return OpenArchive(File); }, [this](const QString &State) { States.append(State); }, Start)
    {
    }
    TClock::time_point Start{};
    QStringList States;
    TArchiveKeeper Keeper;
};

// Another program's write transaction, held until the object goes.
class TWriteLock {
public:
    explicit TWriteLock(const QString &File) : FConnection(File)
    {
        FConnection.Query(QStringLiteral("BEGIN IMMEDIATE"));
        FConnection.Query(QStringLiteral("UPDATE schema_version SET version = version"));
    }
    ~TWriteLock() { FConnection.Query(QStringLiteral("ROLLBACK")); }

private:
    TPlainConnection FConnection;
};

}

// Locked at the start and again later: nothing is lost, each batch is stored once the lock is
// gone, and the state says so each time it changes.
TEST(ArchiveKeeperTest, SamplesThatALockKeptOutAreStoredWhenItIsGone)
{
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).filePath(QStringLiteral("Archive.sqlite"));
    OpenArchive(file);
    const TClock::time_point start{};
    std::optional<TWriteLock> lock(file);
    TKeeperRun run(file);
    ASSERT_EQ(run.States.size(), 1);
    EXPECT_TRUE(run.States[0].startsWith(QStringLiteral("failing: Cannot open the archive ") + file)) << run.States[0].toStdString();
    EXPECT_TRUE(run.States[0].contains(QStringLiteral("database is locked")));
    EXPECT_EQ(run.Keeper.Archive(), nullptr);

    run.Keeper.Store(Heater, MinuteSamples(March2017, 30), start);
    run.Keeper.Store(Other, MinuteSamples(March2017, 5), start + 500ms);
    run.Keeper.Store(Heater, MinuteSamples(March2017 + 1800, 30), start + 900ms);
    EXPECT_EQ(run.Keeper.Waiting(), 65u);
    EXPECT_EQ(run.Keeper.NextTry(), start + 1s);
    lock.reset();
    run.Keeper.Retry(start + 999ms);   // not yet due
    EXPECT_EQ(run.Keeper.Waiting(), 65u);
    run.Keeper.Retry(start + 1s);
    EXPECT_EQ(run.Keeper.Waiting(), 0u);
    EXPECT_EQ(run.Keeper.State(), QStringLiteral("ok"));
    ASSERT_NE(run.Keeper.Archive(), nullptr);
    EXPECT_EQ(AllSamples(*run.Keeper.Archive(), Heater).size(), 60u);
    EXPECT_EQ(AllSamples(*run.Keeper.Archive(), Other).size(), 5u);

    // Locked while open: the store fails, the samples wait, the archive is opened anew.
    lock.emplace(file);
    run.Keeper.Store(Heater, MinuteSamples(March2017 + 3600, 10), start + 10s);
    EXPECT_EQ(run.Keeper.Waiting(), 10u);
    EXPECT_FALSE(run.Keeper.Working());
    lock.reset();
    run.Keeper.Store(Heater, MinuteSamples(March2017 + 4200, 10), start + 11s);
    EXPECT_EQ(run.Keeper.Waiting(), 0u);
    EXPECT_EQ(AllSamples(*OpenArchive(file), Heater).size(), 80u);
    ASSERT_EQ(run.States.size(), 4);
    EXPECT_EQ(run.States[1], QStringLiteral("ok"));
    EXPECT_TRUE(run.States[2].startsWith(QStringLiteral("failing: Cannot store samples in the archive "))) << run.States[2].toStdString();
    EXPECT_EQ(run.States[3], QStringLiteral("ok"));
}

// Each try that fails waits twice as long as the one before, up to a minute; once it works, the
// next failure waits a second again.
TEST(ArchiveKeeperTest, TriesAgainAfterWaitsThatDoubleUpToAMinute)
{
    QTemporaryDir folder;
    const QString data = QDir(folder.path()).filePath(QStringLiteral("data"));
    const QString file = QDir(data).filePath(QStringLiteral("Archive.sqlite"));
    TKeeperRun run(file);
    run.Keeper.Store(Heater, MinuteSamples(March2017, 3), TClock::time_point{});
    const int waits[] = {1, 2, 4, 8, 16, 32, 60, 60};
    TClock::time_point now{};
    for (const int wait : waits) {
        SCOPED_TRACE(wait);
        EXPECT_EQ(run.Keeper.NextTry() - now, std::chrono::seconds(wait));
        now = run.Keeper.NextTry();
        run.Keeper.Retry(now);
    }
    EXPECT_EQ(run.States.size(), 1) << "a failure said once";
    ASSERT_TRUE(QDir().mkpath(data));
    now = run.Keeper.NextTry();
    run.Keeper.Retry(now);
    EXPECT_EQ(run.Keeper.State(), QStringLiteral("ok"));
    EXPECT_EQ(AllSamples(*OpenArchive(file), Heater).size(), 3u);
    run.Keeper.Failed(std::runtime_error("gone"), now);
    EXPECT_EQ(run.Keeper.State(), QStringLiteral("failing: gone"));
    EXPECT_EQ(run.Keeper.NextTry() - now, 1s);
}
