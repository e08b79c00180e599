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
#include <QTest>
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
    int Choose(const QString &Text, const QStringList &Answers) override
    {
        Choices << Text;
        ChoiceAnswers << Answers;
        return Chosen < 0 ? static_cast<int>(Answers.size()) - 1 : Chosen;
    }
    void Information(const QString &Text) override { Shown(Informations, Text); }
    void Warning(const QString &Text) override { Shown(Warnings, Text); }
    void Error(const QString &Text) override { Shown(Errors, Text); }
    QString SaveFile(const QString &, const QString &, const QString &FileName) override
    {
        SaveRequests << FileName;
        return SavePath;
    }

    // Runs while a box is open, as a user's actions would.
    std::function<void(const QString &Text)> WhileOpen;
    std::deque<bool> Answers;
    int Chosen = -1;   // the answer Choose gives; the last (the default) when negative
    QString SavePath;
    QList<QStringList> ChoiceAnswers;
    QStringList Choices, Confirmations, Informations, Warnings, Errors, SaveRequests;

private:
    void Shown(QStringList &Boxes, const QString &Text)
    {
        Boxes << Text;
        if (WhileOpen)
            WhileOpen(Text);
    }
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
        if (Archived)
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
        Show(*window);
        return window;
    }

    // Shows the window and lets it connect, as it does once it is on the screen.
    static void Show(TFormMain &Window)
    {
        Window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
        Settle();
    }

    // Runs what the window queued: its first connection once exposed, the boxes that waited for
    // the heater's hold to end.
    static void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
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
    bool Archived = true;   // the window keeps an archive in its data directory
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

// The block requests the heater model took so far.
inline int BlockRequests()
{
    int count = 0;
    for (int i = 0; i < heatersim_written_count(); ++i) {
        std::uint8_t report[65] = {};
        heatersim_written(i, report, sizeof report);
        count += report[1] == 0x10 ? 1 : 0;
    }
    return count;
}

// The progress dialog that an exchange shows, if one is open.
inline TdlgProgress *OpenProgressDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = dynamic_cast<TdlgProgress *>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}
