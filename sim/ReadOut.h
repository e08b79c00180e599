#pragma once

// The heater's block read-outs, each answering one block per block request: the stored
// history, memory and the flash table.

#include "Model.h"

#include <cstdint>
#include <optional>

namespace heatersim {

constexpr std::uint32_t kHistoryAddress = 0xFFF000;
constexpr int kFlashTableEntries = 64;

// Restart at the newest record, or go on after the last block delivered.
void StartHistory(Heater &heater, bool restart);
void StartMemory(Heater &heater, std::uint32_t address);
void StartFlashTable(Heater &heater);

// The next block of the current read-out; none when it has nothing more to give.
std::optional<Report> NextBlock(Heater &heater);

// Erasing the sector at the history's address empties the stored history.
void EraseSector(Heater &heater, std::uint32_t address);

} // namespace heatersim
