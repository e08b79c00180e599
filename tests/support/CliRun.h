#pragma once

// The command-line tool run in this process against the heater model, with a clock and a locale
// given by the test.

#include "cli/Cli.h"
#include "heatersim.h"
#include "support/WrittenReports.h"

#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <ostream>

// Failures show the texts as text.
inline void PrintTo(const QString &Text, std::ostream *Stream)
{
    *Stream << '"' << Text.toStdString() << '"';
}

struct TCliRun {
    int Code = -1;
    QString Out;
    QString Err;
};

inline TCliRun RunCliWith(const QStringList &Arguments, const QDateTime &Now, const TLocaleFormats &Locale,
                          bool OnTerminal = false, const QString &Archive = QString())
{
    TCliRun run;
    QTextStream out(&run.Out);
    QTextStream err(&run.Err);
    TCliContext context{.Out = out,
                        .Err = err,
                        .ProgressShown = OnTerminal,
                        .HidLibraryFile = QStringLiteral(HEATERSIM_FILE),
                        .Now = [Now] { return Now; },
                        .Locale = Locale,
                        .ArchiveLocation = Archive};
    run.Code = RunCli(Arguments, context);
    out.flush();
    err.flush();
    return run;
}
