#pragma once

// Locale settings and readings that several tests share.

#include "core/LocaleFormats.h"
#include "protocol/StatusReport.h"

inline TLocaleFormats MakeFormats(char Decimal, char Thousand, char Date, char Time, const char *ShortDate,
                                  const char *LongTime, const QString &Months)
{
    TLocaleFormats formats;
    formats.DecimalSeparator = QLatin1Char(Decimal);
    formats.ThousandSeparator = QLatin1Char(Thousand);
    formats.DateSeparator = QLatin1Char(Date);
    formats.TimeSeparator = QLatin1Char(Time);
    formats.ShortDateFormat = QString::fromLatin1(ShortDate);
    formats.LongTimeFormat = QString::fromLatin1(LongTime);
    formats.ShortMonthNames = Months.split(QLatin1Char(' '));
    return formats;
}

inline TLocaleFormats EnGb()
{
    return MakeFormats('.', ',', '/', ':', "dd/MM/yyyy", "HH:mm:ss",
                       QStringLiteral("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec"));
}

inline TLocaleFormats EnUs()
{
    return MakeFormats('.', ',', '/', ':', "M/d/yyyy", "h:mm:ss AP",
                       QStringLiteral("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec"));
}

inline TLocaleFormats DeDe()
{
    return MakeFormats(',', '.', '.', ':', "dd.MM.yyyy", "HH:mm:ss",
                       QStringLiteral("Jan Feb Mär Apr Mai Jun Jul Aug Sep Okt Nov Dez"));
}

// The worked reading: SN 17090634, setpoint 60, 2017-04-07 12:00:00, state 0, TW 45.25, TW2 44,
// TB 28.5, string 1 at 31 V, 10 A, PWM 400 and 310 W, 12345 Wh, Uisol 63.75.
inline TCurrentData WorkedReading()
{
    TCurrentData s;
    s.SN = 17090634;
    s.Tsoll = 60;
    s.TW2 = 44.0f;
    s.Uisol = 63.75f;
    s.Sample.DT = 42832.5;
    s.Sample.TW = 45.25f;
    s.Sample.TB = 28.5f;
    s.Sample.U1 = 31.0f;
    s.Sample.I1 = 10.0f;
    s.Sample.PWM1 = 400;
    s.Sample.P1 = 310.0f;
    s.Sample.Energy = 12345;
    return s;
}
