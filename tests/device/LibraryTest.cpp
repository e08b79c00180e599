#include "HidTesting.h"

#include <QStringList>

#include <dlfcn.h>

#include <memory>
#include <ostream>

namespace {

struct TLoadFailure {
    const char *Name;
    QString File;
    QString MessageEnd;
};

void PrintTo(const TLoadFailure &Case, std::ostream *Out)
{
    *Out << Case.Name;
}

class LibraryLoad : public THidTest, public ::testing::WithParamInterface<TLoadFailure> {};

// The message carries the system's reason first, then the file or the missing entry, named once;
// the failed load leaves nothing behind, so a later create loads afresh.
TEST_P(LibraryLoad, FailureIsReportedAndALaterCreateLoadsAgain)
{
    const TLoadFailure &Case = GetParam();
    const QString Message = ErrorOf([&] { TFHid Hid(Case.File, nullptr); });

    EXPECT_TRUE(Message.endsWith(Case.MessageEnd)) << Message.toStdString();
    EXPECT_EQ(Message.count(Case.MessageEnd.mid(2)), 1) << Message.toStdString();
    EXPECT_GT(Message.size(), Case.MessageEnd.size()) << "no system reason";
    EXPECT_EQ(dlopen(Case.File.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "library still loaded";
    EXPECT_EQ(heatersim_init_calls(), 0);

    TFHid Hid(SimulatorFile, nullptr);
    EXPECT_EQ(heatersim_init_calls(), 1);
}

const QString MissingFile = QStringLiteral("/nonexistent/libhidapi-missing.so");

INSTANTIATE_TEST_SUITE_P(
    Failures, LibraryLoad,
    ::testing::Values(
        TLoadFailure{"MissingFile", MissingFile, QStringLiteral(": ") + MissingFile},
        TLoadFailure{"MissingEntryPoint", QStringLiteral(PARTIAL_HIDAPI_FILE),
                     QStringLiteral(": hid_enumerate")}),
    [](const auto &Info) { return std::string(Info.param.Name); });

class HidInstances : public THidTest {};

TEST_F(HidInstances, FailingInitRaisesAndLeavesTheLibraryUninitialised)
{
    heatersim_fail_init(1);
    heatersim_set_failure_result(-3);
    EXPECT_EQ(ErrorOf([] { TFHid Hid(SimulatorFile, nullptr); }),
              QStringLiteral("Can't initialize HIDAPI library"));
    EXPECT_EQ(heatersim_exit_calls(), 0);

    heatersim_fail_init(0);
    TFHid Hid(SimulatorFile, nullptr);
    EXPECT_EQ(heatersim_init_calls(), 2);
}

TEST_F(HidInstances, OnlyTheFirstInstanceInitialisesAndOnlyTheLastExits)
{
    auto First = std::make_unique<TFHid>(SimulatorFile, nullptr);
    auto Second = std::make_unique<TFHid>(SimulatorFile, nullptr);
    EXPECT_EQ(heatersim_init_calls(), 1);

    First.reset();
    EXPECT_EQ(heatersim_exit_calls(), 0);

    Second.reset();
    EXPECT_EQ(heatersim_exit_calls(), 1);

    TFHid Third(SimulatorFile, nullptr);
    EXPECT_EQ(heatersim_init_calls(), 2);
}

QStringList Warnings;

void RecordWarning(QtMsgType Type, const QMessageLogContext &, const QString &Message)
{
    if (Type == QtWarningMsg)
        Warnings << Message;
}

TEST_F(HidInstances, FailingExitIsReportedWithoutRaisingAndTheNextCreateInitialisesAgain)
{
    auto Hid = std::make_unique<TFHid>(SimulatorFile, nullptr);
    heatersim_fail_exit(1);
    const QtMessageHandler Previous = qInstallMessageHandler(RecordWarning);
    Hid.reset();
    qInstallMessageHandler(Previous);
    EXPECT_EQ(Warnings, QStringList{QStringLiteral("Can't uninitialize HIDAPI library")});

    heatersim_fail_exit(0);
    TFHid Next(SimulatorFile, nullptr);
    EXPECT_EQ(heatersim_init_calls(), 2);
}

struct TLibraryFileCase {
    const char *File;
    bool System;
};

TEST(HidLibraryFile, OnlyTheSystemsHidapiNamesCountAsSystem)
{
    const TLibraryFileCase Cases[] = {
        {"libhidapi-hidraw.so.0", true},  {"libhidapi-libusb.so.0", true},
        {"libhidapi-hidraw.so", true},    {"libhidapi-libusb.so", true},
        {HEATERSIM_FILE, false},          {"/opt/sim/libhidapi-hidraw.so.0", false},
        {"libhidapi-hidraw.so.1", false},
    };
    for (const TLibraryFileCase &Case : Cases)
        EXPECT_EQ(IsSystemHidLibrary(QString::fromLatin1(Case.File)), Case.System) << Case.File;
}

TEST(HidLibraryFile, EnvironmentNamesTheFileUnlessEmpty)
{
    setenv("HELVANE_HIDAPI", "/tmp/libother.so", 1);
    EXPECT_EQ(DefaultHidLibraryFile(), QStringLiteral("/tmp/libother.so"));
    setenv("HELVANE_HIDAPI", "", 1);
    EXPECT_EQ(DefaultHidLibraryFile(), QStringLiteral("libhidapi-hidraw.so.0"));
}

} // namespace
