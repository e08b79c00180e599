#include "archive/SqlConnection.h"

#include <QSqlError>

EArchiveReason SqlReason(const QSqlError &Error)
{
    const QString text = Error.databaseText().isEmpty() ? Error.text() : Error.databaseText();
    // One line for the log: libpq breaks its messages over several.
    return EArchiveReason(text.simplified());
}

// The object's address names the connection: unique while it lives, and no counter shared by all.
TSqlConnection::TSqlConnection(const QString &Driver)
    : FDriver(Driver), FName(QStringLiteral("helvane-archive-%1").arg(reinterpret_cast<quintptr>(this), 0, 16))
{
    QSqlDatabase::addDatabase(Driver, FName);
}

TSqlConnection::~TSqlConnection()
{
    QSqlDatabase::database(FName, false).close();
    QSqlDatabase::removeDatabase(FName);
}

QSqlDatabase TSqlConnection::Database() const
{
    return QSqlDatabase::database(FName, false);
}

void TSqlConnection::Open() const
{
    QSqlDatabase database = Database();
    if (!database.isValid())
        throw EArchiveReason(QStringLiteral("the Qt SQL driver %1 is not installed").arg(FDriver));
    if (!database.open())
        throw SqlReason(database.lastError());
}

QSqlQuery TSqlConnection::Prepare(const QString &Statement) const
{
    QSqlQuery query(Database());
    if (!query.prepare(Statement))
        throw SqlReason(query.lastError());
    return query;
}

QSqlQuery TSqlConnection::Exec(const QString &Statement) const
{
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    if (!query.exec(Statement))
        throw SqlReason(query.lastError());
    return query;
}

void TSqlConnection::Exec(QSqlQuery &Query)
{
    if (!Query.exec())
        throw SqlReason(Query.lastError());
}

void TSqlConnection::CheckRowsRead(const QSqlQuery &Query)
{
    if (Query.lastError().isValid())
        throw SqlReason(Query.lastError());
}

TWriteTransaction::TWriteTransaction(const TSqlConnection &Connection, const QString &Begin) : FConnection(Connection)
{
    FConnection.Exec(Begin);
}

TWriteTransaction::~TWriteTransaction()
{
    // The database may have ended the transaction itself (a full disk): then this fails, harmlessly.
    if (FOpen)
        QSqlQuery(FConnection.Database()).exec(QStringLiteral("ROLLBACK"));
}

void TWriteTransaction::Commit()
{
    FConnection.Exec(QStringLiteral("COMMIT"));
    FOpen = false;
}
