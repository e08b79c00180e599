#pragma once

// The heater's side of the reports: the status it answers, the commands it acts on and the
// input reports it queues on the handle that asked.

#include "Model.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace heatersim {

// The days' conditions with the heater's setpoint and commanded PWM.
Conditions ConditionsOf(const Heater &heater, Conditions days);

// The status as the next status report carries it.
heatersim_status ReportedStatus(const Heater &heater);

// Writes report number 0 and the status into data; returns the bytes written.
int FillStatusReport(const Model &model, unsigned char *data, std::size_t length);

// An output report (report number first) the host wrote on the handle.
void Receive(Model &model, hid_device_ &handle, std::span<const std::uint8_t> report);

// Moves the next input report into data once it is ready, waiting up to timeoutMs for it (0 not at
// all, -1 as long as one is on its way); returns its bytes, 0 when none came.
int TakeInputReport(hid_device_ &handle, unsigned char *data, std::size_t length, int timeoutMs);
// Blocks a write while the heater holds as many requests as it can take, as USB flow control does.
void WaitForRoom(const hid_device_ &handle);

} // namespace heatersim
