#include "ui/pages/system_rules.h"

#include <algorithm>

#include "platform/text_encoding.h"
#include "services/value_format.h"

namespace ui {
namespace {

constexpr std::array<uint8_t, kTrendIntervalCount> kIntervals = {1, 2, 3, 4, 5, 6,
                                                                 10, 12, 15, 20, 30, 60};
constexpr std::array<uint8_t, kSystemTypeCount> kSystemTypes = {0, 1, 2, 4};

// The device value of a choice, and the choice of a device value (-1: none).
template <size_t N>
std::optional<uint8_t> ValueOfChoice(const std::array<uint8_t, N>& values, int index) {
  if (index < 0 || index >= static_cast<int>(N)) return std::nullopt;
  return values[static_cast<size_t>(index)];
}

template <size_t N>
int ChoiceOfValue(const std::array<uint8_t, N>& values, uint8_t value) {
  for (size_t i = 0; i < N; ++i) {
    if (values[i] == value) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::optional<uint8_t> TrendIntervalMinutes(int index) {
  return ValueOfChoice(kIntervals, index);
}

int TrendIntervalIndex(uint8_t minutes) {
  return ChoiceOfValue(kIntervals, minutes);
}

std::optional<uint8_t> SystemTypeOfIndex(int index) {
  return ValueOfChoice(kSystemTypes, index);
}

int SystemIndexOfType(uint8_t type) {
  return ChoiceOfValue(kSystemTypes, type);
}

bool SystemTypeAllowed(uint8_t kind_mask, uint8_t type) {
  return (kind_mask & type) == type;
}

bool IsSingleCircuitType(uint8_t type) {
  return type == 1 || type == 2;
}

std::optional<TSystemTypeView> SystemTypeViewOf(uint8_t type) {
  switch (type) {
    case 0: return TSystemTypeView{0, false, false};
    case 1: return TSystemTypeView{1, true, false};
    case 2: return TSystemTypeView{2, true, false};
    case 4: return TSystemTypeView{3, false, true};
    default: return std::nullopt;
  }
}

int TransmitterIndexOf(uint8_t anzahl) {
  return anzahl >= 2 && anzahl <= 4 ? anzahl - 2 : -1;
}

std::optional<uint8_t> TransmittersOfIndex(int index) {
  if (index < 0 || index > 1) return std::nullopt;
  return static_cast<uint8_t>(index + 2);
}

std::optional<devicelink::TLimitValues> LimitSetOf(int index) {
  switch (index) {
    case 0: return devicelink::TLimitValues{1.3125f, 1.28125f, 0.24f, 0.225f};
    case 1: return devicelink::TLimitValues{1.4125f, 1.375f, 0.24f, 0.225f};
    default: return std::nullopt;
  }
}

int LimitSetIndexOf(float u_max) {
  return double(u_max) * 16.0 > 21.99 ? 1 : 0;
}

uint8_t PresetKind(int index, int medium) {
  switch (index % 4) {
    case 0: return 15;
    case 1: return 1;
    case 2: return medium == 1 ? 8 : 3;
    default: return 4;
  }
}

std::optional<TDialogRow> PresetDialogRow(int index, int medium) {
  if (index < 0 || index >= kPresetCount) return std::nullopt;
  switch (index % 4) {
    case 0: return TDialogRow{15, 0, 1273.15f};
    case 1: return TDialogRow{1, 0, 100000};
    case 2: return medium == 1 ? TDialogRow{8, 0, 1e8f} : TDialogRow{3, 0, 1e7f};
    default: return TDialogRow{4, 0, 1e8f};
  }
}

bool AnyPresetActive(const std::array<float, 8>& presets) {
  return std::any_of(presets.begin(), presets.end(), [](float p) { return p != 0; });
}

std::vector<std::string> PresetLines(const std::array<float, 8>& presets,
                                     const services::TextBlock& labels, int medium) {
  // One blank after the longest label: the values stand in one column.
  size_t width = 0;
  for (int i = 1; i <= kPresetCount; ++i) {
    width = std::max(width, platform::Utf8Length(labels[static_cast<size_t>(i)]));
  }
  std::vector<std::string> lines;
  for (int i = 0; i < kPresetCount; ++i) {
    lines.push_back(platform::PadRightChars(labels[static_cast<size_t>(i + 1)], width + 1) +
                    services::FormatValue(PresetKind(i, medium), 1, 1,
                                          presets[static_cast<size_t>(i)]));
  }
  return lines;
}

TDialogRow SystemFactorDialog() {
  return {255, 0.9f, 1.1f};
}

TDialogRow CorrectionFactorDialog() {
  return {255, 0.25f, 10};
}

}  // namespace ui
