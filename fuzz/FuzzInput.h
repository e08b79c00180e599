#pragma once

// Reading a fuzzer's bytes as the values a decoder takes.

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class TFuzzInput {
public:
    TFuzzInput(const std::uint8_t *Data, std::size_t Size) : FData(Data), FSize(Size) {}

    template <class T>
    T Take()
    {
        T value{};
        const std::size_t count = std::min(sizeof value, FSize - FPos);
        std::memcpy(&value, FData + FPos, count);
        FPos += count;
        return value;
    }

    // A text of at most Limit bytes read as UTF-8.
    QString Text(std::size_t Limit)
    {
        const std::size_t count = std::min<std::size_t>(Take<std::uint8_t>() % (Limit + 1), FSize - FPos);
        const QString text = QString::fromUtf8(reinterpret_cast<const char *>(FData + FPos), static_cast<qsizetype>(count));
        FPos += count;
        return text;
    }

    std::vector<std::uint8_t> Rest() const { return {FData + FPos, FData + FSize}; }

private:
    const std::uint8_t *FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};
