#pragma once

// Samples on their way into an archive that may fail for a while (a lock another program holds,
// a database server that restarts, a full disk): what could not be stored is kept, and the
// archive opened and the samples stored again after 1 s, then after twice the wait before, up to
// a minute, until they are stored.

#include "archive/Archive.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class TArchiveKeeper {
public:
    using TClock = std::chrono::steady_clock;
    using TOpen = std::function<std::unique_ptr<TArchive>()>;
    // Called with the new state when it changes: "ok", or "failing: <reason>".
    using TChanged = std::function<void(const QString &State)>;

    static constexpr std::chrono::milliseconds FirstWait{1000};
    static constexpr std::chrono::milliseconds LongestWait{60000};

    // Opens the archive at once; Location names it while it cannot be opened.
    TArchiveKeeper(QString Location, TOpen Open, TChanged Changed, TClock::time_point Now);

    // Keeps the samples and stores all that wait, unless the next try is not yet due.
    void Store(const QString &Serial, std::span<const THistoryData> Samples, TClock::time_point Now);
    // Stores what waits, opening the archive first, once the next try is due.
    void Retry(TClock::time_point Now);
    // The archive for reading while it works, else none. A read that fails is handed to Failed.
    TArchive *Archive() const { return FArchive.get(); }
    // The archive failed outside a store: it is let go and opened again when the next try is due.
    void Failed(const std::exception &Error, TClock::time_point Now);

    QString State() const { return FState; }
    bool Working() const { return FState == OkState(); }
    // The samples that wait to be stored.
    std::size_t Waiting() const;
    QString Location() const { return FLocation; }
    // When the next try is due, while something waits or the archive is closed.
    TClock::time_point NextTry() const { return FNextTry; }

private:
    struct TBatch {
        QString Serial;
        std::vector<THistoryData> Samples;
    };
    static QString OkState() { return QStringLiteral("ok"); }
    bool Due(TClock::time_point Now) const { return Now >= FNextTry; }
    void Attempt(TClock::time_point Now);
    void SetState(const QString &State);

    QString FLocation;
    TOpen FOpen;
    TChanged FChanged;
    std::unique_ptr<TArchive> FArchive;
    std::vector<TBatch> FWaiting;
    QString FState = OkState();
    TClock::time_point FNextTry;
    std::chrono::milliseconds FWait{0};
};
