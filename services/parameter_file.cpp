#include "services/parameter_file.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "platform/file_limits.h"
#include "platform/ini_file.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/app_window.h"
#include "services/file_messages.h"
#include "services/param_ini_file.h"
#include "services/program_texts.h"
#include "services/text_modules.h"
#include "services/unit_tables.h"

namespace services {
namespace {

namespace dl = devicelink;

constexpr char kSeparator = '/';
constexpr size_t kUserUnitEntries = 16;
constexpr const char* kMemoSection = "Bemerkung";
constexpr const char* kMemoKey = "Zeile ";
constexpr const char* kMemoEnd = "@";
// The sections of a parameter set; kSetSections lists them in writing order.
constexpr const char* kTempSection = "T_User";
constexpr const char* kPressureSection = "P_User";
constexpr const char* kFlowSection = "Flow_User";
constexpr const char* kDiffPressureSection = "Des_User";
constexpr const char* kMediumSection = "Med_User";
constexpr const char* kGasSection = "EG_User";
constexpr const char* kSupplySection = "Bez_User";
constexpr const char* kPulseSection = "Imp_User";
constexpr const char* kAlarmSection = "Alm_User";
constexpr const char* kOutputSection = "Aus_User";
constexpr const char* kSwitchesSection = "Dis_User";
constexpr const char* kUserUnitSection = "UserEinheiten";
constexpr const char* kTrendSection = "Trend_User";
constexpr const char* kCorrectionSection = "FlowKorr_";
constexpr const char* kLimitSection = "Grenzwerte";
constexpr const char* kSystemSection = "System";
constexpr const char* kPresetSection = "Vorgaben";
constexpr const char* kDisplaySection = "Display";

// "#" stands for the remark characters a file cannot hold.
constexpr uint16_t kRemarkCharsLost = 13320;

// Everything a parameter file holds, so that a load can be read completely before
// any of it becomes the current set.
struct TParameterSet : dl::TParameterRecords {
  std::vector<std::string> Memo;
};

TParameterSet CurrentSet() {
  return {dl::TParameterRecords::Capture(), AppWindow().MemoLines()};
}

// The file's set: nothing of it is what the device reported.
void Commit(const TParameterSet& p) {
  p.TParameterRecords::Commit();
  dl::ForgetReported();
  AppWindow().SetMemoLines(p.Memo);
}

bool Steam() {
  return Medium == 1;
}

std::string Indexed(std::string_view prefix, size_t i) {
  return std::string(prefix) + std::to_string(i);
}

// ---------------------------------------------------------------------------
// The fields of each section in file order, with the default a reader uses for a
// missing key. One list serves writing and reading, so both agree on every key.

class TWriter {
 public:
  TWriter(platform::TIniFile& ini, std::string section) : ini_(ini), section_(std::move(section)) {}
  void b(std::string_view key, const uint8_t& v, const char*) { Put(key, std::to_string(v)); }
  void w(std::string_view key, const uint16_t& v, const char*) { Put(key, std::to_string(v)); }
  void i(std::string_view key, const int32_t& v, const char*) { Put(key, std::to_string(v)); }
  void f(std::string_view key, const float& v, const char*) { Put(key, FloatToGeneral7(v)); }

 private:
  void Put(std::string_view key, const std::string& text) { ini_.WriteString(section_, key, text); }
  platform::TIniFile& ini_;
  std::string section_;
};

class TReader {
 public:
  TReader(const TParamIniFile& ini, std::string section)
      : ini_(ini), section_(std::move(section)) {}
  void b(std::string_view key, uint8_t& v, const char* def) {
    v = ini_.ReadByteValue(section_, key, def);
  }
  void w(std::string_view key, uint16_t& v, const char* def) {
    v = ini_.ReadWordValue(section_, key, def);
  }
  void i(std::string_view key, int32_t& v, const char* def) {
    v = ini_.ReadIntValue(section_, key, def);
  }
  void f(std::string_view key, float& v, const char* def) {
    v = ini_.ReadSingleValue(section_, key, def);
  }
  const std::string& Section() const { return section_; }

 private:
  const TParamIniFile& ini_;
  std::string section_;
};

// R is the record, const for writing.
template <class Io, class R>
void Temperature(Io&& io, R& r) {
  io.b("Dummy1", r.Dummy1, "0");
  io.b("Dummy2", r.Dummy2, "0");
  io.b("Kind", r.Kind, "0");
  io.b("Eq", r.Eq, "0");
  io.f("Min", r.Min, "0");
  io.f("Max", r.Max, "0");
  io.f("Dummy4", r.Dummy4, "0");
  io.f("Diff", r.Diff, "0");
  io.f("Toff", r.Toff, "0");
  io.f("Konst", r.Konst, "0");
  io.f("Dummy3", r.Dummy3, "0");
}

template <class Io, class R>
void Pressure(Io&& io, R& r) {
  io.b("Dummy1", r.Dummy1, "0");
  io.b("Dummy2", r.Dummy2, "0");
  io.b("Kind", r.Kind, "0");
  io.b("Eq", r.Eq, "0");
  io.f("Min", r.Min, "0");
  io.f("Max", r.Max, "0");
  io.f("Hyd", r.Hyd, "100.0");
  io.f("Err", r.Err, "0");
  io.f("Konst", r.Konst, "100.0");
  io.f("Dummy3", r.Dummy3, "0");
  io.f("Dummy4", r.Dummy4, "0");
}

template <class Io, class R>
void Flow(Io&& io, R& r) {
  io.b("Eq", r.Eq, "0");
  io.b("Kind", r.Kind, "0");
  io.w("MaxFreq", r.MaxFreq, "9999");
  io.f("Min", r.Min, "0");
  io.f("Max", r.Max, "0");
  io.f("KFak", r.KFak, "0");
  io.f("TKK", r.TKK, "0");
  io.f("BTemp", r.BTemp, "0");
  io.f("Schleich", r.Schleich, "0");
  io.f("Exp_zahl", r.Exp_zahl, "1.0");
}

template <class Io, class R>
void DiffPressure(Io&& io, R& r) {
  io.f("DesQN", r.DesQN, "0");
  io.f("DesT", r.DesT, "0");
  io.f("Desp", r.Desp, "0");
  io.f("Desdp", r.Desdp, "0");
  io.f("DesRho", r.DesRho, "0");
  io.f("Desdp2", r.Desdp2, "0");
  io.f("Desdp3", r.Desdp3, "0");
  io.f("Desdp4", r.Desdp4, "0");
}

template <class Io, class R>
void MediumSection(Io&& io, R& r) {
  io.b("Dummy1", r.Dummy1, "0");
  io.b("Dummy2", r.Dummy2, "0");
  io.b("Ready", r.Ready, "0");
  io.b("Kind", r.Kind, "0");
  io.f("Rho", r.Rho, "0");
  io.f("RN", r.RN, "0");
  io.f("BT", r.BT, "0");
  io.f("Bp", r.Bp, "0");
  io.f("BRho", r.BRho, "0");
  io.f("WKapa", r.WKapa, "0");
  io.f("Satt_Tol", r.Satt_Tol, "0");
}

template <class Io, class R>
void Gas(Io&& io, R& r) {
  io.f("Ho", r.Ho, "10.0");
  io.f("CO2", r.CO2, "10.0");
  io.f("H2", r.H2, "5.0");
  io.f("Rho", r.Rho, "1.0");
}

template <class Io, class R>
void Supply(Io&& io, R& r) {
  io.f("T0", r.T0, "0");
  io.f("p0", r.p0, "0");
  io.f("h0", r.h0, "0");
  io.f("Faktor", r.Faktor, "1");
}

template <class Io, class R>
void Pulse(Io&& io, R& r) {
  io.b("Dummy1", r.Dummy1, "0");
  io.b("Dummy2", r.Dummy2, "0");
  io.b("Dummy3", r.Dummy3, "0");
  io.b("Kind", r.Kind, "0");
  io.f("Compare", r.Compare, "0");
}

template <class Io, class R>
void Alarm(Io&& io, R& r) {
  io.b("Dummy1", r.Dummy1, "0");
  io.b("Dummy2", r.Dummy2, "0");
  io.b("Param", r.Param, "0");
  io.b("Kind", r.Kind, "0");
  io.f("Min", r.Min, "0");
  io.f("Max", r.Max, "0");
  io.f("Dummy3", r.Dummy3, "0");
}

template <class Io, class R>
void Output(Io&& io, R& r) {
  io.b("Dummy1", r.Dummy1, "0");
  io.b("Dummy2", r.Dummy2, "0");
  io.b("Konstant", r.Konstant, "0");
  io.b("Param", r.Param, "0");
  io.f("Min", r.Min, "0");
  io.f("Max", r.Max, "0");
  io.f("Err", r.Err, "0");
}

// A single-circuit device keeps its "Kind" when loading.
template <class Io, class R>
void Switches(Io&& io, R& r, bool with_kind) {
  if (with_kind) io.b("Kind", r.Kind, "0");
  io.b("Einheiten", r.Einheiten, "0");
  io.b("First", r.First, "0");
  io.b("CalcError", r.CalcError, "0");
}

template <class Io, class R>
void Trend(Io&& io, R& r) {
  io.b("Dummy1", r.Dummy1, "0");
  io.b("Dummy2", r.Dummy2, "0");
  io.b("Param", r.Param, "0");
  io.b("Time", r.Time, "60");
}

template <class Io, class R>
void Correction(Io&& io, R& factors) {
  for (size_t k = 0; k < factors.size(); ++k) io.f(Indexed("Stelle", k), factors.at(k), "1");
}

template <class Io, class R>
void Limits(Io&& io, R& r) {
  io.f("U_Max", r.U_Max, "1.31250");
  io.f("U_Min", r.U_Min, "1.28125");
  io.f("L_Max", r.L_Max, "0.24000");
  io.f("L_Min", r.L_Min, "0.22500");
}

// SystemTypeFlags and KindMask come from the device and are never in the file.
template <class Io, class R>
void System(Io&& io, R& r) {
  io.b("Anzahl", r.Anzahl, "0");
  io.b("Kind", r.Kind, "0");
  io.b("Lang", r.Lang, "0");
  io.b("Dummy3", r.Dummy3, "0");
  io.i("Dummy4", r.Dummy4, "0");
  io.f("Faktor", r.Faktor, "1");
  io.f("Dummy6", r.Dummy6, "0");
}

template <class Io, class R>
void Presets(Io&& io, R& values) {
  for (size_t k = 0; k < values.size(); ++k) io.f(Indexed("Vorgabe", k + 1), values.at(k), "0");
}

template <class Io, class R>
void Display(Io&& io, R& enable) {
  io.b("Enable1", enable.at(0), "127");
  io.b("Enable2", enable.at(1), "127");
  io.b("Enable3", enable.at(2), Steam() ? "40" : "0");
  io.b("Enable4", enable.at(3), "0");
}

// ---------------------------------------------------------------------------

// Every section WriteSet writes, in its order (whatever the values: a section
// not in this list is never written, one missing here is a fault of the list),
// and the part of the set it holds as the operator knows it.
struct TSetSection {
  const char* name;
  size_t count;  // numbered sections name<first> .. ; 0: one section of that name
  size_t first;
  uint16_t part;
};
// clang-format off
constexpr TSetSection kSetSections[] = {
    {kTempSection, 2, 0, text_id::kPartTemperature},
    {kPressureSection, 2, 0, text_id::kPartPressure},
    {kFlowSection, 2, 0, text_id::kPartFlow},
    {kDiffPressureSection, 2, 0, text_id::kPartDpDesign},
    {kMediumSection, 2, 0, text_id::kPartMedium},
    {kGasSection, 0, 0, text_id::kPartGas},
    {kSupplySection, 2, 0, text_id::kPartSupply},
    {kPulseSection, 2, 0, text_id::kPartPulse},
    {kAlarmSection, 2, 0, text_id::kPartRelay},
    {kOutputSection, 4, 0, text_id::kPartOutput},
    {kSwitchesSection, 0, 0, text_id::kPartUnits},
    {kUserUnitSection, kUserUnitEntries, 0, text_id::kPartUserUnit},
    {kTrendSection, 0, 0, text_id::kPartTrend},
    {kCorrectionSection, 2, 1, text_id::kPartCorrection},
    {kLimitSection, 0, 0, text_id::kPartLimits},
    {kSystemSection, 0, 0, text_id::kPartSystem},
    {kPresetSection, 0, 0, text_id::kPartPresets},
    {kDisplaySection, 0, 0, text_id::kPartDisplay},
    {kMemoSection, 0, 0, text_id::kPartRemarks},
};
// clang-format on

void WriteSet(platform::TIniFile& ini, const TParameterSet& p) {
  const auto out = [&ini](std::string section) { return TWriter(ini, std::move(section)); };
  for (size_t i = 0; i < 2; ++i) {
    Temperature(out(Indexed(kTempSection, i)), p.TempParams.at(i));
  }
  for (size_t i = 0; i < 2; ++i) {
    Pressure(out(Indexed(kPressureSection, i)), p.PressureParams.at(i));
  }
  for (size_t i = 0; i < 2; ++i) {
    Flow(out(Indexed(kFlowSection, i)), p.FlowParams.at(i));
  }
  for (size_t i = 0; i < 2; ++i) {
    DiffPressure(out(Indexed(kDiffPressureSection, i)), p.FlowParams2.at(i));
  }
  for (size_t i = 0; i < 2; ++i) {
    MediumSection(out(Indexed(kMediumSection, i)), p.MediumParams.at(i));
  }
  Gas(out(kGasSection), p.GasCommon);
  for (size_t i = 0; i < 2; ++i) {
    Supply(out(Indexed(kSupplySection, i)), p.SupplyValues.at(i));
  }
  for (size_t i = 0; i < 2; ++i) {
    Pulse(out(Indexed(kPulseSection, i)), p.PulseOutputParams.at(i));
  }
  for (size_t i = 0; i < 2; ++i) {
    Alarm(out(Indexed(kAlarmSection, i)), p.AlarmParams.at(i));
  }
  for (size_t i = 0; i < 4; ++i) {
    Output(out(Indexed(kOutputSection, i)), p.OutputParams.at(i));
  }
  Switches(out(kSwitchesSection), p.UnitSwitches, true);
  for (size_t i = 0; i < kUserUnitEntries; ++i) {
    out(Indexed(kUserUnitSection, i)).b("Kind", p.UserUnits.at(i).Variant, "0");
  }
  Trend(out(kTrendSection), p.TrendSettings);
  for (size_t c = 0; c < 2; ++c) {
    Correction(out(Indexed(kCorrectionSection, c + 1)), p.CorrectionFactors.at(c));
  }
  Limits(out(kLimitSection), p.LimitValues);
  System(out(kSystemSection), p.SystemParams);
  Presets(out(kPresetSection), p.PresetValues);
  Display(out(kDisplaySection), p.DisplayEnable);

  // Erased first, so that a shorter memo leaves no old lines behind.
  ini.EraseSection(kMemoSection);
  for (size_t n = 0; n < p.Memo.size(); ++n) {
    ini.WriteString(kMemoSection, Indexed(kMemoKey, n + 1), p.Memo[n]);
  }
}

// ---------------------------------------------------------------------------
// Conversions of the older ".PAR" format, each code mapped once.

uint8_t OldAlarmSource(uint8_t param) {
  static constexpr std::array<std::pair<uint8_t, uint8_t>, 7> kMap = {
      {{3, 4}, {4, 9}, {5, 10}, {6, 12}, {7, 17}, {8, 18}, {9, 20}}};
  for (const auto& [from, to] : kMap) {
    if (param == from) return to;
  }
  return param;
}

void ConvertOldOutput(dl::TOutputSettings& out) {
  static constexpr std::array<uint8_t, 10> kSource = {1, 9, 2, 10, 4, 12, 5, 13, 3, 11};
  static constexpr std::array<uint8_t, 7> kCurrent = {36, 40, 80, 120, 160, 200, 220};
  if (out.Param < kSource.size()) {
    out.Param = kSource.at(out.Param);
    out.Konstant = 40;
  } else if (out.Param < kSource.size() + kCurrent.size()) {
    out.Konstant = kCurrent.at(out.Param - kSource.size());
    out.Param = 0;
  } else {
    out.Param = 0;
  }
}

void ReadSet(const TParamIniFile& ini, bool old_format, TParameterSet& p) {
  const auto in = [&ini](std::string section) { return TReader(ini, std::move(section)); };
  const uint8_t flags = p.SystemParams.SystemTypeFlags;
  const bool single = (flags & dl::kSingleCircuitFlags) != 0;
  const size_t circuits = single ? 1 : 2;
  const size_t outputs = single ? 1 : 4;

  for (size_t i = 0; i < circuits; ++i) {
    Temperature(in(Indexed(kTempSection, i)), p.TempParams.at(i));
  }
  for (size_t i = 0; i < circuits; ++i) {
    Pressure(in(Indexed(kPressureSection, i)), p.PressureParams.at(i));
  }
  for (size_t i = 0; i < circuits; ++i) {
    Flow(in(Indexed(kFlowSection, i)), p.FlowParams.at(i));
  }
  for (size_t i = 0; i < circuits; ++i) {
    DiffPressure(in(Indexed(kDiffPressureSection, i)), p.FlowParams2.at(i));
  }
  for (size_t i = 0; i < circuits; ++i) {
    MediumSection(in(Indexed(kMediumSection, i)), p.MediumParams.at(i));
  }
  if (Medium == 0) Gas(in(kGasSection), p.GasCommon);
  for (size_t i = 0; i < circuits; ++i) {
    Supply(in(Indexed(kSupplySection, i)), p.SupplyValues.at(i));
  }
  for (size_t i = 0; i < circuits; ++i) {
    Pulse(in(Indexed(kPulseSection, i)), p.PulseOutputParams.at(i));
  }
  for (size_t i = 0; i < 2; ++i) {
    dl::TAlarmSettings& alarm = p.AlarmParams.at(i);
    Alarm(in(Indexed(kAlarmSection, i)), alarm);
    if (old_format) alarm.Param = OldAlarmSource(alarm.Param);
  }
  for (size_t i = 0; i < outputs; ++i) {
    Output(in(Indexed(kOutputSection, i)), p.OutputParams.at(i));
    if (old_format) ConvertOldOutput(p.OutputParams.at(i));
  }
  {
    TReader r = in(kSwitchesSection);
    Switches(r, p.UnitSwitches, !single);
    if (old_format && p.UnitSwitches.First > 9) {
      if (p.UnitSwitches.First == 255) {
        throw TParameterFileError(TParameterFileError::Kind::kRange, r.Section(), "First",
                                  ini.ReadString(r.Section(), "First", "0"));
      }
      ++p.UnitSwitches.First;
    }
  }
  for (size_t i = 0; i < kUserUnitEntries; ++i) {
    dl::TUserUnit& unit = p.UserUnits.at(i);
    in(Indexed(kUserUnitSection, i)).b("Kind", unit.Variant, "0");
    if (const TUnitRow* row = FindUserUnitRow(static_cast<uint8_t>(i), unit.Variant)) {
      unit = UserUnitOf(*row);
    }
  }
  if ((flags & dl::kNoTrendFlags) == 0) Trend(in(kTrendSection), p.TrendSettings);
  for (size_t c = 0; c < circuits; ++c) {
    std::array<float, 8>& factors = p.CorrectionFactors.at(c);
    Correction(in(Indexed(kCorrectionSection, c + 1)), factors);
    for (float& f : factors) {
      if (!(f >= 0.25f && f <= 10.0f)) f = 1.0f;
    }
  }
  {
    dl::TLimitValues& l = p.LimitValues;
    Limits(in(kLimitSection), l);
    if (!(l.U_Max >= 1.25f && l.U_Max <= 1.5f)) l.U_Max = 1.3125f;
    if (!(l.U_Min >= 1.25f && l.U_Min <= 1.5f)) l.U_Min = 1.28125f;
    if (!(l.L_Max >= 0.125f && l.L_Max <= 0.25f)) l.L_Max = 0.24f;
    if (!(l.L_Min >= 0.125f && l.L_Min <= 0.25f)) l.L_Min = 0.225f;
  }
  System(in(kSystemSection), p.SystemParams);
  p.SystemParams.Kind &= p.SystemParams.KindMask;
  Presets(in(kPresetSection), p.PresetValues);
  Display(in(kDisplaySection), p.DisplayEnable);
  if (old_format) p.DisplayEnable = {127, 127, static_cast<uint8_t>(Steam() ? 40 : 0), 0};

  p.Memo.clear();
  for (size_t n = 1;; ++n) {
    std::string line = ini.ReadString(kMemoSection, Indexed(kMemoKey, n), kMemoEnd);
    if (line == kMemoEnd) break;
    p.Memo.push_back(std::move(line));
  }
}

// A file with none of the sections a parameter set is saved in (an empty file,
// random bytes, another program's ini, text in UTF-16) is no parameter file:
// loading it would silently give every key its default. The remarks alone are no
// parameter set either.
bool HasParameterSection(const TParamIniFile& ini) {
  for (const std::string& section : ParameterFileSections()) {
    if (section != kMemoSection && ini.SectionExists(section)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// What a file lacks of a whole set. A save writes every section and key, and
// every line ends in CRLF: a file without some of them, or whose last line has
// no line end, was cut short or damaged, and what it lacks would load as
// defaults without a word.

// Every section and key of a saved set, as WriteSet writes them (no remarks).
const platform::TIniFile& WholeSet() {
  static const platform::TIniFile whole = [] {
    platform::TIniFile ini(std::string(), false);
    WriteSet(ini, TParameterSet{});
    return ini;
  }();
  return whole;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view TrimmedLine(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  return line;
}

// The section named by a header line "[name]"; empty for any other line.
std::string_view HeaderName(std::string_view line) {
  line = TrimmedLine(line);
  if (line.empty() || line.front() != '[') return {};
  const size_t close = line.find(']');
  return close == std::string_view::npos ? std::string_view()
                                         : TrimmedLine(line.substr(1, close - 1));
}

struct TCutLine {
  bool cut = false;     // the last line has no line end
  bool header = false;  // ... and it begins a section header
  std::string section;  // the section the last line belongs to
};

TCutLine LastLine(std::string_view bytes) {
  TCutLine last;
  if (bytes.empty() || bytes.back() == '\n') return last;
  last.cut = true;
  const size_t end = bytes.rfind('\n');
  const std::string_view line = end == std::string_view::npos ? bytes : bytes.substr(end + 1);
  const std::string_view t = TrimmedLine(line);
  last.header = !t.empty() && t.front() == '[';
  if (last.header) return last;
  for (size_t pos = end; pos != std::string_view::npos && pos > 0;) {
    const size_t start = bytes.rfind('\n', pos - 1);
    const size_t from = start == std::string_view::npos ? 0 : start + 1;
    const std::string_view name = HeaderName(bytes.substr(from, pos - from));
    if (!name.empty()) {
      last.section = std::string(name);
      break;
    }
    pos = start;
  }
  return last;
}

// One entry of the list: a part whole, or the keys it lacks.
struct TMissing {
  uint16_t part;
  size_t first;  // the number shown, from 1; 0: the part has none
  size_t last;
  std::string keys;
  bool cut = false;
};

std::string PartText(const TMissing& m) {
  std::string number;
  if (m.first != 0) {
    number = std::to_string(m.first);
    if (m.last != m.first) number += "\u2013" + std::to_string(m.last);
  }
  std::string text = ProgramText(m.part, {number});
  if (!m.keys.empty()) text += " (" + m.keys + ")";
  return m.cut ? ProgramText(text_id::kLastLineCut, {text}) : text;
}

std::vector<std::string> MissingParts(const TParamIniFile& ini, std::string_view bytes) {
  const platform::TIniFile& whole = WholeSet();
  const TCutLine last = LastLine(bytes);
  std::vector<TMissing> missing;
  for (const TSetSection& s : kSetSections) {
    const size_t count = s.count == 0 ? 1 : s.count;
    for (size_t i = 0; i < count; ++i) {
      const std::string section = s.count == 0 ? s.name : Indexed(s.name, s.first + i);
      const size_t number = s.count == 0 ? 0 : i + 1;
      const bool cut_here = last.cut && !last.header && SameName(last.section, section);
      if (section == kMemoSection) {
        // A set without remarks has no such section, one with remarks has their
        // first line: a file cut before them, right after their header or inside
        // their last line has lost some.
        if (ini.ValueExists(section, Indexed(kMemoKey, 1))) {
          if (cut_here) missing.push_back({s.part, 0, 0, {}, true});
        } else if (ini.SectionExists(section) || !missing.empty() || last.cut) {
          missing.push_back({s.part, 0, 0, {}, false});
        }
        continue;
      }
      std::string keys;
      size_t absent = 0;
      const std::vector<std::string> expected = whole.ReadSection(section);
      for (const std::string& key : expected) {
        if (ini.ValueExists(section, key)) continue;
        keys += (keys.empty() ? "" : ", ") + key;
        ++absent;
      }
      if (absent == expected.size()) {
        // A whole part: runs of the same part become one entry "1–4".
        if (!missing.empty() && missing.back().part == s.part && missing.back().keys.empty() &&
            number != 0 && missing.back().last + 1 == number) {
          missing.back().last = number;
        } else {
          missing.push_back({s.part, number, number, {}, false});
        }
      } else if (absent > 0) {
        missing.push_back({s.part, number, number, keys, false});
      } else if (cut_here) {
        missing.push_back({s.part, number, number, {}, true});
      }
    }
  }
  std::vector<std::string> texts;
  for (const TMissing& m : missing) texts.push_back(PartText(m));
  return texts;
}

// ---------------------------------------------------------------------------

size_t LastSeparator(std::string_view name) {
  return name.rfind(kSeparator);
}

// The extension with its dot, of the last path element; empty when it has none.
size_t ExtensionStart(std::string_view name) {
  const size_t dot = name.rfind('.');
  const size_t sep = LastSeparator(name);
  if (dot == std::string_view::npos || (sep != std::string_view::npos && dot < sep)) {
    return std::string_view::npos;
  }
  return dot;
}

std::string ChangeFileExt(std::string_view name, std::string_view ext) {
  return std::string(name.substr(0, ExtensionStart(name))) + std::string(ext);
}

bool ExtensionIs(std::string_view name, std::string_view upper_ext) {
  const size_t dot = ExtensionStart(name);
  if (dot == std::string_view::npos) return false;
  std::string ext(name.substr(dot));
  for (char& c : ext) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ext == upper_ext;
}

// The name a set is saved under: the chosen one when it already ends in ".PEG"
// in any case (an existing "kunde.peg" is the file the operator chose).
std::string ParameterFileName(std::string_view name) {
  return ExtensionIs(name, ".PEG") ? std::string(name) : ChangeFileExt(name, ".PEG");
}

std::string FileFolder(std::string_view name) {
  const size_t sep = LastSeparator(name);
  if (sep == std::string_view::npos) return {};
  return std::string(name.substr(0, sep == 0 ? 1 : sep));
}

bool IsOldFormat(std::string_view name) {
  return ExtensionIs(name, ".PAR");
}

bool FileExists(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0;
}

void PrepareDialog(TFileDialogState& dialog, const char* filter) {
  dialog.DefaultExt = kParameterFileExt;
  dialog.Filter = filter;
}

}  // namespace

std::string ParameterSetFile;

std::vector<std::string> ParameterFileSections() {
  std::vector<std::string> names;
  for (const TSetSection& section : kSetSections) {
    if (section.count == 0) names.emplace_back(section.name);
    for (size_t i = 0; i < section.count; ++i)
      names.push_back(Indexed(section.name, section.first + i));
  }
  return names;
}

std::vector<std::string> MissingParameterParts(std::string_view bytes) {
  return MissingParts(TParamIniFile(std::string(), platform::FileKind::kParameterFile, bytes),
                      bytes);
}

std::string MissingPartsQuestion(const std::vector<std::string>& parts, bool online) {
  std::string list;
  for (const std::string& part : parts) list += (list.empty() ? "" : ", ") + part;
  return ProgramText(online ? text_id::kMissingPartsSend : text_id::kMissingPartsLoad, {list});
}

std::string ShortFileName(std::string_view name) {
  constexpr size_t kWhole = 40;
  // Byte offset of every character; positions below count characters from 1.
  std::vector<size_t> at;
  for (size_t pos = 0; pos < name.size();) {
    at.push_back(pos);
    char32_t cp;
    pos += platform::DecodeUtf8Char(name, pos, &cp);
  }
  const size_t length = at.size();
  if (length <= kWhole) return std::string(name);
  const auto ch = [&](size_t position) { return name.at(at.at(position - 1)); };
  const auto from = [&](size_t position) { return name.substr(at.at(position - 1)); };
  const auto upto = [&](size_t position) {  // characters 1..position
    return position < length ? name.substr(0, at.at(position)) : name;
  };

  std::string_view head = upto(3);
  for (size_t pos = 4; pos <= 14; ++pos) {
    if (ch(pos) == kSeparator) {
      head = upto(pos);
      break;
    }
  }
  std::string_view tail = from(length - 21);  // the last 22 characters
  for (size_t pos = length - 20; pos <= length - 1; ++pos) {
    if (ch(pos) == kSeparator) {
      tail = from(pos);
      break;
    }
  }
  return std::string(head) + " ... " + std::string(tail);
}

bool LoadParameterFile() {
  TAppWindow& window = AppWindow();
  TFileDialogState& open = window.OpenDialog();
  PrepareDialog(open, kParameterOpenFilter);
  if (!window.ExecuteOpenDialog(open)) return false;

  const std::string name = open.FileName;
  TFileDialogState& save = window.SaveDialog();
  open.InitialDir = save.InitialDir = FileFolder(name);
  const bool old_format = IsOldFormat(name);
  window.SetStatusPanel(0, ShortFileName(name));

  const auto refuse = [&](const std::string& reason) {
    window.ShowError(FileMessage(platform::FileKind::kParameterFile, name, reason));
    return false;
  };
  try {
    // A name that is not there would read as a file of defaults only.
    const std::optional<std::string> bytes =
        platform::ReadFileIfExists(name, platform::FileKind::kParameterFile);
    if (!bytes) {
      throw platform::FileError(platform::FileFault::kMissing, platform::FileKind::kParameterFile,
                                name, ENOENT, false);
    }
    const TParamIniFile ini(name, platform::FileKind::kParameterFile, *bytes);
    if (!HasParameterSection(ini)) return refuse(ProgramText(text_id::kNoParameterSection));
    TParameterSet set = CurrentSet();
    ReadSet(ini, old_format, set);
    // The older format never held every part; a ".PEG" file that lacks some is
    // loaded only when the operator says so, before anything changes.
    if (!old_format) {
      const std::vector<std::string> parts = MissingParts(ini, *bytes);
      if (!parts.empty() &&
          window.MessageBox(MissingPartsQuestion(parts, dl::DeviceOnline), "vandrel2",
                            kMbYesNo | kMbIconWarning | kMbDefButton2) != kIdYes) {
        return false;
      }
    }
    Commit(set);
  } catch (const TParameterFileError& e) {
    const uint16_t id = e.ErrorKind() == TParameterFileError::Kind::kConversion
                            ? text_id::kParameterNotANumber
                            : text_id::kParameterOutOfRange;
    return refuse(ProgramText(id, {e.Section(), e.Key(), platform::QuotedExcerpt(e.Value())}));
  } catch (const platform::FileError& e) {
    window.ShowError(FileErrorText(e));
    return false;
  }
  // Only a file that was read is the set's file and what a save proposes.
  ParameterSetFile = name;
  save.FileName = ParameterFileName(name);
  return true;
}

void SaveParameterFile() {
  TAppWindow& window = AppWindow();
  // The file is Windows-1252: a remark character it lacks would come back as "?".
  std::string lost;
  for (const std::string& line : window.MemoLines()) {
    for (const std::string& c : platform::CharsOutsideCp1252(line)) {
      if (lost.find(c) == std::string::npos) lost += (lost.empty() ? "" : " ") + c;
    }
  }
  if (!lost.empty()) {
    std::string text = GetText(kRemarkCharsLost);
    const size_t mark = text.find('#');
    if (mark == std::string::npos) {
      text = lost + " -> ?";  // without the text module, still the characters
    } else {
      text.replace(mark, 1, lost);
    }
    if (window.MessageBox(text, "vandrel2", kMbYesNo | kMbIconWarning | kMbDefButton2) != kIdYes)
      return;
  }
  TFileDialogState& save = window.SaveDialog();
  PrepareDialog(save, kParameterFileFilter);
  // The set's own file is proposed; a set of defaults proposes none.
  save.FileName = ParameterSetFile.empty() ? std::string() : ParameterFileName(ParameterSetFile);
  if (!window.ExecuteSaveDialog(save)) return;

  const std::string name = ParameterFileName(save.FileName);
  try {
    // A device, FIFO or folder of that name is no file to overwrite: refused
    // before the question.
    platform::CheckWriteTarget(name, platform::FileKind::kParameterFile);
    if (FileExists(name) && window.MessageBox(ProgramText(text_id::kOverwriteQuestion),
                                              ProgramText(text_id::kWarningCaption),
                                              kMbOkCancel | kMbIconWarning) != kIdOk) {
      return;
    }
    // Changes stay in memory and replace the file in one rename at the end.
    platform::TIniFile ini(name, /*auto_flush=*/false, platform::FileKind::kParameterFile);
    WriteSet(ini, CurrentSet());
    ini.UpdateFile();
  } catch (const platform::FileError& e) {
    window.ShowError(SaveErrorText(e));
    return;
  }
  ParameterSetFile = name;
  window.SetStatusPanel(0, ShortFileName(name));
}

void ResetParameters() {
  const bool steam = Steam();
  for (auto& t : dl::TempParams) t = {};
  for (auto& p : dl::PressureParams) {
    p = {};
    p.Hyd = 100.0f;
    p.Konst = 100.0f;
  }
  for (auto& f : dl::FlowParams) {
    f = {};
    f.MaxFreq = 9999;
    f.Exp_zahl = 1.0f;
  }
  for (auto& s : dl::SupplyValues) s = {0, 0, 0, 1.0f};
  for (auto& d : dl::FlowParams2) d = {};
  for (auto& m : dl::MediumParams) {
    m = {};
    m.Dummy2 = '0';  // gas check "valid"
  }
  dl::GasCommon = {10.0f, 10.0f, 5.0f, 1.0f};
  for (auto& p : dl::PulseOutputParams) p = {};
  for (auto& a : dl::AlarmParams) a = {};
  static constexpr std::array<uint8_t, 4> kOutputSource = {1, 4, 9, 12};
  static constexpr std::array<float, 4> kOutputMax = {1000.0f, 100000.0f, 1000.0f, 100000.0f};
  for (size_t i = 0; i < dl::OutputParams.size(); ++i) {
    dl::OutputParams.at(i) = {0, 0, 40, kOutputSource.at(i), 0.0f, kOutputMax.at(i), 2.5f};
  }
  dl::UnitSwitches = {};
  const auto& table = steam ? SteamUnitTable : GasUnitTable;
  for (size_t i = 0; i < dl::UserUnits.size(); ++i) dl::UserUnits.at(i) = UserUnitOf(table.at(i));
  dl::TrendSettings = {0, 0, 0, 60};
  for (auto& factors : dl::CorrectionFactors) factors.fill(1.0f);
  dl::LimitValues = {1.4125f, 1.375f, 0.24f, 0.225f};
  dl::TSystemSettings& sys = dl::SystemParams;
  sys.Anzahl = 0;
  sys.Kind = 0;
  sys.Lang = 0;
  sys.Dummy3 = 0;
  sys.Dummy4 = 0;
  sys.Faktor = 1.0f;
  sys.Dummy6 = 0;
  if (!dl::DeviceOnline) sys.KindMask = steam ? 5 : 1;
  dl::PresetValues.fill(0.0f);
  dl::DisplayEnable = {127, 127, static_cast<uint8_t>(steam ? 40 : 0), 0};
  dl::ForgetReported();

  ParameterSetFile.clear();
  TAppWindow& window = AppWindow();
  window.SetStatusPanel(0, "");
  window.SetMemoLines({});
}

}  // namespace services
