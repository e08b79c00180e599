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

void TFormMain::btnClearHistoryClick()
{
    if (!FOptions.Dialogs->Confirm(Translate(QStringLiteral("sMsgAreYouSure"))))
        return;
    SetRequest(cmdEraseSector, HistorySector);
    EmptyHistoryList();
    UpdateHistoryChart();
}
