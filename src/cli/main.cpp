#include "Version.h"
#include "cli/Cli.h"
#include "core/FileErrors.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    IgnoreFileSizeSignal();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("helvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HELVANE_VERSION_TEXT));
    QTextStream out(stdout);
    QTextStream err(stderr);
    TCliContext context = DefaultCliContext(out, err);
    return RunCli(QCoreApplication::arguments().mid(1), context);
}
