#pragma once

// A device arrival or removal handler: a method bound to an object. Two handlers have the same
// code when they name the same method, whatever object they are bound to.

#include <QString>

#include <array>
#include <cstring>
#include <functional>
#include <typeindex>
#include <typeinfo>

class TFHid;

class TFDeviceEvent {
public:
    TFDeviceEvent() = default;

    template <class T>
    TFDeviceEvent(T *Object, void (T::*Method)(TFHid *Sender, const QString &DeviceName))
        : FCall([Object, Method](TFHid *Sender, const QString &DeviceName) {
              (Object->*Method)(Sender, DeviceName);
          }),
          FType(typeid(T))
    {
        static_assert(sizeof(Method) <= sizeof(FCode));
        std::memcpy(FCode.data(), &Method, sizeof(Method));
    }

    explicit operator bool() const { return static_cast<bool>(FCall); }
    bool SameCode(const TFDeviceEvent &Other) const
    {
        return FType == Other.FType && FCode == Other.FCode;
    }
    void operator()(TFHid *Sender, const QString &DeviceName) const { FCall(Sender, DeviceName); }

private:
    std::function<void(TFHid *, const QString &)> FCall;
    std::type_index FType = typeid(void);
    std::array<unsigned char, 2 * sizeof(void *)> FCode{};
};
