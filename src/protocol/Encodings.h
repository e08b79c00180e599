#pragma once

// The heater's byte formats: big-endian fields, the device clock, hex text, and the output
// reports the program writes.

#include "core/Bytes.h"
#include "core/DateTime.h"

#include <QString>

#include <cstdint>

// Every output report goes out at the heater's full size: the report number 0 and 64 data bytes.
constexpr int OutputReportSize = 65;

// The 32-bit big-endian value at Pos; raises std::out_of_range when the bytes are not all there.
std::uint32_t ReadU32BE(const TBytes &Data, int Pos);
// The 16-bit big-endian value at Pos, sign-extended; raises std::out_of_range likewise.
std::int32_t ReadI16BE(const TBytes &Data, int Pos);
// The byte at Pos; raises std::out_of_range likewise.
std::uint8_t ReadU8(const TBytes &Data, int Pos);

// The device counts seconds from 1970-01-01 02:00:00 local wall-clock time.
TDateTime DeviceSecondsToDateTime(std::int32_t Seconds);
// Parts of a second are dropped; the result wraps modulo 2^32.
std::uint32_t DateTimeToDeviceSeconds(TDateTime Value);

// Two upper-case hex digits per byte, separated by single blanks.
QString BytesToHex(const TBytes &Data);

// 00 | command | value, 32-bit big-endian two's complement.
TBytes CommandReport(std::uint8_t Command, std::int32_t Value);
// Asks for the next block of a transfer: command 0x10 with value 0.
TBytes BlockRequest();
// 00 02 | start address | length, each 32-bit big-endian.
TBytes MemoryReadRequest(std::int32_t Address, std::int32_t Length);
// 00 followed by the low 8 bits of each character of at most 64 characters.
TBytes TextReport(const QString &Text);
