#include "archive/SqlArchive.h"

namespace {

const TSqlDialect Postgres{
    QStringLiteral("BEGIN"),
    // One schema change at a time among all programs writing to the database; the number is the
    // archive's own.
    QStringLiteral("SELECT pg_advisory_xact_lock(7302198117)"),
    QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() AND table_name = ?"),
    QString(),
};

constexpr int ConnectTimeoutSeconds = 10;

void SetUp(QSqlDatabase Database, const QUrl &Url)
{
    const QString name = Url.path(QUrl::FullyDecoded).mid(1);
    if (name.isEmpty())
        throw EArchiveReason(QStringLiteral("the URL names no database: postgresql://user@host:port/database"));
    Database.setDatabaseName(name);
    Database.setHostName(Url.host(QUrl::FullyDecoded));
    if (Url.port() != -1)
        Database.setPort(Url.port());
    Database.setUserName(Url.userName(QUrl::FullyDecoded));
    Database.setPassword(Url.password(QUrl::FullyDecoded));
    Database.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(ConnectTimeoutSeconds));
}

}

std::unique_ptr<TArchive> OpenPostgresArchive(const QUrl &Url)
{
    const QString location = Url.toString(QUrl::RemovePassword);
    return ArchiveStep(QStringLiteral("open"), location, [&]() -> std::unique_ptr<TArchive> {
        if (!Url.isValid())
            throw EArchiveReason(Url.errorString());
        auto connection = std::make_unique<TSqlConnection>(QStringLiteral("QPSQL"));
        SetUp(connection->Database(), Url);
        connection->Open();
        UpgradeSchema(*connection, Postgres);
        auto table = QtSampleTable(*connection);
        return std::make_unique<TSqlArchive>(std::move(connection), std::move(table), location, Postgres);
    });
}
