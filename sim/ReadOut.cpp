#include "ReadOut.h"

#include "Bytes.h"

#include <algorithm>

namespace heatersim {

namespace {

constexpr std::uint32_t kSectorMask = ~std::uint32_t{0xFFF}; // 4 KiB flash sectors
constexpr std::uint32_t kFlashBlockSize = 0x40000;
constexpr std::uint8_t kErased = 0xFF;

std::optional<Report> NextHistoryBlock(Heater &heater)
{
    if (heater.historyNext >= heater.history.size()) {
        return std::nullopt;
    }
    Report block{}; // records past the oldest stay zero
    for (int slot = 0; slot < kRecordsPerBlock && heater.historyNext < heater.history.size(); ++slot) {
        std::ranges::copy(heater.history[heater.historyNext++], block.begin() + slot * kRecordSize);
    }
    return block;
}

// Flash as the heater holds it: the history log from its address on, erased flash behind the
// log and in erased sectors, a fixed pattern everywhere else.
std::uint8_t MemoryByte(const Heater &heater, std::uint32_t address)
{
    if (address >= kHistoryAddress) {
        const std::size_t offset = address - kHistoryAddress;
        const std::size_t record = offset / kRecordSize;
        return record < heater.history.size() ? heater.history[record][offset % kRecordSize] : kErased;
    }
    if (heater.erasedSectors.contains(address & kSectorMask)) {
        return kErased;
    }
    return static_cast<std::uint8_t>(address ^ (address >> 8) ^ (address >> 16));
}

Report NextMemoryBlock(Heater &heater)
{
    Report block{};
    for (std::uint8_t &byte : block) {
        byte = MemoryByte(heater, heater.memoryAddress++);
    }
    return block;
}

// One entry per flash block: its number, start address and size.
std::optional<Report> NextFlashTableBlock(Heater &heater)
{
    if (heater.flashNext >= kFlashTableEntries) {
        return std::nullopt;
    }
    const auto entry = static_cast<std::uint32_t>(heater.flashNext++);
    Report block{};
    block[0] = static_cast<std::uint8_t>(entry);
    PutU32(&block[1], entry * kFlashBlockSize);
    PutU32(&block[5], kFlashBlockSize);
    return block;
}

} // namespace

void StartHistory(Heater &heater, bool restart)
{
    heater.readOut = ReadOut::History;
    if (restart) {
        heater.historyNext = 0;
    }
}

void StartMemory(Heater &heater, std::uint32_t address)
{
    heater.readOut = ReadOut::Memory;
    heater.memoryAddress = address;
}

void StartFlashTable(Heater &heater)
{
    heater.readOut = ReadOut::FlashTable;
    heater.flashNext = 0;
}

std::optional<Report> NextBlock(Heater &heater)
{
    switch (heater.readOut) {
    case ReadOut::History:
        return NextHistoryBlock(heater);
    case ReadOut::Memory:
        return NextMemoryBlock(heater);
    case ReadOut::FlashTable:
        return NextFlashTableBlock(heater);
    case ReadOut::None:
        break;
    }
    return std::nullopt;
}

void EraseSector(Heater &heater, std::uint32_t address)
{
    const std::uint32_t sector = address & kSectorMask;
    if (sector == kHistoryAddress) {
        heater.history.clear();
        heater.historyNext = 0;
    } else {
        heater.erasedSectors.insert(sector);
    }
}

} // namespace heatersim
