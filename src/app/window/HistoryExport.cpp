// Exporting the history as CSV, and clearing the history stored in the heater.

#include "app/FormMain.h"
#include "core/FileErrors.h"
#include "history/HistoryCsv.h"
#include "protocol/Commands.h"

#include <QLabel>
#include <QSaveFile>
#include <QStandardPaths>

#include <stdexcept>

namespace {

const QString CsvFilter = QStringLiteral("CommaSeparatedValues (*.csv *.CSV)");

std::runtime_error CsvError(const QString &FileName, const QString &Reason)
{
    return std::runtime_error(QStringLiteral("Cannot write \"%1\": %2").arg(FileName, Reason).toStdString());
}

}

// The file is written beside the target and then takes its place: a write that fails half-way
// leaves the file that was there whole, and no truncated CSV. Unbuffered, so that a write the
// system cuts short is seen before the new file takes the old one's place.
void TFormMain::WriteHistoryCsv(const QString &FileName, int FromIndex, int ToIndex)
{
    const TCsvHeading heading{DateTimeFromQt(FOptions.Now()), lblSerNr->text(), lblFWVer->text()};
    const QByteArray csv = HistoryCsv(FHistoryData, FromIndex, ToIndex, ExtendedMode(), heading, FOptions.Locale);
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw CsvError(FileName, file.errorString());
    const qint64 written = file.write(csv);
    if (written != csv.size()) {
        const QString reason = ShortWriteReason(file, written, csv.size());
        file.cancelWriting();
        throw CsvError(FileName, reason);
    }
    if (!file.commit())
        throw CsvError(FileName, file.errorString());
}

void TFormMain::btnExportHistoryClick()
{
    const QString proposed = SafeFileName(QStringLiteral("%1 - %2.csv")
                                              .arg(windowTitle(), FormatDateTime(FOptions.Locale, QStringLiteral("ddddd"),
                                                                                 DateTimeFromQt(FOptions.Now()))));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fileName = FOptions.Dialogs->SaveFile(folder, CsvFilter, proposed);
    if (!fileName.isEmpty())
        WriteHistoryCsv(fileName, 0, FHistoryData.Count());
}

void TFormMain::btnClearHistoryClick()
{
    if (!FOptions.Dialogs->Confirm(Translate(QStringLiteral("sMsgAreYouSure"))))
        return;
    SetRequest(cmdEraseSector, HistorySector);
    FHistoryData.Clear();
    UpdateHistoryChart();
}
