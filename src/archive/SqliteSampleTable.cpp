#include "archive/SampleTable.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace {

// Rows per statement: fewer runs of SQLite's statement machine.
constexpr int RowsPerInsert = 50;

struct TFinalize {
    void operator()(sqlite3_stmt *Statement) const { sqlite3_finalize(Statement); }
};
using TStatement = std::unique_ptr<sqlite3_stmt, TFinalize>;

THistoryData SampleAt(sqlite3_stmt *Select)
{
    return SampleOfColumns([&](int Column) { return sqlite3_column_double(Select, Column); },
                           [&](int Column) { return sqlite3_column_int(Select, Column); });
}

class TSqliteSampleTable : public TSampleTable {
public:
    explicit TSqliteSampleTable(const TSqlConnection &Connection)
        : FDatabase(Handle(Connection)), FInsertRows(Prepare(InsertStatement(RowsPerInsert))),
          FInsert(Prepare(InsertStatement(1))), FSelect(Prepare(SelectStatement())),
          FSelectEnergy(Prepare(EnergySelectStatement())),
          FCount(Prepare(QStringLiteral("SELECT count(*) FROM samples WHERE serial = ? AND time_ms BETWEEN ? AND ?")))
    {
    }

    std::size_t Insert(const QString &Serial, std::span<const TKeyedSample> Rows) override
    {
        const QByteArray serial = Serial.toUtf8();
        std::size_t added = 0;
        std::size_t next = 0;
        for (; next + RowsPerInsert <= Rows.size(); next += RowsPerInsert)
            added += Step(FInsertRows.get(), serial, Rows.subspan(next, RowsPerInsert));
        for (; next < Rows.size(); ++next)
            added += Step(FInsert.get(), serial, Rows.subspan(next, 1));
        return added;
    }

    THistoryList Read(const QString &Serial, qint64 From, qint64 To) override
    {
        return Rows(FSelect.get(), Serial, From, To, SampleAt);
    }

    THistoryList ReadEnergy(const QString &Serial, qint64 From, qint64 To) override
    {
        return Rows(FSelectEnergy.get(), Serial, From, To, [](sqlite3_stmt *Select) {
            THistoryData s;
            s.DT = sqlite3_column_double(Select, 0);
            s.Energy = sqlite3_column_int(Select, 1);
            return s;
        });
    }

private:
    // The rows counted first: the list is made as long as they need at once, rather than grown
    // into copies of itself.
    template <class TSampleOfRow>
    THistoryList Rows(sqlite3_stmt *Select, const QString &Serial, qint64 From, qint64 To, TSampleOfRow SampleOfRow) const
    {
        const QByteArray serial = Serial.toUtf8();
        const auto bind = [&](sqlite3_stmt *Statement) {
            sqlite3_bind_text(Statement, 1, serial.constData(), static_cast<int>(serial.size()), SQLITE_STATIC);
            sqlite3_bind_int64(Statement, 2, From);
            sqlite3_bind_int64(Statement, 3, To);
        };
        std::vector<THistoryData> samples;
        sqlite3_stmt *count = FCount.get();
        bind(count);
        if (sqlite3_step(count) == SQLITE_ROW)
            samples.reserve(static_cast<std::size_t>(sqlite3_column_int64(count, 0)));
        sqlite3_reset(count);
        bind(Select);
        int stepped;
        while ((stepped = sqlite3_step(Select)) == SQLITE_ROW)
            samples.push_back(SampleOfRow(Select));
        const EArchiveReason failure = Failure();
        sqlite3_reset(Select);
        if (stepped != SQLITE_DONE)
            throw failure;
        return THistoryList(std::move(samples));
    }

    static sqlite3 *Handle(const TSqlConnection &Connection)
    {
        const QVariant handle = Connection.Database().driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            throw EArchiveReason(QStringLiteral("the Qt SQL driver gives no SQLite handle"));
        return *static_cast<sqlite3 *const *>(handle.constData());
    }

    TStatement Prepare(const QString &Statement) const
    {
        const QByteArray statement = Statement.toUtf8();
        sqlite3_stmt *prepared = nullptr;
        if (sqlite3_prepare_v3(FDatabase, statement.constData(), static_cast<int>(statement.size()), SQLITE_PREPARE_PERSISTENT,
                               &prepared, nullptr) != SQLITE_OK)
            throw Failure();
        return TStatement(prepared);
    }

    // Returns the rows that were new.
    std::size_t Step(sqlite3_stmt *Statement, const QByteArray &Serial, std::span<const TKeyedSample> Rows) const
    {
        int pos = 1;
        for (const TKeyedSample &row : Rows)
            Bind(Statement, pos, Serial, row);
        if (sqlite3_step(Statement) != SQLITE_DONE) {
            const EArchiveReason failure = Failure();
            sqlite3_reset(Statement);
            throw failure;
        }
        sqlite3_reset(Statement);
        return static_cast<std::size_t>(sqlite3_changes(FDatabase));
    }

    EArchiveReason Failure() const { return EArchiveReason(QString::fromUtf8(sqlite3_errmsg(FDatabase))); }

    static void Bind(sqlite3_stmt *Statement, int &pos, const QByteArray &Serial, const TKeyedSample &Row)
    {
        const THistoryData &s = *Row.Sample;
        const auto real = [&](double Value) { sqlite3_bind_double(Statement, pos++, Value); };
        const auto whole = [&](std::int32_t Value) { sqlite3_bind_int(Statement, pos++, Value); };
        sqlite3_bind_text(Statement, pos++, Serial.constData(), static_cast<int>(Serial.size()), SQLITE_STATIC);
        sqlite3_bind_int64(Statement, pos++, Row.Key);
        real(s.DT);
        for (const float value : {s.U1, s.U2, s.U3, s.I1, s.I2, s.I3})
            real(value);
        for (const std::int32_t value : {s.PWM1, s.PWM2, s.PWM3})
            whole(value);
        real(s.TW);
        real(s.TB);
        whole(s.Energy);
        whole(s.Err);
        for (const float value : {s.P1, s.P2, s.P3})
            real(value);
    }

    sqlite3 *FDatabase;
    TStatement FInsertRows;   // a whole batch of rows in one statement
    TStatement FInsert;       // the rows past the last whole batch
    TStatement FSelect;
    TStatement FSelectEnergy;
    TStatement FCount;   // the rows that a select will bring
};

}

std::unique_ptr<TSampleTable> SqliteSampleTable(const TSqlConnection &Connection)
{
    return std::make_unique<TSqliteSampleTable>(Connection);
}
