#include "app/StartupOptions.h"

#include "archive/Archive.h"
#include "core/DataDirectory.h"
#include "hid/FHid.h"
#include "i18n/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

TStartupOptions DefaultStartupOptions(const QStringList &Arguments)
{
    TStartupOptions options;
    options.Arguments = Arguments;
    options.HidLibraryFile = DefaultHidLibraryFile();
    options.DataDirectory = DefaultDataDirectory();
    options.ArchiveLocation = ArchiveLocation(options.DataDirectory);
    options.Dialogs = std::make_shared<TMessageDialogs>();
    options.Now = [] { return QDateTime::currentDateTime(); };
    options.Locale = TLocaleFormats::FromLocale(QLocale::system());
    options.LanguageId = UserLanguageID();
    return options;
}
