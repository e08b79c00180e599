#include "hid/FHid.h"

#include "hid/HidLibrary.h"
#include "hid/Hotplug.h"

#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cwchar>
#include <optional>

namespace {

// The only process-wide state: the library, loaded by the first instance and kept until the
// process ends, and the number of live instances that have initialised it.
struct THidProcess {
    std::optional<THidLibrary> Library;
    int Instances = 0;
};

THidProcess &Process()
{
    static THidProcess State;
    return State;
}

const THidApi &Hid()
{
    return Process().Library->Api;
}

constexpr int BufferSize = 256;
using TByteBuffer = std::array<std::uint8_t, BufferSize>;
using TTextBuffer = std::array<wchar_t, BufferSize>;

// The first Count bytes; a result outside the buffer yields nothing beyond it.
TBytes Received(const TByteBuffer &Buffer, int Count)
{
    const auto Size = std::clamp<std::ptrdiff_t>(Count, 0, Buffer.size());
    return TBytes(Buffer.begin(), Buffer.begin() + Size);
}

QString TextOf(const TTextBuffer &Buffer)
{
    return QString::fromWCharArray(Buffer.data(),
                                   static_cast<int>(wcsnlen(Buffer.data(), Buffer.size())));
}

QString TextOf(const wchar_t *Text)
{
    return Text ? QString::fromWCharArray(Text) : QString();
}

struct TEnumerationRelease {
    void operator()(hid_device_info *List) const { Hid().FreeEnumeration(List); }
};
using TEnumeration = std::unique_ptr<hid_device_info, TEnumerationRelease>;

TFHidDevice DeviceOf(const hid_device_info &Info)
{
    TFHidDevice Device;
    Device.DevicePath = QString::fromLocal8Bit(Info.path);
    Device.Vendor = Info.vendor_id;
    Device.Product = Info.product_id;
    Device.ReleaseNumber = Info.release_number;
    Device.SerialNumber = TextOf(Info.serial_number);
    Device.Manufacturer = TextOf(Info.manufacturer_string);
    Device.ProductName = TextOf(Info.product_string);
    Device.UsagePage = Info.usage_page;
    Device.Usage = Info.usage;
    return Device;
}

} // namespace

EFHidError::EFHidError(const QString &Message) : std::runtime_error(Message.toStdString()) {}

QString EFHidError::Message() const
{
    return QString::fromStdString(what());
}

TFHid::TFHid(const QString &LibraryFile, QWidget *Window) : FWindowHandle(Window)
{
    THidProcess &State = Process();
    if (!State.Library)
        State.Library.emplace(LoadHidLibrary(LibraryFile));
    if (State.Instances == 0 && Hid().Init() < 0)
        throw EFHidError(QStringLiteral("Can't initialize HIDAPI library"));
    ++State.Instances;
}

// A destructor cannot raise: a failing hid_exit is reported as a warning instead, and the
// library counts as uninitialised all the same, so that the next instance initialises it anew.
TFHid::~TFHid()
{
    Close();
    Unregister();
    THidProcess &State = Process();
    if (State.Instances > 0 && --State.Instances == 0 && Hid().Exit() < 0)
        qWarning("Can't uninitialize HIDAPI library");
}

TFHidDevices TFHid::Enumerate(int Vendor, int Product)
{
    const TEnumeration List(Hid().Enumerate(static_cast<unsigned short>(Vendor),
                                            static_cast<unsigned short>(Product)));
    TFHidDevices Devices;
    for (const hid_device_info *Info = List.get(); Info; Info = Info->next)
        Devices.push_back(DeviceOf(*Info));
    return Devices;
}

void TFHid::Open(int Vendor, int Product, const QString &SerialNumber)
{
    RequireInactive();
    const std::wstring Serial = SerialNumber.toStdWString();
    FDevice = Hid().Open(static_cast<unsigned short>(Vendor), static_cast<unsigned short>(Product),
                         SerialNumber.isEmpty() ? nullptr : Serial.c_str());
    if (!FDevice)
        throw EFHidError(QStringLiteral("Can't open HID device"));
}

void TFHid::Open(const QString &DevicePath)
{
    RequireInactive();
    FDevice = Hid().OpenPath(DevicePath.toLocal8Bit().constData());
    if (!FDevice)
        throw EFHidError(QStringLiteral("Can't open HID device"));
}

void TFHid::Close()
{
    if (!FDevice)
        return;
    Hid().Close(FDevice);
    FDevice = nullptr;
}

bool TFHid::Active() const
{
    return FDevice != nullptr;
}

void TFHid::SetBlockingMode(bool Blocking)
{
    RequireActive();
    Check(Hid().SetNonblocking(FDevice, Blocking ? 0 : 1));
}

QString TFHid::LastError()
{
    RequireActive();
    return TextOf(Hid().Error(FDevice));
}

int TFHid::Write(const std::uint8_t *Data, int Size)
{
    RequireActive();
    return Hid().Write(FDevice, Data, static_cast<std::size_t>(Size));
}

int TFHid::Write(const TBytes &Data)
{
    return Check(Write(Data.data(), static_cast<int>(Data.size())));
}

int TFHid::Read(std::uint8_t *Data, int Size)
{
    RequireActive();
    return Hid().Read(FDevice, Data, static_cast<std::size_t>(Size));
}

int TFHid::Read(std::uint8_t *Data, int Size, int Timeout)
{
    RequireActive();
    return Hid().ReadTimeout(FDevice, Data, static_cast<std::size_t>(Size), Timeout);
}

TBytes TFHid::Read()
{
    TByteBuffer Buffer{};
    return Received(Buffer, Check(Read(Buffer.data(), BufferSize)));
}

TBytes TFHid::Read(int Timeout)
{
    TByteBuffer Buffer{};
    return Received(Buffer, Check(Read(Buffer.data(), BufferSize, Timeout)));
}

int TFHid::SendFeatureReport(const std::uint8_t *Data, int Size)
{
    RequireActive();
    return Hid().SendFeatureReport(FDevice, Data, static_cast<std::size_t>(Size));
}

int TFHid::SendFeatureReport(const TBytes &Data)
{
    return Check(SendFeatureReport(Data.data(), static_cast<int>(Data.size())));
}

int TFHid::GetFeatureReport(std::uint8_t *Data, int Size)
{
    RequireActive();
    return Hid().GetFeatureReport(FDevice, Data, static_cast<std::size_t>(Size));
}

TBytes TFHid::GetFeatureReport(std::uint8_t Report)
{
    TByteBuffer Buffer{};
    Buffer[0] = Report;
    return Received(Buffer, Check(GetFeatureReport(Buffer.data(), BufferSize)));
}

QString TFHid::GetString(int Index)
{
    RequireActive();
    TTextBuffer Buffer{};
    Check(Hid().GetIndexedString(FDevice, Index, Buffer.data(), Buffer.size()));
    return TextOf(Buffer);
}

bool TFHid::GetHasString(int Index)
{
    RequireActive();
    TTextBuffer Buffer{};
    return Hid().GetIndexedString(FDevice, Index, Buffer.data(), Buffer.size()) >= 0;
}

QString TFHid::Manufacturer()
{
    return ReadText(Hid().GetManufacturerString);
}

QString TFHid::ProductName()
{
    return ReadText(Hid().GetProductString);
}

QString TFHid::SerialNumber()
{
    return ReadText(Hid().GetSerialNumberString);
}

QString TFHid::ReadText(TTextReader Reader)
{
    RequireActive();
    TTextBuffer Buffer{};
    Check(Reader(FDevice, Buffer.data(), Buffer.size()));
    return TextOf(Buffer);
}

void TFHid::SetOnDeviceArrival(const TFDeviceEvent &Handler)
{
    AssignEvent(FOnDeviceArrival, Handler);
}

void TFHid::SetOnDeviceRemoved(const TFDeviceEvent &Handler)
{
    AssignEvent(FOnDeviceRemoved, Handler);
}

void TFHid::AssignEvent(TFDeviceEvent &Event, const TFDeviceEvent &Handler)
{
    if (Handler.SameCode(Event))
        return;
    Event = Handler;
    if (FOnDeviceArrival || FOnDeviceRemoved)
        EnsureRegistration();
    else
        Unregister();
}

void TFHid::RequireActive() const
{
    if (!FDevice)
        throw EFHidError(QStringLiteral("Can't perform this operation on an inactive HID device"));
}

void TFHid::RequireInactive() const
{
    if (FDevice)
        throw EFHidError(QStringLiteral("Can't perform this operation on an active HID device"));
}

// hidapi documents -1 for a failure; any negative result counts as one.
int TFHid::Check(int Result)
{
    if (Result < 0)
        throw EFHidError(LastError());
    return Result;
}

// A failed registration leaves the component unregistered: the events then never fire.
void TFHid::EnsureRegistration()
{
    if (FNotificationHandle || !FWindowHandle)
        return;
    FNotificationHandle = CreateHotplugSource(
        FWindowHandle, IsSystemHidLibrary(Process().Library->File),
        [this] { return Enumerate(0, 0); },
        [this](bool Arrival, const QString &DeviceName) { Notify(Arrival, DeviceName); });
}

void TFHid::Unregister()
{
    FNotificationHandle.reset();
}

void TFHid::Notify(bool Arrival, const QString &DeviceName)
{
    // A copy: the handler may assign the event anew while it runs.
    const TFDeviceEvent Handler = Arrival ? FOnDeviceArrival : FOnDeviceRemoved;
    if (Handler)
        Handler(this, DeviceName);
}

QString DefaultHidLibraryFile()
{
    const QString Chosen = qEnvironmentVariable("HELVANE_HIDAPI");
    if (!Chosen.isEmpty())
        return Chosen;
#ifdef _WIN32
    return QStringLiteral("hidapi.dll");
#else
    return QStringLiteral("libhidapi-hidraw.so.0");
#endif
}

bool IsSystemHidLibrary(const QString &LibraryFile)
{
    static const QStringList SystemFiles{
        QStringLiteral("libhidapi-hidraw.so.0"), QStringLiteral("libhidapi-hidraw.so"),
        QStringLiteral("libhidapi-libusb.so.0"), QStringLiteral("libhidapi-libusb.so"),
        QStringLiteral("hidapi.dll")};
    return SystemFiles.contains(LibraryFile);
}
