#pragma once

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "heatersim.h"
#include "support/ExampleStatus.h"
#include "support/PermissionOverride.h"
#include "support/WrittenReports.h"

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>


#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>

// Dialogs that record what the window asked and answer from a script.
class TFakeDialogs : public TDialogs {
public:
    bool Confirm(const QString &Text) override
    {
        Confirmations << Text;
        if (Answers.empty())
            return false;
        const bool answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void Information(const QString &Text) override { Informations << Text; }
    void Warning(const QString &Text) override { Warnings << Text; }
    void Error(const QString &Text) override { Errors << Text; }
    QString SaveFile(const QString &, const QString &, const QString &FileName) override
    {
        SaveRequests << FileName;
        return SavePath;
    }

    std::deque<bool> Answers;
    QString SavePath;
    QStringList Confirmations, Informations, Warnings, Errors, SaveRequests;
};

// The arguments of the three operating modes: owner, technician, engineering.
inline const QList<QStringList> &Modes()
{
    static const QList<QStringList> modes = {{}, {QStringLiteral("mondrel")}, {QStringLiteral("quintabok")}};
    return modes;
}

inline std::string ModeName(const QStringList &Arguments)
{
    return Arguments.isEmpty() ? "owner" : Arguments.first().toStdString();
}

// A window against the heater model, with a fixed clock and its own data directory.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { heatersim_reset(); }

    TStartupOptions Options(const QStringList &Arguments = {})
    {
        TStartupOptions options;
        options.Arguments = Arguments;
        options.HidLibraryFile = QStringLiteral(HEATERSIM_FILE);
        options.DataDirectory = DataDir.path();
        options.ArchiveLocation = QDir(DataDir.path()).filePath(QStringLiteral("Archive.sqlite"));
        options.Dialogs = Dialogs;
        options.Now = [this] { return Now; };
        options.Locale = TLocaleFormats{};
        options.LanguageId = LanguageId;
        return options;
    }

    std::unique_ptr<TFormMain> MakeWindow(const QStringList &Arguments = {})
    {
        return std::make_unique<TFormMain>(Options(Arguments));
    }

    // A window that has been shown, and so has connected if it could.
    std::unique_ptr<TFormMain> ShownWindow(const QStringList &Arguments = {})
    {
        auto window = MakeWindow(Arguments);
        window->show();
        return window;
    }

    // The engineering mode connected to the heater at /dev/hidraw-heater0, with nothing yet in
    // the record of written reports nor in the memo.
    std::unique_ptr<TFormMain> Engineering()
    {
        heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
        auto window = ShownWindow({QStringLiteral("quintabok")});
        heatersim_clear_written();
        window->memLog->clear();
        return window;
    }

    static QStringList LogLines(const TFormMain &Window)
    {
        return Window.memLog->toPlainText().split(QLatin1Char('\n'));
    }

    QTemporaryDir DataDir;
    std::shared_ptr<TFakeDialogs> Dialogs = std::make_shared<TFakeDialogs>();
    QDateTime Now{QDate(2017, 3, 30), QTime(10, 0)};
    QString LanguageId = QStringLiteral("en");
};

// Runs Action in an exchange's message processing once Condition holds.
class TDuringExchange : public QObject {
public:
    TDuringExchange(std::function<bool()> Condition, std::function<void()> Action)
        : FCondition(std::move(Condition)), FAction(std::move(Action))
    {
        FTimer.setInterval(0);
        connect(&FTimer, &QTimer::timeout, this, [this] {
            if (FCondition()) {
                FTimer.stop();
                FAction();
            }
        });
        FTimer.start();
    }

private:
    QTimer FTimer;
    std::function<bool()> FCondition;
    std::function<void()> FAction;
};

// The progress dialog that an exchange shows, if one is open.
inline TdlgProgress *OpenProgressDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = dynamic_cast<TdlgProgress *>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}
