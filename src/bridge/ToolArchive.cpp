#include "bridge/ToolArchive.h"

TToolArchive::TToolArchive(const QString &Location, QTextStream &Err) : FErr(Err)
{
    if (Location.isEmpty())
        return;
    try {
        FArchive = OpenArchive(Location);
    } catch (const std::exception &Error) {
        Fail(Error);
    }
}

TToolArchive::~TToolArchive() = default;

void TToolArchive::Store(const QString &Key, std::span<const THistoryData> Samples)
{
    StoreOrLetGo(FArchive, Key, Samples, [this](const std::exception &Error) { Fail(Error); });
}

void TToolArchive::Fail(const std::exception &Error)
{
    FReason = QString::fromUtf8(Error.what());
    FErr << "helvane-cli: " << FReason << Qt::endl;
    FFailed = true;
}

QString TToolArchive::State() const
{
    if (FFailed)
        return QStringLiteral("failing: ") + FReason;
    return FArchive ? QStringLiteral("ok") : QStringLiteral("none");
}
