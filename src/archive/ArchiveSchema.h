#pragma once

// The archive's tables, their version, and the way from each older version to this program's.

#include "archive/SqlConnection.h"

#include <QString>

// What differs between the database systems, as the statements that say it.
struct TSqlDialect {
    QString BeginWrite;     // starts a transaction that will write
    QString LockSchema;     // run first in a transaction that may change the schema, when BeginWrite does not already keep other writers out
    QString CountTables;    // counts the tables of the one placeholder's name
    QString TableOptions;   // what follows the columns of a CREATE TABLE
};

// The version of the schema this program writes.
constexpr int ArchiveSchemaVersion = 1;

// The schema version the database holds: 0 while it has no archive tables. Raises for any it
// cannot bring up to this program's: a newer one might hold what this program would damage, and
// one that is not a single version from 1 on is none that helvane wrote.
int SchemaVersion(const TSqlConnection &Connection, const TSqlDialect &Dialect);

// Raises unless the database holds this program's schema, for reading without writing.
void RequireCurrentSchema(const TSqlConnection &Connection, const TSqlDialect &Dialect);

// Brings the schema from the version the database holds up to this program's, in one write
// transaction; with nothing to bring up, writes and undoes it. Either way an archive that cannot
// be written fails here.
void UpgradeSchema(const TSqlConnection &Connection, const TSqlDialect &Dialect);
