#pragma once

// The memory dump's rows: 16 bytes each, four to a reply, shown with their address and the time
// stamp their first four bytes would be in a history record.

#include "core/Bytes.h"
#include "core/LocaleFormats.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// At least six upper-case hexadecimal digits; a negative address as its 32-bit pattern.
QString HexAddress(std::int32_t Address);

// "Data <address> <time>: <hex> res=N" for each row the reply holds in full, the address going up
// by 16 per row. Address moves on by a whole reply (64) either way, so that a short reply's
// missing rows do not shift the addresses of the rows after it.
QStringList MemoryRowLines(const TBytes &Reply, std::int32_t &Address, int Res, const TLocaleFormats &Formats);
