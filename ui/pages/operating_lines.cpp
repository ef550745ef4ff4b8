#include "ui/pages/operating_lines.h"

#include <cmath>
#include <cstdio>

#include "devicelink/device_data.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/text_modules.h"
#include "services/value_format.h"

namespace ui {

namespace {

using devicelink::DeviceErrorLog;
using devicelink::IntegratorHistory;
using devicelink::LiveValues;
using devicelink::SystemParams;
using services::FormatValue;
using services::TextBlock;

// A value with its trimmed unit.
std::string FV(uint8_t kind, float value) {
  return FormatValue(kind, 1, 1, value);
}

std::string DT(const devicelink::TDeviceClock& clock) {
  return services::DeviceTimeToText(clock);
}

bool SingleCircuitFlags() {
  return (SystemParams.SystemTypeFlags & devicelink::kSingleCircuitFlags) != 0;
}

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

std::string OperatingTimeText(uint32_t seconds) {
  const uint32_t h = seconds / 3600;
  const uint32_t m = (seconds - 3600 * h) / 60;
  const uint32_t s = seconds - 3600 * h - 60 * m;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%6u:%02u:%02u    hms", h, m, s);
  return buffer;
}

int OutputSourceTextIndex(uint8_t code) {
  int k = code;
  if (k > 5) k -= 3;
  if (k > 10) k -= 3;
  if (k > 15) k -= 6;
  return k;
}

bool IsSingleCircuitSystem() {
  return SystemParams.Kind == 1 || SystemParams.Kind == 2 || SingleCircuitFlags();
}

std::vector<std::string> MeasuredValueLines(int c) {
  std::vector<std::string> lines;
  const devicelink::TCircuitValues& v = LiveValues.at(static_cast<size_t>(c));
  const bool steam = services::Medium == 1;
  TextBlock t;
  if (!SingleCircuitFlags() &&
      services::GetTextBlock(static_cast<uint16_t>(15360 + SystemParams.Kind), 54, t)) {
    lines.push_back(t[0]);
  }
  TextBlock a;
  if (!services::GetTextBlock(15376, 54, a)) return lines;
  lines.push_back(a[0] + FV(0, v.Temperature));
  lines.push_back(a[1] + FV(1, v.Pressure));
  lines.push_back(a[2] + FV(2, v.Density));
  lines.push_back(a[3] + FV(steam ? 8 : 3, v.FlowOrPower));
  lines.push_back(a[4] + FV(7, v.OperatingFlow));

  TextBlock b;
  services::GetTextBlock(16384, 54, b);
  lines.push_back(b[0] + FV(4, v.MassFlow));
  lines.push_back(b[1] + FV(steam ? 9 : 5, v.TotalOrEnergyA + v.TotalOrEnergyB));
  lines.push_back(b[2] + FV(6, v.MassTotalA + v.MassTotalB));
  lines.emplace_back();
  lines.push_back(platform::LeftChars(b[3], 51) + OperatingTimeText(v.OperatingSeconds));
  lines.emplace_back();

  TextBlock names, sources1, sources2;
  services::GetTextBlock(15872, 1, names);
  services::GetTextBlock(15888, 34, sources1);
  services::GetTextBlock(15904, 34, sources2);
  for (int o = 0; o < 2; ++o) {
    if (o == 1 && SingleCircuitFlags()) continue;
    const uint8_t code = devicelink::OutputParams.at(static_cast<size_t>(o)).Param;
    if (code >= 32) continue;
    const int k = OutputSourceTextIndex(code);
    const std::string& text =
        k <= 15 ? sources1[static_cast<size_t>(k)] : sources2.at(static_cast<size_t>(k - 16));
    lines.push_back(platform::PadRightChars(names[static_cast<size_t>(o)] + " - " + text, 54) +
                    FV(17, devicelink::OutputCurrents.at(static_cast<size_t>(o))));
  }

  TextBlock f;
  services::GetTextBlock(16400, 54, f);
  const uint8_t mode = devicelink::FlowParams.at(static_cast<size_t>(c)).Kind;
  if (mode == 1 || mode == 2) {
    lines.emplace_back();
    lines.push_back(f[0] + FV(1, v.DiffPressure));
    lines.push_back(f[1] + FormatValue(255, 0, 1, v.Value0));
  } else if (mode == 4 || mode == 5) {
    lines.emplace_back();
    lines.push_back(f[2] + FV(7, v.OperatingFlow));
  }
  const uint8_t kind = devicelink::MediumParams.at(static_cast<size_t>(c)).Kind;
  if (steam && (kind == 9 || kind == 11)) {
    lines.emplace_back();
    lines.push_back(f[3] + FV(0, v.Temperature2));
  }
  return lines;
}

std::vector<std::string> StatusLines(int32_t count, uint8_t mask) {
  std::vector<std::string> lines;
  TextBlock s;
  if (count <= 0 || mask == 0 || !services::GetTextBlock(17456, 1, s)) return lines;
  lines.emplace_back();
  static constexpr uint8_t kMasks[6] = {0x03, 0x04, 0x08, 0x30, 0x40, 0x80};
  for (size_t i = 0; i < 6; ++i) {
    if (mask & kMasks[i]) lines.push_back(s[i]);
  }
  return lines;
}

std::vector<std::string> ErrorLogLines() {
  std::vector<std::string> lines;
  TextBlock w;
  services::GetTextBlock(17440, 1, w);
  const std::string sep = " " + w[2] + " ";
  TextBlock names;
  services::GetTextBlock(SystemParams.Kind == 1 || SystemParams.Kind == 2 ? 17424 : 17408, 28,
                         names);
  for (int t = 0; t <= 11; ++t) {
    if (SingleCircuitFlags() && ((t >= 4 && t <= 7) || t == 11)) continue;
    lines.push_back(names[static_cast<size_t>(t)]);
    const auto entry = [&](int i) -> const devicelink::TErrorLogEntry& {
      return DeviceErrorLog.Entries.at(
          static_cast<size_t>(devicelink::kEntriesPerErrorType * t + i));
    };
    // An index the device should never send would pick another type's entries.
    int i = DeviceErrorLog.NewestIndex.at(static_cast<size_t>(t)) & 7;
    if (entry(i).Active == 0) i = i == 0 ? 7 : i - 1;
    for (int n = 0; n < devicelink::kEntriesPerErrorType; ++n) {
      const devicelink::TErrorLogEntry& e = entry(i);
      if (e.Active != 0) {
        // The word of a present error stands where a past one's suffix does,
        // after the go time: 24 blanks with " bis ", one fewer with " to ".
        const std::string come = DT(e.Come);
        const size_t blanks = platform::Utf8Length(sep) + platform::Utf8Length(come);
        lines.push_back(come + std::string(blanks, ' ') + w[0]);
      } else if (e.Come.Day != 0) {
        lines.push_back(DT(e.Come) + sep + DT(e.Go) + (e.Flag != 0 ? std::string(12, ' ') : w[1]));
      }
      i = i == 0 ? 7 : i - 1;
    }
    lines.emplace_back();
  }
  return lines;
}

std::vector<std::string> IntegratorLines(int c) {
  std::vector<std::string> lines;
  TextBlock l;
  services::GetTextBlock(18432, 13, l);
  const bool steam = services::Medium == 1;
  for (const devicelink::TIntegratorRecord& r : IntegratorHistory.at(static_cast<size_t>(c))) {
    if (r.End.Day == 0) continue;
    lines.push_back(l[0] + DT(r.Start) + "   " + l[1] + FV(steam ? 9 : 5, r.Total));
    lines.push_back(l[2] + DT(r.End) + "   " + l[3] + FV(6, r.MassTotal));
    lines.emplace_back();
  }
  return lines;
}

TClockFields AdvanceClock(int year, int month, int day, int hour, int minute, int second,
                          int millisecond, double offset_days) {
  const int64_t now_ms = ((DaysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60000 +
                         second * 1000 + millisecond;
  const int64_t t_ms = now_ms + static_cast<int64_t>(std::llround(offset_days * 86400000.0));
  const int64_t t_s = FloorDiv(t_ms, 1000);
  const int64_t days = FloorDiv(t_s, 86400);
  const int64_t rest = t_s - days * 86400;
  TClockFields f{};
  CivilFromDays(days, f.year, f.month, f.day);
  f.hour = static_cast<int>(rest / 3600);
  f.minute = static_cast<int>(rest % 3600 / 60);
  f.second = static_cast<int>(rest % 60);
  return f;
}

}  // namespace ui
