#include "bridge/HistoryHarvest.h"

#include "archive/Archive.h"
#include "bridge/HeaterLink.h"

#include <QElapsedTimer>

#include <algorithm>
#include <span>

THistoryHarvest::THistoryHarvest(TFHid &Hid, TToolArchive &Archive, int SliceMs, QTextStream &Log)
    : FHid(Hid), FArchive(Archive), FSliceMs(SliceMs), FLog(Log)
{
}

void THistoryHarvest::Step(const TFHidDevice &Device, std::int32_t SN)
{
    if (!FArchive.Open())
        return;
    const QString key = ArchiveKey(SN);
    const bool sameHeater = key == FKey;
    if (!FReading || !sameHeater) {
        if (sameHeater && !FRetry && !FNext.hasExpired())
            return;
        Begin(key);
    }
    THistoryList slice;
    THistoryTally tally;
    QElapsedTimer elapsed;
    elapsed.start();
    bool cut = false;
    int came = 0;
    try {
        // A slice ends once its time is up and a block came: a heater that has nothing more to
        // give is heard out until its silence tells the end.
        came = THeaterLink(FHid, Device).DownloadPage(FBlocks == 0, BlocksPerPage, slice, tally, {}, [&] {
            cut = cut || (tally.Blocks > 0 && elapsed.hasExpired(FSliceMs));
            return cut;
        });
    } catch (const std::exception &Error) {
        Finish(QStringLiteral("The read-out of heater %1's stored history broke off: %2").arg(FKey, QString::fromUtf8(Error.what())));
        return;
    }
    FBlocks += came;
    FSamples += slice.Count();
    FArchive.Store(FKey, std::span<const THistoryData>(slice.begin(), slice.end()));
    // As the tool's download: the read-out is over when the heater falls silent, or brings
    // nothing older than before, or has brought all its memory can hold.
    bool older = false;
    if (slice.Count() > 0) {
        const TDateTime oldest = std::ranges::min_element(slice, {}, &THistoryData::DT)->DT;
        older = !FOldest || oldest < *FOldest;
        FOldest = std::min(oldest, FOldest.value_or(oldest));
    }
    if ((came < BlocksPerPage && !cut) || !older || FBlocks >= MaxHistoryPages * BlocksPerPage) {
        FUnfinished = false;
        Finish(QStringLiteral("The stored history of heater %1 is archived: %2 samples in %3 blocks.").arg(FKey).arg(FSamples).arg(FBlocks));
    }
}

void THistoryHarvest::Lost()
{
    FReading = false;
    FRetry = FUnfinished;
}

void THistoryHarvest::Begin(const QString &Key)
{
    FKey = Key;
    FReading = true;
    FRetry = false;
    FUnfinished = true;
    FNext.setRemainingTime(Period);
    FOldest.reset();
    FBlocks = 0;
    FSamples = 0;
    FLog << QStringLiteral("Reading heater %1's stored history into the archive.").arg(Key) << Qt::endl;
}

void THistoryHarvest::Finish(const QString &Message)
{
    FReading = false;
    FLog << Message << Qt::endl;
}
