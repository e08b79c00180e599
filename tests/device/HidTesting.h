#pragma once

// Shared by the device tests: the heater model as the HID library, reset before every test.

#include "hid/FHid.h"

#include <heatersim.h>

#include <gtest/gtest.h>

#include <QString>

#include <functional>

inline const QString SimulatorFile = QStringLiteral(HEATERSIM_FILE);
inline constexpr const char *HeaterPath = "sim-heater-1";

class THidTest : public ::testing::Test {
protected:
    void SetUp() override { heatersim_reset(); }
};

// The message of the EFHidError that Action raises; empty when it raises nothing.
inline QString ErrorOf(const std::function<void()> &Action)
{
    try {
        Action();
    } catch (const EFHidError &Error) {
        return Error.Message();
    }
    return {};
}
