#include "i18n/Language.h"

#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

QString Utf8(const char *Text)
{
    return QString::fromUtf8(Text);
}

}  // namespace

TEST(LanguageTable, HoldsEachKeyOnceInTheStoredOrder)
{
    const auto &table = LanguageTable();
    ASSERT_EQ(table.size(), 114u);

    std::set<std::string> keys;
    int stateKeys = 0;
    const QRegularExpression stateKey(QStringLiteral("^sErr\\d+$"));
    for (const TLanguageEntry &entry : table) {
        EXPECT_TRUE(keys.insert(entry.Key).second) << "twice: " << entry.Key;
        EXPECT_STRNE(entry.English, "") << entry.Key;
        EXPECT_STRNE(entry.German, "") << entry.Key;
        if (stateKey.match(Utf8(entry.Key)).hasMatch())
            ++stateKeys;
    }
    EXPECT_EQ(stateKeys, 39);

    // The device states form one block between the message boxes' captions and the progress texts.
    const struct {
        size_t Index;
        const char *Key;
    } anchors[] = {
        {0, "slblString1"}, {34, "sError"},           {35, "sErr101"},
        {73, "sErr255"},    {74, "slblTransferData"}, {84, "sbtnThisMonth"},
    };
    for (const auto &anchor : anchors)
        EXPECT_STREQ(table[anchor.Index].Key, anchor.Key) << "at " << anchor.Index;
}

TEST(Translate, GivesTheKeysTextAndPassesEverythingElseThrough)
{
    const struct {
        const char *Text;
        const char *English;
        const char *German;
    } cases[] = {
        {"sbtnSet", "Set", "Setzen"},
        {"sError", "Error", "Fehler"},
        {"en", "en", "en"},
        {"de", "de", "de"},
        {"slblTransferData", "Transferring data…", "Daten werden transferiert…"},
        {"sErr214", "Wrong polarity string 1", "Verkehrte Polarität Strang 1"},
        {"sErr221", "Water temperature too high (> 88°C)", "Wasser-Temperatur zu hoch (> 88 °C)"},
        {"sErr122", "Isolation error -> High", "Isolationsfehler -> Hoch"},
        {"sErr255", "Internal error", "Interner Fehler"},
        {"sbtnYields", "Yields", "Erträge"},
        {"slblYieldMissing", "%1 days without samples", "%1 Tage ohne Messwerte"},
        // Not keys: designed captions, codes the table lacks, other letter case, translated words.
        {"Set PWM", "Set PWM", "Set PWM"},
        {"", "", ""},
        {"sErr150", "sErr150", "sErr150"},
        {"SBTNSET", "SBTNSET", "SBTNSET"},
        {"sbtnSet ", "sbtnSet ", "sbtnSet "},
        {"Setzen", "Setzen", "Setzen"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(TranslateText(TLanguage::English, Utf8(c.Text)), Utf8(c.English)) << c.Text;
        EXPECT_EQ(TranslateText(TLanguage::German, Utf8(c.Text)), Utf8(c.German)) << c.Text;
    }
}

TEST(Translate, LongTextsKeepTheirExactWording)
{
    EXPECT_TRUE(TranslateText(TLanguage::English, "sInfoWaterTemp2")
                    .startsWith(Utf8("However, at a water temperature above 60°C")));
    EXPECT_TRUE(TranslateText(TLanguage::German, "sInfoWaterTemp1")
                    .startsWith(Utf8("Die Boiler-Wassertemperatur sollte hoch gewählt werden")));
    EXPECT_TRUE(TranslateText(TLanguage::English, "sMsgTempBelow60ForLongPeriod")
                    .contains(Utf8("never above 60 ° C for a long time")));

    const QString copyright = TranslateText(TLanguage::English, "sCopyright");
    EXPECT_TRUE(copyright.startsWith(Utf8("Copyright ©"))) << copyright.toStdString();
    EXPECT_EQ(TranslateText(TLanguage::German, "sCopyright"), copyright);
}

TEST(Language, StartsInGermanOnlyForGermanLanguageNames)
{
    const struct {
        const char *Id;
        TLanguage Expected;
    } cases[] = {
        {"de", TLanguage::German},  {"deu", TLanguage::German},  {"en", TLanguage::English},
        {"fr", TLanguage::English}, {"it", TLanguage::English},  {"", TLanguage::English},
        {"De", TLanguage::English}, {"xde", TLanguage::English},
    };
    for (const auto &c : cases)
        EXPECT_EQ(StartLanguage(Utf8(c.Id)), c.Expected) << '"' << c.Id << '"';
}

TEST(Language, LocalesGiveTheirIsoLanguageName)
{
    const struct {
        QLocale Locale;
        const char *Id;
    } cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), "de"},
        {QLocale(QLocale::German, QLocale::Switzerland), "de"},
        {QLocale(QLocale::German, QLocale::Austria), "de"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "en"},
        {QLocale(QLocale::French, QLocale::Switzerland), "fr"},
        {QLocale(QLocale::Italian, QLocale::Italy), "it"},
        {QLocale(QLocale::Hawaiian), "haw"},
        {QLocale::c(), "en"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LanguageIdOfLocale(c.Locale), Utf8(c.Id)) << c.Locale.name().toStdString();

    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-z]{2,3}$")).match(UserLanguageID()).hasMatch())
        << UserLanguageID().toStdString();
}

TEST(Language, SwitchLabelShowsTheOtherLanguageAndAClickTogglesIt)
{
    EXPECT_EQ(SwitchLabelText(TLanguage::English), "de");
    EXPECT_EQ(SwitchLabelText(TLanguage::German), "en");
    for (TLanguage start : {TLanguage::English, TLanguage::German}) {
        const TLanguage other = LanguageOfSwitchLabel(SwitchLabelText(start));
        EXPECT_NE(other, start);
        EXPECT_EQ(LanguageOfSwitchLabel(SwitchLabelText(other)), start);
    }
    for (const char *text : {"en", "DE", "", "fr"})
        EXPECT_EQ(LanguageOfSwitchLabel(Utf8(text)), TLanguage::English) << text;
}
