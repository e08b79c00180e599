#pragma once

// The USB bus: the plugged devices and hidapi's view of them.

#include "Model.h"

namespace heatersim {

Device HeaterDevice(const char *path, const wchar_t *firmware);
Device OtherDevice(const char *path, unsigned short vendor, unsigned short product);

// A device plugged at a path already taken replaces the one there.
void Plug(Model &model, Device device);
void Unplug(Model &model, const char *path);

const Device *FindDevice(const Model &model, int id);
const Device *FindDevice(const Model &model, const char *path);
const Device *FindDevice(const Model &model, unsigned short vendor, unsigned short product, const wchar_t *serial);

// hidapi's list of the plugged devices that match (0 matches any), in plug order.
hid_device_info *Enumerate(const Model &model, unsigned short vendor, unsigned short product);
void FreeEnumeration(hid_device_info *list);

} // namespace heatersim
