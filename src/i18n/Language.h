#pragma once

// The built-in language table: every text the program shows, in English and German, under a key.

#include <QString>

#include <vector>

class QLocale;

enum class TLanguage { English, German };

struct TLanguageEntry {
    const char *Key;
    const char *English;   // UTF-8
    const char *German;    // UTF-8
};

// The table in its stored order.
const std::vector<TLanguageEntry> &LanguageTable();

// The text of the key in the language; a key the language lacks, or any text that is not a key,
// comes back unchanged. Keys are compared exactly, letter case included.
QString TranslateText(TLanguage Language, const QString &Text);

// The language chosen at start from the user's ISO 639 language name: German for names that
// begin with "de", English otherwise.
TLanguage StartLanguage(const QString &UserLanguageId);

// The short code that the switch label shows while Language is current: the other language's.
QString SwitchLabelText(TLanguage Language);
// The language a click on the switch label showing Text makes current.
TLanguage LanguageOfSwitchLabel(const QString &Text);

// The ISO 639 language name of the user's locale, or "en" when the system gives none.
QString UserLanguageID();
// The same for a given locale: two or three lower-case letters, "en" for the C locale.
QString LanguageIdOfLocale(const QLocale &Locale);
