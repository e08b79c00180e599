#pragma once

// The archive as the tool and the bridge use it: opened when they start; samples that could not
// be stored are kept and stored again once it works, each change of its state said on the log.

#include "archive/ArchiveKeeper.h"

#include <QTextStream>

#include <memory>
#include <span>

class TToolArchive {
public:
    // No archive when Location is empty; one that cannot be opened is said on Log.
    TToolArchive(const QString &Location, QTextStream &Log);
    ~TToolArchive();

    void Store(const QString &Key, std::span<const THistoryData> Samples);
    // Stores what waits, when a try is due.
    void Retry();
    // Tries once more, due or not, to store what waits: false when samples are left unstored,
    // which is said.
    bool Finish();
    bool Open() const { return FKeeper != nullptr; }
    // "ok", "failing: <reason>", or "none" without an archive.
    QString State() const { return FKeeper ? FKeeper->State() : QStringLiteral("none"); }

private:
    QTextStream &FLog;
    std::unique_ptr<TArchiveKeeper> FKeeper;
};
