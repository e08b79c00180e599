#pragma once

// Loading the hidapi library at run time: the shared library and its 18 entry points.

#include <hidapi/hidapi.h>

#include <QString>

#include <memory>

// hidapi's entry points as found in the loaded library.
struct THidApi {
    decltype(&::hid_init) Init = nullptr;
    decltype(&::hid_exit) Exit = nullptr;
    decltype(&::hid_enumerate) Enumerate = nullptr;
    decltype(&::hid_free_enumeration) FreeEnumeration = nullptr;
    decltype(&::hid_open) Open = nullptr;
    decltype(&::hid_open_path) OpenPath = nullptr;
    decltype(&::hid_write) Write = nullptr;
    decltype(&::hid_read_timeout) ReadTimeout = nullptr;
    decltype(&::hid_read) Read = nullptr;
    decltype(&::hid_set_nonblocking) SetNonblocking = nullptr;
    decltype(&::hid_send_feature_report) SendFeatureReport = nullptr;
    decltype(&::hid_get_feature_report) GetFeatureReport = nullptr;
    decltype(&::hid_close) Close = nullptr;
    decltype(&::hid_get_manufacturer_string) GetManufacturerString = nullptr;
    decltype(&::hid_get_product_string) GetProductString = nullptr;
    decltype(&::hid_get_serial_number_string) GetSerialNumberString = nullptr;
    decltype(&::hid_get_indexed_string) GetIndexedString = nullptr;
    decltype(&::hid_error) Error = nullptr;
};

struct TLibraryUnloader {
    void operator()(void *Library) const;
};
// A loaded shared library, unloaded when the handle goes.
using TLibraryHandle = std::unique_ptr<void, TLibraryUnloader>;

struct THidLibrary {
    QString File;
    TLibraryHandle Handle;
    THidApi Api;
};

// Loads the file and looks up every entry point. Raises EFHidError with the system's error
// text, ": " and the file name when the file does not load, or with the system's error text,
// ": " and the entry name when an entry point is missing (the library is then unloaded again).
THidLibrary LoadHidLibrary(const QString &File);
