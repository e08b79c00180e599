#pragma once

// What the status display shows for one reading: every text, chosen by the status code's class
// and the operating mode, in the current language and the user's locale.

#include "core/LocaleFormats.h"
#include "i18n/Language.h"
#include "protocol/StatusReport.h"

#include <QString>

#include <array>

enum class TStatusClass { None, Information, Error };

// 0 to 99 none, 100 to 199 information, 200 and above error.
TStatusClass StatusClass(int Code);
// The language key of a status code: empty for codes of 10 or less, else "sErr" and the code.
QString ErrorText(int Code);
// The owner sees no string powers while the heater is off or in error; the extended modes always do.
bool PowersShown(bool Extended, int Code);

struct TStringView {
    QString Power;      // lblPn
    int Bar = 0;        // prbPn, in watts
    QString Hint;       // tooltip of imgSn
    QString Voltage;    // lblUn
};

struct TStatusView {
    QString SerialNumber;
    TStatusClass Class = TStatusClass::None;
    QString ErrorLine;  // lblError while the class is not None
    QString ErrorHint;  // tooltip of lblError and imgError
    QString BoardTemp;
    QString WaterTemp;
    QString WaterHint;
    QString WaterControl;
    QString Energy;
    std::array<TStringView, 3> Strings;
};

TStatusView MakeStatusView(const TCurrentData &S, bool Extended, TLanguage Language, const TLocaleFormats &Formats);
