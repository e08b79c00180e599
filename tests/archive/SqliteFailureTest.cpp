// An SQLite archive that cannot be opened, and one whose writer is killed or runs out of disk: a
// message naming the file, and nothing altered or lost.

#include "ArchiveTesting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <optional>

namespace {

const QString Heater = QStringLiteral("1709-0634");
constexpr qint64 March2017 = 1488326400;
constexpr int PageSize = 2000;

// The file's bytes, or nothing while it does not exist.
std::optional<QByteArray> Contents(const QString &File)
{
    QFile file(File);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + File.toStdString());
    return file.readAll();
}

void SetMode(const QString &Path, QFile::Permissions Permissions)
{
    ASSERT_TRUE(QFile::setPermissions(Path, Permissions)) << Path.toStdString();
}

const QFile::Permissions ReadOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions ReadOnlyFolder = ReadOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
const QFile::Permissions Everyone = ReadOnlyFolder | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;

void MakeArchive(const QString &File)
{
    OpenArchive(File)->Store(Heater, MinuteSamples(March2017, 3));
}

// The message of the archive's refusal to open File, or "opened".
QString OpenFailure(const QString &File)
{
    try {
        OpenArchive(File);
        return QStringLiteral("opened");
    } catch (const EArchiveError &Error) {
        return QString::fromStdString(Error.what());
    }
}

// The same, in a process of the user nobody when the tests run as root, whom file modes bind.
QString OpenFailureAsNobody(const QString &File)
{
    const TChildResult child = RunChild({[&](const auto &Report) { Report(OpenFailure(File)); }, true});
    return child.Lines.join(QLatin1Char('\n'));
}

// The message of opening File while another program holds the lock that Statements take.
QString OpenFailureWhileLocked(const QString &File, const QStringList &Statements)
{
    QString failure;
    const auto holder = [&](const auto &Report) {
        const TPlainConnection connection(File);
        for (const QString &statement : Statements)
            connection.Query(statement);
        Report(QStringLiteral("locked"));
        pause();
    };
    const TChildResult child = RunChild({holder, false, [&](const QStringList &Lines) {
                                             if (Lines.last() != QStringLiteral("locked"))
                                                 return false;
                                             failure = OpenFailure(File);
                                             return true;
                                         }});
    return failure.isEmpty() ? child.Lines.join(QLatin1Char('\n')) : failure;
}

TEST(SqliteArchiveFailureTest, AnArchiveThatCannotBeOpenedIsNamedAndLeftAsItIs)
{
    const struct {
        const char *Name;
        std::function<void(const QString &Folder, const QString &File)> Prepare;
        std::function<QString(const QString &File)> Open;
        const char *Reason;
        const char *File = "Archive.sqlite";
    } cases[] = {
        {"not a database", [](const QString &, const QString &File) {
             QFile text(File);
             ASSERT_TRUE(text.open(QIODevice::WriteOnly));
             text.write("Date;Time;U1 [V];U2 [V]\n01.03.2017;10:00:00;230,5;0\n");
         }, OpenFailure, "file is not a database"},
        {"read-only file", [](const QString &Folder, const QString &File) {
             MakeArchive(File);
             SetMode(File, ReadOnly);
             SetMode(Folder, Everyone);
         }, OpenFailureAsNobody, "readonly"},
        {"read-only folder", [](const QString &Folder, const QString &File) {
             MakeArchive(File);
             SetMode(File, Everyone);
             SetMode(Folder, ReadOnlyFolder);
         }, OpenFailureAsNobody, "readonly"},
        {"missing file in a read-only folder", [](const QString &Folder, const QString &) {
             SetMode(Folder, ReadOnlyFolder);
         }, OpenFailureAsNobody, "which is read-only"},
        {"missing folder", [](const QString &, const QString &) {}, OpenFailure, "does not exist", "gone/Archive.sqlite"},
        {"a write transaction open", [](const QString &, const QString &File) { MakeArchive(File); },
         [](const QString &File) {
             return OpenFailureWhileLocked(File, {QStringLiteral("BEGIN IMMEDIATE"),
                                                  QStringLiteral("DELETE FROM samples")});
         }, "database is locked"},
        {"an exclusive lock", [](const QString &, const QString &File) { MakeArchive(File); },
         [](const QString &File) {
             return OpenFailureWhileLocked(File, {QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"),
                                                  QStringLiteral("BEGIN EXCLUSIVE"), QStringLiteral("DELETE FROM samples"),
                                                  QStringLiteral("ROLLBACK")});
         }, "database is locked"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        QTemporaryDir scratch;
        const QString folder = QDir(scratch.path()).filePath(QStringLiteral("data"));
        ASSERT_TRUE(QDir().mkpath(folder));
        // The user nobody may reach the folder.
        SetMode(scratch.path(), ReadOnlyFolder | QFile::WriteOwner);
        const QString file = QDir(folder).filePath(QString::fromLatin1(c.File));
        c.Prepare(folder, file);
        const std::optional<QByteArray> before = Contents(file);
        const QString message = c.Open(file);
        EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open the archive ") + file + QStringLiteral(": ")))
            << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromLatin1(c.Reason))) << message.toStdString();
        EXPECT_EQ(Contents(file), before);
        SetMode(folder, Everyone);
    }
}

std::vector<THistoryData> Page(int Round, int Index)
{
    return MinuteSamples(March2017 + 60LL * PageSize * (Round * 1000 + Index), PageSize);
}

void ExpectSoundWithPages(const QString &File, const QStringList &Reported, int Round)
{
    EXPECT_EQ(PlainQuery(File, QStringLiteral("PRAGMA integrity_check")), QStringList{QStringLiteral("ok")});
    const auto archive = OpenArchive(File);
    for (const QString &line : Reported) {
        bool number = false;
        const int page = line.toInt(&number);
        if (!number)
            continue;
        const std::vector<THistoryData> samples = Page(Round, page);
        EXPECT_EQ(archive->Samples(Heater, samples.front().DT, samples.back().DT).Count(), PageSize) << "page " << page;
    }
    // A page that was under way is there whole or not at all.
    EXPECT_EQ(archive->Samples(Heater, -1e6, 1e6).Count() % PageSize, 0);
}

TEST(SqliteArchiveFailureTest, AKillWhileArchivingKeepsEveryCommittedPage)
{
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).filePath(QStringLiteral("Archive.sqlite"));
    // Each round dies at another point, and starts on what the one before left.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const auto storePages = [&](const auto &Report) {
            const auto archive = OpenArchive(file);
            for (int page = 0;; ++page) {
                archive->Store(Heater, Page(round, page));
                Report(QString::number(page));
            }
        };
        const int pages = 2 + 3 * round;
        const TChildResult child =
            RunChild({storePages, false, [&](const QStringList &Lines) { return Lines.size() >= pages; }});
        ASSERT_TRUE(child.Killed) << child.Lines.join(QLatin1Char('\n')).toStdString();
        ExpectSoundWithPages(file, child.Lines, round);
    }
    EXPECT_EQ(PlainQuery(file, QStringLiteral("PRAGMA journal_mode")), QStringList{QStringLiteral("wal")});
}

// The disk fills up: a file-size limit makes every write past it fail as on a full disk.
TEST(SqliteArchiveFailureTest, AFullDiskFailsTheStoreAndKeepsThePagesBefore)
{
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).filePath(QStringLiteral("Archive.sqlite"));
    const auto storeUntilFull = [&](const auto &Report) {
        const auto archive = OpenArchive(file);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1536 * 1024, 1536 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        for (int page = 0; page < 50; ++page) {
            try {
                archive->Store(Heater, Page(0, page));
            } catch (const EArchiveError &Error) {
                Report(QString::fromStdString(Error.what()));
                return;
            }
            Report(QString::number(page));
        }
    };
    const TChildResult child = RunChild({storeUntilFull});
    ASSERT_GE(child.Lines.size(), 2) << child.Lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(child.Lines.last().startsWith(QStringLiteral("Cannot store samples in the archive ") + file + QStringLiteral(": ")))
        << child.Lines.last().toStdString();
    ExpectSoundWithPages(file, child.Lines, 0);
    EXPECT_EQ(OpenArchive(file)->Samples(Heater, -1e6, 1e6).Count(), PageSize * (child.Lines.size() - 1));
}

}
