// The bus: enumeration, opening and closing, unplugging, strings, library start and end.

#include "SimTest.h"

#include <string>
#include <tuple>

namespace {

constexpr const char *kKeyboardPath = "/dev/hidraw-test-keyboard";
constexpr const char *kSecondHeaterPath = "/dev/hidraw-test-heater-2";
constexpr unsigned short kKeyboardVendor = 0x046D;
constexpr unsigned short kKeyboardProduct = 0xC31C;

class BusTest : public SimTest {
protected:
    void PlugThree()
    {
        heatersim_plug_heater(kHeaterPath, L"V1.10");
        heatersim_plug_device(kKeyboardPath, kKeyboardVendor, kKeyboardProduct);
        heatersim_plug_heater(kSecondHeaterPath, L"V2.00");
    }
};

std::vector<std::string> EnumeratedPaths(unsigned short vendor, unsigned short product)
{
    std::vector<std::string> paths;
    hid_device_info *list = hid_enumerate(vendor, product);
    for (const hid_device_info *info = list; info != nullptr; info = info->next) {
        paths.emplace_back(info->path);
    }
    hid_free_enumeration(list);
    return paths;
}

TEST_F(BusTest, EnumerationFiltersByVendorAndProductInPlugOrder)
{
    PlugThree();
    const std::vector<std::string> all{kHeaterPath, kKeyboardPath, kSecondHeaterPath};
    const std::vector<std::string> heaters{kHeaterPath, kSecondHeaterPath};
    const std::vector<std::tuple<unsigned short, unsigned short, std::vector<std::string>>> cases{
        {0, 0, all},
        {HEATERSIM_VENDOR, HEATERSIM_PRODUCT, heaters},
        {HEATERSIM_VENDOR, 0, heaters},
        {0, HEATERSIM_PRODUCT, heaters},
        {kKeyboardVendor, 0, {kKeyboardPath}},
        {HEATERSIM_VENDOR, kKeyboardProduct, {}},
    };
    for (const auto &[vendor, product, expected] : cases) {
        EXPECT_EQ(EnumeratedPaths(vendor, product), expected) << std::hex << vendor << ":" << product;
    }
}

TEST_F(BusTest, HeaterEntryCarriesTheHeaterIdentity)
{
    heatersim_plug_heater(kHeaterPath, L"V1.10");
    hid_device_info *list = hid_enumerate(0, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->next, nullptr);
    EXPECT_EQ(list->vendor_id, HEATERSIM_VENDOR);
    EXPECT_EQ(list->product_id, HEATERSIM_PRODUCT);
    EXPECT_STREQ(list->serial_number, L"V1.10");
    EXPECT_STRNE(list->manufacturer_string, L"");
    EXPECT_STRNE(list->product_string, L"");
    EXPECT_NE(list->release_number, 0);
    EXPECT_EQ(list->usage_page, 0xFF00);
    EXPECT_EQ(list->usage, 1);
    EXPECT_EQ(list->interface_number, 0);
    EXPECT_EQ(list->bus_type, HID_API_BUS_USB);
    hid_free_enumeration(list);
}

TEST_F(BusTest, UnplugAndReplugChangeTheEnumeration)
{
    PlugThree();
    heatersim_unplug(kKeyboardPath);
    EXPECT_EQ(EnumeratedPaths(0, 0), (std::vector<std::string>{kHeaterPath, kSecondHeaterPath}));
    heatersim_plug_device(kHeaterPath, kKeyboardVendor, kKeyboardProduct);
    EXPECT_EQ(EnumeratedPaths(0, 0), (std::vector<std::string>{kSecondHeaterPath, kHeaterPath}));
    EXPECT_EQ(EnumeratedPaths(HEATERSIM_VENDOR, 0), (std::vector<std::string>{kSecondHeaterPath}));
}

TEST_F(BusTest, OpenFindsTheFirstMatchingDevice)
{
    PlugThree();
    wchar_t serial[16] = {};
    const auto serialOf = [&serial](const Handle &handle) {
        serial[0] = L'\0';
        hid_get_serial_number_string(handle.get(), serial, 16);
        return std::wstring(serial);
    };
    EXPECT_EQ(serialOf(Handle(hid_open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, nullptr))), L"V1.10");
    EXPECT_EQ(serialOf(Handle(hid_open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, L"V2.00"))), L"V2.00");
    EXPECT_EQ(serialOf(OpenPath(kSecondHeaterPath)), L"V2.00");
    EXPECT_EQ(hid_open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, L"V9.99"), nullptr);
    EXPECT_EQ(hid_open(0x1234, 0x5678, nullptr), nullptr);
}

TEST_F(BusTest, HandlesAreCountedUntilClosed)
{
    PlugThree();
    Handle first = OpenPath(kHeaterPath);
    Handle second = OpenPath(kHeaterPath);
    Handle keyboard = OpenPath(kKeyboardPath);
    ASSERT_TRUE(first && second && keyboard);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(heatersim_open_handles(), 3);
    first.reset();
    keyboard.reset();
    EXPECT_EQ(heatersim_open_handles(), 1);
}

TEST_F(BusTest, FailedOpenLeavesAGlobalError)
{
    heatersim_plug_heater(kHeaterPath, L"V1.10");
    EXPECT_EQ(hid_error(nullptr), nullptr);
    EXPECT_EQ(hid_open_path("/dev/hidraw-absent"), nullptr);
    EXPECT_NE(hid_error(nullptr), nullptr);

    EXPECT_TRUE(OpenPath(kHeaterPath));
    EXPECT_EQ(hid_error(nullptr), nullptr);

    heatersim_refuse_open(1);
    EXPECT_EQ(hid_open_path(kHeaterPath), nullptr);
    EXPECT_EQ(hid_open(HEATERSIM_VENDOR, HEATERSIM_PRODUCT, nullptr), nullptr);
    EXPECT_NE(hid_error(nullptr), nullptr);
    EXPECT_EQ(heatersim_open_handles(), 0);
}

TEST_F(BusTest, UnplugInMidExchangeFailsEveryLaterOperation)
{
    Handle heater = PlugAndOpenHeater();
    ASSERT_TRUE(heater);
    ASSERT_EQ(Send(heater.get(), CommandReport(0x20, 55)), kHostReportSize);
    heatersim_unplug(kHeaterPath);
    heatersim_plug_heater(kHeaterPath, L"V1.10"); // a new device at the same path

    unsigned char buffer[65] = {};
    wchar_t text[32] = {};
    EXPECT_EQ(hid_read(heater.get(), buffer, sizeof buffer), -1);
    EXPECT_STREQ(hid_error(heater.get()), L"Device disconnected");
    EXPECT_EQ(hid_read_timeout(heater.get(), buffer, sizeof buffer, 10), -1);
    EXPECT_EQ(hid_write(heater.get(), buffer, sizeof buffer), -1);
    EXPECT_EQ(hid_get_feature_report(heater.get(), buffer, sizeof buffer), -1);
    EXPECT_EQ(hid_send_feature_report(heater.get(), buffer, sizeof buffer), -1);
    EXPECT_EQ(hid_get_product_string(heater.get(), text, 32), -1);
    EXPECT_STREQ(hid_error(heater.get()), L"Device disconnected");
    EXPECT_EQ(heatersim_written_count(), 1);

    EXPECT_TRUE(OpenPath(kHeaterPath));
}

TEST_F(BusTest, StringsByNameAndIndex)
{
    Handle heater = PlugAndOpenHeater();
    wchar_t manufacturer[64] = {};
    wchar_t product[64] = {};
    wchar_t serial[64] = {};
    ASSERT_EQ(hid_get_manufacturer_string(heater.get(), manufacturer, 64), 0);
    ASSERT_EQ(hid_get_product_string(heater.get(), product, 64), 0);
    ASSERT_EQ(hid_get_serial_number_string(heater.get(), serial, 64), 0);
    EXPECT_STREQ(serial, L"V1.10");

    const std::vector<std::pair<int, const wchar_t *>> indexed{{1, manufacturer}, {2, product}, {3, serial}};
    for (const auto &[index, expected] : indexed) {
        wchar_t text[64] = {};
        EXPECT_EQ(hid_get_indexed_string(heater.get(), index, text, 64), 0);
        EXPECT_STREQ(text, expected) << index;
    }
    for (const int index : {0, 4, 255, -1}) {
        wchar_t text[64] = {};
        EXPECT_EQ(hid_get_indexed_string(heater.get(), index, text, 64), -1) << index;
    }
}

TEST_F(BusTest, StringsAreCutToTheBufferAndTerminated)
{
    Handle heater = PlugAndOpenHeater();
    wchar_t text[4] = {L'x', L'x', L'x', L'x'};
    ASSERT_EQ(hid_get_serial_number_string(heater.get(), text, 3), 0);
    EXPECT_STREQ(text, L"V1");
    EXPECT_EQ(text[3], L'x');
    EXPECT_EQ(hid_get_serial_number_string(heater.get(), text, 0), -1);
    EXPECT_EQ(hid_get_serial_number_string(heater.get(), nullptr, 4), -1);
}

TEST_F(BusTest, InitAndExitAreCountedAndFailOnRequest)
{
    EXPECT_EQ(hid_init(), 0);
    EXPECT_EQ(hid_exit(), 0);
    heatersim_fail_init(1);
    heatersim_fail_exit(1);
    EXPECT_EQ(hid_init(), -1);
    EXPECT_EQ(hid_exit(), -1);
    EXPECT_EQ(heatersim_init_calls(), 2);
    EXPECT_EQ(heatersim_exit_calls(), 2);
    heatersim_fail_init(0);
    EXPECT_EQ(hid_init(), 0);
}

TEST_F(BusTest, BadArgumentsFailWithoutHarm)
{
    Handle heater = PlugAndOpenHeater();
    unsigned char buffer[70] = {};
    hid_device *closed = hid_open_path(kHeaterPath);
    hid_close(closed);

    for (hid_device *dev : {static_cast<hid_device *>(nullptr), closed}) {
        EXPECT_EQ(hid_write(dev, buffer, 6), -1);
        EXPECT_EQ(hid_read(dev, buffer, sizeof buffer), -1);
        EXPECT_EQ(hid_get_feature_report(dev, buffer, sizeof buffer), -1);
        EXPECT_EQ(hid_set_nonblocking(dev, 1), -1);
    }
    hid_close(nullptr);
    hid_free_enumeration(nullptr);
    EXPECT_EQ(hid_open_path(nullptr), nullptr);

    EXPECT_EQ(hid_write(heater.get(), nullptr, 6), -1);
    EXPECT_EQ(hid_write(heater.get(), buffer, 0), -1);
    EXPECT_EQ(hid_write(heater.get(), buffer, 66), -1);
    EXPECT_EQ(hid_write(heater.get(), buffer, static_cast<size_t>(-1)), -1);
    EXPECT_EQ(hid_read(heater.get(), nullptr, 64), -1);
    EXPECT_EQ(hid_get_feature_report(heater.get(), nullptr, 41), -1);
    EXPECT_EQ(hid_get_feature_report(heater.get(), buffer, 0), -1);
    EXPECT_NE(hid_error(heater.get()), nullptr);
    EXPECT_EQ(heatersim_written_count(), 0);

    heatersim_plug_heater(nullptr, L"V1.10");
    heatersim_plug_device(nullptr, 1, 2);
    heatersim_unplug(nullptr);
    heatersim_get_status(nullptr);
    heatersim_set_status(nullptr);
    heatersim_set_history(nullptr, 3);
    EXPECT_EQ(heatersim_written(0, buffer, sizeof buffer), -1);
    EXPECT_EQ(heatersim_open_handles(), 1);
}

TEST_F(BusTest, OtherDevicesTakeWritesButGiveNoStatus)
{
    heatersim_plug_device(kKeyboardPath, kKeyboardVendor, kKeyboardProduct);
    Handle keyboard = OpenPath(kKeyboardPath);
    ASSERT_TRUE(keyboard);
    EXPECT_EQ(hid_set_nonblocking(keyboard.get(), 1), 0);
    EXPECT_EQ(Send(keyboard.get(), CommandReport(0x20, 50)), kHostReportSize);
    EXPECT_TRUE(ReadReport(keyboard.get()).empty());
    EXPECT_TRUE(StatusReport(keyboard.get()).empty());
    EXPECT_EQ(HeaterStatus().setpoint, 60);
}

} // namespace
