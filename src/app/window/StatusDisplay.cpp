// Showing one status reading.

#include "app/FormMain.h"
#include "status/StatusView.h"

#include <QDateEdit>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QTimeEdit>

#include <algorithm>

namespace {

const QColor ErrorColour = QColor::fromRgba(0xFFFF4500);
const QColor InformationColour = QColor::fromRgba(0xFF000000);

void SetTextColour(QLabel *Label, const QColor &Colour)
{
    QPalette palette = Label->palette();
    palette.setColor(QPalette::WindowText, Colour);
    Label->setPalette(palette);
}

void SetBar(QProgressBar *Bar, int Value)
{
    Bar->setValue(std::clamp(Value, Bar->minimum(), Bar->maximum()));
}

}

void TFormMain::ShowCurrentData(const TCurrentData &S)
{
    const TStatusView view = MakeStatusView(S, ExtendedMode(), FLanguage, FOptions.Locale);
    lblSerNr->setText(view.SerialNumber);

    if (view.Class == TStatusClass::None) {
        lblError->clear();
        imgError->hide();
    } else {
        const bool error = view.Class == TStatusClass::Error;
        lblError->setText(view.ErrorLine);
        SetTextColour(lblError, error ? ErrorColour : InformationColour);
        QFont bold = lblError->font();
        bold.setBold(true);
        lblError->setFont(bold);
        imgError->setPixmap(QPixmap(error ? QStringLiteral(":/images/pngError.png") : QStringLiteral(":/images/pngInfo.png")));
        imgError->show();
    }
    lblError->setToolTip(view.ErrorHint);
    imgError->setToolTip(lblError->toolTip());

    lblTPCB->setText(view.BoardTemp);
    lblTWater->setText(view.WaterTemp);
    lblTWater->setToolTip(view.WaterHint);
    lblTWaterControl->setText(view.WaterControl);
    lblEnergy->setText(view.Energy);

    const std::array<QLabel *, 3> power = {lblP1, lblP2, lblP3};
    const std::array<QProgressBar *, 3> bar = {prbP1, prbP2, prbP3};
    const std::array<QLabel *, 3> panel = {imgS1, imgS2, imgS3};
    const std::array<QLabel *, 3> voltage = {lblU1, lblU2, lblU3};
    for (std::size_t n = 0; n < 3; ++n)
        power[n]->setText(view.Strings[n].Power);
    for (std::size_t n = 0; n < 3; ++n)
        SetBar(bar[n], view.Strings[n].Bar);
    for (std::size_t n = 0; n < 3; ++n)
        panel[n]->setToolTip(view.Strings[n].Hint);
    for (std::size_t n = 0; n < 3; ++n)
        voltage[n]->setText(view.Strings[n].Voltage);

    if (!FDTChanged) {
        const QDateTime clock = DateTimeToQt(S.Sample.DT);
        edtDate->setDate(clock.date());
        edtTime->setTime(clock.time());
    }
    if (!FTSollChanged)
        edtTSoll->setValue(S.Tsoll);
}
