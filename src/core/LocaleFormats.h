#pragma once

// Numbers and date-times in the user's locale. One value is read from the system's locale at
// start; tests construct their own, so nothing here depends on the machine's settings.

#include "core/DateTime.h"

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringList>

struct TLocaleFormats {
    QChar DecimalSeparator = QLatin1Char('.');
    QChar ThousandSeparator = QLatin1Char(',');
    QChar DateSeparator = QLatin1Char('/');
    QChar TimeSeparator = QLatin1Char(':');
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy");   // Qt date pattern
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");      // Qt time pattern, seconds, no zone
    QStringList ShortMonthNames;                              // January first, 12 names

    static TLocaleFormats FromLocale(const QLocale &Locale);
};
