#include "app/Application.h"
#include "Version.h"
#include "core/FileErrors.h"

#include <QApplication>

int main(int argc, char **argv)
{
    IgnoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("helvane"));
    QApplication::setApplicationVersion(QStringLiteral(HELVANE_VERSION_TEXT));
    // Wayland desktops find the window's entry and icon by this name (helvane.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("helvane"));
    return RunMainWindow(DefaultStartupOptions(QApplication::arguments().mid(1)));
}
