#pragma once

// A PostgreSQL server of the tests' own: a scratch cluster on a free port of 127.0.0.1, started
// by the first test that needs it and stopped when the test program ends.

#include <QString>

// A new empty database on the server, as the archive's URL names it.
QString NewPostgresDatabase();
