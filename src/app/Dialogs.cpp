#include "app/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace {

QWidget *Owner()
{
    return QApplication::activeWindow();
}

QString Caption()
{
    QWidget *owner = Owner();
    return owner ? owner->windowTitle() : QApplication::applicationDisplayName();
}

}

bool TMessageDialogs::Confirm(const QString &Text)
{
    return QMessageBox::question(Owner(), Caption(), Text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

void TMessageDialogs::Information(const QString &Text)
{
    QMessageBox::information(Owner(), Caption(), Text);
}

void TMessageDialogs::Warning(const QString &Text)
{
    QMessageBox::warning(Owner(), Caption(), Text);
}

void TMessageDialogs::Error(const QString &Text)
{
    QMessageBox::critical(Owner(), Caption(), Text);
}

QString TMessageDialogs::SaveFile(const QString &Folder, const QString &Filter, const QString &FileName)
{
    return QFileDialog::getSaveFileName(Owner(), QString(), QDir(Folder).filePath(FileName), Filter);
}
