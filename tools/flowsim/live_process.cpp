#include "tools/flowsim/live_process.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/flowsim/device_map.h"

namespace flowsim {

namespace {

double Wave(double seconds, double period, double phase) {
  return std::sin(2 * std::numbers::pi * seconds / period + phase);
}

constexpr double kNormalPressureKpa = 101.325;
constexpr double kNormalTemperatureK = 273.15;

// Vapour density from p and T with a small real-gas correction.
double SteamDensity(double pressureKpa, double temperatureK) {
  return pressureKpa * 18.015 / (8.314 * temperatureK) * (1 + 0.00007 * pressureKpa);
}

// Totals are kept in two singles so that the sum keeps its small steps.
void PutSplitTotal(MemoryImage& image, std::uint16_t address, double total) {
  const double high = std::floor(total / 1000.0) * 1000.0;
  image.PutFloat(address, static_cast<float>(high));
  image.PutFloat(static_cast<std::uint16_t>(address + 4), static_cast<float>(total - high));
}

}  // namespace

CircuitSnapshot LiveProcess::At(double t) const {
  CircuitSnapshot s;
  if (!process_.active) return s;
  const CircuitProcess& p = process_;
  s.temperatureK = p.temperatureK + p.temperatureSwingK * Wave(t, 617, 0.0);
  s.pressureKpa = p.pressureKpa + p.pressureSwingKpa * Wave(t, 293, 1.0);
  const double flow = std::max(0.0, p.flow + p.flowSwing * Wave(t, 181, 2.0));
  if (p.model == DeviceModel::Gas) {
    s.density = p.normalDensity * (s.pressureKpa / kNormalPressureKpa) *
                (kNormalTemperatureK / s.temperatureK) / 0.99;
    s.flowOrPower = flow;
    s.massFlow = flow * p.normalDensity;
  } else {
    s.density = SteamDensity(s.pressureKpa, s.temperatureK);
    s.massFlow = flow;
    s.flowOrPower = flow / 3600.0 * p.enthalpyRiseKjKg;
    if (p.designFlow > 0) {
      const double ratio = flow / p.designFlow;
      s.diffPressureKpa = p.designDpKpa * ratio * ratio;
      s.dpPercent = 100.0 * ratio;
    }
  }
  s.operatingFlow = s.density > 0 ? s.massFlow / s.density : 0;
  if (p.temperature2K > 0) s.temperature2K = p.temperature2K + 0.3 * Wave(t, 411, 0.5);
  return s;
}

void LiveProcess::AdvanceTo(double seconds) {
  if (seconds <= now_) return;
  // Trapezoid steps of at most a minute keep long jumps close to the integral.
  while (now_ < seconds) {
    const double step = std::min(60.0, seconds - now_);
    const CircuitSnapshot a = At(now_);
    const CircuitSnapshot b = At(now_ + step);
    volumeOrEnergyTotal_ += (a.flowOrPower + b.flowOrPower) / 2 * step / 3600.0;
    massTotal_ += (a.massFlow + b.massFlow) / 2 * step / 3600.0;
    now_ += step;
  }
}

void LiveProcess::WriteBlock(MemoryImage& image, std::uint16_t address) const {
  image.Fill(address, map::kLiveValuesSize, 0);
  if (!process_.active) return;
  const CircuitSnapshot s = At(now_);
  auto put = [&](int offset, double value) {
    image.PutFloat(static_cast<std::uint16_t>(address + offset), static_cast<float>(value));
  };
  put(map::live::kValue0, s.dpPercent);
  put(map::live::kDensity, s.density);
  put(map::live::kPressure, s.pressureKpa);
  put(map::live::kTemperatureK, s.temperatureK);
  put(map::live::kDiffPressure, s.diffPressureKpa);
  put(map::live::kOperatingFlow, s.operatingFlow);
  put(map::live::kMassFlow, s.massFlow);
  PutSplitTotal(image, static_cast<std::uint16_t>(address + map::live::kMassTotalA), massTotal());
  put(map::live::kFlowOrPower, s.flowOrPower);
  PutSplitTotal(image, static_cast<std::uint16_t>(address + map::live::kTotalOrEnergyA),
                volumeOrEnergyTotal());
  image.Put32(static_cast<std::uint16_t>(address + map::live::kOperatingSeconds),
              process_.operatingSeconds + static_cast<std::uint32_t>(now_));
  put(map::live::kTemperature2K, s.temperature2K);
}

}  // namespace flowsim
