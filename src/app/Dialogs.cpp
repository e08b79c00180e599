#include "app/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace {

// The active window, or else the main window: a box without an owner would keep the program
// running after the main window closed.
QWidget *Owner()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && !qobject_cast<QDialog *>(widget))
            return widget;
    }
    return nullptr;
}

QString Caption()
{
    return QApplication::applicationDisplayName();
}

}

bool TMessageDialogs::Confirm(const QString &Text)
{
    return QMessageBox::question(Owner(), Caption(), Text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

int TMessageDialogs::Choose(const QString &Text, const QStringList &Answers)
{
    QMessageBox box(QMessageBox::Question, Caption(), Text, QMessageBox::NoButton, Owner());
    QList<QAbstractButton *> buttons;
    for (const QString &answer : Answers)
        buttons.append(box.addButton(answer, QMessageBox::ActionRole));
    box.setDefaultButton(qobject_cast<QPushButton *>(buttons.last()));
    box.setEscapeButton(buttons.last());
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    return static_cast<int>(chosen < 0 ? Answers.size() - 1 : chosen);
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
