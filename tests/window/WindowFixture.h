#pragma once

#include "app/FormMain.h"
#include "heatersim.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
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
        options.Dialogs = Dialogs;
        options.Now = [this] { return Now; };
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

    static QStringList LogLines(const TFormMain &Window)
    {
        return Window.memLog->toPlainText().split(QLatin1Char('\n'));
    }

    QTemporaryDir DataDir;
    std::shared_ptr<TFakeDialogs> Dialogs = std::make_shared<TFakeDialogs>();
    QDateTime Now{QDate(2017, 3, 30), QTime(10, 0)};
};
