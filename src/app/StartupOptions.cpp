#include "app/StartupOptions.h"

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
    options.Dialogs = std::make_shared<TMessageDialogs>();
    options.Now = [] { return QDateTime::currentDateTime(); };
    options.Locale = TLocaleFormats::FromLocale(QLocale::system());
    options.LanguageId = UserLanguageID();
    return options;
}

QString DefaultDataDirectory()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (QFileInfo(beside).isWritable())
        return beside;
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(appData);
    return appData;
}
