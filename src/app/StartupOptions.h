#pragma once

// Everything the main window takes from its surroundings, so that tests can give their own.

#include "app/Dialogs.h"
#include "core/LocaleFormats.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct TStartupOptions {
    QStringList Arguments;      // the command-line arguments after the program's name
    QString HidLibraryFile;     // the HID library to load
    QString DataDirectory;      // where the data log and measurement files go
    QString ArchiveLocation;    // the archive: a file, or a PostgreSQL database's URL
    std::shared_ptr<TDialogs> Dialogs;
    std::function<QDateTime()> Now;
    TLocaleFormats Locale;      // numbers and dates as the user's locale writes them
    QString LanguageId;         // the user's ISO 639 language name
    int RefreshIntervalMs = 1001;   // the status poll's period; shorter only for soak runs
};

TStartupOptions DefaultStartupOptions(const QStringList &Arguments);
