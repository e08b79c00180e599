#pragma once

// The command-line tool: its commands, their options and help, and the exit codes scripts rely
// on (0 done, 1 error, 2 bad usage).

#include "core/LocaleFormats.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

enum TExitCode { ExitDone = 0, ExitError = 1, ExitUsage = 2 };

// Everything the tool takes from its surroundings, so that tests can give their own.
struct TCliContext {
    QTextStream &Out;
    QTextStream &Err;
    bool ProgressShown = false;   // the error stream is a terminal: long transfers show a bar there
    QString HidLibraryFile;
    std::function<QDateTime()> Now;
    TLocaleFormats Locale;
    int PollIntervalMs = 1001;
    QString ArchiveLocation;      // where samples are archived; none when empty
};

TCliContext DefaultCliContext(QTextStream &Out, QTextStream &Err);

// Runs the command that the arguments (after the program's name) name. The long-running ones
// (watch, mqtt) run the application's event loop until a stop signal.
int RunCli(const QStringList &Arguments, TCliContext &Context);
