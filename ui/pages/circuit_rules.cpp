#include "ui/pages/circuit_rules.h"

#include <cmath>
#include <string_view>

#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/sgerg88.h"
#include "services/value_format.h"

namespace ui {

namespace dl = devicelink;

namespace {

constexpr uint8_t kLabelWidth = 18;
constexpr float kMinTemperature = -273.15f;
constexpr float kMaxTemperature = 1500;
constexpr float kMaxPressure = 100000;
constexpr float kMaxFlow = 100000000;

size_t Circuit(int c) {
  if (c < 0 || c > 1) throw std::out_of_range("circuit index");
  return static_cast<size_t>(c);
}

// The labels of a row-label block; false when the module lacks it.
bool Labels(uint16_t base, services::TextBlock& t) {
  return services::GetTextBlock(base, kLabelWidth, t);
}

// The label block of a mode: 16 ids above the choice block per mode.
uint16_t ModeBlock(uint16_t choices, unsigned mode) {
  return static_cast<uint16_t>(choices + 16 * (mode + 1));
}

TEditRow Row(uint8_t quantity, float min, float max, float& field,
             std::function<void()> rule = nullptr) {
  return {quantity, min, max, field, [&field, rule](float v) {
            field = v;
            if (rule) rule();
          }};
}

// The bound rules of a range: the other bound follows a bound moved past it.
void LowerBoundRule(float& min, float& max) {
  if (max < min) max = min;
}
void UpperBoundRule(float& min, float& max) {
  if (min > max) min = max;
}

}  // namespace

TMediumKeeper::TMediumKeeper() : saved_(services::Medium) {}
TMediumKeeper::~TMediumKeeper() {
  services::Medium = saved_;
}

// ---- Choice lists

TTwinChoices TemperatureChoiceLists(const services::TextBlock& t) {
  TTwinChoices out;
  const std::vector<std::string> modes = ListFrom(t, 1);
  for (size_t i = 0; i < modes.size(); ++i) {
    if (i + 1 == modes.size()) {
      out.circuit1.push_back(modes[i] + " 2");
      out.circuit2.push_back(modes[i] + " 1");
    } else {
      out.circuit1.push_back(modes[i]);
      out.circuit2.push_back(modes[i]);
    }
  }
  return out;
}

TTwinChoices PressureChoiceLists(const services::TextBlock& t) {
  TTwinChoices out;
  const std::vector<std::string> modes = ListFrom(t, 1);
  for (size_t i = 0; i < modes.size(); ++i) {
    const bool other = i + 1 == static_cast<size_t>(kPressureModes) + 1;
    out.circuit1.push_back(other ? modes[i] + " 2" : modes[i]);
    out.circuit2.push_back(other ? modes[i] + " 1" : modes[i]);
  }
  return out;
}

// ---- Combo entries

int TemperatureChoiceIndex(const dl::TTemperatureSettings& t) {
  return t.Eq < kTakesOther ? t.Kind : kTemperatureModes;
}

int PressureChoiceIndex(const dl::TPressureSettings& p) {
  return p.Eq < kTakesOther ? p.Kind : kPressureModes;
}

int PulseChoiceIndex(const dl::TPulseSettings& p) {
  return p.Kind <= 2 ? p.Kind : -1;
}

std::optional<int32_t> MediumOfKind(uint8_t kind) {
  if (kind > kLastMediumKind) return std::nullopt;
  return kind < kFirstSteamKind ? 0 : 1;
}

// ---- List lines

std::string ParameterLine(const std::string& label, uint8_t kind, float value) {
  return platform::PadRightChars(label, kLabelWidth) + services::FormatValue(kind, 1, 1, value);
}

std::string GasCheckLine(uint8_t code) {
  switch (code) {
    case '0':
      return "ISO                 OK";
    case '2':
    case '3':
    case '4':
    case '5':
      return std::string("ISO                 A4") + static_cast<char>(code) + " ERROR";
    default:
      return "ISO              ???" + std::to_string(code);
  }
}

std::string MaxFreqText(uint16_t hz) {
  std::string digits = std::to_string(hz);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), ' ');
  return digits + "          Hz";
}

std::vector<std::string> TemperatureLines(int c) {
  const dl::TTemperatureSettings& r = dl::TempParams.at(Circuit(c));
  std::vector<std::string> lines;
  services::TextBlock t;
  if (!Labels(ModeBlock(2048, r.Kind), t)) return lines;
  if (r.Eq == kTakesOther) return lines;
  if (r.Kind == 0) {
    lines.push_back(ParameterLine(t[0], 0, r.Konst));
  } else if (r.Kind == 1) {
    lines.push_back(ParameterLine(t[0], 0, r.Min));
    lines.push_back(ParameterLine(t[1], 0, r.Max));
  }
  return lines;
}

std::vector<std::string> PressureLines(int c) {
  const dl::TPressureSettings& r = dl::PressureParams.at(Circuit(c));
  std::vector<std::string> lines;
  if (r.Eq == kTakesOther) return lines;
  services::TextBlock t;
  if (!Labels(ModeBlock(3072, r.Kind), t)) return lines;
  if (r.Kind == 0) {
    lines.push_back(ParameterLine(t[0], 1, r.Konst));
  } else if (r.Kind == 1 || r.Kind == 2) {
    lines.push_back(ParameterLine(t[0], 1, r.Min));
    lines.push_back(ParameterLine(t[1], 1, r.Max));
    if (r.Kind == 1) lines.push_back(ParameterLine(t[2], 1, r.Hyd));
  }
  return lines;
}

std::vector<std::string> MediumLines(int c) {
  const dl::TMediumSettings& r = dl::MediumParams.at(Circuit(c));
  const dl::TGasComposition& g = dl::GasCommon;
  std::vector<std::string> lines;
  if (r.Kind > kLastMediumKind) return lines;
  services::TextBlock t;
  if (!Labels(ModeBlock(5120, r.Kind % kFirstSteamKind), t)) return lines;
  auto add = [&](size_t label, uint8_t kind, float value) {
    lines.push_back(ParameterLine(t[label], kind, value));
  };
  switch (r.Kind) {
    case 6:
      add(0, 12, g.Ho);
      add(1, 2, g.Rho);
      add(2, 13, g.CO2);
      add(3, 13, g.H2);
      lines.push_back(GasCheckLine(r.Dummy2));
      break;
    case 7:
    case 13:
      add(0, 2, r.Rho);
      add(1, 2, r.BRho);
      add(2, 0, r.BT);
      add(3, 1, r.Bp);
      if (r.Kind == 13) add(4, 14, r.WKapa);
      break;
    case 8:
      add(0, 2, r.Rho);
      add(1, 14, r.RN);
      lines.push_back(t[2]);
      break;
    case 9:
    case 10:
    case 11:
      add(0, 15, r.Satt_Tol);
      break;
    case 12:
      add(0, 2, r.Rho);
      add(1, 14, r.WKapa);
      break;
    case 14:
      lines.push_back(t[0]);
      lines.push_back(t[1]);
      break;
    case 15:
      lines.push_back(t[0]);
      break;
    default:
      break;
  }
  return lines;
}

std::vector<std::string> FlowLines(int c) {
  const dl::TFlowSettings& f = dl::FlowParams.at(Circuit(c));
  const dl::TDpSettings& dp = dl::FlowParams2.at(Circuit(c));
  std::vector<std::string> lines;
  services::TextBlock t;
  if (!Labels(ModeBlock(4096, f.Kind), t)) return lines;
  auto add = [&](size_t label, uint8_t kind, float value) {
    lines.push_back(ParameterLine(t[label], kind, value));
  };
  switch (f.Kind) {
    case 1:
    case 2: {
      add(0, 1, dp.Desdp);
      add(1, 4, dp.DesQN);
      add(2, 0, dp.DesT);
      add(3, 1, dp.Desp);
      lines.push_back(platform::PadRightChars(t[4], kLabelWidth) +
                      services::FormatValue(255, 0, 1, f.Exp_zahl));
      add(5, 1, f.Schleich);
      // The further transmitters belong to the single-circuit systems, whose
      // only circuit is circuit 1.
      const uint8_t system = dl::SystemParams.Kind;
      if (c == 0 && (system == 1 || system == 2)) {
        add(6, 1, dp.Desdp2);
        if (dl::SystemParams.Anzahl > 2) add(7, 1, dp.Desdp3);
        if (dl::SystemParams.Anzahl > 3) add(8, 1, dp.Desdp4);
      }
      break;
    }
    case 3:
      add(0, 4, f.Min);
      add(1, 4, f.Max);
      add(2, 4, f.Schleich);
      break;
    case 4:
      add(0, 7, f.Min);
      add(1, 7, f.Max);
      add(2, 11, f.TKK);
      add(3, 0, f.BTemp);
      add(4, 7, f.Schleich);
      break;
    case 5:
      add(0, 10, f.KFak);
      lines.push_back(platform::PadRightChars(t[1], kLabelWidth) + MaxFreqText(f.MaxFreq));
      add(2, 11, f.TKK);
      add(3, 0, f.BTemp);
      break;
    default:
      break;
  }
  return lines;
}

namespace {

// Quantity kind and limits of the pulse value by source and medium.
std::optional<TEditRow> PulseRow(dl::TPulseSettings& p) {
  if (p.Kind == 1 && services::Medium == 0) return Row(5, 0, 10000000, p.Compare);
  if (p.Kind == 1) return Row(9, 0, 100000000, p.Compare);
  if (p.Kind == 2) return Row(6, 0, 100000000, p.Compare);
  return std::nullopt;
}

}  // namespace

std::vector<std::string> PulseLines(int c) {
  dl::TPulseSettings& p = dl::PulseOutputParams.at(Circuit(c));
  std::vector<std::string> lines;
  services::TextBlock t;
  if (!Labels(6144, t)) return lines;
  if (const std::optional<TEditRow> row = PulseRow(p)) {
    lines.push_back(ParameterLine(t[0], row->quantity, p.Compare));
  }
  return lines;
}

TSupplyShow SupplyLines(int c) {
  const dl::TSupplySettings& s = dl::SupplyValues.at(Circuit(c));
  TSupplyShow show;
  // System type 4 has no supply values; its list is left empty.
  if (dl::SystemParams.Kind == 4) return show;
  services::TextBlock t;
  if (!Labels(20480, t)) return show;
  show.caption = t[0];
  show.lines.push_back(ParameterLine(t[1], 0, s.T0));
  show.lines.push_back(ParameterLine(t[2], 1, s.p0));
  if (services::Medium == 0) {
    show.lines.push_back(platform::PadRightChars(t[3], kLabelWidth) +
                         services::FormatValue(255, 1, 1, s.Faktor));
  }
  return show;
}

// ---- Edit rows

float RecordLimit(float value) {
  return std::isfinite(value) && value >= 0 ? value : 0;
}

std::optional<TEditRow> TemperatureEditRow(int c, int line) {
  dl::TTemperatureSettings& r = dl::TempParams.at(Circuit(c));
  if (r.Kind == 0) return Row(0, kMinTemperature, kMaxTemperature, r.Konst);
  if (r.Kind == 1 && line == 0) {
    return Row(0, kMinTemperature, kMaxTemperature, r.Min, [&r] { LowerBoundRule(r.Min, r.Max); });
  }
  if (r.Kind == 1 && line == 1) {
    return Row(0, kMinTemperature, kMaxTemperature, r.Max, [&r] { UpperBoundRule(r.Min, r.Max); });
  }
  return std::nullopt;
}

std::optional<TEditRow> PressureEditRow(int c, int line) {
  dl::TPressureSettings& r = dl::PressureParams.at(Circuit(c));
  if (r.Kind == 0) return Row(1, 0, kMaxPressure, r.Konst);
  if (r.Kind != 1 && r.Kind != 2) return std::nullopt;
  // The bounds of mode 2 are kept as entered.
  const bool bound_rule = r.Kind == 1;
  switch (line) {
    case 0:
      return Row(1, 0, kMaxPressure, r.Min, [&r, bound_rule] {
        if (bound_rule) LowerBoundRule(r.Min, r.Max);
      });
    case 1:
      return Row(1, 0, kMaxPressure, r.Max, [&r, bound_rule] {
        if (bound_rule) UpperBoundRule(r.Min, r.Max);
      });
    case 2:
      return Row(1, 90, 120, r.Hyd);
    default:
      return std::nullopt;
  }
}

void ApplyRangeRule(dl::TDpSettings& dp, uint8_t system_type) {
  if (system_type == 1) {
    for (float* range : {&dp.Desdp2, &dp.Desdp3, &dp.Desdp4}) {
      if (*range > dp.Desdp) *range = dp.Desdp;
    }
  } else if (system_type == 2) {
    dp.Desdp2 = dp.Desdp3 = dp.Desdp4 = dp.Desdp;
  }
}

std::optional<TEditRow> FlowEditRow(int c, int line) {
  dl::TFlowSettings& f = dl::FlowParams.at(Circuit(c));
  dl::TDpSettings& dp = dl::FlowParams2.at(Circuit(c));
  switch (f.Kind) {
    case 1:
    case 2:
      switch (line) {
        case 0:
          return Row(1, 0, 1000, dp.Desdp, [&dp, c] {
            if (c == 0) ApplyRangeRule(dp, dl::SystemParams.Kind);
          });
        case 1:
          return Row(4, 0, kMaxFlow, dp.DesQN);
        case 2:
          return Row(0, kMinTemperature, kMaxTemperature, dp.DesT);
        case 3:
          return Row(1, 0, kMaxPressure, dp.Desp);
        case 4:
          return Row(255, 0.5f, 1.0f, f.Exp_zahl);
        case 5:
          return Row(1, 0, RecordLimit(dp.Desdp), f.Schleich);
        case 6:
        case 7:
        case 8: {
          // Shown only on circuit 1's page (see FlowLines).
          if (c != 0) return std::nullopt;
          float* ranges[4] = {&dp.Desdp, &dp.Desdp2, &dp.Desdp3, &dp.Desdp4};
          const size_t k = static_cast<size_t>(line - 5);
          return Row(1, 0, RecordLimit(*ranges[k - 1]), *ranges[k]);
        }
        default:
          return std::nullopt;
      }
    case 3:
    case 4: {
      const uint8_t q = f.Kind == 3 ? 4 : 7;
      auto cut_off = [&f] {
        if (f.Schleich > f.Max) f.Schleich = f.Max;
      };
      switch (line) {
        case 0:
          return Row(q, 0, kMaxFlow, f.Min, [&f] { LowerBoundRule(f.Min, f.Max); });
        case 1:
          return Row(q, 0, kMaxFlow, f.Max, [&f, cut_off] {
            UpperBoundRule(f.Min, f.Max);
            cut_off();
          });
        default:
          break;
      }
      if (f.Kind == 3 && line == 2) return Row(q, 0, kMaxFlow, f.Schleich, cut_off);
      if (f.Kind == 4 && line == 2) return Row(11, 0, 0.001f, f.TKK);
      if (f.Kind == 4 && line == 3) return Row(0, kMinTemperature, kMaxTemperature, f.BTemp);
      if (f.Kind == 4 && line == 4) return Row(q, 0, kMaxFlow, f.Schleich, cut_off);
      return std::nullopt;
    }
    case 5:
      switch (line) {
        case 0:
          return Row(10, 0.005f, 1000, f.KFak);
        case 1:
          return TEditRow{16, 0, 9999, static_cast<float>(f.MaxFreq), [&f](float v) {
                            // The dialog clamps to 0..9999; the fraction is dropped.
                            const float whole = std::trunc(v);
                            f.MaxFreq = whole > 0 && whole <= 65535
                                            ? static_cast<uint16_t>(whole)
                                            : uint16_t{0};
                          }};
        case 2:
          return Row(11, 0, 0.001f, f.TKK);
        case 3:
          return Row(0, kMinTemperature, kMaxTemperature, f.BTemp);
        default:
          return std::nullopt;
      }
    default:
      return std::nullopt;
  }
}

std::optional<TEditRow> PulseEditRow(int c) {
  return PulseRow(dl::PulseOutputParams.at(Circuit(c)));
}

std::optional<TEditRow> SupplyEditRow(int c, int line) {
  dl::TSupplySettings& s = dl::SupplyValues.at(Circuit(c));
  switch (line) {
    case 0:
      return Row(0, kMinTemperature, kMaxTemperature, s.T0);
    case 1:
      return Row(1, 0, kMaxPressure, s.p0);
    case 2:
      // Shown for gas only.
      if (services::Medium == 0) return Row(255, 0.9f, 1.1f, s.Faktor);
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

TMediumAction MediumEditAction(int c, int line) {
  dl::TMediumSettings& r = dl::MediumParams.at(Circuit(c));
  TMediumAction a;
  auto value = [&a](TEditRow row) {
    a.kind = TMediumAction::Kind::Value;
    a.row = std::move(row);
    return a;
  };
  // A changed gas value marks the composition as not yet taken by the device.
  auto gas = [&r, &value](uint8_t q, float min, float max, float& field) {
    return value({q, min, max, field, [&r, &field](float v) {
                    if (v == field) return;
                    field = v;
                    r.Ready = 0;
                  }});
  };
  dl::TGasComposition& g = dl::GasCommon;
  switch (r.Kind) {
    case 6:
      if (line == 0) return gas(12, 6, 13, g.Ho);
      if (line == 1) return gas(2, 0.71f, 1.16f, g.Rho);
      if (line == 2) return gas(13, 0, 30, g.CO2);
      if (line == 3) return gas(13, 0, 10, g.H2);
      return a;
    case 7:
    case 13:
      if (line == 0) return value(Row(2, 0.08f, 5000, r.Rho));
      if (line == 1) return value(Row(2, 0.08f, 5000, r.BRho));
      if (line == 2) return value(Row(0, kMinTemperature, kMaxTemperature, r.BT));
      if (line == 3) return value(Row(1, 0, kMaxPressure, r.Bp));
      if (line == 4 && r.Kind == 13) return value(Row(14, 0.08f, 5, r.WKapa));
      return a;
    case 8:
    case 12:
      if (line == 0) return value(Row(2, 0.08f, 5000, r.Rho));
      if (line == 1 && r.Kind == 8) return value(Row(14, 0.08f, 3000, r.RN));
      if (line == 1) return value(Row(14, 0.08f, 5, r.WKapa));
      if (line == 2 && r.Kind == 8) {
        a.kind = TMediumAction::Kind::PropertyTable;
        a.table = 1;
      }
      return a;
    case 9:
    case 10:
    case 11:
      return value(Row(15, 0, 20, r.Satt_Tol));
    case 14:
      // The editor's caption is the chosen line: with none chosen nothing opens.
      if (line == 0 || line == 1) {
        a.kind = TMediumAction::Kind::PropertyTable;
        a.table = line;
      }
      return a;
    case 15:
      if (line >= 0) a.kind = TMediumAction::Kind::SaturationTable;
      return a;
    default:
      return a;
  }
}

}  // namespace ui
