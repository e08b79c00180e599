#include "core/CodePage.h"

#include <array>

namespace {

// The characters of bytes 0x80 to 0x9F; the rest of the page equals Latin-1. Unassigned bytes
// hold 0 and are never produced.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char Encode(char16_t Character)
{
    if (Character < 0x80 || (Character >= 0xA0 && Character <= 0xFF))
        return static_cast<char>(Character);
    for (std::size_t i = 0; i < HighControls.size(); ++i) {
        if (HighControls[i] != 0 && HighControls[i] == Character)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

}

QByteArray ToWindows1252(const QString &Text)
{
    QByteArray bytes;
    bytes.reserve(Text.size());
    for (QChar character : Text)
        bytes.append(Encode(character.unicode()));
    return bytes;
}
