#pragma once

// The message boxes and the save dialog the window asks the user with; tests script them.

#include <QString>
#include <QStringList>

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // Yes and No, No the default; true for Yes.
    virtual bool Confirm(const QString &Text) = 0;
    // One button per answer, the last the default and Escape's; the index of the answer chosen.
    virtual int Choose(const QString &Text, const QStringList &Answers) = 0;
    virtual void Information(const QString &Text) = 0;
    virtual void Warning(const QString &Text) = 0;
    virtual void Error(const QString &Text) = 0;
    // The chosen path, or empty when the user cancels.
    virtual QString SaveFile(const QString &Folder, const QString &Filter, const QString &FileName) = 0;
};

// Modal message boxes owned by the active window, captioned with the program's name; their
// standard buttons speak the language of the toolkit's translation installed.
class TMessageDialogs : public TDialogs {
public:
    bool Confirm(const QString &Text) override;
    int Choose(const QString &Text, const QStringList &Answers) override;
    void Information(const QString &Text) override;
    void Warning(const QString &Text) override;
    void Error(const QString &Text) override;
    QString SaveFile(const QString &Folder, const QString &Filter, const QString &FileName) override;
};
