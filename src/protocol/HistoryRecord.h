#pragma once

// The heater's stored history: blocks of four 16-byte records, each with its own checksum.

#include "core/Bytes.h"
#include "core/LocaleFormats.h"
#include "history/HistoryData.h"

#include <QStringList>

#include <vector>

constexpr int HistoryRecordSize = 16;
constexpr int HistoryRecordsPerBlock = 4;

// Whether the 16 bytes at Pos add up to 0 modulo 256. Raises std::out_of_range when the
// bytes are not all there.
bool HistoryChecksumOk(const TBytes &Block, int Pos);

// The sample of the record at Pos: quarter volts and amperes, signed whole degrees, signed
// watt-hours, the powers U x I kept between 0 and MaxStringPower, no PWM. Raises
// std::out_of_range when the bytes are not all there.
THistoryData DecodeHistoryRecord(const TBytes &Block, int Pos, float MaxStringPower);

// A sample goes into the list from 2016 on; older ones (all-zero records among them) do not.
bool KeptHistorySample(const THistoryData &Sample);

// What one block of the download brings: the samples to keep in block order, a log line per
// record ("Data <time>: <hex> res=N" or "Data ChkSum invalid: <hex> res=N") and the number of
// records with a bad checksum. Only records that the reply holds in full are handled; a short
// reply's remainder is skipped without a line.
struct THistoryBlock {
    std::vector<THistoryData> Samples;
    QStringList LogLines;
    int BadRecords = 0;
};

THistoryBlock DecodeHistoryBlock(const TBytes &Reply, int Res, float MaxStringPower, const TLocaleFormats &Formats);
