#pragma once

// Numbers and date-times in the user's locale. One value is read from the system's locale at
// start; tests construct their own, so nothing here depends on the machine's settings.

#include "core/DateTime.h"

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <string>

struct TLocaleFormats {
    QChar DecimalSeparator = QLatin1Char('.');
    QChar ThousandSeparator = QLatin1Char(',');
    QChar DateSeparator = QLatin1Char('/');
    QChar TimeSeparator = QLatin1Char(':');
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy");   // Qt date pattern
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");      // Qt time pattern, seconds, no zone
    QStringList ShortMonthNames;                              // January first, 12 names
    QString AmText = QStringLiteral("AM");                    // the designators of a 12-hour time
    QString PmText = QStringLiteral("PM");

    static TLocaleFormats FromLocale(const QLocale &Locale);
};

// "%1.<n>f": Decimals places (a negative count counts as 0), rounded half away from zero on the
// value's first 15 significant digits; the locale's decimal separator, no thousands separators.
// A negative value that rounds to zero prints without a minus.
QString FormatFixed(const TLocaleFormats &Formats, double Value, int Decimals);
// The same text appended in UTF-8, for writers of long files.
void AppendFixed(std::string &Out, const TLocaleFormats &Formats, double Value, int Decimals);

// "%.0n": rounded half away from zero to a whole number, digits grouped by three with the
// locale's thousands separator.
QString FormatThousands(const TLocaleFormats &Formats, double Value);

// "%4d" and its kin: right-aligned in Width places, padded with blanks, never cut.
QString FormatPadded(int Value, int Width);

// The two halves of the pattern "c": the locale's short date, and its long time.
QString FormatShortDate(const TLocaleFormats &Formats, const QDate &Date);
QString FormatLongTime(const TLocaleFormats &Formats, const QTime &Time);

// A date-time in one of the program's patterns:
//   "c"          short date, a blank, long time; the time left out at exactly midnight
//   "ddddd"      short date
//   "yyyy"       four-digit year
//   "mmm"        abbreviated month name
//   "mmm yyyy"   abbreviated month name, a blank, four-digit year
//   "hh:nn"      24-hour hours and minutes, two digits each
//   "hh:nn:ss"   the same with seconds
//   "dd/MM/yyyy" two-digit day and month, four-digit year
// where "/" stands for the locale's date separator and ":" for its time separator.
// Throws std::invalid_argument for any other pattern.
QString FormatDateTime(const TLocaleFormats &Formats, const QString &Pattern, TDateTime Value);
