#include "app/Application.h"

#include "app/FormMain.h"

#include <QApplication>
#include <QScreen>

#include <memory>

int RunMainWindow(const TStartupOptions &Options)
{
    std::unique_ptr<TFormMain> window;
    try {
        window = std::make_unique<TFormMain>(Options);
    } catch (const std::exception &Error) {
        Options.Dialogs->Error(QString::fromUtf8(Error.what()));
        return 1;
    }
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    return QApplication::exec();
}
