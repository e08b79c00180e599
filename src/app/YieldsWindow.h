#pragma once

// The yields window: what the sun gave per day, month and year, read from the archive for one
// heater at a time. Bars of the period beside those of a year earlier, its totals, and the table
// and the picture saved as files.

#include "app/Dialogs.h"
#include "archive/Archive.h"
#include "core/LocaleFormats.h"
#include "history/Yields.h"
#include "i18n/Language.h"

#include <QDateTime>
#include <QSharedPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCPAbstractPlottable;
class QCPAxisTickerText;
class QCPBars;
class QComboBox;
class QCustomPlot;
class QLabel;
class QPushButton;

// What the window takes from the main window.
struct TYieldsContext {
    std::shared_ptr<TDialogs> Dialogs;
    std::function<QDateTime()> Now;
    TLocaleFormats Locale;
};

// The days the archive holds of the heater, and today; none for a heater without samples.
std::optional<TYieldSpan> ReadYieldSpan(TArchive &Archive, const QString &Serial, const QDate &Today);
// A view from the heater's energy samples of the view's dates, each day by the one rule.
TYields ReadYields(TArchive &Archive, const QString &Serial, const TYieldPeriod &Period, const TYieldSpan &Span);
// The heater shown first: Preferred where it has samples, else the one whose newest sample is the
// newest, the heater last connected; empty while no heater has samples.
QString DefaultYieldsHeater(TArchive &Archive, const QString &Preferred);

class TYieldsWindow : public QWidget {
public:
    // A window of its own above Parent, reading Archive, which it keeps.
    TYieldsWindow(QWidget *Parent, std::unique_ptr<TArchive> Archive, TYieldsContext Context, TLanguage Language);
    ~TYieldsWindow() override;

    // Lists the archived heaters and shows the year of the newest sample of Preferred, or of the
    // default heater. False when no heater has samples.
    bool ShowHeater(const QString &Preferred);
    void ShowPeriod(const TYieldPeriod &Period);
    void SetLanguage(TLanguage Language);
    const TYields &Yields() const { return FYields; }

    QPushButton *btnPrevious = nullptr;
    QPushButton *btnNext = nullptr;
    QPushButton *btnUp = nullptr;
    QLabel *lblPeriod = nullptr;
    QLabel *lblHeater = nullptr;
    QComboBox *cbxHeater = nullptr;
    QCustomPlot *chartYields = nullptr;
    QCPBars *serYield = nullptr;
    QCPBars *serYieldEarlier = nullptr;   // the same days, months or years a year earlier
    QLabel *lblTotals = nullptr;
    QPushButton *btnExportYields = nullptr;
    QPushButton *btnSavePicture = nullptr;

    void btnPreviousClick();
    void btnNextClick();
    void btnUpClick();
    void cbxHeaterChange();
    // A click on a bar of either series shows what the bar holds, one level down.
    void chartYieldsBarClick(QCPAbstractPlottable *Bars, int DataIndex);
    void btnExportYieldsClick();
    void btnSavePictureClick();

private:
    void Design();
    void DesignChart();
    void BindHandlers();
    void TranslateUI();
    QString Translate(const char *Key) const;
    QString Energy(std::int64_t Wh) const;
    QString Change(double Percent) const;
    QString TotalsText() const;
    void ShowYields();
    void ShowBars();
    QString Serial() const;
    QString ProposedFileName(const QString &Extension) const;
    template <class F>
    void Guarded(F &&Handler);

    std::unique_ptr<TArchive> FArchive;
    TYieldsContext FContext;
    TLanguage FLanguage;
    TYieldSpan FSpan;
    TYields FYields;
    QSharedPointer<QCPAxisTickerText> FBarTicker;
};
