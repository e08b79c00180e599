#pragma once

// One Qt SQL connection under a name of its own, removed with this object, and the archive's
// statements run on it, each failure raised with the database's reason.

#include "archive/Archive.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <stdexcept>

// Why a step failed, in the database's words or the archive's own; ArchiveStep names the
// operation and the archive around it.
class EArchiveReason : public std::runtime_error {
public:
    explicit EArchiveReason(const QString &Reason) : std::runtime_error(Reason.toStdString()) {}
};

// The database's reason for a failed statement, on one line.
EArchiveReason SqlReason(const QSqlError &Error);

// Runs Step; a failure in it raises EArchiveError "Cannot <Action> the archive <Location>: <reason>".
template <typename TStep>
auto ArchiveStep(const QString &Action, const QString &Location, TStep Step) -> decltype(Step())
{
    try {
        return Step();
    } catch (const EArchiveReason &Reason) {
        throw EArchiveError(QStringLiteral("Cannot %1 the archive %2: %3")
                                .arg(Action, Location, QString::fromStdString(Reason.what()))
                                .toStdString());
    }
}

class TSqlConnection {
public:
    explicit TSqlConnection(const QString &Driver);
    ~TSqlConnection();
    TSqlConnection(const TSqlConnection &) = delete;
    TSqlConnection &operator=(const TSqlConnection &) = delete;

    QSqlDatabase Database() const;
    // Opens the database as set up on Database().
    void Open() const;
    // A statement prepared for repeated runs.
    QSqlQuery Prepare(const QString &Statement) const;
    // Runs a statement without parameters.
    QSqlQuery Exec(const QString &Statement) const;
    // Runs a prepared statement with the values bound.
    static void Exec(QSqlQuery &Query);
    // Raises when the rows of a query stopped on a failure rather than at their end.
    static void CheckRowsRead(const QSqlQuery &Query);

private:
    QString FDriver;
    QString FName;
};

// A write transaction, rolled back unless committed: a failure half-way leaves nothing of it.
class TWriteTransaction {
public:
    TWriteTransaction(const TSqlConnection &Connection, const QString &Begin);
    ~TWriteTransaction();
    TWriteTransaction(const TWriteTransaction &) = delete;
    TWriteTransaction &operator=(const TWriteTransaction &) = delete;
    void Commit();

private:
    const TSqlConnection &FConnection;
    bool FOpen = true;
};
