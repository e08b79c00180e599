#pragma once

// The command codes the heater acts on.

#include <cstdint>

enum TCommand : std::uint8_t {
    cmdFlashTable = 0x01,      // start the flash-table transfer
    cmdHistory = 0x02,         // start (0) or continue (1) the history transfer; also the memory read
    cmdNextBlock = 0x10,       // send the next block of a transfer
    cmdSetpoint = 0x20,        // water temperature setpoint, whole degrees Celsius
    cmdClock = 0x21,           // the heater's clock, in device seconds
    cmdEraseSector = 0x22,     // erase the flash sector at an address
    cmdSerialNumber = 0x2F,    // year-week * 10000 + number
    cmdPwm1 = 0x31,            // PWM of string 1; strings 2 and 3 follow: -1 automatic, 0 off, up to 1000
    cmdFirmwareUpdate = 0x40,  // prepare for a firmware update
};

// The PWM command of string n (1 to 3).
constexpr std::uint8_t PwmCommand(int n)
{
    return static_cast<std::uint8_t>(cmdPwm1 + n - 1);
}

// The address of the sector that holds the stored history.
constexpr std::int32_t HistorySector = 0xFFF000;
