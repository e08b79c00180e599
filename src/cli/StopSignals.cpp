#include "cli/StopSignals.h"

#include <QCoreApplication>

#ifdef _WIN32
#include <windows.h>
#else
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef _WIN32

namespace {

BOOL WINAPI ConsoleStop(DWORD)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    return TRUE;
}

}

void QuitOnStopSignals()
{
    SetConsoleCtrlHandler(ConsoleStop, TRUE);
}

#else

namespace {

// The handler may only write to a descriptor; the event loop reads the other end.
int StopPipe[2] = {-1, -1};

void SignalStop(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(StopPipe[0], &byte, 1);
}

}

void QuitOnStopSignals()
{
    if (StopPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, StopPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(StopPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(StopPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = SignalStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

#endif
