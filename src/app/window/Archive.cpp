// The archive: every sample the window learns is kept there per heater, and the archived samples
// of the connected heater come back into the list, so that the chart and the export reach back
// further than the heater's own memory.

#include "app/FormMain.h"
#include "archive/Archive.h"
#include "history/ChartData.h"

#include <QDir>
#include <QLabel>

#include <utility>

namespace {

// Live readings are archived in batches, so that a poll every second costs no disk flush each.
constexpr std::size_t LiveBatch = 60;

}

void TFormMain::ShowArchivePlace()
{
    lblArchive->setText(FArchive ? Translate(QStringLiteral("slblArchive")).arg(QDir::toNativeSeparators(FArchive->Location()))
                                 : Translate(QStringLiteral("slblNoArchive")));
}

// An archive that cannot be opened is said once; the window works on without one. Without a
// place named there is none.
void TFormMain::OpenSampleArchive()
{
    if (FOptions.ArchiveLocation.isEmpty())
        return;
    try {
        FArchive = OpenArchive(FOptions.ArchiveLocation);
    } catch (const std::exception &Error) {
        LogError(Error);
        FArchiveProblem = QString::fromUtf8(Error.what());
    }
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
        FArchive->Erase(FArchiveKey);
    } catch (const std::exception &Error) {
        LogError(Error);
        ShowBox(TBoxKind::Error, QString::fromUtf8(Error.what()));
    }
}

// A write that fails is said once in the log, and the archive is let go.
void TFormMain::ArchiveSamples(const std::vector<THistoryData> &Samples)
{
    if (FArchiveKey.isEmpty())
        return;
    StoreOrLetGo(FArchive, FArchiveKey, Samples, [this](const std::exception &Error) {
        LogError(Error);
        ShowArchivePlace();
    });
}

void TFormMain::ArchiveLiveSample(const THistoryData &Sample)
{
    FArchivePending.push_back(Sample);
    if (FArchivePending.size() >= LiveBatch)
        FlushLiveSamples();
}

void TFormMain::FlushLiveSamples()
{
    ArchiveSamples(std::exchange(FArchivePending, {}));
}

// A heater's samples go under its serial number; what was read under the one before is archived
// under that first.
void TFormMain::UpdateArchiveKey(std::int32_t SerialNumber)
{
    const QString key = ArchiveKey(SerialNumber);
    if (key == FArchiveKey)
        return;
    FlushLiveSamples();
    FArchiveKey = key;
}

// The connected heater's archived samples join the list before its stored history is read.
void TFormMain::LoadArchivedSamples()
{
    if (!FArchive || FArchiveKey.isEmpty())
        return;
    try {
        const THistoryList archived = FArchive->Samples(FArchiveKey, FirstArchiveTime, LastArchiveTime);
        for (const THistoryData &sample : archived)
            FHistoryData.AddArchived(sample);
    } catch (const std::exception &Error) {
        LogError(Error);
        FArchive.reset();
        ShowArchivePlace();
    }
}
