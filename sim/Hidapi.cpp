// hidapi's C interface, answered by the heater model.

#include "Bus.h"
#include "Heater.h"
#include "Model.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>

using namespace heatersim;

namespace {

constexpr std::size_t kMaxOutputReport = 1 + kReportSize;

hid_device_ *Known(const Model &model, const hid_device *dev)
{
    const auto found = std::ranges::find_if(model.handles, [dev](const auto &handle) { return handle.get() == dev; });
    return found != model.handles.end() ? found->get() : nullptr;
}

int Fail(hid_device_ &handle, const std::wstring &text)
{
    handle.error = text;
    return -1;
}

// A failure injected by a test returns the result the test chose.
int FailInjected(const Model &model, hid_device_ &handle, const std::wstring &text)
{
    Fail(handle, text);
    return model.faults.failureResult;
}

// An open handle and the device behind it.
struct Target {
    hid_device_ *handle = nullptr;
    const Device *device = nullptr;
};

// The target of an operation on dev, its last error cleared; none when dev is not an open
// handle or its device is gone (the handle's error then says so).
std::optional<Target> Reach(Model &model, hid_device *dev)
{
    hid_device_ *handle = Known(model, dev);
    if (handle == nullptr) {
        return std::nullopt;
    }
    handle->error.reset();
    const Device *device = FindDevice(model, handle->deviceId);
    if (device == nullptr) {
        Fail(*handle, L"Device disconnected");
        return std::nullopt;
    }
    return Target{handle, device};
}

bool ValidBuffer(const void *data, std::size_t length)
{
    return data != nullptr && length > 0 && length <= INT_MAX;
}

hid_device *Open(Model &model, const Device *device)
{
    if (model.faults.refuseOpen) {
        model.error = L"Device refused to open";
        return nullptr;
    }
    if (device == nullptr) {
        model.error = L"No such device";
        return nullptr;
    }
    model.error.reset();
    auto handle = std::make_unique<hid_device_>();
    handle->deviceId = device->id;
    model.handles.push_back(std::move(handle));
    return model.handles.back().get();
}

int CopyString(hid_device *dev, const std::wstring Device::*field, wchar_t *string, std::size_t maxlen)
{
    const auto target = Reach(TheModel(), dev);
    if (!target) {
        return -1;
    }
    if (!ValidBuffer(string, maxlen)) {
        return Fail(*target->handle, L"Invalid string buffer");
    }
    const std::wstring &text = target->device->*field;
    const std::size_t size = std::min(text.size(), maxlen - 1);
    std::wmemcpy(string, text.c_str(), size);
    string[size] = L'\0';
    return 0;
}

// The script's next reply copied into data: its size, or none once the script has run out.
std::optional<int> TakeScriptedReply(ReplyScript &script, unsigned char *data, std::size_t length)
{
    if (script.next >= script.bytes.size()) {
        return std::nullopt;
    }
    const std::size_t announced = script.bytes[script.next++];
    const std::size_t available = std::min(announced, script.bytes.size() - script.next);
    const std::size_t size = std::min(available, length);
    std::memcpy(data, script.bytes.data() + script.next, size);
    script.next += available;
    return static_cast<int>(size);
}

int ReadInput(hid_device *dev, unsigned char *data, std::size_t length, int timeoutMs)
{
    Model &model = TheModel();
    const auto target = Reach(model, dev);
    if (!target) {
        return -1;
    }
    if (!ValidBuffer(data, length)) {
        return Fail(*target->handle, L"Invalid read buffer");
    }
    if (model.faults.readError) {
        return FailInjected(model, *target->handle, *model.faults.readError);
    }
    if (model.script) {
        const auto size = TakeScriptedReply(*model.script, data, length);
        return size ? *size : Fail(*target->handle, L"No reply");
    }
    return TakeInputReport(*target->handle, data, length, timeoutMs);
}

} // namespace

extern "C" {

HEATERSIM_API int hid_init(void)
{
    Model &model = TheModel();
    ++model.counters.init;
    if (model.faults.failInit) {
        model.error = L"HID initialisation failed";
        return model.faults.failureResult;
    }
    return 0;
}

HEATERSIM_API int hid_exit(void)
{
    Model &model = TheModel();
    ++model.counters.exit;
    if (model.faults.failExit) {
        model.error = L"HID shutdown failed";
        return model.faults.failureResult;
    }
    return 0;
}

HEATERSIM_API hid_device_info *hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    ++TheModel().counters.enumerations;
    return Enumerate(TheModel(), vendor_id, product_id);
}

HEATERSIM_API void hid_free_enumeration(hid_device_info *devs)
{
    FreeEnumeration(devs);
}

HEATERSIM_API hid_device *hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t *serial_number)
{
    Model &model = TheModel();
    return Open(model, FindDevice(model, vendor_id, product_id, serial_number));
}

HEATERSIM_API hid_device *hid_open_path(const char *path)
{
    Model &model = TheModel();
    return Open(model, path != nullptr ? FindDevice(model, path) : nullptr);
}

HEATERSIM_API int hid_write(hid_device *dev, const unsigned char *data, size_t length)
{
    Model &model = TheModel();
    const auto target = Reach(model, dev);
    if (!target) {
        return -1;
    }
    if (!ValidBuffer(data, length) || length > kMaxOutputReport) {
        return Fail(*target->handle, L"Invalid output report length");
    }
    if (model.faults.writeError) {
        return FailInjected(model, *target->handle, *model.faults.writeError);
    }
    model.written.emplace_back(data, data + length);
    if (target->device->heater) {
        WaitForRoom(*target->handle);
        Receive(model, *target->handle, {data, length});
    }
    return static_cast<int>(length);
}

HEATERSIM_API int hid_read_timeout(hid_device *dev, unsigned char *data, size_t length, int milliseconds)
{
    return ReadInput(dev, data, length, milliseconds);
}

// Reads do not wait: a blocking read with nothing on its way would never return.
HEATERSIM_API int hid_read(hid_device *dev, unsigned char *data, size_t length)
{
    return ReadInput(dev, data, length, 0);
}

HEATERSIM_API int hid_set_nonblocking(hid_device *dev, int)
{
    return Known(TheModel(), dev) != nullptr ? 0 : -1;
}

HEATERSIM_API int hid_send_feature_report(hid_device *dev, const unsigned char *data, size_t length)
{
    const auto target = Reach(TheModel(), dev);
    if (!target) {
        return -1;
    }
    if (!ValidBuffer(data, length)) {
        return Fail(*target->handle, L"Invalid feature report");
    }
    return static_cast<int>(length);
}

HEATERSIM_API int hid_get_feature_report(hid_device *dev, unsigned char *data, size_t length)
{
    Model &model = TheModel();
    const auto target = Reach(model, dev);
    if (!target) {
        return -1;
    }
    if (!target->device->heater) {
        return Fail(*target->handle, L"Feature report not supported");
    }
    if (!ValidBuffer(data, length)) {
        return Fail(*target->handle, L"Invalid feature report buffer");
    }
    ++model.counters.featureReads;
    if (model.faults.readError) {
        return FailInjected(model, *target->handle, *model.faults.readError);
    }
    if (model.script) {
        const auto size = TakeScriptedReply(*model.script, data, length);
        return size ? *size : Fail(*target->handle, L"No reply");
    }
    if (data[0] != 0) {
        return Fail(*target->handle, L"Unknown feature report");
    }
    return FillStatusReport(model, data, length);
}

HEATERSIM_API void hid_close(hid_device *dev)
{
    std::erase_if(TheModel().handles, [dev](const auto &handle) { return handle.get() == dev; });
}

HEATERSIM_API int hid_get_manufacturer_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return CopyString(dev, &Device::manufacturer, string, maxlen);
}

HEATERSIM_API int hid_get_product_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return CopyString(dev, &Device::productName, string, maxlen);
}

HEATERSIM_API int hid_get_serial_number_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return CopyString(dev, &Device::serialNumber, string, maxlen);
}

HEATERSIM_API int hid_get_indexed_string(hid_device *dev, int string_index, wchar_t *string, size_t maxlen)
{
    switch (string_index) {
    case 1:
        return hid_get_manufacturer_string(dev, string, maxlen);
    case 2:
        return hid_get_product_string(dev, string, maxlen);
    case 3:
        return hid_get_serial_number_string(dev, string, maxlen);
    default:
        break;
    }
    const auto target = Reach(TheModel(), dev);
    return target ? Fail(*target->handle, L"No string at this index") : -1;
}

HEATERSIM_API const wchar_t *hid_error(hid_device *dev)
{
    const Model &model = TheModel();
    if (dev == nullptr) {
        return model.error ? model.error->c_str() : nullptr;
    }
    const hid_device_ *handle = Known(model, dev);
    if (handle == nullptr) {
        return L"Unknown device handle";
    }
    return handle->error ? handle->error->c_str() : nullptr;
}

} // extern "C"
