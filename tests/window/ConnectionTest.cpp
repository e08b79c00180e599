#include "WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const char *const HeaterPath = "/dev/hidraw-heater0";
const char *const KeyboardPath = "/dev/hidraw-keyboard";

}

TEST_F(WindowTest, PresentHeaterIsConnectedAtShow)
{
    heatersim_plug_device(KeyboardPath, 0x046D, 0xC31C);
    heatersim_plug_device("/dev/hidraw-other", 0x1FC9, 0x0001);
    heatersim_plug_heater(HeaterPath, L"V2.05");
    auto w = ShownWindow();

    EXPECT_EQ(w->FMyHidDev.DevicePath, QString::fromLatin1(HeaterPath));
    EXPECT_TRUE(w->pnlNotConnected->isHidden());
    EXPECT_EQ(w->lblFWVer->text(), QStringLiteral("V2.05"));
    EXPECT_EQ(heatersim_feature_reads(), 1);
    EXPECT_EQ(heatersim_open_handles(), 0);
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
}

TEST_F(WindowTest, WithoutHeaterNothingVisibleHappens)
{
    heatersim_plug_device(KeyboardPath, 0x046D, 0xC31C);
    for (const QStringList &arguments : {QStringList{}, QStringList{QStringLiteral("mondrel")}}) {
        auto w = ShownWindow(arguments);
        EXPECT_FALSE(w->pnlNotConnected->isHidden());
        EXPECT_EQ(w->lblNotConnected->text(), QStringLiteral("No heater found: connect the heater by USB."));
        EXPECT_TRUE(w->FMyHidDev.DevicePath.isEmpty());
        EXPECT_EQ(w->lblFWVer->text(), QStringLiteral("V1.10"));
        EXPECT_TRUE(w->timRefreshCurrentData->isActive());
        EXPECT_TRUE(w->memLog->toPlainText().isEmpty());
        EXPECT_EQ(w->btnRefreshUSB->isHidden(), arguments.isEmpty());
    }
    EXPECT_EQ(heatersim_feature_reads(), 0);
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
    EXPECT_TRUE(Dialogs->Informations.isEmpty());
}

TEST_F(WindowTest, EveryHeaterOfTheEnumerationIsTakenInTurn)
{
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    heatersim_plug_heater("/dev/hidraw-heater1", L"V1.20");
    auto w = ShownWindow();
    EXPECT_EQ(w->FMyHidDev.DevicePath, QStringLiteral("/dev/hidraw-heater1"));
    EXPECT_EQ(w->lblFWVer->text(), QStringLiteral("V1.20"));
    EXPECT_EQ(heatersim_feature_reads(), 2);
}

TEST_F(WindowTest, HeaterThatRefusesToOpenStillCountsAsConnected)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    heatersim_refuse_open(1);
    auto w = ShownWindow({QStringLiteral("mondrel")});
    EXPECT_EQ(w->FMyHidDev.DevicePath, QString::fromLatin1(HeaterPath));
    EXPECT_TRUE(w->pnlNotConnected->isHidden());
    // The status read and the history download each log the refusal.
    const QString refused = QStringLiteral("Error: Can't open HID device");
    EXPECT_EQ(LogLines(*w), (QStringList{refused, QString(), refused, QString()}));
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
}

TEST_F(WindowTest, RefreshWithoutHeaterOrWithFailingReadLogsTheError)
{
    auto w = ShownWindow();
    w->RefreshCurrentData();
    EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Can't open HID device"), QString()}));

    heatersim_plug_heater(HeaterPath, L"V1.10");
    w->btnRefreshUSB->click();
    w->memLog->clear();
    heatersim_fail_read(L"Broken pipe");
    w->RefreshCurrentData();
    EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Broken pipe"), QString()}));
    EXPECT_FALSE(w->FHid->Active());
    EXPECT_EQ(heatersim_open_handles(), 0);
}

TEST_F(WindowTest, RefreshButtonConnectsAHeaterPluggedLater)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    heatersim_plug_heater(HeaterPath, L"V1.10");
    w->btnRefreshUSB->click();
    EXPECT_EQ(w->FMyHidDev.DevicePath, QString::fromLatin1(HeaterPath));
    EXPECT_TRUE(w->pnlNotConnected->isHidden());
}

TEST_F(WindowTest, ArrivalOfTheHeaterConnects)
{
    auto w = ShownWindow();
    heatersim_plug_heater(HeaterPath, L"V1.10");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->pnlNotConnected->isHidden(); }, 10000));
    EXPECT_EQ(w->FMyHidDev.DevicePath, QString::fromLatin1(HeaterPath));
}

TEST_F(WindowTest, ArrivalOfAnotherDeviceWhileNotConnectedFindsNoHeater)
{
    auto w = ShownWindow();
    heatersim_plug_device(KeyboardPath, 0x046D, 0xC31C);
    w->DeviceArrival(w->FHid.get(), QStringLiteral("\\\\?\\USB#VID_046D&PID_C31C#1"));
    EXPECT_FALSE(w->pnlNotConnected->isHidden());
    EXPECT_TRUE(w->FMyHidDev.DevicePath.isEmpty());
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
}

TEST_F(WindowTest, ArrivalWhileConnectedIsIgnored)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = ShownWindow();
    heatersim_plug_heater("/dev/hidraw-heater1", L"V1.20");
    w->DeviceArrival(w->FHid.get(), QStringLiteral("\\\\?\\USB#VID_1FC9&PID_8156#2"));
    EXPECT_EQ(w->FMyHidDev.DevicePath, QString::fromLatin1(HeaterPath));
    EXPECT_EQ(heatersim_feature_reads(), 1);
}

TEST_F(WindowTest, RemovalOfAnotherDeviceWhileConnectedIsIgnored)
{
    heatersim_plug_device(KeyboardPath, 0x046D, 0xC31C);
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = ShownWindow({QStringLiteral("mondrel")});
    w->DeviceRemoved(w->FHid.get(), QStringLiteral("\\\\?\\USB#VID_046D&PID_C31C#/sys/devices/usb1/1-2"));
    w->DeviceRemoved(w->FHid.get(), QStringLiteral("\\\\?\\USB#VID_1FC9&PID_0001#/sys/devices/usb1/1-3"));
    EXPECT_EQ(w->FMyHidDev.DevicePath, QString::fromLatin1(HeaterPath));
    EXPECT_TRUE(w->pnlNotConnected->isHidden());
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_FALSE(w->memLog->toPlainText().contains(QStringLiteral("removed")));
}

TEST_F(WindowTest, RemovalWhileNotConnectedIsIgnored)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    w->DeviceRemoved(w->FHid.get(), QStringLiteral("\\\\?\\USB#VID_1FC9&PID_8156#/sys/devices/usb1/1-2"));
    w->DeviceRemoved(w->FHid.get(), QStringLiteral("short"));
    EXPECT_TRUE(w->timRefreshCurrentData->isActive());
    EXPECT_TRUE(w->memLog->toPlainText().isEmpty());
}

TEST_F(WindowTest, RemovalOfTheHeaterDisconnects)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    auto w = ShownWindow({QStringLiteral("mondrel")});
    w->FHistoryData.Add(THistoryData{});
    w->memLog->clear();

    heatersim_unplug(HeaterPath);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->pnlNotConnected->isHidden(); }, 10000));
    EXPECT_TRUE(w->FMyHidDev.DevicePath.isEmpty());
    EXPECT_EQ(w->FHistoryData.Count(), 0);
    EXPECT_FALSE(w->timRefreshCurrentData->isActive());
    EXPECT_TRUE(LogLines(*w).contains(QStringLiteral("Helvane device removed")));
    const QStringList lines = LogLines(*w);
    const qsizetype removed = lines.indexOf(QStringLiteral("Helvane device removed"));
    ASSERT_GE(removed, 0);
    ASSERT_GT(lines.size(), removed + 1);
    EXPECT_TRUE(lines[removed + 1].isEmpty());
}

TEST_F(WindowTest, ClosingStopsTheTimerAndDestroyingEndsTheLibrary)
{
    heatersim_plug_heater(HeaterPath, L"V1.10");
    {
        auto w = ShownWindow();
        w->close();
        EXPECT_FALSE(w->timRefreshCurrentData->isActive());
        EXPECT_EQ(heatersim_exit_calls(), 0);
    }
    EXPECT_EQ(heatersim_exit_calls(), 1);
    EXPECT_EQ(heatersim_open_handles(), 0);
}

#ifdef Q_OS_LINUX
// A heater whose device node this user may not open: the log says what it always says, the
// not-connected panel says why in the window's language, and the heater is taken once allowed.
TEST_F(WindowTest, HeaterThisUserMayNotOpenIsExplainedOnTheNotConnectedPanel)
{
    const QTemporaryDir nodes;
    const QString node = PlugRefusedHeater(nodes.path());
    ASSERT_FALSE(node.isEmpty());
    const TWithoutPermissionOverride asUser;

    auto w = ShownWindow({QStringLiteral("mondrel")});
    EXPECT_FALSE(w->pnlNotConnected->isHidden());
    EXPECT_TRUE(w->FMyHidDev.DevicePath.isEmpty());
    EXPECT_EQ(w->lblNotConnected->text(),
              QStringLiteral("A heater is connected, but this user may not open it: install the udev rule 70-helvane.rules."));
    EXPECT_EQ(LogLines(*w), (QStringList{QStringLiteral("Error: Can't open HID device"), QString()}));
    w->lblSwitchLangClick();
    EXPECT_TRUE(w->lblNotConnected->text().startsWith(QStringLiteral("Ein Heizgerät ist angeschlossen, aber dieser Benutzer")));

    ASSERT_TRUE(QFile::setPermissions(node, QFile::ReadOwner | QFile::WriteOwner));
    w->btnRefreshUSB->click();
    EXPECT_TRUE(w->pnlNotConnected->isHidden());
    EXPECT_EQ(w->FMyHidDev.DevicePath, node);

    heatersim_unplug(QFile::encodeName(node).constData());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->pnlNotConnected->isHidden(); }, 10000));
    EXPECT_EQ(w->lblNotConnected->text(), QStringLiteral("Kein Heizgerät gefunden: bitte das Heizgerät per USB anschließen."));
}
#endif

// A hub full of other devices plugged in and pulled out while no heater is in use: the bus is
// looked at once per burst, not once per device; a heater among them is still taken.
TEST_F(WindowTest, DeviceBurstsWhileNotConnectedAreLookedIntoOnce)
{
    auto w = ShownWindow();
    constexpr int Devices = 400;
    std::vector<std::string> paths;
    for (int i = 0; i < Devices; ++i)
        paths.push_back("/dev/hidraw-other" + std::to_string(i));
    const auto settle = [] { QTest::qWait(1500); };   // the bus is polled twice a second

    int before = heatersim_enumerations();
    for (int i = 0; i < Devices; ++i)
        heatersim_plug_device(paths[static_cast<std::size_t>(i)].c_str(), 0x046D, static_cast<unsigned short>(0x1000 + i));
    settle();
    EXPECT_LT(heatersim_enumerations() - before, 12);
    EXPECT_FALSE(w->pnlNotConnected->isHidden());

    before = heatersim_enumerations();
    for (const std::string &path : paths)
        heatersim_unplug(path.c_str());
    settle();
    EXPECT_LT(heatersim_enumerations() - before, 12);
    EXPECT_EQ(w->lblNotConnected->text(), QStringLiteral("No heater found: connect the heater by USB."));

    for (int i = 0; i < Devices / 2; ++i)
        heatersim_plug_device(paths[static_cast<std::size_t>(i)].c_str(), 0x046D, static_cast<unsigned short>(0x1000 + i));
    heatersim_plug_heater(HeaterPath, L"V1.10");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->pnlNotConnected->isHidden(); }, 10000));
    EXPECT_TRUE(Dialogs->Errors.isEmpty());
}
