#include "HidTesting.h"

#include <array>

namespace {

const QString Inactive = QStringLiteral("Can't perform this operation on an inactive HID device");
const QString Active = QStringLiteral("Can't perform this operation on an active HID device");
const QString CannotOpen = QStringLiteral("Can't open HID device");

class HidOperations : public THidTest {
protected:
    TFHid Hid{SimulatorFile, nullptr};
};

struct TNamedAction {
    const char *Name;
    std::function<void(TFHid &)> Action;
};

TEST_F(HidOperations, EveryDeviceOperationRaisesWhileInactive)
{
    std::array<std::uint8_t, 8> Buffer{};
    const TNamedAction Operations[] = {
        {"SetBlockingMode", [](TFHid &H) { H.SetBlockingMode(true); }},
        {"LastError", [](TFHid &H) { H.LastError(); }},
        {"Write pointer", [&](TFHid &H) { H.Write(Buffer.data(), 8); }},
        {"Write bytes", [](TFHid &H) { H.Write(TBytes{0, 1}); }},
        {"Read pointer", [&](TFHid &H) { H.Read(Buffer.data(), 8); }},
        {"Read pointer timeout", [&](TFHid &H) { H.Read(Buffer.data(), 8, 1); }},
        {"Read bytes", [](TFHid &H) { H.Read(); }},
        {"Read bytes timeout", [](TFHid &H) { H.Read(1); }},
        {"SendFeatureReport pointer", [&](TFHid &H) { H.SendFeatureReport(Buffer.data(), 8); }},
        {"SendFeatureReport bytes", [](TFHid &H) { H.SendFeatureReport(TBytes{0, 1}); }},
        {"GetFeatureReport pointer", [&](TFHid &H) { H.GetFeatureReport(Buffer.data(), 8); }},
        {"GetFeatureReport bytes", [](TFHid &H) { H.GetFeatureReport(0); }},
        {"GetString", [](TFHid &H) { H.GetString(1); }},
        {"GetHasString", [](TFHid &H) { H.GetHasString(1); }},
        {"Manufacturer", [](TFHid &H) { H.Manufacturer(); }},
        {"ProductName", [](TFHid &H) { H.ProductName(); }},
        {"SerialNumber", [](TFHid &H) { H.SerialNumber(); }},
    };
    for (const TNamedAction &Operation : Operations)
        EXPECT_EQ(ErrorOf([&] { Operation.Action(Hid); }), Inactive) << Operation.Name;
}

TEST_F(HidOperations, OpeningWhileActiveRaisesAndKeepsTheFirstHandle)
{
    heatersim_plug_heater(HeaterPath, L"1.0");
    Hid.Open(QString::fromLatin1(HeaterPath));

    EXPECT_EQ(ErrorOf([&] { Hid.Open(QString::fromLatin1(HeaterPath)); }), Active);
    EXPECT_EQ(ErrorOf([&] { Hid.Open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, QString()); }), Active);
    EXPECT_TRUE(Hid.Active());
    EXPECT_EQ(heatersim_open_handles(), 1);
    EXPECT_EQ(Hid.SerialNumber(), QStringLiteral("1.0"));
}

TEST_F(HidOperations, CloseReleasesTheHandleAndDoesNothingWhenInactive)
{
    heatersim_plug_heater(HeaterPath, L"1.0");
    Hid.Open(QString::fromLatin1(HeaterPath));
    Hid.Close();
    EXPECT_FALSE(Hid.Active());
    EXPECT_EQ(heatersim_open_handles(), 0);

    EXPECT_NO_THROW(Hid.Close());
    EXPECT_FALSE(Hid.Active());
}

// No serial number matches any heater; a serial number picks the heater that carries it.
TEST_F(HidOperations, OpenByNumbersMatchesTheSerialNumberOnlyWhenGiven)
{
    heatersim_plug_heater(HeaterPath, L"1.0");
    heatersim_plug_heater("sim-heater-2", L"2.5");
    const struct {
        QString Serial;
        QString Opened;
    } Cases[] = {{QString(), QStringLiteral("1.0")}, {QStringLiteral("2.5"), QStringLiteral("2.5")}};
    for (const auto &Case : Cases) {
        Hid.Open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, Case.Serial);
        EXPECT_EQ(Hid.SerialNumber(), Case.Opened);
        Hid.Close();
    }
}

TEST_F(HidOperations, OpenOfAnUnavailableDeviceRaisesAndStaysInactive)
{
    struct TCase {
        const char *Name;
        bool Refuse;
        std::function<void(TFHid &)> Open;
    };
    const TCase Cases[] = {
        {"absent path", false, [](TFHid &H) { H.Open(QStringLiteral("sim-nothing")); }},
        {"refused path", true, [](TFHid &H) { H.Open(QString::fromLatin1(HeaterPath)); }},
        {"other serial", false,
         [](TFHid &H) { H.Open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, QStringLiteral("9.9")); }},
        {"refused numbers", true,
         [](TFHid &H) { H.Open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, QString()); }},
    };
    for (const TCase &Case : Cases) {
        heatersim_reset();
        heatersim_plug_heater(HeaterPath, L"1.0");
        heatersim_refuse_open(Case.Refuse);
        EXPECT_EQ(ErrorOf([&] { Case.Open(Hid); }), CannotOpen) << Case.Name;
        EXPECT_FALSE(Hid.Active()) << Case.Name;
    }
}

// The byte-array overloads turn hidapi's -1, and any other negative result, into an error with
// hidapi's own text; the pointer overloads hand the result to the caller.
TEST_F(HidOperations, FailuresRaiseOnlyInTheByteArrayOverloads)
{
    struct TCase {
        const char *Name;
        void (*Fail)(const wchar_t *);
        std::function<void(TFHid &)> Bytes;
        std::function<int(TFHid &)> Pointer;
    };
    static std::array<std::uint8_t, 65> Buffer{};
    const TCase Cases[] = {
        {"Write", heatersim_fail_write, [](TFHid &H) { H.Write(TBytes(65)); },
         [](TFHid &H) { return H.Write(Buffer.data(), 65); }},
        {"Read", heatersim_fail_read, [](TFHid &H) { H.Read(); },
         [](TFHid &H) { return H.Read(Buffer.data(), 65); }},
        {"Read with timeout", heatersim_fail_read, [](TFHid &H) { H.Read(10); },
         [](TFHid &H) { return H.Read(Buffer.data(), 65, 10); }},
        {"GetFeatureReport", heatersim_fail_read, [](TFHid &H) { H.GetFeatureReport(0); },
         [](TFHid &H) { return H.GetFeatureReport(Buffer.data(), 65); }},
    };
    heatersim_plug_heater(HeaterPath, L"1.0");
    Hid.Open(QString::fromLatin1(HeaterPath));
    for (const int Result : {-1, -7}) {
        heatersim_set_failure_result(Result);
        for (const TCase &Case : Cases) {
            Case.Fail(L"device gone");
            EXPECT_EQ(ErrorOf([&] { Case.Bytes(Hid); }), QStringLiteral("device gone")) << Case.Name;
            EXPECT_EQ(Case.Pointer(Hid), Result) << Case.Name;
            EXPECT_TRUE(Hid.Active()) << Case.Name;
            Case.Fail(nullptr);
        }
    }
}

TEST_F(HidOperations, ByteArraysHoldExactlyTheBytesDelivered)
{
    heatersim_plug_heater(HeaterPath, L"1.0");
    heatersim_set_status_length(12);
    Hid.Open(QString::fromLatin1(HeaterPath));
    Hid.SetBlockingMode(false);

    const TBytes Status = Hid.GetFeatureReport(0);
    ASSERT_EQ(Status.size(), 13u);
    EXPECT_EQ(Status[0], 0);

    // The heater echoes the 64 data bytes of each output report.
    TBytes Request(65, 0);
    Request[1] = 0xEE;
    EXPECT_EQ(Hid.Write(Request), 65);
    const TBytes Echo = Hid.Read();
    ASSERT_EQ(Echo.size(), 64u);
    EXPECT_EQ(Echo[0], 0xEE);

    EXPECT_TRUE(Hid.Read().empty()) << "nothing waiting";
    EXPECT_TRUE(Hid.Read(10).empty()) << "timed out";
}

TEST_F(HidOperations, StringsComeFromTheOpenDevice)
{
    heatersim_plug_heater(HeaterPath, L"3.14");
    Hid.Open(QString::fromLatin1(HeaterPath));

    EXPECT_EQ(Hid.Manufacturer(), QStringLiteral("NXP"));
    EXPECT_EQ(Hid.ProductName(), QStringLiteral("PV Water Heater"));
    EXPECT_EQ(Hid.SerialNumber(), QStringLiteral("3.14"));
    EXPECT_EQ(Hid.Strings(2), QStringLiteral("PV Water Heater"));
    EXPECT_TRUE(Hid.HasString(3));

    EXPECT_FALSE(Hid.HasString(9));
    EXPECT_EQ(ErrorOf([&] { Hid.GetString(9); }), QStringLiteral("No string at this index"));
}

TEST_F(HidOperations, EnumerationGivesOneRecordPerDeviceInBusOrder)
{
    EXPECT_TRUE(Hid.Enumerate(0, 0).empty());

    heatersim_plug_heater(HeaterPath, L"1.0");
    heatersim_plug_device("sim-keyboard", 0x046D, 0xC31C);
    const TFHidDevices All = Hid.Enumerate(0, 0);
    ASSERT_EQ(All.size(), 2u);

    const TFHidDevice &Heater = All[0];
    EXPECT_EQ(Heater.DevicePath, QString::fromLatin1(HeaterPath));
    EXPECT_EQ(Heater.Vendor, HEATERSIM_VENDOR);
    EXPECT_EQ(Heater.Product, HEATERSIM_PRODUCT);
    EXPECT_EQ(Heater.ReleaseNumber, 0x0100);
    EXPECT_EQ(Heater.SerialNumber, QStringLiteral("1.0"));
    EXPECT_EQ(Heater.Manufacturer, QStringLiteral("NXP"));
    EXPECT_EQ(Heater.ProductName, QStringLiteral("PV Water Heater"));
    EXPECT_EQ(Heater.UsagePage, 0xFF00);
    EXPECT_EQ(Heater.Usage, 0x0001);

    const TFHidDevice &Keyboard = All[1];
    EXPECT_EQ(Keyboard.DevicePath, QStringLiteral("sim-keyboard"));
    EXPECT_EQ(Keyboard.Vendor, 0x046D);
    EXPECT_EQ(Keyboard.Product, 0xC31C);
    EXPECT_EQ(Keyboard.UsagePage, 0x0001);
    EXPECT_EQ(Keyboard.Usage, 0x0006);

    const TFHidDevices Heaters = Hid.Enumerate(HEATERSIM_VENDOR, HEATERSIM_PRODUCT);
    ASSERT_EQ(Heaters.size(), 1u);
    EXPECT_EQ(Heaters[0].DevicePath, QString::fromLatin1(HeaterPath));
}

} // namespace
