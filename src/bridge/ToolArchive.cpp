#include "bridge/ToolArchive.h"

TToolArchive::TToolArchive(const QString &Location, QTextStream &Log) : FLog(Log)
{
    if (Location.isEmpty())
        return;
    FKeeper = std::make_unique<TArchiveKeeper>(
        Location, [Location] { return OpenArchive(Location); },
        [this](const QString &State) { FLog << "helvane-cli: archive " << State << Qt::endl; }, TArchiveKeeper::TClock::now());
}

TToolArchive::~TToolArchive() = default;

void TToolArchive::Store(const QString &Key, std::span<const THistoryData> Samples)
{
    if (FKeeper)
        FKeeper->Store(Key, Samples, TArchiveKeeper::TClock::now());
}

void TToolArchive::Retry()
{
    if (FKeeper)
        FKeeper->Retry(TArchiveKeeper::TClock::now());
}

bool TToolArchive::Finish()
{
    if (!FKeeper)
        return true;
    FKeeper->Retry(FKeeper->NextTry());
    if (FKeeper->Working())
        return true;
    if (FKeeper->Waiting() > 0)
        FLog << "helvane-cli: " << FKeeper->Waiting() << " samples could not be archived." << Qt::endl;
    return false;
}
