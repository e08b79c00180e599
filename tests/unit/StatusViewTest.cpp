#include "Fixtures.h"
#include "status/StatusView.h"

#include <gtest/gtest.h>

namespace {

TCurrentData Reading(int Code)
{
    TCurrentData s = WorkedReading();
    s.Sample.Err = Code;
    return s;
}

}

TEST(StatusView, StatusCodesChooseClassLineAndHint)
{
    const struct {
        int Code;
        TLanguage Language;
        TStatusClass Class;
        const char *Line;
        const char *Hint;
    } cases[] = {
        {0, TLanguage::English, TStatusClass::None, "", ""},
        {10, TLanguage::English, TStatusClass::None, "", ""},
        {50, TLanguage::English, TStatusClass::None, "", "sErr50"},
        {111, TLanguage::English, TStatusClass::Information, "Info 111: Nominal water temperature reached",
         "Nominal water temperature reached"},
        {122, TLanguage::English, TStatusClass::Information, "Info 122: Isolation error -> High", "Isolation error -> High"},
        {130, TLanguage::English, TStatusClass::Information, "Info 130: sErr130", "sErr130"},
        {201, TLanguage::English, TStatusClass::Error, "Error 201: String 1 voltage too high (U1 > 50V)",
         "String 1 voltage too high (U1 > 50V)"},
        {201, TLanguage::German, TStatusClass::Error, "Fehler 201: Spannung Strang 1 zu hoch (U1 > 50V)",
         "Spannung Strang 1 zu hoch (U1 > 50V)"},
        {111, TLanguage::German, TStatusClass::Information, "Info 111: Wasser-Solltemperatur erreicht",
         "Wasser-Solltemperatur erreicht"},
        {255, TLanguage::English, TStatusClass::Error, "Error 255: Internal error", "Internal error"},
    };
    for (const auto &c : cases) {
        const TStatusView view = MakeStatusView(Reading(c.Code), false, c.Language, EnGb());
        EXPECT_EQ(view.Class, c.Class) << c.Code;
        EXPECT_EQ(view.ErrorLine, QString::fromUtf8(c.Line)) << c.Code;
        EXPECT_EQ(view.ErrorHint, QString::fromUtf8(c.Hint)) << c.Code;
    }
}

TEST(StatusView, OwnerSeesNoPowersWhileTheHeaterIsOffOrInError)
{
    const struct {
        int Code;
        bool Extended;
        bool Shown;
    } cases[] = {
        {0, false, true},    {99, false, true},   {100, false, false}, {111, false, false}, {120, false, false},
        {121, false, true},  {122, false, true},  {199, false, true},  {200, false, false}, {201, false, false},
        {111, true, true},   {201, true, true},
    };
    for (const auto &c : cases) {
        const TStatusView view = MakeStatusView(Reading(c.Code), c.Extended, TLanguage::English, EnGb());
        const TStringView &string1 = view.Strings[0];
        EXPECT_EQ(PowersShown(c.Extended, c.Code), c.Shown) << c.Code;
        EXPECT_EQ(string1.Bar, 310) << c.Code;  // the bar shows the power either way
        if (c.Shown) {
            EXPECT_EQ(string1.Power, c.Extended ? QStringLiteral("310.0W") : QStringLiteral("310W")) << c.Code;
            EXPECT_EQ(string1.Hint, QStringLiteral("31.00V, 10.00A"));
            EXPECT_EQ(string1.Voltage, QStringLiteral("31.00V, 10.00A, 400"));
        } else {
            EXPECT_EQ(string1.Power, QStringLiteral("0W")) << c.Code;
            EXPECT_TRUE(string1.Hint.isEmpty());
            EXPECT_TRUE(string1.Voltage.isEmpty());
        }
    }
}

TEST(StatusView, NumbersFollowTheModeAndTheLocale)
{
    const TStatusView owner = MakeStatusView(Reading(0), false, TLanguage::English, EnGb());
    EXPECT_EQ(owner.SerialNumber, QStringLiteral("1709- 634"));
    EXPECT_EQ(owner.WaterTemp, QStringLiteral("45°C"));
    EXPECT_EQ(owner.WaterHint, QStringLiteral("Control: 44°C"));
    EXPECT_EQ(owner.WaterControl, QStringLiteral("44°C"));
    EXPECT_EQ(owner.BoardTemp, QStringLiteral("29°C"));
    EXPECT_EQ(owner.Energy, QStringLiteral("12,345Wh"));

    const TStatusView technician = MakeStatusView(Reading(0), true, TLanguage::English, EnGb());
    EXPECT_EQ(technician.WaterTemp, QStringLiteral("45.3°C"));
    EXPECT_EQ(technician.WaterHint, QStringLiteral("Control: 44.0°C"));
    EXPECT_EQ(technician.BoardTemp, QStringLiteral("28.5°C"));

    const TStatusView german = MakeStatusView(Reading(0), true, TLanguage::German, DeDe());
    EXPECT_EQ(german.WaterTemp, QStringLiteral("45,3°C"));
    EXPECT_EQ(german.Energy, QStringLiteral("12.345Wh"));
    EXPECT_EQ(german.Strings[0].Voltage, QStringLiteral("31,00V, 10,00A, 400"));

    TCurrentData negative = Reading(0);
    negative.Sample.Energy = -2;
    negative.SN = 10001000;
    EXPECT_EQ(MakeStatusView(negative, false, TLanguage::English, EnGb()).Energy, QStringLiteral("-2Wh"));
    EXPECT_EQ(MakeStatusView(negative, false, TLanguage::English, EnGb()).SerialNumber, QStringLiteral("1000-1000"));
}

TEST(StatusView, ErrorTextIsTheKeyOfTheCode)
{
    EXPECT_EQ(ErrorText(0), QString());
    EXPECT_EQ(ErrorText(10), QString());
    EXPECT_EQ(ErrorText(11), QStringLiteral("sErr11"));
    EXPECT_EQ(ErrorText(201), QStringLiteral("sErr201"));
}
