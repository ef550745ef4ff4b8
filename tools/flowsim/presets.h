#pragma once

#include <array>
#include <string_view>

#include "tools/flowsim/device_clock.h"
#include "tools/flowsim/live_process.h"
#include "tools/flowsim/memory_image.h"

namespace flowsim {

inline constexpr std::string_view kGasIdentification = "MV-NGX7 ";
inline constexpr std::string_view kSteamIdentification = "MV-HTX7 ";

struct DeviceSetup {
  DeviceModel model = DeviceModel::Gas;
  bool singleCircuit = false;
};

// What the two circuits measure; circuit 2 of a single-circuit device is idle.
std::array<CircuitProcess, 2> PresetProcesses(const DeviceSetup& setup);

// Fills every block of a factory-fresh image: identification, serial number,
// parameters, units, tables, event log, archive and trend ring. Stamps are set
// relative to `now`. Live values and the clock are the simulator's business.
void ApplyPreset(MemoryImage& image, const DeviceSetup& setup, const CivilTime& now);

}  // namespace flowsim
