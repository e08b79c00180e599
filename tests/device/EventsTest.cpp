#include "HidTesting.h"

#include "hid/Hotplug.h"

#include <QTest>
#include <QWidget>

#include <optional>
#include <vector>

namespace {

struct TRecorder {
    struct TCall {
        bool Arrival;
        TFHid *Sender;
        QString DeviceName;
    };
    std::vector<TCall> Calls;

    void Arrived(TFHid *Sender, const QString &DeviceName) { Calls.push_back({true, Sender, DeviceName}); }
    void Removed(TFHid *Sender, const QString &DeviceName) { Calls.push_back({false, Sender, DeviceName}); }
    void Ignore(TFHid *, const QString &) {}
};

class HidEvents : public THidTest {
protected:
    QWidget Window;
    TRecorder Recorder;
    TFDeviceEvent Arrived{&Recorder, &TRecorder::Arrived};
    TFDeviceEvent Removed{&Recorder, &TRecorder::Removed};
    TFDeviceEvent Ignore{&Recorder, &TRecorder::Ignore};
};

TEST_F(HidEvents, RegistrationFollowsWhetherAnyEventHasAHandler)
{
    TFHid Hid(SimulatorFile, &Window);
    Hid.SetOnDeviceArrival(Arrived);
    ASSERT_TRUE(Hid.Registered());
    const void *Registration = Hid.NotificationHandle();

    Hid.SetOnDeviceArrival(Arrived);
    EXPECT_EQ(Hid.NotificationHandle(), Registration) << "same handler registered again";
    Hid.SetOnDeviceArrival(Ignore);
    Hid.SetOnDeviceRemoved(Removed);
    EXPECT_EQ(Hid.NotificationHandle(), Registration) << "other handler registered again";

    Hid.SetOnDeviceArrival(TFDeviceEvent());
    EXPECT_TRUE(Hid.Registered()) << "removal still has a handler";
    Hid.SetOnDeviceRemoved(TFDeviceEvent());
    EXPECT_FALSE(Hid.Registered());
}

TEST_F(HidEvents, WithoutAWindowNothingIsRegistered)
{
    TFHid Hid(SimulatorFile, nullptr);
    Hid.SetOnDeviceArrival(Arrived);
    Hid.SetOnDeviceRemoved(Removed);
    EXPECT_FALSE(Hid.Registered());
}

// With the heater model as the HID library, changes come from polling its enumeration.
TEST_F(HidEvents, PluggingAndUnpluggingAreReportedWithVendorAndProductInTheName)
{
    heatersim_plug_device("sim-present", 0x046D, 0xC31C);
    TFHid Hid(SimulatorFile, &Window);
    Hid.SetOnDeviceArrival(Arrived);

    heatersim_plug_heater(HeaterPath, L"1.0");
    // Neither assignment registers anew: a new registration would count the heater as present.
    Hid.SetOnDeviceRemoved(Removed);
    Hid.SetOnDeviceArrival(Arrived);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Recorder.Calls.empty(); }, 5000));
    heatersim_unplug(HeaterPath);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Recorder.Calls.size() >= 2; }, 5000));

    ASSERT_EQ(Recorder.Calls.size(), 2u) << "the device present at registration counts as no change";
    for (const TRecorder::TCall &Call : Recorder.Calls) {
        EXPECT_EQ(Call.Sender, &Hid);
        EXPECT_EQ(Call.DeviceName.mid(8, 17), QStringLiteral("VID_1FC9&PID_8156"));
    }
    EXPECT_TRUE(Recorder.Calls[0].Arrival);
    EXPECT_FALSE(Recorder.Calls[1].Arrival);
}

TEST(UsbDeviceName, CarriesVendorAndProductInUpperCaseHexAtCharacters9To25)
{
    struct TCase {
        quint16 Vendor;
        quint16 Product;
        const char *Key;
    };
    const TCase Cases[] = {
        {0x1FC9, 0x8156, "VID_1FC9&PID_8156"},
        {0x00ab, 0x0001, "VID_00AB&PID_0001"},
    };
    for (const TCase &Case : Cases) {
        const QString Name = UsbDeviceName(Case.Vendor, Case.Product, QStringLiteral("/sys/x/1-2"));
        EXPECT_EQ(Name.mid(8, 17), QLatin1String(Case.Key));
        EXPECT_TRUE(Name.endsWith(QStringLiteral("#/sys/x/1-2"))) << Name.toStdString();
    }
}

TEST(UsbIdsFromHidId, ReadsVendorAndProductOfUsbDevicesOnly)
{
    struct TCase {
        const char *HidId;
        std::optional<TUsbIds> Ids;
    };
    const TCase Cases[] = {
        {"0003:00001FC9:00008156", TUsbIds{0x1FC9, 0x8156}},
        {"0003:0000046D:0000C31C", TUsbIds{0x046D, 0xC31C}},
        {"0003:1fc9:8156", TUsbIds{0x1FC9, 0x8156}},
        {"0005:00001FC9:00008156", std::nullopt}, // Bluetooth
        {"0018:000004F3:00003057", std::nullopt}, // I2C
        {"0003:00001FC9", std::nullopt},
        {"", std::nullopt},
        {"0003:XYZ:00008156", std::nullopt},
        {"0003:00011FC9:00008156", std::nullopt},
        {"0003:00001FC9:00008156:1", std::nullopt},
    };
    for (const TCase &Case : Cases) {
        const std::optional<TUsbIds> Ids = UsbIdsFromHidId(QString::fromLatin1(Case.HidId));
        ASSERT_EQ(Ids.has_value(), Case.Ids.has_value()) << Case.HidId;
        if (Ids) {
            EXPECT_EQ(Ids->Vendor, Case.Ids->Vendor) << Case.HidId;
            EXPECT_EQ(Ids->Product, Case.Ids->Product) << Case.HidId;
        }
    }
}

} // namespace
