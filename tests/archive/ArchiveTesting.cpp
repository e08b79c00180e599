#include "ArchiveTesting.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <sstream>
#include <stdexcept>

THistoryData NumberedSample(qint64 Second, int Variant)
{
    const auto n = static_cast<float>(Second % 100000) + static_cast<float>(Variant) * 1000.0f;
    THistoryData s;
    s.DT = static_cast<double>(Second) / 86400.0 + 25569;
    s.U1 = n / 7.0f;
    s.U2 = n / 11.0f + 0.1f;
    s.U3 = n / 13.0f + 0.2f;
    s.I1 = n / 17.0f;
    s.I2 = n / 19.0f + 0.3f;
    s.I3 = n / 23.0f + 0.4f;
    s.PWM1 = -1;
    s.PWM2 = static_cast<std::int32_t>(Second % 1001) + Variant;
    s.PWM3 = 1000 - Variant;
    s.TW = n / 29.0f - 40.0f;
    s.TB = n / 31.0f - 20.0f;
    s.Energy = static_cast<std::int32_t>(Second % 30000) + Variant;
    s.Err = static_cast<std::int32_t>((Second / 60) % 256);
    s.P1 = s.U1 * s.I1;
    s.P2 = s.U2 * s.I2;
    s.P3 = s.U3 * s.I3;
    return s;
}

std::vector<THistoryData> MinuteSamples(qint64 FirstSecond, int Count, int Variant)
{
    std::vector<THistoryData> samples;
    for (int i = 0; i < Count; ++i)
        samples.push_back(NumberedSample(FirstSecond + 60LL * i, Variant));
    return samples;
}

bool SameSample(const THistoryData &L, const THistoryData &R)
{
    const auto bits = [](const THistoryData &S) {
        std::vector<std::uint32_t> fields;
        for (const float f : {S.U1, S.U2, S.U3, S.I1, S.I2, S.I3, S.TW, S.TB, S.P1, S.P2, S.P3})
            fields.push_back(std::bit_cast<std::uint32_t>(f));
        for (const std::int32_t i : {S.PWM1, S.PWM2, S.PWM3, S.Energy, S.Err})
            fields.push_back(static_cast<std::uint32_t>(i));
        const auto dt = std::bit_cast<std::uint64_t>(S.DT);
        fields.push_back(static_cast<std::uint32_t>(dt));
        fields.push_back(static_cast<std::uint32_t>(dt >> 32));
        return fields;
    };
    return bits(L) == bits(R);
}

std::string Describe(const THistoryData &S)
{
    std::ostringstream text;
    text.precision(17);
    text << "DT=" << S.DT << " U=" << S.U1 << "," << S.U2 << "," << S.U3 << " I=" << S.I1 << "," << S.I2 << "," << S.I3
         << " PWM=" << S.PWM1 << "," << S.PWM2 << "," << S.PWM3 << " TW=" << S.TW << " TB=" << S.TB << " Energy=" << S.Energy
         << " Err=" << S.Err << " P=" << S.P1 << "," << S.P2 << "," << S.P3;
    return text.str();
}

std::vector<THistoryData> AllSamples(TArchive &Archive, const QString &Serial)
{
    const THistoryList list = Archive.Samples(Serial, -1e6, 1e6);
    return {list.begin(), list.end()};
}

namespace {

void SetUpPlainConnection(QSqlDatabase &Database, const QString &Location)
{
    if (!Location.startsWith(QStringLiteral("postgresql://"))) {
        Database.setDatabaseName(Location);
        return;
    }
    const QUrl url(Location);
    Database.setHostName(url.host());
    Database.setPort(url.port());
    Database.setUserName(url.userName());
    Database.setDatabaseName(url.path().mid(1));
}

}

TPlainConnection::TPlainConnection(const QString &Location)
    : FName(QStringLiteral("plain-%1").arg(reinterpret_cast<quintptr>(this)))
{
    const bool server = Location.startsWith(QStringLiteral("postgresql://"));
    QSqlDatabase database = QSqlDatabase::addDatabase(server ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), FName);
    SetUpPlainConnection(database, Location);
    if (!database.open())
        throw std::runtime_error((Location + QStringLiteral(": ") + database.lastError().text()).toStdString());
}

TPlainConnection::~TPlainConnection()
{
    QSqlDatabase::database(FName, false).close();
    QSqlDatabase::removeDatabase(FName);
}

QStringList TPlainConnection::Query(const QString &Statement) const
{
    QSqlQuery query(QSqlDatabase::database(FName, false));
    if (!query.exec(Statement))
        throw std::runtime_error((Statement + QStringLiteral(": ") + query.lastError().text()).toStdString());
    QStringList rows;
    while (query.next())
        rows.append(query.value(0).toString());
    return rows;
}

QStringList PlainQuery(const QString &Location, const QString &Statement)
{
    return TPlainConnection(Location).Query(Statement);
}

namespace {

void BecomeNobody()
{
    const passwd *nobody = getpwnam("nobody");
    const group *nogroup = getgrnam("nogroup");
    if (nobody == nullptr || nogroup == nullptr || setgroups(0, nullptr) != 0 || setgid(nogroup->gr_gid) != 0
        || setuid(nobody->pw_uid) != 0)
        _exit(126);
}

void WriteLine(int Fd, const QString &Line)
{
    const QByteArray bytes = Line.toUtf8() + '\n';
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(Fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n <= 0)
            _exit(125);
        done += n;
    }
}

}

TChildResult RunChild(const TChildRun &Run)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("no pipe for the child");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("cannot fork");
    if (pid == 0) {
        close(fds[0]);
        if (Run.AsNobody && geteuid() == 0)
            BecomeNobody();
        try {
            Run.Body([&](const QString &Line) { WriteLine(fds[1], Line); });
        } catch (const std::exception &Error) {
            WriteLine(fds[1], QStringLiteral("uncaught: ") + QString::fromStdString(Error.what()));
        }
        _exit(0);
    }
    close(fds[1]);
    TChildResult result;
    QByteArray pending;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            result.Lines.append(QString::fromUtf8(pending.left(end)));
            pending.remove(0, end + 1);
            if (!result.Killed && Run.KillWhen(result.Lines)) {
                kill(pid, SIGKILL);
                result.Killed = true;
            }
        }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
