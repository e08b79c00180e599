#pragma once

#include "app/FormMain.h"
#include "app/ProgressDlg.h"
#include "heatersim.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

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

    // Every report the host wrote to the model, in order.
    static std::vector<TBytes> WrittenReports()
    {
        std::vector<TBytes> reports;
        for (int i = 0; i < heatersim_written_count(); ++i) {
            TBytes report(256);
            report.resize(static_cast<std::size_t>(heatersim_written(i, report.data(), 256)));
            reports.push_back(report);
        }
        return reports;
    }

    // A command report as it goes out: its six bytes, then zeros up to 65.
    static TBytes Sent(std::initializer_list<std::uint8_t> Head)
    {
        TBytes report(Head);
        report.resize(65, 0);
        return report;
    }

    QTemporaryDir DataDir;
    std::shared_ptr<TFakeDialogs> Dialogs = std::make_shared<TFakeDialogs>();
    QDateTime Now{QDate(2017, 3, 30), QTime(10, 0)};
    QString LanguageId = QStringLiteral("en");
};

// The heater's status in the worked example: SN 1709-634, setpoint 60, 2017-04-07 12:00:00,
// string 1 at 31 V, 10 A, PWM 400, water 45.25 and 44.00 °C, board 28.5 °C, 12345 Wh, state 0.
inline heatersim_status ExampleStatus()
{
    heatersim_status status{};
    status.serial_number = 17090634;
    status.setpoint = 60;
    status.clock = 1491559200;
    status.voltage[0] = 3100;
    status.current[0] = 1000;
    status.pwm[0] = 400;
    status.water_temp = 4525;
    status.water_temp2 = 4400;
    status.board_temp = 2850;
    status.isolation = 255;
    status.energy = 12345;
    return status;
}

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

#ifdef Q_OS_LINUX
// Root passes every permission check: a file or folder is closed to the test only while
// its thread's effective capabilities lack the overrides. Restored when it goes.
class TWithoutPermissionOverride {
public:
    TWithoutPermissionOverride()
    {
        syscall(SYS_capget, &FHeader, FSaved);
        __user_cap_data_struct reduced[2] = {FSaved[0], FSaved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        syscall(SYS_capset, &FHeader, reduced);
    }
    ~TWithoutPermissionOverride() { syscall(SYS_capset, &FHeader, FSaved); }

private:
    __user_cap_header_struct FHeader{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct FSaved[2]{};
};
#endif
