#include "status/StatusView.h"

#include <cmath>

namespace {

TStringView StringView(float P, float U, float I, int Pwm, bool Shown, bool Extended, const TLocaleFormats &Formats)
{
    TStringView view;
    view.Bar = static_cast<int>(std::lround(P));
    if (!Shown) {
        view.Power = QStringLiteral("0W");
        return view;
    }
    const QString volts = FormatFixed(Formats, U, 2) + QStringLiteral("V, ") + FormatFixed(Formats, I, 2) + QStringLiteral("A");
    view.Power = FormatFixed(Formats, P, Extended ? 1 : 0) + QStringLiteral("W");
    view.Hint = volts;
    view.Voltage = volts + QStringLiteral(", ") + QString::number(Pwm);
    return view;
}

}

TStatusClass StatusClass(int Code)
{
    if (Code >= 200)
        return TStatusClass::Error;
    if (Code >= 100)
        return TStatusClass::Information;
    return TStatusClass::None;
}

QString ErrorText(int Code)
{
    return Code <= 10 ? QString() : QStringLiteral("sErr%1").arg(Code);
}

bool PowersShown(bool Extended, int Code)
{
    return Extended || Code < 100 || (Code > 120 && Code < 200);
}

TStatusView MakeStatusView(const TCurrentData &S, bool Extended, TLanguage Language, const TLocaleFormats &Formats)
{
    const THistoryData &sample = S.Sample;
    const int code = sample.Err;
    const int temperatureDecimals = Extended ? 1 : 0;
    TStatusView view;
    view.SerialNumber = FormatPadded(S.SN / 10000, 4) + QLatin1Char('-') + FormatPadded(S.SN % 10000, 4);

    view.Class = StatusClass(code);
    view.ErrorHint = TranslateText(Language, ErrorText(code));
    if (view.Class != TStatusClass::None) {
        const QString kind = view.Class == TStatusClass::Error ? QStringLiteral("sError") : QStringLiteral("sInfo");
        view.ErrorLine = QStringLiteral("%1 %2: %3").arg(TranslateText(Language, kind)).arg(code).arg(view.ErrorHint);
    }

    view.BoardTemp = FormatFixed(Formats, sample.TB, temperatureDecimals) + QStringLiteral("°C");
    view.WaterTemp = FormatFixed(Formats, sample.TW, temperatureDecimals) + QStringLiteral("°C");
    view.WaterControl = FormatFixed(Formats, S.TW2, temperatureDecimals) + QStringLiteral("°C");
    view.WaterHint = QStringLiteral("Control: ") + view.WaterControl;
    view.Energy = FormatThousands(Formats, sample.Energy) + QStringLiteral("Wh");

    const bool shown = PowersShown(Extended, code);
    view.Strings = {StringView(sample.P1, sample.U1, sample.I1, sample.PWM1, shown, Extended, Formats),
                    StringView(sample.P2, sample.U2, sample.I2, sample.PWM2, shown, Extended, Formats),
                    StringView(sample.P3, sample.U3, sample.I3, sample.PWM3, shown, Extended, Formats)};
    return view;
}
