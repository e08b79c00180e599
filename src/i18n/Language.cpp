#include "i18n/Language.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <array>

namespace {

// Our own line, the same in both languages.
constexpr const char *kCopyright = "Copyright © 2017–2026 Helvane. All rights reserved.";

}  // namespace

const std::vector<TLanguageEntry> &LanguageTable()
{
    // Stored order: captions and messages, the device states by code, then the progress, about and
    // chart-range texts.
    static const std::vector<TLanguageEntry> table = {
        {"slblString1", "String 1", "Strang 1"},
        {"slblString2", "String 2", "Strang 2"},
        {"slblString3", "String 3", "Strang 3"},
        {"sserP1", "P1 [W]", "P1 [W]"},
        {"sserP2", "P2 [W]", "P2 [W]"},
        {"sserP3", "P3 [W]", "P3 [W]"},
        {"sserU1", "U1 [V]", "U1 [V]"},
        {"sserU2", "U2 [V]", "U2 [V]"},
        {"sserU3", "U3 [V]", "U3 [V]"},
        {"sserEnergy", "Energy [Wh]", "Energie [Wh]"},
        {"sserEnergyBar", "Energy [Wh]", "Energie [Wh]"},
        {"sserTW", "T water [°C]", "T Wasser [°C]"},
        {"schartTitle", "Historical data", "Historische Daten"},
        {"sbtnLoadMoreData", "Load more Data", "Mehr Daten laden"},
        {"sbtnClearHistory", "Clear History", "Historie löschen"},
        {"slblDevice", "Device:", "Gerät:"},
        {"slblDateTime", "Date/Time:", "Datum/Zeit:"},
        {"slblWaterTemp", "Nominal temperature water [°C]:", "Solltemperatur Wasser [°C]:"},
        {"sbtnSet", "Set", "Setzen"},
        {"sbtnExport", "Export", "Export"},
        {"slblToday", "Today:", "Heute:"},
        {"sbtnSetLocal", "Set local", "Lokalzeit"},
        {"en", "en", "en"},
        {"de", "de", "de"},
        {"sMsgAreYouSure", "Are you sure?", "Sind Sie sicher?"},
        {"sInfoWaterTemp1",
         "The boiler water temperature should be selected high to use as much solar energy as possible.",
         "Die Boiler-Wassertemperatur sollte hoch gewählt werden um möglichst viel Sonnenenergie zu nutzen."},
        {"sInfoWaterTemp2",
         "However, at a water temperature above 60°C, a hot water mixer system must be used to prevent scalding.",
         "Bei Wassertemperaturen über 60°C muss aber eine Brauchwassermischer-Anlage eingesetzt werden, um Verbrühungen vorzubeugen."},
        {"sMsgFlashFW",
         "To flash a new firmware, this application will be closed. Follow the instructions to perform the firmware update. Do you want to continue?",
         "Um die Firmware zu aktualisieren, muss diese Applikation beendet werden. Folgen Sie den Anweisungen im Handbuch, um die Aktualisierung durchzuführen. Möchten Sie fortfahren?"},
        {"sMsgTempBelow60",
         "Water temperatures below 60°C can promote legionella growth and lead to diseases. Please confirm to set lower nominal temperatures.",
         "Wassertemperaturen unter 60°C können das Legionellenwachstum begünstigen und dadurch zu Krankheiten führen. Bitte bestätigen Sie die tiefe Solltemperatur."},
        {"sMsgHotWater",
         "Water above 60°C can lead to scalding. Therefore, a service water mixer with scalding protection must be used. Please confirm to set higher nominal temperatures.",
         "Wasser über 60°C kann zu Verbrühungen führen. Es muss daher ein Brauchwassermischer mit Verbrühschutz eingesetzt werden. Bitte bestätigen Sie die hohe Solltemperatur."},
        {"sMsgTempBelow60ForLongPeriod",
         "Legionella risk! The water temperature was never above 60 ° C for a long time. It is recommended to periodically heat the water to over 60°C and then rinse thoroughly pipes and fittings for min. 5 minutes. Please observe the local legal regulations.",
         "Legionellengefahr! Die Wassertemperatur war für eine längere Zeit nie oberhalb 60°C. Es wird empfohlen, regelmässig das Wasser auf über 60°C zu heizen und die Leitungen und Armaturen damit min. 5 Minuten durchzuspülen. Beachten zudem Sie die lokalen gesetzlichen Vorschriften."},
        {"sMsgNoMoreData", "The heater holds no older data.", "Das Heizgerät hat keine älteren Daten gespeichert."},
        {"sInfo", "Info", "Info"},
        {"sWarning", "Warning", "Warnung"},
        {"sError", "Error", "Fehler"},
        {"sErr101", "Off, USB only", "Aus, nur USB"},
        {"sErr102", "Input power not stable yet", "Eingangsleistung zu tief"},
        {"sErr111", "Nominal water temperature reached", "Wasser-Solltemperatur erreicht"},
        {"sErr120", "Date/Time invalid", "Datum/Zeit ungültig"},
        {"sErr121", "Isolation check instable", "Isolationstest instabil"},
        {"sErr122", "Isolation error -> High", "Isolationsfehler -> Hoch"},
        {"sErr123", "Isolation error -> GND", "Isolationsfehler -> GND"},
        {"sErr201", "String 1 voltage too high (U1 > 50V)", "Spannung Strang 1 zu hoch (U1 > 50V)"},
        {"sErr202", "String 2 voltage too high (U2 > 50V)", "Spannung Strang 2 zu hoch (U2 > 50V)"},
        {"sErr203", "String 3 voltage too high (U3 > 50V)", "Spannung Strang 3 zu hoch (U3 > 50V)"},
        {"sErr211", "String 1 current too high (I1 > 30A)", "Strom Strang 1 zu hoch (I1 > 30A)"},
        {"sErr212", "String 2 current too high (I2 > 30A)", "Strom Strang 2 zu hoch (I2 > 30A)"},
        {"sErr213", "String 3 current too high (I3 > 30A)", "Strom Strang 3 zu hoch (I3 > 30A)"},
        {"sErr214", "Wrong polarity string 1", "Verkehrte Polarität Strang 1"},
        {"sErr215", "Wrong polarity string 2", "Verkehrte Polarität Strang 2"},
        {"sErr216", "Wrong polarity string 3", "Verkehrte Polarität Strang 3"},
        {"sErr220", "Internal error", "Interner Fehler"},
        {"sErr221", "Water temperature too high (> 88°C)", "Wasser-Temperatur zu hoch (> 88 °C)"},
        {"sErr222", "Water temperature too high (> 88°C)", "Wasser-Temperatur zu hoch (> 88 °C)"},
        {"sErr223", "Internal temperature too high", "Interne Temperatur zu hoch"},
        {"sErr224", "Temperature out of range", "Temperatur ausserhalb Messbereich"},
        {"sErr225", "Internal error", "Interner Fehler"},
        {"sErr226",
         "Redundant temperature sensors deviation too high",
         "Redundante Temperatursensoren haben eine zu grosse Differenz"},
        {"sErr230", "Current on wrong string", "Strom auf falschem Strang"},
        {"sErr231", "Error heating rod 1", "Fehler Heizstab 1"},
        {"sErr232", "Error heating rod 2", "Fehler Heizstab 2"},
        {"sErr233", "Error heating rod 3", "Fehler Heizstab 3"},
        {"sErr234", "Heating rod 1 resistance out of range", "Widerstand Heizstab 1 ausserhalb Toleranz"},
        {"sErr235", "Heating rod 2 resistance out of range", "Widerstand Heizstab 2 ausserhalb Toleranz"},
        {"sErr236", "Heating rod 3 resistance out of range", "Widerstand Heizstab 3 ausserhalb Toleranz"},
        {"sErr241", "Internal error", "Interner Fehler"},
        {"sErr242", "Internal error", "Interner Fehler"},
        {"sErr243", "Internal error", "Interner Fehler"},
        {"sErr244", "Internal error", "Interner Fehler"},
        {"sErr245", "Internal error", "Interner Fehler"},
        {"sErr246", "Internal error", "Interner Fehler"},
        {"sErr250", "Internal error", "Interner Fehler"},
        {"sErr251", "Internal error", "Interner Fehler"},
        {"sErr255", "Internal error", "Interner Fehler"},
        {"slblTransferData", "Transferring data…", "Daten werden transferiert…"},
        {"slblDownloadingData", "Downloading data…", "Daten werden geladen…"},
        {"sbtnCancel", "Cancel", "Abbrechen"},
        {"sCapProgress", "Operation is executed", "Vorgang wird ausgeführt"},
        {"sTitle", "Helvane Software", "Helvane Software"},
        {"sCopyright", kCopyright, kCopyright},
        {"smnuFlashFW", "Update firmware", "Firmware aktualisieren"},
        {"sbtnNow", "Now", "Jetzt"},
        {"sbtnToday", "Today", "Heute"},
        {"sbtnThisWeek", "Actual week", "Aktuelle Woche"},
        {"sbtnThisMonth", "Actual month", "Aktueller Monat"},
        // Our own: where the program's files are, on the about panel.
        {"slblDataFiles", "Data log: %1    Measurement files: %2", "Datenprotokoll: %1    Messdateien: %2"},
        // Why no heater is in use, on the not-connected panel.
        {"sMsgNoHeater", "No heater found: connect the heater by USB.",
         "Kein Heizgerät gefunden: bitte das Heizgerät per USB anschließen."},
        {"sMsgHeaterRefused", "A heater is connected, but this user may not open it: install the udev rule 70-helvane.rules.",
         "Ein Heizgerät ist angeschlossen, aber dieser Benutzer darf es nicht öffnen: bitte die udev-Regel 70-helvane.rules installieren."},
        // The question before a flash sector is erased, with the sector's address.
        {"sMsgEraseSector", "Erase the flash sector at $%1?", "Den Flash-Sektor bei $%1 löschen?"},
        // The range button of the current year, below the month's.
        {"sbtnThisYear", "Actual year", "Aktuelles Jahr"},
        // Where the archive of every sample is, on the about panel.
        {"slblArchive", "Archive: %1\nThe chart and the export include the connected heater's archived samples.",
         "Archiv: %1\nDiagramm und Export enthalten die archivierten Messwerte des angeschlossenen Heizgeräts."},
        // Clearing the history of a heater with samples in the archive: the heater's memory
        // only, or its archived samples too (the key names the heater), or nothing.
        {"sMsgClearHistoryArchive",
         "Erase the history stored in the heater?\nThe archive keeps its copy of this heater's samples (%1) unless it is "
         "erased too; the chart and the export show that copy again at the next connection.",
         "Die im Heizgerät gespeicherte Historie löschen?\nDas Archiv behält seine Kopie der Messwerte dieses Heizgeräts "
         "(%1), wenn sie nicht mitgelöscht wird; Diagramm und Export zeigen diese Kopie bei der nächsten Verbindung wieder."},
        {"sbtnClearHeater", "Heater only", "Nur Heizgerät"},
        {"sbtnClearHeaterAndArchive", "Heater and archive", "Heizgerät und Archiv"},
        {"sbtnNo", "No", "Nein"},
        // An archive that cannot be used at start, with the reason.
        {"sMsgArchiveUnusable", "The archive cannot be used; samples are kept only as long as the heater holds them.\n\n%1",
         "Das Archiv kann nicht benutzt werden; Messwerte bleiben nur so lange erhalten, wie das Heizgerät sie speichert.\n\n%1"},
        {"slblNoArchive", "Archive: not in use", "Archiv: nicht in Gebrauch"},
        // The yields window: what the sun gave per day, month and year, from the archive.
        {"sbtnYields", "Yields", "Erträge"},
        {"sbtnEarlier", "Earlier", "Früher"},
        {"sbtnLater", "Later", "Später"},
        {"sbtnWholeYear", "Whole year", "Ganzes Jahr"},
        {"sbtnAllYears", "All years", "Alle Jahre"},
        {"slblYieldsHeater", "Heater:", "Heizgerät:"},
        {"sbtnSavePicture", "Save picture", "Bild speichern"},
        {"sserYearEarlier", "A year earlier [Wh]", "Ein Jahr früher [Wh]"},
        {"schartYieldsTitle", "Yields of %1: %2", "Erträge von %1: %2"},
        {"slblYieldTotal", "Total: %1", "Summe: %1"},
        {"slblYieldMissing", "%1 days without samples", "%1 Tage ohne Messwerte"},
        {"slblYieldMissingOne", "1 day without samples", "1 Tag ohne Messwerte"},
        {"slblYieldBest", "Best day: %1, %2", "Bester Tag: %1, %2"},
        {"slblYieldEarlier", "A year earlier: %1 (%2)", "Ein Jahr früher: %1 (%2)"},
        {"slblYieldEarlierOnly", "A year earlier: %1", "Ein Jahr früher: %1"},
        {"slblYieldNoEarlier", "A year earlier: no samples", "Ein Jahr früher: keine Messwerte"},
        {"sMsgNoYields", "The archive holds no samples of a heater yet.", "Das Archiv enthält noch keine Messwerte eines Heizgeräts."},
    };
    return table;
}

namespace {

using TLanguageMap = QHash<QString, QString>;

// One map per language, built on first use: the status refresh translates on every cycle.
const TLanguageMap &LanguageMap(TLanguage Language)
{
    static const std::array<TLanguageMap, 2> maps = [] {
        std::array<TLanguageMap, 2> result;
        const auto &table = LanguageTable();
        for (auto &map : result)
            map.reserve(static_cast<qsizetype>(table.size()));
        for (const TLanguageEntry &entry : table) {
            const QString key = QString::fromUtf8(entry.Key);
            result[0].insert(key, QString::fromUtf8(entry.English));
            result[1].insert(key, QString::fromUtf8(entry.German));
        }
        return result;
    }();
    return maps[Language == TLanguage::German ? 1 : 0];
}

}  // namespace

QString TranslateText(TLanguage Language, const QString &Text)
{
    if (Text.isEmpty())
        return Text;
    const TLanguageMap &map = LanguageMap(Language);
    const auto found = map.constFind(Text);
    return found == map.cend() ? Text : found.value();
}

TLanguage StartLanguage(const QString &UserLanguageId)
{
    return UserLanguageId.startsWith(QLatin1String("de"), Qt::CaseSensitive) ? TLanguage::German
                                                                             : TLanguage::English;
}

QString SwitchLabelText(TLanguage Language)
{
    return Language == TLanguage::German ? QStringLiteral("en") : QStringLiteral("de");
}

TLanguage LanguageOfSwitchLabel(const QString &Text)
{
    return Text == QLatin1String("de") ? TLanguage::German : TLanguage::English;
}

QString LanguageIdOfLocale(const QLocale &Locale)
{
    const QString english = QStringLiteral("en");
    // The C locale and an unset one name no language.
    if (Locale.language() == QLocale::C || Locale.language() == QLocale::AnyLanguage)
        return english;
    QString id = QLocale::languageToCode(Locale.language()).toLower();
    if (id.isEmpty())
        id = Locale.name().section(QLatin1Char('_'), 0, 0).toLower();
    static const QRegularExpression isoName(QStringLiteral("^[a-z]{2,3}$"));
    return isoName.match(id).hasMatch() ? id : english;
}

QString UserLanguageID()
{
    return LanguageIdOfLocale(QLocale::system());
}
