#pragma once

// The history as a CSV file: UTF-8 with a byte order mark, every field in double quotes, CR LF
// after every line, numbers and time stamps in the user's locale.

#include "core/LocaleFormats.h"
#include "history/HistoryData.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the heading line names besides the moment of writing: the labels as the window shows them.
struct TCsvHeading {
    TDateTime Written = 0;
    QString SerialNumber;
    QString Firmware;
};

// The whole file for the samples at positions From up to To - 1 (none when To <= From): the
// heading, the column titles (the PWM columns only WithPwm), a line per sample.
QByteArray HistoryCsv(const THistoryList &History, int From, int To, bool WithPwm, const TCsvHeading &Heading,
                      const TLocaleFormats &Formats);

// What every CSV file begins with: the byte order mark.
QByteArray CsvFileStart();
// One line: every field in double quotes, written unchanged, separated by commas, CR LF at the end.
QByteArray CsvLine(const QStringList &Fields);

// The text without leading and trailing blanks and control characters.
QString TrimmedLabel(const QString &Text);

// A file name with the characters that file names cannot hold on common systems replaced by "-".
QString SafeFileName(const QString &Name);
