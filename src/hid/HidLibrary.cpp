#include "hid/HidLibrary.h"

#include "hid/FHid.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <QFile>

#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32

void *OpenLibrary(const QString &File)
{
    return LoadLibraryW(reinterpret_cast<LPCWSTR>(File.utf16()));
}

void *FindEntry(void *Library, const char *Name)
{
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(Library), Name));
}

void CloseLibrary(void *Library)
{
    FreeLibrary(static_cast<HMODULE>(Library));
}

QString LastSystemError(const QString &)
{
    const DWORD Code = GetLastError();
    wchar_t *Text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, Code, 0, reinterpret_cast<LPWSTR>(&Text), 0, nullptr);
    const QString Message = QString::fromWCharArray(Text).trimmed();
    LocalFree(Text);
    return Message;
}

#else

void *OpenLibrary(const QString &File)
{
    return dlopen(QFile::encodeName(File).constData(), RTLD_NOW | RTLD_LOCAL);
}

void *FindEntry(void *Library, const char *Name)
{
    return dlsym(Library, Name);
}

void CloseLibrary(void *Library)
{
    dlclose(Library);
}

// The loader's text names the file it failed on first and the symbol it missed last; the caller
// names them, so they are left out here.
QString LastSystemError(const QString &Name)
{
    QString Text = QString::fromLocal8Bit(dlerror());
    const QString Separator = QStringLiteral(": ");
    if (Text.startsWith(Name + Separator))
        Text.remove(0, Name.size() + Separator.size());
    if (Text.endsWith(Separator + Name))
        Text.chop(Name.size() + Separator.size());
    return Text;
}

#endif

template <class TEntry>
void Resolve(const TLibraryHandle &Library, const char *Name, TEntry &Entry)
{
    void *Address = FindEntry(Library.get(), Name);
    if (!Address)
        throw EFHidError(LastSystemError(QLatin1String(Name)) + QStringLiteral(": ") + QLatin1String(Name));
    Entry = reinterpret_cast<TEntry>(Address);
}

} // namespace

void TLibraryUnloader::operator()(void *Library) const
{
    CloseLibrary(Library);
}

THidLibrary LoadHidLibrary(const QString &File)
{
    TLibraryHandle Handle(OpenLibrary(File));
    if (!Handle)
        throw EFHidError(LastSystemError(File) + QStringLiteral(": ") + File);
    THidApi Api;
    Resolve(Handle, "hid_init", Api.Init);
    Resolve(Handle, "hid_exit", Api.Exit);
    Resolve(Handle, "hid_enumerate", Api.Enumerate);
    Resolve(Handle, "hid_free_enumeration", Api.FreeEnumeration);
    Resolve(Handle, "hid_open", Api.Open);
    Resolve(Handle, "hid_open_path", Api.OpenPath);
    Resolve(Handle, "hid_write", Api.Write);
    Resolve(Handle, "hid_read_timeout", Api.ReadTimeout);
    Resolve(Handle, "hid_read", Api.Read);
    Resolve(Handle, "hid_set_nonblocking", Api.SetNonblocking);
    Resolve(Handle, "hid_send_feature_report", Api.SendFeatureReport);
    Resolve(Handle, "hid_get_feature_report", Api.GetFeatureReport);
    Resolve(Handle, "hid_close", Api.Close);
    Resolve(Handle, "hid_get_manufacturer_string", Api.GetManufacturerString);
    Resolve(Handle, "hid_get_product_string", Api.GetProductString);
    Resolve(Handle, "hid_get_serial_number_string", Api.GetSerialNumberString);
    Resolve(Handle, "hid_get_indexed_string", Api.GetIndexedString);
    Resolve(Handle, "hid_error", Api.Error);
    return THidLibrary{File, std::move(Handle), Api};
}
