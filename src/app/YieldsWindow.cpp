#include "app/YieldsWindow.h"

#include "core/FileErrors.h"
#include "history/EnergyReport.h"
#include "history/HistoryCsv.h"
#include "history/YieldsTable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <stdexcept>

namespace {

const QString CsvFilter = QStringLiteral("CommaSeparatedValues (*.csv *.CSV)");
const QString PngFilter = QStringLiteral("PNG (*.png *.PNG)");
// The program's bar colour, as the history chart's day bars; the year before paler.
constexpr QRgb BarColour = 0xFFE8A213;
constexpr double BarWidth = 0.4;   // of the step between two bars, for each of the two series
const QSize DesignedSize(800, 480);

// Energy values on the axis as the window writes them: whole, in the locale's thousands.
class TWhTicker : public QCPAxisTicker {
public:
    explicit TWhTicker(const TLocaleFormats &Formats) : FFormats(Formats) {}

protected:
    QString getTickLabel(double Tick, const QLocale &, QChar, int) override { return FormatThousands(FFormats, Tick); }

private:
    TLocaleFormats FFormats;
};

// Where a bar stands on the time axis: its day of the month, its month, or its year.
double BarKey(TYieldLevel Level, const QDate &Start)
{
    switch (Level) {
    case TYieldLevel::Days: return Start.day();
    case TYieldLevel::Months: return Start.month();
    case TYieldLevel::Years: break;
    }
    return Start.year();
}

}

std::optional<TYieldSpan> ReadYieldSpan(TArchive &Archive, const QString &Serial, const QDate &Today)
{
    const std::optional<TSampleSpan> span = Archive.SampleSpan(Serial);
    if (!span)
        return std::nullopt;
    return TYieldSpan{DateTimeToQt(span->First).date(), DateTimeToQt(span->Last).date(), Today};
}

TYields ReadYields(TArchive &Archive, const QString &Serial, const TYieldPeriod &Period, const TYieldSpan &Span)
{
    const TDateRange dates = YieldDates(Period, Span);
    const THistoryList samples = Archive.EnergySamples(Serial, DayStart(dates.First), DayEnd(dates.Last));
    return MakeYields(Period, Span, MakeEnergyReport(samples).Days);
}

QString DefaultYieldsHeater(TArchive &Archive, const QString &Preferred)
{
    const QStringList serials = Archive.Serials();
    if (serials.contains(Preferred))
        return Preferred;
    QString newest;
    TDateTime newestLast = 0;
    for (const QString &serial : serials) {
        const std::optional<TSampleSpan> span = Archive.SampleSpan(serial);
        if (span && (newest.isEmpty() || span->Last > newestLast)) {
            newest = serial;
            newestLast = span->Last;
        }
    }
    return newest;
}

TYieldsWindow::TYieldsWindow(QWidget *Parent, std::unique_ptr<TArchive> Archive, TYieldsContext Context, TLanguage Language)
    : QWidget(Parent, Qt::Window), FArchive(std::move(Archive)), FContext(std::move(Context)), FLanguage(Language)
{
    if (Parent)
        setFont(Parent->font());
    Design();
    BindHandlers();
    TranslateUI();
}

TYieldsWindow::~TYieldsWindow() = default;

void TYieldsWindow::Design()
{
    resize(DesignedSize);
    btnPrevious = new QPushButton(this);
    btnNext = new QPushButton(this);
    btnUp = new QPushButton(this);
    lblHeater = new QLabel(this);
    cbxHeater = new QComboBox(this);
    auto *navigation = new QHBoxLayout;
    for (QWidget *control : std::initializer_list<QWidget *>{btnPrevious, btnNext, btnUp})
        navigation->addWidget(control);
    navigation->addStretch(1);
    navigation->addWidget(lblHeater);
    navigation->addWidget(cbxHeater);

    DesignChart();

    lblTotals = new QLabel(this);
    lblTotals->setWordWrap(true);
    lblTotals->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnExportYields = new QPushButton(this);
    btnSavePicture = new QPushButton(this);
    auto *totals = new QHBoxLayout;
    totals->addWidget(lblTotals, 1);
    totals->addWidget(btnExportYields);
    totals->addWidget(btnSavePicture);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(navigation);
    layout->addWidget(chartYields, 1);
    layout->addLayout(totals);
}

void TYieldsWindow::DesignChart()
{
    chartYields = new QCustomPlot(this);
    chartYields->plotLayout()->insertRow(0);
    chartYields->plotLayout()->addElement(0, 0, new QCPTextElement(chartYields, QString(), QFont(font().family(), 11, QFont::Bold)));

    serYieldEarlier = new QCPBars(chartYields->xAxis, chartYields->yAxis);
    serYield = new QCPBars(chartYields->xAxis, chartYields->yAxis);
    const auto look = [](QCPBars *Bars, double PenAlpha, double BrushAlpha) {
        QColor colour = QColor::fromRgba(BarColour);
        colour.setAlphaF(static_cast<float>(PenAlpha));
        Bars->setPen(QPen(colour));
        colour.setAlphaF(static_cast<float>(BrushAlpha));
        Bars->setBrush(colour);
        Bars->setWidth(BarWidth);
    };
    look(serYield, 1, 0.5);
    look(serYieldEarlier, 0.5, 0.15);
    auto *pair = new QCPBarsGroup(chartYields);
    pair->setSpacing(0);
    pair->append(serYieldEarlier);
    pair->append(serYield);

    FBarTicker = QSharedPointer<QCPAxisTickerText>::create();
    chartYields->xAxis->setTicker(FBarTicker);
    chartYields->xAxis->setSubTicks(false);
    chartYields->xAxis->grid()->setVisible(false);
    chartYields->yAxis->setTicker(QSharedPointer<TWhTicker>::create(FContext.Locale));
    chartYields->yAxis->setLabel(QStringLiteral("Wh"));
    // The legend in a row of its own below the title, where no bar can lie under it.
    chartYields->legend->setVisible(true);
    chartYields->legend->setFont(font());
    chartYields->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    chartYields->legend->setBorderPen(Qt::NoPen);
    chartYields->axisRect()->insetLayout()->take(chartYields->legend);
    chartYields->plotLayout()->insertRow(1);
    chartYields->plotLayout()->addElement(1, 0, chartYields->legend);
    chartYields->plotLayout()->setRowStretchFactor(1, 0.001);
}

template <class F>
void TYieldsWindow::Guarded(F &&Handler)
{
    try {
        Handler();
    } catch (const std::exception &Error) {
        FContext.Dialogs->Error(QString::fromUtf8(Error.what()));
    }
}

void TYieldsWindow::BindHandlers()
{
    const auto bind = [this](QPushButton *Button, void (TYieldsWindow::*Method)()) {
        connect(Button, &QPushButton::clicked, this, [this, Method] { Guarded([&] { (this->*Method)(); }); });
    };
    bind(btnPrevious, &TYieldsWindow::btnPreviousClick);
    bind(btnNext, &TYieldsWindow::btnNextClick);
    bind(btnUp, &TYieldsWindow::btnUpClick);
    bind(btnExportYields, &TYieldsWindow::btnExportYieldsClick);
    bind(btnSavePicture, &TYieldsWindow::btnSavePictureClick);
    connect(cbxHeater, &QComboBox::activated, this, [this] { Guarded([this] { cbxHeaterChange(); }); });
    connect(chartYields, &QCustomPlot::plottableClick, this, [this](QCPAbstractPlottable *Bars, int DataIndex) {
        Guarded([&] { chartYieldsBarClick(Bars, DataIndex); });
    });
}

QString TYieldsWindow::Translate(const char *Key) const
{
    return TranslateText(FLanguage, QString::fromLatin1(Key));
}

void TYieldsWindow::SetLanguage(TLanguage Language)
{
    FLanguage = Language;
    TranslateUI();
}

void TYieldsWindow::TranslateUI()
{
    setWindowTitle(Translate("sbtnYields"));
    btnPrevious->setText(Translate("sbtnEarlier"));
    btnNext->setText(Translate("sbtnLater"));
    lblHeater->setText(Translate("slblYieldsHeater"));
    btnExportYields->setText(Translate("sbtnExport"));
    btnSavePicture->setText(Translate("sbtnSavePicture"));
    serYield->setName(Translate("sserEnergyBar"));
    serYieldEarlier->setName(Translate("sserYearEarlier"));
    ShowYields();
}

bool TYieldsWindow::ShowHeater(const QString &Preferred)
{
    const QString serial = DefaultYieldsHeater(*FArchive, Preferred);
    if (serial.isEmpty())
        return false;
    cbxHeater->clear();
    cbxHeater->addItems(FArchive->Serials());
    cbxHeater->setCurrentText(serial);
    cbxHeaterChange();
    return true;
}

QString TYieldsWindow::Serial() const
{
    return cbxHeater->currentText();
}

void TYieldsWindow::cbxHeaterChange()
{
    const std::optional<TYieldSpan> span = ReadYieldSpan(*FArchive, Serial(), FContext.Now().date());
    if (!span)
        throw std::runtime_error(Translate("sMsgNoYields").toStdString());
    FSpan = *span;
    ShowPeriod(StartPeriod(FSpan));
}

// The days the archive holds are read again with each view: the main window archives on.
void TYieldsWindow::ShowPeriod(const TYieldPeriod &Period)
{
    if (const std::optional<TYieldSpan> span = ReadYieldSpan(*FArchive, Serial(), FContext.Now().date()))
        FSpan = *span;
    FYields = ReadYields(*FArchive, Serial(), Period, FSpan);
    ShowYields();
}

void TYieldsWindow::btnPreviousClick()
{
    ShowPeriod(Previous(FYields.Period));
}

void TYieldsWindow::btnNextClick()
{
    ShowPeriod(Next(FYields.Period));
}

void TYieldsWindow::btnUpClick()
{
    if (const std::optional<TYieldPeriod> up = Up(FYields.Period))
        ShowPeriod(*up);
}

void TYieldsWindow::chartYieldsBarClick(QCPAbstractPlottable *Bars, int DataIndex)
{
    const auto *bars = qobject_cast<QCPBars *>(Bars);
    if (!bars || DataIndex < 0 || DataIndex >= bars->dataCount())
        return;
    const double key = (bars->data()->constBegin() + DataIndex)->key;
    for (const TYieldBar &bar : FYields.Bars) {
        if (BarKey(FYields.Period.Level, bar.Start) == key) {
            if (const std::optional<TYieldPeriod> down = Down(FYields.Period, bar))
                ShowPeriod(*down);
            return;
        }
    }
}

QString TYieldsWindow::Energy(std::int64_t Wh) const
{
    return FormatThousands(FContext.Locale, static_cast<double>(Wh)) + QStringLiteral(" Wh");
}

// With its sign, so that a gain reads as one: "+12.5 %".
QString TYieldsWindow::Change(double Percent) const
{
    const QString number = FormatFixed(FContext.Locale, Percent, 1);
    const bool gain = !number.startsWith(QLatin1Char('-')) && number != FormatFixed(FContext.Locale, 0, 1);
    return (gain ? QStringLiteral("+") : QString()) + number + QStringLiteral(" %");
}

QString TYieldsWindow::TotalsText() const
{
    QStringList parts{Translate("slblYieldTotal").arg(Energy(FYields.TotalWh))};
    if (FYields.MissingDays > 0)
        parts << (FYields.MissingDays == 1 ? Translate("slblYieldMissingOne")
                                           : Translate("slblYieldMissing").arg(FYields.MissingDays));
    if (FYields.BestDay)
        parts << Translate("slblYieldBest")
                     .arg(FormatDateTime(FContext.Locale, QStringLiteral("ddddd"), DayStart(FYields.BestDay->Day)),
                          Energy(FYields.BestDay->EnergyWh));
    if (FYields.Period.Level != TYieldLevel::Years) {
        if (!FYields.EarlierWh)
            parts << Translate("slblYieldNoEarlier");
        else if (FYields.ChangePercent)
            parts << Translate("slblYieldEarlier").arg(Energy(*FYields.EarlierWh), Change(*FYields.ChangePercent));
        else
            parts << Translate("slblYieldEarlierOnly").arg(Energy(*FYields.EarlierWh));
    }
    return parts.join(QStringLiteral("    "));
}

void TYieldsWindow::ShowYields()
{
    const bool shown = !FYields.Bars.empty();
    btnPrevious->setEnabled(shown && HasPrevious(FYields.Period, FSpan));
    btnNext->setEnabled(shown && HasNext(FYields.Period, FSpan));
    btnUp->setEnabled(shown && Up(FYields.Period).has_value());
    btnUp->setText(Translate(FYields.Period.Level == TYieldLevel::Days ? "sbtnWholeYear" : "sbtnAllYears"));
    btnExportYields->setEnabled(shown);
    btnSavePicture->setEnabled(shown);
    lblTotals->setText(shown ? TotalsText() : QString());
    auto *title = static_cast<QCPTextElement *>(chartYields->plotLayout()->element(0, 0));
    title->setText(shown ? Translate("schartYieldsTitle").arg(Serial(), YieldPeriodName(FYields, FContext.Locale)) : QString());
    ShowBars();
}

// Bars only where days have samples: a day, month or year without any is a gap, not a zero.
void TYieldsWindow::ShowBars()
{
    const TYieldLevel level = FYields.Period.Level;
    QVector<double> keys, values, earlierKeys, earlierValues;
    QMap<double, QString> labels;
    double top = 0;
    for (const TYieldBar &bar : FYields.Bars) {
        const double key = BarKey(level, bar.Start);
        labels.insert(key, YieldBarLabel(level, bar.Start, FContext.Locale));
        if (bar.Wh) {
            keys << key;
            values << static_cast<double>(*bar.Wh);
            top = std::max(top, values.back());
        }
        if (bar.EarlierWh) {
            earlierKeys << key;
            earlierValues << static_cast<double>(*bar.EarlierWh);
            top = std::max(top, earlierValues.back());
        }
    }
    serYield->setData(keys, values, true);
    serYieldEarlier->setData(earlierKeys, earlierValues, true);
    FBarTicker->setTicks(labels);
    if (!labels.isEmpty())
        chartYields->xAxis->setRange(labels.firstKey() - 0.6, labels.lastKey() + 0.6);
    chartYields->yAxis->setRange(0, top > 0 ? top * 1.1 : 1);
    chartYields->replot();
}

QString TYieldsWindow::ProposedFileName(const QString &Extension) const
{
    return SafeFileName(QStringLiteral("%1 %2 - %3.%4")
                            .arg(Translate("sbtnYields"), Serial(), YieldPeriodName(FYields, FContext.Locale), Extension));
}

void TYieldsWindow::btnExportYieldsClick()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fileName = FContext.Dialogs->SaveFile(folder, CsvFilter, ProposedFileName(QStringLiteral("csv")));
    if (!fileName.isEmpty())
        SaveWholeFile(fileName, YieldsCsv(FYields, DateTimeFromQt(FContext.Now()), Serial(), FContext.Locale));
}

void TYieldsWindow::btnSavePictureClick()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fileName = FContext.Dialogs->SaveFile(folder, PngFilter, ProposedFileName(QStringLiteral("png")));
    if (!fileName.isEmpty() && !chartYields->savePng(fileName))
        throw std::runtime_error(QStringLiteral("Cannot write \"%1\": the picture could not be saved").arg(fileName).toStdString());
}
