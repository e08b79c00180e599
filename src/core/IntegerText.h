#pragma once

// Integer text as the development edits take it: optional leading blanks, an optional sign,
// then decimal digits within the signed 32-bit range, or up to 8 hexadecimal digits after "$",
// "x", "X", "0x" or "0X" taken as a 32-bit pattern ($FFFFFFFF is -1). Nothing may follow.

#include <QString>

#include <cstdint>
#include <optional>

std::optional<std::int32_t> ParseInteger(const QString &Text);

// Raises std::invalid_argument "'<text>' is not a valid integer value" for invalid text.
std::int32_t StrToInt(const QString &Text);

std::int32_t StrToIntDef(const QString &Text, std::int32_t Default);
