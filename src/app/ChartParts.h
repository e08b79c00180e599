#pragma once

// Parts of the history chart that the chart library does not bring: bottom-axis labels in the
// program's date-time patterns, and legend entries with a check mark that show and hide their
// series.

#include "core/LocaleFormats.h"
#include "history/ChartTicks.h"

#include <qcustomplot.h>

// Ticks and labels of the bottom axis, whose keys are chart keys: whole calendar steps in the keys'
// own frame, labelled in one of the program's patterns.
class TChartTicker : public QCPAxisTicker {
public:
    explicit TChartTicker(const TLocaleFormats &Formats);
    void SetPattern(const QString &Pattern) { FPattern = Pattern; }
    const QString &Pattern() const { return FPattern; }

protected:
    double getTickStep(const QCPRange &Range) override;
    int getSubTickCount(double TickStep) override;
    QVector<double> createTickVector(double TickStep, const QCPRange &Range) override;
    QString getTickLabel(double Tick, const QLocale &Locale, QChar FormatChar, int Precision) override;

private:
    TLocaleFormats FFormats;
    QString FPattern = QStringLiteral("dd/MM/yyyy");
    TChartTicks FTicks;   // worked out for the range being ticked
};

// A legend entry led by a check box that is ticked while its series is shown.
class TCheckLegendItem : public QCPPlottableLegendItem {
public:
    TCheckLegendItem(QCPLegend *Legend, QCPAbstractPlottable *Series);

protected:
    void draw(QCPPainter *Painter) override;
    QSize minimumOuterSizeHint() const override;
};
