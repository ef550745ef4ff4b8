#pragma once

#include <cstdint>

#include "tools/flowsim/memory_image.h"

namespace flowsim {

enum class DeviceModel { Gas, Steam };

// The process one measuring circuit sees: mean values, how far they swing, and
// the totals it starts from. Temperatures in kelvin, pressures in kPa.
struct CircuitProcess {
  bool active = true;
  DeviceModel model = DeviceModel::Gas;
  double temperatureK = 288.15;
  double temperatureSwingK = 0.4;
  double pressureKpa = 400.0;
  double pressureSwingKpa = 1.5;
  // Gas: standard volume flow in Nm³/h; steam: mass flow in kg/h.
  double flow = 350.0;
  double flowSwing = 12.0;
  double normalDensity = 0.79;     // gas, kg/m³ at 0 °C and 101.325 kPa
  double enthalpyRiseKjKg = 2690;  // steam: enthalpy over the feed water, kJ/kg
  double designFlow = 0;           // steam with differential pressure: kg/h at designDp
  double designDpKpa = 0;
  double temperature2K = 0;        // second temperature (steam return), 0 = none
  double volumeOrEnergyTotal = 0;  // Nm³ (gas) or kWh (steam)
  double massTotal = 0;            // kg
  std::uint32_t operatingSeconds = 0;
};

// Instantaneous values of a circuit, in device units.
struct CircuitSnapshot {
  double temperatureK = 0;
  double pressureKpa = 0;
  double density = 0;
  double diffPressureKpa = 0;
  double dpPercent = 0;
  double operatingFlow = 0;
  double massFlow = 0;
  double flowOrPower = 0;  // Nm³/h or kW
  double temperature2K = 0;
};

// Values move on slow sine waves of different periods, so every read differs a
// little and nothing leaves a plausible band; totals integrate the flows.
class LiveProcess {
 public:
  LiveProcess() = default;
  explicit LiveProcess(const CircuitProcess& process) : process_(process) {}

  CircuitSnapshot At(double seconds) const;
  // Moves time on to `seconds` (since start); earlier times are ignored.
  void AdvanceTo(double seconds);
  // The 80-byte live-value block of the circuit at the present time.
  void WriteBlock(MemoryImage& image, std::uint16_t address) const;

  const CircuitProcess& process() const { return process_; }
  double volumeOrEnergyTotal() const { return volumeOrEnergyTotal_ + process_.volumeOrEnergyTotal; }
  double massTotal() const { return massTotal_ + process_.massTotal; }

 private:
  CircuitProcess process_;
  double now_ = 0;
  double volumeOrEnergyTotal_ = 0;
  double massTotal_ = 0;
};

}  // namespace flowsim
