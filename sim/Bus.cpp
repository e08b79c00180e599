#include "Bus.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace heatersim {

namespace {

bool Matches(const Device &device, unsigned short vendor, unsigned short product)
{
    return (vendor == 0 || device.vendor == vendor) && (product == 0 || device.product == product);
}

wchar_t *CopyWide(const std::wstring &text)
{
    auto *copy = static_cast<wchar_t *>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    std::wmemcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

char *CopyText(const std::string &text)
{
    auto *copy = static_cast<char *>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

hid_device_info *NewInfo(const Device &device)
{
    auto *info = static_cast<hid_device_info *>(std::calloc(1, sizeof(hid_device_info)));
    info->path = CopyText(device.path);
    info->vendor_id = device.vendor;
    info->product_id = device.product;
    info->serial_number = CopyWide(device.serialNumber);
    info->release_number = device.release;
    info->manufacturer_string = CopyWide(device.manufacturer);
    info->product_string = CopyWide(device.productName);
    info->usage_page = device.usagePage;
    info->usage = device.usage;
    info->interface_number = 0;
    info->bus_type = HID_API_BUS_USB;
    return info;
}

} // namespace

Device HeaterDevice(const char *path, const wchar_t *firmware)
{
    Device device;
    device.path = path;
    device.vendor = HEATERSIM_VENDOR;
    device.product = HEATERSIM_PRODUCT;
    device.release = 0x0100;
    device.usagePage = 0xFF00;
    device.usage = 0x0001;
    device.manufacturer = L"NXP";
    device.productName = L"PV Water Heater";
    device.serialNumber = firmware != nullptr ? firmware : L"";
    device.heater = true;
    return device;
}

Device OtherDevice(const char *path, unsigned short vendor, unsigned short product)
{
    Device device;
    device.path = path;
    device.vendor = vendor;
    device.product = product;
    device.release = 0x0111;
    device.usagePage = 0x0001;
    device.usage = 0x0006;
    device.manufacturer = L"Generic";
    device.productName = L"USB Keyboard";
    return device;
}

void Plug(Model &model, Device device)
{
    Unplug(model, device.path.c_str());
    device.id = ++model.lastDeviceId;
    model.bus.push_back(std::move(device));
}

void Unplug(Model &model, const char *path)
{
    std::erase_if(model.bus, [path](const Device &device) { return device.path == path; });
}

const Device *FindDevice(const Model &model, int id)
{
    const auto found = std::ranges::find(model.bus, id, &Device::id);
    return found != model.bus.end() ? &*found : nullptr;
}

const Device *FindDevice(const Model &model, const char *path)
{
    const auto found = std::ranges::find(model.bus, std::string_view(path), &Device::path);
    return found != model.bus.end() ? &*found : nullptr;
}

const Device *FindDevice(const Model &model, unsigned short vendor, unsigned short product, const wchar_t *serial)
{
    const auto found = std::ranges::find_if(model.bus, [&](const Device &device) {
        return Matches(device, vendor, product) && (serial == nullptr || device.serialNumber == serial);
    });
    return found != model.bus.end() ? &*found : nullptr;
}

hid_device_info *Enumerate(const Model &model, unsigned short vendor, unsigned short product)
{
    hid_device_info *first = nullptr;
    hid_device_info **tail = &first;
    for (const Device &device : model.bus) {
        if (Matches(device, vendor, product)) {
            *tail = NewInfo(device);
            tail = &(*tail)->next;
        }
    }
    return first;
}

void FreeEnumeration(hid_device_info *list)
{
    while (list != nullptr) {
        hid_device_info *next = list->next;
        std::free(list->path);
        std::free(list->serial_number);
        std::free(list->manufacturer_string);
        std::free(list->product_string);
        std::free(list);
        list = next;
    }
}

} // namespace heatersim
