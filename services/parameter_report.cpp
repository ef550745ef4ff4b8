#include "services/parameter_report.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/app_window.h"
#include "services/bulk_transfer.h"
#include "services/parameter_file.h"
#include "services/text_modules.h"
#include "services/value_format.h"

namespace services {
namespace {

namespace dl = devicelink;

// Quantity kinds as the report uses them.
constexpr uint8_t kTemperature = 0;
constexpr uint8_t kPressure = 1;
constexpr uint8_t kDensity = 2;
constexpr uint8_t kStdVolumeFlow = 3;
constexpr uint8_t kMassFlow = 4;
constexpr uint8_t kStdVolume = 5;
constexpr uint8_t kMass = 6;
constexpr uint8_t kOperatingFlow = 7;
constexpr uint8_t kPower = 8;
constexpr uint8_t kEnergy = 9;
constexpr uint8_t kPulsesPerLitre = 10;
constexpr uint8_t kPerKelvin = 11;
constexpr uint8_t kCalorific = 12;
constexpr uint8_t kMolar = 13;
constexpr uint8_t kSpecificHeat = 14;
constexpr uint8_t kKelvin = 15;
constexpr uint8_t kCurrent = 17;
constexpr uint8_t kPlain = 255;

constexpr uint8_t kLabelLength = 20;
constexpr int kStages = 9;
constexpr int kRemarksFirstLine = 3;
constexpr const char* kEllipsis = "...";
// Where ShortFileName left out the middle of a name.
const std::string kElided = " ... ";

// Label and value positions of circuit (or relay, output) c.
int LabelPos(int c) {
  return 2 * c + 1;
}
int ValuePos(int c) {
  return 2 * c + 2;
}

TextBlock Block(uint16_t base, uint8_t min_length) {
  TextBlock block;
  GetTextBlock(base, min_length, block);
  return block;
}

// Entry k of a block; empty for an index outside it, so a device code beyond the
// known choices reads nothing past the block.
std::string Entry(const TextBlock& block, int k) {
  return k >= 0 && k < static_cast<int>(block.size()) ? block[static_cast<size_t>(k)]
                                                      : std::string();
}

std::string Value(uint8_t kind, float value) {
  return FormatValue(kind, 1, 0, value);
}
// A plain number, blank where others have their unit, so its digits stand under
// those of the values around it.
std::string Plain(float value) {
  return FormatValue(kPlain, 0, 0, value) + std::string(8, ' ');
}

// A heading of relay, output or circuit i, numbered as its group on the pages.
std::string Numbered(const std::string& heading, int i) {
  return heading.empty() ? heading : heading + " " + std::to_string(i + 1);
}

std::string TrimRight(std::string text) {
  const auto last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

// Medium as a circuit's medium kind selects it (steam kinds from 9); the program's
// value comes back when the scope ends.
class TMediumScope {
 public:
  TMediumScope() : saved_(Medium) {}
  ~TMediumScope() { Medium = saved_; }
  TMediumScope(const TMediumScope&) = delete;
  TMediumScope& operator=(const TMediumScope&) = delete;
  void Circuit(int c) { Medium = dl::MediumParams.at(static_cast<size_t>(c)).Kind >= 9 ? 1 : 0; }
  void Program() { Medium = saved_; }

 private:
  int32_t saved_;
};

// A choice list that skips device codes: index i gives code i, plus `skip` for
// each step whose `after` the running code is above.
struct TSkip {
  int after;
  int skip;
};
using TSkips = std::array<TSkip, 3>;
constexpr TSkips kAlarmSkips = {{{7, 1}, {15, 1}, {23, 4}}};   // indexes 0..33
constexpr TSkips kOutputSkips = {{{5, 3}, {13, 3}, {21, 6}}};  // indexes 0..21

// The choice index of a device code; -1 for a code no choice produces.
int ChoiceOf(uint8_t code, const TSkips& skips, int last) {
  for (int i = 0; i <= last; ++i) {
    int c = i;
    for (const TSkip& s : skips) {
      if (c > s.after) c += s.skip;
    }
    if (c == code) return i;
  }
  return -1;
}

struct TCodeKinds {
  std::initializer_list<uint8_t> codes;
  uint8_t kind;
};

uint8_t KindOf(uint8_t code, std::initializer_list<TCodeKinds> rows, uint8_t other) {
  for (const TCodeKinds& row : rows) {
    for (uint8_t c : row.codes) {
      if (c == code) return row.kind;
    }
  }
  return other;
}

// Quantity kind of a relay's limits by its source code.
uint8_t AlarmKind(uint8_t code) {
  return KindOf(code,
                {{{1, 9}, kTemperature},
                 {{2, 10, 18}, kPressure},
                 {{3, 11, 19}, kDensity},
                 {{4, 12, 20, 28}, kStdVolumeFlow},
                 {{5, 13, 21, 29}, kMassFlow},
                 {{6, 14, 22, 30}, kStdVolume},
                 {{17}, kKelvin},
                 {{32, 34, 36, 38}, kPower},
                 {{33, 35, 37, 39}, kEnergy}},
                kMass);
}

// Quantity kind of an analog output's range by its source code.
uint8_t OutputKind(uint8_t code) {
  return KindOf(code,
                {{{1, 9}, kTemperature},
                 {{2, 10, 18}, kPressure},
                 {{3, 11, 19}, kDensity},
                 {{4, 12, 20, 28}, kStdVolumeFlow},
                 {{17}, kKelvin},
                 {{30, 31, 32, 33}, kPower}},
                kMassFlow);
}

// A source code the choice list cannot produce: its limits are configured all
// the same, so they are printed, under the code itself.
std::string UnlistedSource(uint8_t code) {
  return "Code " + std::to_string(code);
}

class TReport {
 public:
  TReport(TReportCanvas& canvas, const TReportOptions& options)
      : canvas_(canvas), options_(options) {}

  int Draw() {
    W_ = canvas_.PageWidth();
    canvas_.SetBold(false);
    LH_ = std::max(1, canvas_.TextHeight("ABC"));
    const dl::TSystemSettings& sys = dl::SystemParams;
    const bool single = sys.Kind == 1 || sys.Kind == 2 || (sys.SystemTypeFlags & 0xC0) != 0;
    circuits_ = single ? 1 : 2;

    Stage([&] { Title(); });
    Stage([&] { DeviceKind(); });
    Stage([&] { ForCircuits([&](int c) { Temperature(c); }); });
    Stage([&] { ForCircuits([&](int c) { Pressure(c); }); });
    Stage([&] { ForCircuits([&](int c) { Flow(c); }); });
    Stage([&] {
      const TextBlock correction = Block(12288, 1);
      if (!correction[0].empty()) ForCircuits([&](int c) { Correction(correction, c); });
      ForCircuits([&](int c) { InMedium(c, [&] { MediumSection(c); }); });
    });
    Stage([&] {
      ForCircuits([&](int c) { InMedium(c, [&] { Pulse(c); }); });
      if (sys.Kind != 4) ForCircuits([&](int c) { InMedium(c, [&] { Supply(c); }); });
    });
    Stage([&] {
      for (int i = 0; i < 2; ++i) Relay(i);
    });
    Stage([&] {
      Output(0);
      if ((sys.SystemTypeFlags & 0xC0) == 0) Output(1);
    });
    Rules();
    int pages = 1;
    if (options_.remarks) pages += Remarks();
    return pages;
  }

 private:
  template <class F>
  void Stage(F&& f) {
    f();
    StepProgress();
  }
  template <class F>
  void ForCircuits(F&& f) {
    for (int c = 0; c < circuits_; ++c) f(c);
  }
  template <class F>
  void InMedium(int c, F&& f) {
    medium_.Circuit(c);
    f();
    medium_.Program();
  }

  int Margin() { return canvas_.TextWidth("aa"); }

  void PrintAt(int position, int line, const std::string& text, bool bold) {
    if (text.empty()) return;
    canvas_.SetBold(bold);
    // Nothing leaves the page: wider than the page between the margins, a text
    // is cut short; one that would start left of the margin starts there.
    const std::string shown = Shortened(text, W_ - 2 * Margin());
    const int tw = canvas_.TextWidth(shown);
    int x;
    switch (position) {
      case 0:
        x = (W_ - tw) / 2;
        break;
      case 1:
        x = Margin();
        break;
      case 2:
        x = W_ / 2 - tw - Margin();
        break;
      case 3:
        x = W_ / 2 + Margin();
        break;
      case 4:
        x = W_ - tw - Margin();
        break;
      case 5:
        x = (W_ - tw) / 4;
        break;
      default:
        x = 3 * ((W_ - tw) / 4);
        break;
    }
    x = std::max(Margin(), std::min(x, W_ - Margin() - tw));
    canvas_.TextOut(x, line * LH_, shown);
  }

  // The text as far as it fits in `width`, ending in "..." when cut.
  std::string Shortened(const std::string& text, int width) {
    if (canvas_.TextWidth(text) <= width) return text;
    const int room = width - canvas_.TextWidth(kEllipsis);
    if (room <= 0) return {};
    std::string kept = text.substr(0, FittingPart(text, room));
    return canvas_.TextWidth(kept) <= room ? kept + kEllipsis : std::string();
  }

  // A plain label and its plain value on one line of circuit c.
  void Row(int c, int line, const std::string& label, const std::string& value) {
    PrintAt(LabelPos(c), line, label, false);
    PrintAt(ValuePos(c), line, value, false);
  }

  void Title() {
    const uint8_t flags = dl::SystemParams.SystemTypeFlags;
    const TextBlock titles = Block(64, 1);
    const int k = (flags & 0xFE) == 0 ? 0 : (flags & 0x3E) == 0 ? 3 : (flags & 0xC0) == 0 ? 2 : 1;
    title_ = titles[static_cast<size_t>(k)];
    if (dl::DeviceOnline) {
      // A failed read must not print the number of the device read before.
      separator_ = " ";
      name_ = "SerialNo:" + (dl::ReadSerialNo() ? TrimRight(dl::DeviceSerialNo) : std::string());
    } else if (!ParameterSetFile.empty()) {
      // The set's file as panel 0 shows it after a load or save; the panel may
      // say something else since (a failed connect, a lost link).
      separator_ = "  ";
      name_ = ShortFileName(ParameterSetFile);
      file_name_ = true;
    }
    TitleLine();
  }

  // Line 1: the title, two blanks and the set's file (online one blank and the
  // serial number), the date at the right. The text is centred, moved left so
  // that it ends a margin before the date. When title and name do not fit there
  // together, the name goes centred on line 2, shortened to the page; a title
  // wider than its room is cut short.
  void TitleLine() {
    canvas_.SetBold(false);
    const int m = Margin();
    const int date_width = options_.date.empty() ? 0 : canvas_.TextWidth(options_.date) + m;
    const int room = W_ - 2 * m - date_width;
    const auto line = [&](int n, const std::string& text) {
      const std::string shown = Shortened(text, room);
      const int tw = canvas_.TextWidth(shown);
      const int x = std::max(m, std::min((W_ - tw) / 2, W_ - m - date_width - tw));
      if (!shown.empty()) canvas_.TextOut(x, n * LH_, shown);
    };
    const std::string whole = title_ + separator_ + name_;
    if (name_.empty() || canvas_.TextWidth(whole) <= room) {
      line(1, whole);
    } else {
      line(1, title_);
      const std::string name = file_name_ ? NameWithin(name_, W_ - 2 * m) : name_;
      PrintAt(0, 2, name, false);
    }
    PrintAt(4, 1, options_.date, false);
  }

  // A shortened file name ("head ... tail") made shorter still to fit `width`:
  // the tail loses characters at its front, so the file's own name stays longest.
  std::string NameWithin(const std::string& name, int width) {
    if (canvas_.TextWidth(name) <= width) return name;
    const size_t mark = name.find(kElided);
    const std::string head = mark == std::string::npos ? std::string() : name.substr(0, mark);
    std::string tail = mark == std::string::npos ? name : name.substr(mark + kElided.size());
    while (!tail.empty() && canvas_.TextWidth(head + kElided + tail) > width) {
      char32_t cp;
      tail.erase(0, platform::DecodeUtf8Char(tail, 0, &cp));
    }
    return head + kElided + tail;
  }

  void DeviceKind() {
    const TextBlock kinds = Block(30720, 1);
    const bool both = (dl::SystemParams.SystemTypeFlags & 0xC0) == 0;
    switch (dl::SystemParams.Kind) {
      case 0:
        PrintAt(1, 3, kinds[0], true);
        if (both) PrintAt(3, 3, kinds[1], true);
        break;
      case 1:
        PrintAt(1, 3, kinds[2], true);
        break;
      case 2:
        PrintAt(1, 3, kinds[4], true);
        break;
      case 3:
        // Sum of both circuits: each column says which circuit it is.
        PrintAt(1, 3, kinds[8], true);
        PrintAt(3, 3, kinds[9], true);
        break;
      case 4:
        PrintAt(1, 3, kinds[6], true);
        PrintAt(3, 3, kinds[7], true);
        break;
      default:
        break;
    }
  }

  // The choice that takes over the other circuit's value: the last entry of the
  // list, as the circuit page lists and shows it, ending in the other circuit.
  static std::string OtherCircuit(const std::string& entry, int c) {
    return entry.empty() ? entry : entry + (c == 0 ? " 2" : " 1");
  }

  void Temperature(int c) {
    const dl::TTemperatureSettings& t = dl::TempParams.at(static_cast<size_t>(c));
    const TextBlock names = Block(2048, 1);
    PrintAt(LabelPos(c), 5, names[0], true);
    if (t.Eq == 2) {
      std::string last;
      for (size_t i = 1; i < names.size() && !names[i].empty(); ++i) last = names[i];
      PrintAt(ValuePos(c), 5, OtherCircuit(last, c), true);
      return;
    }
    if (t.Kind > 14) return;
    PrintAt(ValuePos(c), 5, names[t.Kind + 1u], true);
    const TextBlock labels = Block(static_cast<uint16_t>(2064 + 16 * t.Kind), kLabelLength);
    if (t.Kind == 0) {
      Row(c, 6, labels[0], Value(kTemperature, t.Konst));
    } else if (t.Kind == 1) {
      Row(c, 6, labels[0], Value(kTemperature, t.Min));
      Row(c, 7, labels[1], Value(kTemperature, t.Max));
    }
  }

  void Pressure(int c) {
    const dl::TPressureSettings& p = dl::PressureParams.at(static_cast<size_t>(c));
    const TextBlock names = Block(3072, 1);
    PrintAt(LabelPos(c), 9, names[0], true);
    if (p.Eq == 2) {
      PrintAt(ValuePos(c), 9, OtherCircuit(names[4], c), true);
      return;
    }
    if (p.Kind > 14) return;
    PrintAt(ValuePos(c), 9, names[p.Kind + 1u], true);
    const TextBlock labels = Block(static_cast<uint16_t>(3088 + 16 * p.Kind), kLabelLength);
    if (p.Kind == 0) {
      Row(c, 10, labels[0], Value(kPressure, p.Konst));
    } else if (p.Kind == 1 || p.Kind == 2) {
      Row(c, 10, labels[0], Value(kPressure, p.Min));
      Row(c, 11, labels[1], Value(kPressure, p.Max));
      if (p.Kind == 1) Row(c, 12, labels[2], Value(kPressure, p.Hyd));
    }
  }

  void Flow(int c) {
    const dl::TFlowSettings& f = dl::FlowParams.at(static_cast<size_t>(c));
    const dl::TDpSettings& d = dl::FlowParams2.at(static_cast<size_t>(c));
    const TextBlock names = Block(4096, 1);
    PrintAt(LabelPos(c), 14, names[0], true);
    if (f.Kind > 14) return;
    PrintAt(ValuePos(c), 14, names[f.Kind + 1u], true);
    const TextBlock labels = Block(static_cast<uint16_t>(4112 + 16 * f.Kind), kLabelLength);
    std::vector<std::string> values;
    switch (f.Kind) {
      case 1:
      case 2: {
        values = {Value(kPressure, d.Desdp),   Value(kMassFlow, d.DesQN),
                  Value(kTemperature, d.DesT), Value(kPressure, d.Desp),
                  Plain(f.Exp_zahl),           Value(kPressure, f.Schleich)};
        const dl::TSystemSettings& sys = dl::SystemParams;
        if (sys.Kind == 1 || sys.Kind == 2) {
          values.push_back(Value(kPressure, d.Desdp2));
          if (sys.Anzahl >= 3) values.push_back(Value(kPressure, d.Desdp3));
          if (sys.Anzahl >= 4) values.push_back(Value(kPressure, d.Desdp4));
        }
        break;
      }
      case 3:
        values = {Value(kMassFlow, f.Min), Value(kMassFlow, f.Max), Value(kMassFlow, f.Schleich)};
        break;
      case 4:
        values = {Value(kOperatingFlow, f.Min), Value(kOperatingFlow, f.Max),
                  Value(kPerKelvin, f.TKK), Value(kTemperature, f.BTemp),
                  Value(kOperatingFlow, f.Schleich)};
        break;
      case 5:
        // The frequency's last digit under the units digit of the values around it.
        values = {Value(kPulsesPerLitre, f.KFak), std::to_string(f.MaxFreq) + "         Hz     ",
                  Value(kPerKelvin, f.TKK), Value(kTemperature, f.BTemp)};
        break;
      default:
        break;
    }
    for (size_t i = 0; i < values.size(); ++i) {
      Row(c, 15 + static_cast<int>(i), labels[i], values[i]);
    }
  }

  void Correction(const TextBlock& texts, int c) {
    const auto& factors = dl::CorrectionFactors.at(static_cast<size_t>(c));
    bool any = false;
    for (float f : factors) any = any || f != 1.0f;
    if (!any) return;
    PrintAt(LabelPos(c), 26, Numbered(texts[0], c), true);
    for (size_t i = 0; i < factors.size(); ++i) {
      Row(c, 27 + static_cast<int>(i), texts[i + 1], Plain(factors[i]));
    }
  }

  void MediumSection(int c) {
    const dl::TMediumSettings& m = dl::MediumParams.at(static_cast<size_t>(c));
    const dl::TGasComposition& gas = dl::GasCommon;
    const TextBlock names = Block(5120, 1);
    PrintAt(LabelPos(c), 36, names[0], true);
    const int k = m.Kind - 9 * Medium;
    if (k < 0 || k > 14) return;
    PrintAt(ValuePos(c), 36, names[static_cast<size_t>(k + 1)], true);
    const TextBlock labels = Block(static_cast<uint16_t>(5136 + 16 * k), kLabelLength);
    std::vector<std::string> values;
    switch (m.Kind) {
      case 6:
        values = {Value(kCalorific, gas.Ho), Value(kDensity, gas.Rho), Value(kMolar, gas.CO2),
                  Value(kMolar, gas.H2)};
        break;
      case 7:
        values = {Value(kDensity, m.Rho), Value(kDensity, m.BRho), Value(kTemperature, m.BT),
                  Value(kPressure, m.Bp)};
        break;
      case 8:
        values = {Value(kDensity, m.Rho), Value(kSpecificHeat, m.RN)};
        break;
      case 9:
      case 10:
      case 11:
        values = {Value(kKelvin, m.Satt_Tol)};
        break;
      case 12:
        values = {Value(kDensity, m.Rho), Value(kSpecificHeat, m.WKapa)};
        break;
      case 13:
        values = {Value(kDensity, m.Rho), Value(kDensity, m.BRho), Value(kTemperature, m.BT),
                  Value(kPressure, m.Bp), Value(kSpecificHeat, m.WKapa)};
        break;
      default:
        break;
    }
    for (size_t i = 0; i < values.size(); ++i) {
      Row(c, 37 + static_cast<int>(i), labels[i], values[i]);
    }
  }

  void Pulse(int c) {
    const dl::TPulseSettings& p = dl::PulseOutputParams.at(static_cast<size_t>(c));
    const TextBlock names = Block(6144, 1);
    PrintAt(LabelPos(c), 43, names[0], true);
    const int k = p.Kind > 128 ? p.Kind - 128 : p.Kind;
    PrintAt(ValuePos(c), 43, Entry(names, k + 1), true);
    // As the circuit page: source 1 counts standard volume, or energy on steam.
    if (p.Kind == 1) {
      PrintAt(ValuePos(c), 44, Value(Medium == 0 ? kStdVolume : kEnergy, p.Compare), false);
    } else if (p.Kind == 2) {
      PrintAt(ValuePos(c), 44, Value(kMass, p.Compare), false);
    }
  }

  void Supply(int c) {
    const dl::TSupplySettings& s = dl::SupplyValues.at(static_cast<size_t>(c));
    const TextBlock texts = Block(20480, kLabelLength);
    PrintAt(LabelPos(c), 46, texts[0], true);
    Row(c, 47, texts[1], Value(kTemperature, s.T0));
    Row(c, 48, texts[2], Value(kPressure, s.p0));
    if (Medium == 0) Row(c, 49, texts[3], Plain(s.Faktor));
  }

  void Relay(int i) {
    const dl::TAlarmSettings& a = dl::AlarmParams.at(static_cast<size_t>(i));
    const TextBlock first = Block(7168, 1);
    PrintAt(LabelPos(i), 52, Numbered(first[0], i), true);
    const int p = ChoiceOf(a.Param, kAlarmSkips, 33);
    // The choice list runs on through the blocks 7184 and 7200.
    const std::string name = p < 0     ? UnlistedSource(a.Param)
                             : p <= 14 ? first[static_cast<size_t>(p + 1)]
                             : p <= 30 ? Block(7184, 1)[static_cast<size_t>(p - 15)]
                                       : Block(7200, 1)[static_cast<size_t>(p - 31)];
    PrintAt(ValuePos(i), 52, name, true);
    if (a.Param == 0) return;
    const TextBlock labels = Block(7216, kLabelLength);
    const uint8_t kind = AlarmKind(a.Param);
    if (a.Kind == 0) {
      Row(i, 53, labels[0], Value(kind, a.Min));
    } else if (a.Kind == 1) {
      Row(i, 53, labels[1], Value(kind, a.Max));
    } else if (a.Kind == 2) {
      Row(i, 53, labels[0], Value(kind, a.Min));
      Row(i, 54, labels[1], Value(kind, a.Max));
    }
  }

  void Output(int i) {
    const dl::TOutputSettings& o = dl::OutputParams.at(static_cast<size_t>(i));
    const TextBlock first = Block(8192, 1);
    PrintAt(LabelPos(i), 57, Numbered(first[0], i), true);
    if (o.Param == 0) {
      Row(i, 58, first[1], Value(kCurrent, o.Konstant * 0.1f));
      return;
    }
    const int p = ChoiceOf(o.Param, kOutputSkips, 21);
    PrintAt(ValuePos(i), 57,
            p < 0     ? UnlistedSource(o.Param)
            : p <= 14 ? first[static_cast<size_t>(p + 1)]
                      : Block(8208, 1)[static_cast<size_t>(p - 15)],
            true);
    const TextBlock labels = Block(8224, kLabelLength);
    const uint8_t kind = OutputKind(o.Param);
    Row(i, 58, labels[0], Value(kind, o.Min));
    Row(i, 59, labels[1], Value(kind, o.Max));
    Row(i, 60, labels[2], Value(kCurrent, o.Err));
  }

  void Rules() {
    canvas_.Line(W_ / 2, 3 * LH_, W_ / 2, 62 * LH_);
    for (int line : {51, 56, 62}) {
      const int m = Margin();
      canvas_.Line(m, line * LH_, W_ - m, line * LH_);
    }
  }

  // The end (in bytes) of the longest start of `text` that is at most `width`
  // wide; at least one character.
  size_t FittingPart(std::string_view text, int width) {
    if (text.empty()) return 0;
    std::vector<size_t> ends;  // end of each character, as far as needed
    const auto end_of = [&](size_t n) {  // end of the first n characters; npos past the end
      while (ends.size() < n) {
        const size_t from = ends.empty() ? 0 : ends.back();
        if (from >= text.size()) return std::string_view::npos;
        char32_t cp;
        ends.push_back(from + platform::DecodeUtf8Char(text, from, &cp));
      }
      return ends.at(n - 1);
    };
    const auto fits = [&](size_t n) {
      return canvas_.TextWidth(std::string(text.substr(0, end_of(n)))) <= width;
    };
    // Doubling, then halving: a few measurements per line, however long the remark.
    size_t good = 1;
    size_t bad = 0;  // 0: none found yet
    for (size_t n = 2;; n *= 2) {
      if (end_of(n) == std::string_view::npos) {
        const size_t all = ends.size();
        if (fits(all)) return text.size();
        bad = all;
        break;
      }
      if (!fits(n)) {
        bad = n;
        break;
      }
      good = n;
    }
    while (bad - good > 1) {
      const size_t mid = good + (bad - good) / 2;
      (fits(mid) ? good : bad) = mid;
    }
    return end_of(good);
  }

  // A remark line as lines of the text width: broken at blanks, a word longer
  // than a line within the word. The memo wraps on screen, so a paragraph typed
  // without line ends must not run off the paper.
  void Wrap(const std::string& line, int width, std::vector<std::string>& out) {
    std::string_view rest = line;
    do {
      size_t cut = FittingPart(rest, width);
      if (cut < rest.size() && rest[cut] != ' ') {
        const size_t blank = rest.substr(0, cut).find_last_of(' ');
        if (blank != std::string_view::npos && rest.find_first_not_of(' ') < blank) cut = blank;
      }
      std::string_view part = rest.substr(0, cut);
      rest.remove_prefix(cut);
      if (!rest.empty()) {
        while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
      }
      out.emplace_back(part);
    } while (!rest.empty());
  }

  // The memo from line 3 of each further page down to the last line that fits,
  // each remark wrapped to the width between the margins.
  int Remarks() {
    const std::vector<std::string> typed =
        HasAppWindow() ? AppWindow().MemoLines() : std::vector<std::string>();
    if (typed.empty()) return 0;
    canvas_.SetBold(false);
    const int width = std::max(1, W_ - 2 * Margin());
    std::vector<std::string> memo;
    for (const std::string& line : typed) Wrap(line, width, memo);
    // Line n fits while its bottom, (n + 1) line heights, is on the page.
    const int per_page = std::max(1, canvas_.PageHeight() / LH_ - kRemarksFirstLine);
    int pages = 0;
    for (size_t i = 0; i < memo.size(); ++i) {
      const int row = static_cast<int>(i) % per_page;
      if (row == 0) {
        canvas_.NewPage();
        // A sheet of remarks still says which device and day it belongs to.
        TitleLine();
        ++pages;
      }
      PrintAt(1, kRemarksFirstLine + row, memo[i], false);
    }
    return pages;
  }

  TReportCanvas& canvas_;
  const TReportOptions& options_;
  TMediumScope medium_;
  int W_ = 0;
  int LH_ = 1;
  int circuits_ = 2;
  std::string title_;
  std::string separator_;
  std::string name_;  // the set's file or the serial number
  bool file_name_ = false;
};

}  // namespace

int DrawParameterReport(TReportCanvas& canvas, const TReportOptions& options) {
  dl::TCursorScope cursor;
  dl::TProgressScope progress;
  StartProgress(kStages);
  int pages = 0;
  {
    TReport report(canvas, options);
    pages = report.Draw();
  }
  WaitMs(100);
  return pages;
}

}  // namespace services
