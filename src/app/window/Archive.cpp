// The archive: every sample the window learns is kept there per heater, and the archived samples
// of the connected heater come back into the list, so that the chart and the export reach back
// further than the heater's own memory. While the archive fails, what could not be stored is kept
// and stored once it works again.

#include "app/FormMain.h"
#include "archive/Archive.h"
#include "history/ChartData.h"

#include <QDir>
#include <QLabel>
#include <QTimer>

#include <utility>

namespace {

// Live readings are archived in batches, so that a poll every second costs no disk flush each.
constexpr std::size_t LiveBatch = 60;
// How often the window looks whether a try of the failing archive is due.
constexpr int RetryCheckMs = 1000;

TArchiveKeeper::TClock::time_point Now()
{
    return TArchiveKeeper::TClock::now();
}

}

void TFormMain::ShowArchivePlace()
{
    lblArchive->setText(FArchive && FArchive->Archive()
                            ? Translate(QStringLiteral("slblArchive")).arg(QDir::toNativeSeparators(FArchive->Location()))
                            : Translate(QStringLiteral("slblNoArchive")));
}

// An archive that cannot be opened is said once the window is connected; the window works on and
// tries it again. Each
// change of its state goes to the log. Without a place named there is none.
void TFormMain::OpenSampleArchive()
{
    if (FOptions.ArchiveLocation.isEmpty())
        return;
    const QString location = FOptions.ArchiveLocation;
    FArchive = std::make_unique<TArchiveKeeper>(
        location, [location] { return OpenArchive(location); },
        [this](const QString &State) {
            LogLine(QStringLiteral("Archive: ") + State);
            if (lblArchive)
                ShowArchivePlace();
        },
        Now());
    if (!FArchive->Working())
        FArchiveProblem = FArchive->State().mid(QStringLiteral("failing: ").size());
    auto *retry = new QTimer(this);
    connect(retry, &QTimer::timeout, this, [this] { FArchive->Retry(Now()); });
    retry->start(RetryCheckMs);
}

// Said once the window is on the screen and the heater connected, in the window's language.
void TFormMain::ShowArchiveProblem()
{
    if (!FArchiveProblem.isEmpty())
        ShowBox(TBoxKind::Warning, Translate(QStringLiteral("sMsgArchiveUnusable")).arg(FArchiveProblem));
}

// The connected heater's samples leave the archive, those waiting to be stored with them.
void TFormMain::EraseArchivedSamples()
{
    FArchivePending.clear();
    try {
        if (TArchive *archive = FArchive ? FArchive->Archive() : nullptr)
            archive->Erase(FArchiveKey);
    } catch (const std::exception &Error) {
        FArchive->Failed(Error, Now());
        ShowBox(TBoxKind::Error, QString::fromUtf8(Error.what()));
    }
}

// Until the heater's serial number is known, its samples wait for it with the live readings.
void TFormMain::ArchiveSamples(const std::vector<THistoryData> &Samples)
{
    if (FArchiveKey.isEmpty()) {
        FArchivePending.insert(FArchivePending.end(), Samples.begin(), Samples.end());
        return;
    }
    if (FArchive)
        FArchive->Store(FArchiveKey, Samples, Now());
}

void TFormMain::ArchiveLiveSample(const THistoryData &Sample)
{
    FArchivePending.push_back(Sample);
    if (FArchivePending.size() >= LiveBatch)
        FlushLiveSamples();
}

// Samples of a heater whose serial number never came are kept under the key of an unset one.
void TFormMain::FlushLiveSamples()
{
    const std::vector<THistoryData> pending = std::exchange(FArchivePending, {});
    if (FArchive)
        FArchive->Store(FArchiveKey.isEmpty() ? ArchiveKey(0) : FArchiveKey, pending, Now());
}

// A heater's samples go under its serial number; what was read under the one before is archived
// under that first.
void TFormMain::UpdateArchiveKey(std::int32_t SerialNumber)
{
    const QString key = ArchiveKey(SerialNumber);
    if (key == FArchiveKey)
        return;
    if (!FArchiveKey.isEmpty())
        FlushLiveSamples();
    FArchiveKey = key;
}

// The connected heater's archived samples join the list before its stored history is read.
void TFormMain::LoadArchivedSamples()
{
    TArchive *archive = FArchive ? FArchive->Archive() : nullptr;
    if (!archive || FArchiveKey.isEmpty())
        return;
    try {
        const THistoryList archived = archive->Samples(FArchiveKey, FirstArchiveTime, LastArchiveTime);
        for (const THistoryData &sample : archived)
            FHistoryData.AddArchived(sample);
    } catch (const std::exception &Error) {
        FArchive->Failed(Error, Now());
    }
}
