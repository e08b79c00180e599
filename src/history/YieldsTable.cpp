#include "history/YieldsTable.h"

#include "history/HistoryCsv.h"

namespace {

QString Whole(const std::optional<std::int64_t> &Wh)
{
    return Wh ? QString::number(*Wh) : QString();
}

QString Percent(const std::optional<double> &Change, const TLocaleFormats &Formats)
{
    return Change ? FormatFixed(Formats, *Change, 1) : QString();
}

}

QString YieldBarName(TYieldLevel Level, const QDate &Start, const TLocaleFormats &Formats)
{
    const char *pattern = Level == TYieldLevel::Days ? "ddddd" : Level == TYieldLevel::Months ? "mmm yyyy" : "yyyy";
    return FormatDateTime(Formats, QString::fromLatin1(pattern), DayStart(Start));
}

QString YieldBarLabel(TYieldLevel Level, const QDate &Start, const TLocaleFormats &Formats)
{
    switch (Level) {
    case TYieldLevel::Days: return QString::number(Start.day());
    case TYieldLevel::Months: return FormatDateTime(Formats, QStringLiteral("mmm"), DayStart(Start));
    case TYieldLevel::Years: break;
    }
    return QString::number(Start.year());
}

QString YieldPeriodName(const TYields &Yields, const TLocaleFormats &Formats)
{
    if (Yields.Bars.empty())
        return QString();
    const QDate first = Yields.Bars.front().Start;
    switch (Yields.Period.Level) {
    case TYieldLevel::Days: return YieldBarName(TYieldLevel::Months, first, Formats);
    case TYieldLevel::Months: return YieldBarName(TYieldLevel::Years, first, Formats);
    case TYieldLevel::Years: break;
    }
    return YieldBarName(TYieldLevel::Years, first, Formats) + QStringLiteral(" – ")
           + YieldBarName(TYieldLevel::Years, Yields.Bars.back().Start, Formats);
}

QByteArray YieldsCsv(const TYields &Yields, TDateTime Written, const QString &Serial, const TLocaleFormats &Formats)
{
    const TYieldLevel level = Yields.Period.Level;
    QByteArray file = CsvFileStart();
    file += CsvLine({FormatDateTime(Formats, QStringLiteral("c"), Written), TrimmedLabel(Serial), YieldPeriodName(Yields, Formats)});
    const QString name = level == TYieldLevel::Days ? QStringLiteral("Date")
                         : level == TYieldLevel::Months ? QStringLiteral("Month")
                                                        : QStringLiteral("Year");
    file += CsvLine({name, QStringLiteral("Energy [Wh]"), QStringLiteral("A year earlier [Wh]"), QStringLiteral("Change [%]")});
    for (const TYieldBar &bar : Yields.Bars)
        file += CsvLine({YieldBarName(level, bar.Start, Formats), Whole(bar.Wh), Whole(bar.EarlierWh),
                         Percent(bar.ChangePercent, Formats)});
    return file;
}
