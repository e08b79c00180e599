#include "archive/SampleRows.h"

#include <QSqlDriver>

#include <sqlite3.h>

namespace {

class TSqliteRowInserter : public TRowInserter {
public:
    explicit TSqliteRowInserter(const TSqlConnection &Connection) : FDatabase(Handle(Connection))
    {
        const QByteArray statement = InsertStatement(1).toUtf8();
        if (sqlite3_prepare_v3(FDatabase, statement.constData(), static_cast<int>(statement.size()), SQLITE_PREPARE_PERSISTENT,
                               &FInsert, nullptr) != SQLITE_OK)
            throw Failure();
    }

    ~TSqliteRowInserter() override { sqlite3_finalize(FInsert); }
    TSqliteRowInserter(const TSqliteRowInserter &) = delete;
    TSqliteRowInserter &operator=(const TSqliteRowInserter &) = delete;

    void Insert(const QString &Serial, std::span<const TKeyedSample> Rows) override
    {
        const QByteArray serial = Serial.toUtf8();
        for (const TKeyedSample &row : Rows) {
            Bind(serial, row);
            const int stepped = sqlite3_step(FInsert);
            sqlite3_reset(FInsert);
            if (stepped != SQLITE_DONE)
                throw Failure();
        }
    }

private:
    static sqlite3 *Handle(const TSqlConnection &Connection)
    {
        const QVariant handle = Connection.Database().driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            throw EArchiveReason(QStringLiteral("the Qt SQL driver gives no SQLite handle"));
        return *static_cast<sqlite3 *const *>(handle.constData());
    }

    EArchiveReason Failure() const { return EArchiveReason(QString::fromUtf8(sqlite3_errmsg(FDatabase))); }

    void Bind(const QByteArray &Serial, const TKeyedSample &Row)
    {
        const THistoryData &s = *Row.Sample;
        int pos = 1;
        const auto real = [&](double Value) { sqlite3_bind_double(FInsert, pos++, Value); };
        const auto whole = [&](std::int32_t Value) { sqlite3_bind_int(FInsert, pos++, Value); };
        sqlite3_bind_text(FInsert, pos++, Serial.constData(), static_cast<int>(Serial.size()), SQLITE_STATIC);
        sqlite3_bind_int64(FInsert, pos++, Row.Key);
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
    sqlite3_stmt *FInsert = nullptr;
};

}

std::unique_ptr<TRowInserter> SqliteRowInserter(const TSqlConnection &Connection)
{
    return std::make_unique<TSqliteRowInserter>(Connection);
}
