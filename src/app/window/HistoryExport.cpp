// Exporting the history as CSV, and clearing the history stored in the heater.

#include "app/FormMain.h"
#include "core/FileErrors.h"
#include "history/HistoryCsv.h"
#include "protocol/Commands.h"

#include <QLabel>
#include <QStandardPaths>

namespace {

const QString CsvFilter = QStringLiteral("CommaSeparatedValues (*.csv *.CSV)");

}

void TFormMain::WriteHistoryCsv(const QString &FileName, const THistoryList &Samples)
{
    const TCsvHeading heading{DateTimeFromQt(FOptions.Now()), lblSerNr->text(), lblFWVer->text()};
    SaveWholeFile(FileName, HistoryCsv(Samples, 0, Samples.Count(), ExtendedMode(), heading, FOptions.Locale));
}

void TFormMain::btnExportHistoryClick()
{
    const QString proposed = SafeFileName(QStringLiteral("%1 - %2.csv")
                                              .arg(windowTitle(), FormatDateTime(FOptions.Locale, QStringLiteral("ddddd"),
                                                                                 DateTimeFromQt(FOptions.Now()))));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fileName = FOptions.Dialogs->SaveFile(folder, CsvFilter, proposed);
    if (!fileName.isEmpty())
        WriteHistoryCsv(fileName, FHistoryData);
}

// The heater's memory is erased after a Yes. Where the archive holds samples of this heater, which
// would come back at the next connection, the question offers to erase them too.
void TFormMain::btnClearHistoryClick()
{
    enum { HeaterOnly, HeaterAndArchive, No };
    int answer = HeaterOnly;
    if (FArchive && FArchive->Archive() && !FArchiveKey.isEmpty()) {
        answer = FOptions.Dialogs->Choose(Translate(QStringLiteral("sMsgClearHistoryArchive")).arg(FArchiveKey),
                                          {Translate(QStringLiteral("sbtnClearHeater")),
                                           Translate(QStringLiteral("sbtnClearHeaterAndArchive")),
                                           Translate(QStringLiteral("sbtnNo"))});
    } else if (!FOptions.Dialogs->Confirm(Translate(QStringLiteral("sMsgAreYouSure")))) {
        answer = No;
    }
    if (answer == No)
        return;
    SetRequest(cmdEraseSector, HistorySector);
    if (answer == HeaterAndArchive)
        EraseArchivedSamples();
    EmptyHistoryList();
    UpdateHistoryChart();
}
