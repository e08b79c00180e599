#include "BenchWindow.h"

#include "heatersim.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QWindow>

namespace {

class TSilentDialogs : public TDialogs {
public:
    bool Confirm(const QString &) override { return false; }
    int Choose(const QString &, const QStringList &Answers) override { return static_cast<int>(Answers.size()) - 1; }
    void Information(const QString &) override {}
    void Warning(const QString &) override {}
    void Error(const QString &) override {}
    QString SaveFile(const QString &, const QString &, const QString &) override { return QString(); }
};

}

TStartupOptions BenchWindowOptions(const QString &DataDirectory, int RefreshIntervalMs)
{
    TStartupOptions options;
    options.Arguments = {QStringLiteral("mondrel")};
    options.HidLibraryFile = QStringLiteral(HEATERSIM_FILE);
    options.DataDirectory = DataDirectory;
    options.Dialogs = std::make_shared<TSilentDialogs>();
    options.Now = [] { return QDateTime::currentDateTime(); };
    options.LanguageId = QStringLiteral("en");
    options.RefreshIntervalMs = RefreshIntervalMs;
    return options;
}

std::unique_ptr<TFormMain> BenchWindow(const QString &DataDirectory, int RefreshIntervalMs)
{
    auto window = std::make_unique<TFormMain>(BenchWindowOptions(DataDirectory, RefreshIntervalMs));
    ShowConnected(*window);
    return window;
}

void ShowConnected(TFormMain &Window)
{
    Window.show();
    const QDeadlineTimer deadline(5000);
    while (!Window.windowHandle()->isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}
