#include "PostgresServer.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

namespace {

const QString Binaries = QStringLiteral("/usr/lib/postgresql/15/bin/");
const QString User = QStringLiteral("helvane");

int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("no free port on 127.0.0.1");
    close(fd);
    return ntohs(address.sin_port);
}

// PostgreSQL refuses to run as root: then its programs run as nobody.
class TServerProcess {
public:
    TServerProcess()
    {
        if (geteuid() != 0)
            return;
        const passwd *nobody = getpwnam("nobody");
        const group *nogroup = getgrnam("nogroup");
        if (nobody == nullptr || nogroup == nullptr)
            throw std::runtime_error("no user nobody to run PostgreSQL as");
        FUid = nobody->pw_uid;
        FGid = nogroup->gr_gid;
    }

    void Own(const QString &Path) const
    {
        if (FUid != 0 && chown(Path.toLocal8Bit().constData(), FUid, FGid) != 0)
            throw std::runtime_error("cannot give the scratch folder to nobody");
    }

    void Run(const QString &Program, const QStringList &Arguments) const
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const uid_t uid = FUid;
        const gid_t gid = FGid;
        if (uid != 0) {
            process.setChildProcessModifier([uid, gid] {
                if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                    _exit(127);
            });
        }
        process.start(Binaries + Program, Arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            throw std::runtime_error((Program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll())).toStdString());
    }

private:
    uid_t FUid = 0;
    gid_t FGid = 0;
};

class TPostgresServer {
public:
    TPostgresServer()
    {
        if (!FScratch.isValid())
            throw std::runtime_error("no scratch folder for PostgreSQL");
        FProcess.Own(FScratch.path());
        FProcess.Run(QStringLiteral("initdb"), {QStringLiteral("-D"), DataFolder(), QStringLiteral("-U"), User,
                                                QStringLiteral("--auth=trust"), QStringLiteral("--no-sync"),
                                                QStringLiteral("--encoding=UTF8"), QStringLiteral("--locale=C")});
        // Another test program may take the free port first: then the server tries another.
        for (int attempt = 1;; ++attempt) {
            try {
                Start(FreeLoopbackPort());
                return;
            } catch (const std::runtime_error &) {
                if (attempt == 3)
                    throw;
            }
        }
    }

    ~TPostgresServer()
    {
        try {
            FProcess.Run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), DataFolder(), QStringLiteral("-m"),
                                                    QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        } catch (const std::exception &Error) {
            ADD_FAILURE() << Error.what();
        }
    }

    QString NewDatabase()
    {
        const QString name = QStringLiteral("archive_%1").arg(++FDatabases);
        {
            QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("server-admin"));
            admin.setHostName(QStringLiteral("127.0.0.1"));
            admin.setPort(FPort);
            admin.setUserName(User);
            admin.setDatabaseName(QStringLiteral("postgres"));
            QSqlQuery create(admin);
            if (!admin.open() || !create.exec(QStringLiteral("CREATE DATABASE ") + name))
                throw std::runtime_error(("cannot create a database: " + create.lastError().text() + admin.lastError().text()).toStdString());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("server-admin"));
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(User).arg(FPort).arg(name);
    }

private:
    void Start(int Port)
    {
        FPort = Port;
        // Durability is the server's business, not the tests': no fsync keeps them quick.
        const QString options = QStringLiteral("-c listen_addresses=127.0.0.1 -c port=%1 -c unix_socket_directories=%2 "
                                               "-c fsync=off -c synchronous_commit=off -c full_page_writes=off")
                                    .arg(FPort)
                                    .arg(FScratch.path());
        FProcess.Run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), DataFolder(), QStringLiteral("-l"),
                                                QDir(FScratch.path()).filePath(QStringLiteral("server.log")),
                                                QStringLiteral("-o"), options, QStringLiteral("-w"), QStringLiteral("start")});
    }

    QString DataFolder() const { return QDir(FScratch.path()).filePath(QStringLiteral("data")); }

    QTemporaryDir FScratch;
    TServerProcess FProcess;
    int FPort = 0;
    int FDatabases = 0;
};

// Holds the server from the first test that needs it to the end of the test program.
class TPostgresEnvironment : public ::testing::Environment {
public:
    TPostgresServer &Server()
    {
        if (!FServer)
            FServer = std::make_unique<TPostgresServer>();
        return *FServer;
    }
    void TearDown() override { FServer.reset(); }

private:
    std::unique_ptr<TPostgresServer> FServer;
};

TPostgresEnvironment *const Environment =
    static_cast<TPostgresEnvironment *>(::testing::AddGlobalTestEnvironment(new TPostgresEnvironment));

}

QString NewPostgresDatabase()
{
    return Environment->Server().NewDatabase();
}
