// Trend records made by hand for the tests of the trend rules and the chart
// window: a complete read with the given stamp, sample j of each column j
// above (mass flow: below) its column's base, all offset by `base`.
#pragma once

#include <cstdint>

#include "devicelink/device_data.h"

namespace ui::testing {

inline devicelink::TTrendRecord TrendRecord(int circuit, int interval, int year, int month,
                                            int day, int hour, int minute, int count,
                                            float base = 0) {
  devicelink::TTrendRecord r;
  r.Status = 1;
  r.Circuit = static_cast<uint8_t>(circuit);
  r.Interval = static_cast<uint8_t>(interval);
  r.Year = static_cast<uint16_t>(year);
  r.Month = static_cast<uint8_t>(month);
  r.Day = static_cast<uint8_t>(day);
  r.Hour = static_cast<uint8_t>(hour);
  r.Minute = static_cast<uint8_t>(minute);
  r.Count = static_cast<uint8_t>(count);
  for (size_t j = 0; j < 60; ++j) {
    const float f = static_cast<float>(j) + base;
    r.TempSamples[j] = 2931.0f + f;  // 20.0 °C upwards
    r.PressureSamples[j] = static_cast<uint16_t>(400 + f);
    r.StdFlowSamples[j] = 350.0f + f;
    r.MassFlowSamples[j] = 280.0f - static_cast<float>(j) + base;
  }
  return r;
}

}  // namespace ui::testing
