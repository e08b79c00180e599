#include "hid/DeviceIdentity.h"

#include <gtest/gtest.h>

TEST(DeviceIdentity, PathKeyIsTheVendorAndProductPartUpperCased)
{
    const struct {
        const char *Path;
        const char *Key;
    } cases[] = {
        {R"(\\?\hid#vid_1fc9&pid_8156#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})", "VID_1FC9&PID_8156"},
        {R"(\\?\USB#VID_1FC9&PID_8156#5&2f6a1b&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed})", "VID_1FC9&PID_8156"},
        {R"(\\?\USB#VID_046D&PID_C31C#x)", "VID_046D&PID_C31C"},
        {"/dev/hidraw0", "RAW0"},
        {"short", ""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DevicePathKey(QString::fromLatin1(c.Path)), QString::fromLatin1(c.Key)) << c.Path;
}

TEST(DeviceIdentity, ConnectedKeyIsEmptyWithoutPathAndOtherwiseMatchesTheRemovalOfTheHeater)
{
    TFHidDevice heater;
    heater.Vendor = HeaterVendor;
    heater.Product = HeaterProduct;
    EXPECT_TRUE(ConnectedDeviceKey(heater).isEmpty());

    heater.DevicePath = QStringLiteral("/dev/hidraw3");
    EXPECT_EQ(ConnectedDeviceKey(heater), DevicePathKey(QStringLiteral(R"(\\?\USB#VID_1FC9&PID_8156#/sys/x)")));
    EXPECT_TRUE(IsHeater(heater));
    heater.Product = 0x0001;
    EXPECT_FALSE(IsHeater(heater));
}
