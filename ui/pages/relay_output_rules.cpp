#include "ui/pages/relay_output_rules.h"

#include <cmath>

#include "services/value_format.h"

namespace ui {
namespace {

constexpr uint8_t kCurrentKind = 17;
constexpr uint8_t kPlain = 255;

std::string FV(uint8_t kind, float value) {
  return services::FormatValue(kind, 1, 1, value);
}

// A bound outside lo..hi (or not a number) moves to the limit on its side.
float Fit(float value, float lo, float hi, float if_nan) {
  if (std::isnan(value)) return if_nan;
  if (value < lo) return lo;
  if (value > hi) return hi;
  return value;
}

}  // namespace

std::optional<uint8_t> AlarmCodeOfIndex(int index) {
  if (index < 0 || index >= kAlarmSourceCount) return std::nullopt;
  int c = index;
  if (c > 7) c += 1;
  if (c > 15) c += 1;
  if (c > 23) c += 4;
  return static_cast<uint8_t>(c);
}

int AlarmIndexOfCode(uint8_t code) {
  for (int i = 0; i < kAlarmSourceCount; ++i) {
    if (AlarmCodeOfIndex(i) == code) return i;
  }
  return -1;
}

uint8_t AlarmLimitKind(uint8_t code) {
  switch (code) {
    case 1: case 9: return 0;
    case 2: case 10: case 18: return 1;
    case 3: case 11: case 19: return 2;
    case 4: case 12: case 20: case 28: return 3;
    case 5: case 13: case 21: case 29: return 4;
    case 6: case 14: case 22: case 30: return 5;
    case 17: return 15;
    case 32: case 34: case 36: case 38: return 8;
    case 33: case 35: case 37: case 39: return 9;
    default: return 6;
  }
}

std::optional<uint8_t> OutputCodeOfIndex(int index) {
  if (index < 0 || index >= kOutputSourceCount) return std::nullopt;
  int c = index;
  if (c > 5) c += 3;
  if (c > 13) c += 3;
  if (c > 21) c += 6;
  return static_cast<uint8_t>(c);
}

int OutputIndexOfCode(uint8_t code) {
  for (int i = 0; i < kOutputSourceCount; ++i) {
    if (OutputCodeOfIndex(i) == code) return i;
  }
  return -1;
}

uint8_t OutputScaleKind(uint8_t code) {
  switch (code) {
    case 1: case 9: return 0;
    case 17: return 15;
    case 2: case 10: case 18: return 1;
    case 3: case 11: case 19: return 2;
    case 4: case 12: case 20: case 28: return 3;
    case 5: case 13: case 21: case 29: return 4;
    case 30: case 31: case 32: case 33: return 8;
    default: return kCurrentKind;
  }
}

std::optional<TDialogRow> AlarmDialogRow(uint8_t code) {
  // By the choice index, as the list orders the sources: circuit 1, circuit 2,
  // differences, sums, then power and energy.
  switch (AlarmIndexOfCode(code)) {
    case 1: case 8: return TDialogRow{0, -273.15f, 1500};
    case 2: case 9: return TDialogRow{1, 0, 100000};
    case 16: return TDialogRow{1, -100000, 100000};
    case 3: case 10: return TDialogRow{2, 0.08f, 5000};
    case 17: return TDialogRow{2, -5000, 5000};
    case 4: case 11: return TDialogRow{3, 0, 1e7f};
    case 18: return TDialogRow{3, -1e7f, 1e7f};
    case 22: return TDialogRow{3, 0, 2e7f};
    case 5: case 12: return TDialogRow{4, 0, 1e8f};
    case 19: return TDialogRow{4, -1e8f, 1e8f};
    case 23: return TDialogRow{4, 0, 2e8f};
    case 6: case 13: case 24: return TDialogRow{5, 0, 1e9f};
    case 20: return TDialogRow{5, -1e9f, 1e9f};
    case 7: case 14: case 25: return TDialogRow{6, 0, 1e9f};
    case 21: return TDialogRow{6, -1e9f, 1e9f};
    case 15: return TDialogRow{15, -1273.15f, 1273.15f};
    case 26: case 28: return TDialogRow{8, 0, 1e8f};
    case 30: return TDialogRow{8, -1e8f, 1e8f};
    case 32: return TDialogRow{8, 0, 2e8f};
    case 27: case 29: case 33: return TDialogRow{9, 0, 1e9f};
    case 31: return TDialogRow{9, -1e9f, 1e9f};
    default: return std::nullopt;  // no source, or a code without a choice
  }
}

std::optional<TDialogRow> OutputDialogRow(uint8_t code) {
  switch (code) {
    case 0: return TDialogRow{kCurrentKind, 1, 23};
    case 1: case 9: return TDialogRow{0, -273.15f, 1500};
    case 2: case 10: return TDialogRow{1, 0, 100000};
    case 18: return TDialogRow{1, -100000, 100000};
    case 3: case 11: return TDialogRow{2, 0.08f, 5000};
    case 19: return TDialogRow{2, -5000, 5000};
    case 4: case 12: return TDialogRow{3, 0, 1e7f};
    case 20: return TDialogRow{3, -1e7f, 1e7f};
    case 28: return TDialogRow{3, 0, 2e7f};
    case 5: case 13: return TDialogRow{4, 0, 1e8f};
    case 21: return TDialogRow{4, -1e8f, 1e8f};
    case 29: return TDialogRow{4, 0, 2e8f};
    case 17: return TDialogRow{15, -1273.15f, 1273.15f};
    case 30: case 31: case 32: return TDialogRow{8, -1e8f, 1e8f};
    case 33: return TDialogRow{8, -2e8f, 2e8f};
    default: return std::nullopt;
  }
}

void FitOutputScale(uint8_t code, devicelink::TOutputSettings& output) {
  if (code == 0) return;
  const std::optional<TDialogRow> row = OutputDialogRow(code);
  if (!row) return;
  output.Min = Fit(output.Min, row->min, row->max, row->min);
  output.Max = Fit(output.Max, row->min, row->max, row->max);
}

uint8_t KonstantOfCurrent(float milliampere) {
  const double tenths = std::isnan(milliampere) ? 10.0 : std::round(double(milliampere) * 10.0);
  return static_cast<uint8_t>(tenths < 10 ? 10 : tenths > 230 ? 230 : tenths);
}

uint8_t ClampKonstant(uint8_t konstant) {
  return konstant < 10 ? 10 : konstant > 230 ? 230 : konstant;
}

std::optional<TAlarmLimit> AlarmLimitOfLine(uint8_t kind, int line) {
  switch (kind) {
    case 0: return TAlarmLimit::Low;
    case 1: return TAlarmLimit::High;
    case 2:
      if (line == 0) return TAlarmLimit::Low;
      if (line == 1) return TAlarmLimit::High;
      return std::nullopt;
    default: return std::nullopt;
  }
}

void SetLowBound(float& low, float& high, float value) {
  low = value;
  if (high < low) high = low;
}

void SetHighBound(float& low, float& high, float value) {
  high = value;
  if (low > high) low = high;
}

std::optional<TOutputValue> OutputValueOfLine(uint8_t code, int line) {
  if (code == 0) return line == 0 ? std::optional(TOutputValue::Konstant) : std::nullopt;
  switch (line) {
    case 0: return TOutputValue::Min;
    case 1: return TOutputValue::Max;
    case 2: return TOutputValue::Err;
    default: return std::nullopt;
  }
}

std::optional<TDialogRow> OutputLineDialog(uint8_t code, TOutputValue value) {
  if (value == TOutputValue::Err) return TDialogRow{kPlain, 1, 23};
  return OutputDialogRow(code);
}

std::vector<std::string> AlarmLines(const devicelink::TAlarmSettings& alarm,
                                    const services::TextBlock& labels) {
  std::vector<std::string> lines;
  if (alarm.Param == 0) return lines;
  const uint8_t kind = AlarmLimitKind(alarm.Param);
  if (alarm.Kind == 0 || alarm.Kind == 2) lines.push_back(labels[0] + FV(kind, alarm.Min));
  if (alarm.Kind == 1 || alarm.Kind == 2) lines.push_back(labels[1] + FV(kind, alarm.Max));
  return lines;
}

std::vector<std::string> OutputLines(const devicelink::TOutputSettings& output,
                                     const services::TextBlock& labels) {
  if (output.Param == 0) {
    return {labels[3] + FV(kCurrentKind, static_cast<float>(output.Konstant) / 10.0f)};
  }
  const uint8_t kind = OutputScaleKind(output.Param);
  return {labels[0] + FV(kind, output.Min), labels[1] + FV(kind, output.Max),
          labels[2] + FV(kCurrentKind, output.Err)};
}

}  // namespace ui
