#pragma once

// TFHid: the program's only access to USB HID devices. It wraps the hidapi library, loaded at
// run time, turns hidapi's -1 results into EFHidError, offers byte-array overloads with fixed
// buffers, and reports device arrival and removal on the UI thread.

#include "core/Bytes.h"
#include "hid/DeviceEvent.h"

#include <QString>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

struct hid_device_;
class QWidget;

class EFHidError : public std::runtime_error {
public:
    explicit EFHidError(const QString &Message);
    QString Message() const;
};

struct TFHidDevice {
    QString DevicePath;
    quint16 Vendor = 0;
    quint16 Product = 0;
    quint16 ReleaseNumber = 0;
    QString SerialNumber;
    QString Manufacturer;
    QString ProductName;
    quint16 UsagePage = 0;
    quint16 Usage = 0;
};
using TFHidDevices = std::vector<TFHidDevice>;

class THotplugSource;

class TFHid {
public:
    // The library file is loaded by the first instance of the process (later instances share it).
    // Window is where device notifications are delivered; without one the events never fire.
    TFHid(const QString &LibraryFile, QWidget *Window);
    ~TFHid();
    TFHid(const TFHid &) = delete;
    TFHid &operator=(const TFHid &) = delete;

    TFHidDevices Enumerate(int Vendor, int Product);

    void Open(int Vendor, int Product, const QString &SerialNumber);
    void Open(const QString &DevicePath);
    void Close();
    bool Active() const;

    void SetBlockingMode(bool Blocking);
    QString LastError();

    int Write(const std::uint8_t *Data, int Size);
    int Write(const TBytes &Data);
    int Read(std::uint8_t *Data, int Size);
    int Read(std::uint8_t *Data, int Size, int Timeout);
    TBytes Read();
    TBytes Read(int Timeout);
    int SendFeatureReport(const std::uint8_t *Data, int Size);
    int SendFeatureReport(const TBytes &Data);
    int GetFeatureReport(std::uint8_t *Data, int Size);
    TBytes GetFeatureReport(std::uint8_t Report);
    QString GetString(int Index);
    bool GetHasString(int Index);

    QString Manufacturer();
    QString ProductName();
    QString SerialNumber();
    QString Strings(int Index) { return GetString(Index); }
    bool HasString(int Index) { return GetHasString(Index); }

    const TFDeviceEvent &OnDeviceArrival() const { return FOnDeviceArrival; }
    const TFDeviceEvent &OnDeviceRemoved() const { return FOnDeviceRemoved; }
    void SetOnDeviceArrival(const TFDeviceEvent &Handler);
    void SetOnDeviceRemoved(const TFDeviceEvent &Handler);
    // True while device notifications are registered.
    bool Registered() const { return FNotificationHandle != nullptr; }
    // The current registration, to tell one registration from another.
    const void *NotificationHandle() const { return FNotificationHandle.get(); }

private:
    void RequireActive() const;
    void RequireInactive() const;
    int Check(int Result);
    void EnsureRegistration();
    void Unregister();
    void Notify(bool Arrival, const QString &DeviceName);
    void AssignEvent(TFDeviceEvent &Event, const TFDeviceEvent &Handler);
    using TTextReader = int (*)(hid_device_ *Device, wchar_t *Text, std::size_t Length);
    QString ReadText(TTextReader Reader);

    hid_device_ *FDevice = nullptr;
    std::unique_ptr<THotplugSource> FNotificationHandle;
    QWidget *FWindowHandle = nullptr;
    TFDeviceEvent FOnDeviceArrival;
    TFDeviceEvent FOnDeviceRemoved;
};

// The HID library's file name: HELVANE_HIDAPI when set, else the system's hidapi.
QString DefaultHidLibraryFile();
// True when the file is the system's own hidapi (device notifications then come from the
// system's monitor rather than from polling the enumeration).
bool IsSystemHidLibrary(const QString &LibraryFile);
