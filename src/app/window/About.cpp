// The about panel.

#include "app/FormMain.h"

#include "Version.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

QString GetExeVersion()
{
    return QStringLiteral(HELVANE_VERSION_TEXT);
}

void ShellOpen(const QString &Text)
{
    QDesktopServices::openUrl(QUrl::fromUserInput(Text));
}

void TFormMain::lblAboutClick()
{
    pnlAbout->show();
}

void TFormMain::pnlAboutClick()
{
    pnlAbout->hide();
}

void TFormMain::Label8Click(QLabel *Sender)
{
    ShellOpen(Sender->text());
}
