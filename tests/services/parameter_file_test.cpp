#include "services/parameter_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <bit>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "devicelink/wire_values.h"
#include "fake_app_window.h"
#include "platform/file_limits.h"
#include "platform/ini_file.h"
#include "services/app_state.h"
#include "services/param_ini_file.h"
#include "services/text_modules.h"
#include "services/unit_tables.h"
#include "tests/platform/file_size_limit.h"
#include "tests/platform/child_run.h"
#include "tests/platform/odd_files.h"
#include "tests/platform/temp_folder.h"

namespace services {
namespace {

namespace dl = devicelink;
using platform::testing::ReadBytes;
using platform::testing::TempFolder;
using platform::testing::WriteBytes;
using testing::FakeAppWindow;

// ---------------------------------------------------------------------------
// Name shortening

TEST(ShortFileNameTest, KeepsHeadAndTailAroundTheSeparators) {
  struct Case {
    const char* name;
    const char* shown;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"/home/anna/anlage.PEG", "/home/anna/anlage.PEG", "short names are shown whole"},
      {"/home/jörg/Messwerte/Kesselhaus_Süd1.PEG", "/home/jörg/Messwerte/Kesselhaus_Süd1.PEG",
       "40 characters (43 bytes) are still whole"},
      {"/home/jörg/Messwerte/Kesselhaus_Süd_1.PEG", "/home/ ... /Kesselhaus_Süd_1.PEG",
       "41 characters: shortened"},
      {"/home/anna/Dokumente/vandrel2/Anlagen/Nord/Station-12.PEG",
       "/home/ ... /Nord/Station-12.PEG", "first separators of head and tail region"},
      {"/Betriebsdaten_2024/Messstellen/Sued/Kessel_A.PEG", "/Be ... /Sued/Kessel_A.PEG",
       "no separator among characters 4..14: the first 3 characters"},
      {"/home/anna/Parameter_Anlage_Nordstadt_Kessel_7.PEG", "/home/ ... Nordstadt_Kessel_7.PEG",
       "no separator among the tail region: the last 22 characters"},
      {"/abcdefghijkl/mmmmmmmmmm/0123456789012345.PEG", "/abcdefghijkl/ ... /0123456789012345.PEG",
       "separators at character 14 and at length - 20, the ends of both regions"},
      {"/abcdefghijklm/mmmmmmmmm/A0123456789012345.PEG", "/ab ... /A0123456789012345.PEG",
       "separators at character 15 and at length - 21, just outside both regions"},
      {"/Jürgen_Mülle/Messungen/2024/Nordost/K1.PEG", "/Jürgen_Mülle/ ... /2024/Nordost/K1.PEG",
       "positions count characters, not bytes (the separator is byte 16)"},
      {"Parameterdatei_fuer_die_Anlage_Nord_2024.PEG", "Par ... e_Anlage_Nord_2024.PEG",
       "a name without any separator"},
  };
  for (const Case& c : cases) EXPECT_EQ(ShortFileName(c.name), c.shown) << c.why;
}

// ---------------------------------------------------------------------------
// Every field a parameter file holds, visited pairwise on two copies of the records.

using Records = dl::TParameterRecords;

// v(name, field of a, field of b) for every field written to the file; the unit
// rows copied after "UserEinheiten" and the device-only system bytes are left out.
template <class V>
void VisitFileFields(Records& a, Records& b, V&& v) {
  for (size_t i = 0; i < 2; ++i) {
    const std::string c = std::to_string(i);
    auto& ta = a.TempParams[i];
    auto& tb = b.TempParams[i];
    v("T" + c + ".Dummy1", ta.Dummy1, tb.Dummy1);
    v("T" + c + ".Dummy2", ta.Dummy2, tb.Dummy2);
    v("T" + c + ".Kind", ta.Kind, tb.Kind);
    v("T" + c + ".Eq", ta.Eq, tb.Eq);
    v("T" + c + ".Min", ta.Min, tb.Min);
    v("T" + c + ".Max", ta.Max, tb.Max);
    v("T" + c + ".Dummy4", ta.Dummy4, tb.Dummy4);
    v("T" + c + ".Diff", ta.Diff, tb.Diff);
    v("T" + c + ".Toff", ta.Toff, tb.Toff);
    v("T" + c + ".Konst", ta.Konst, tb.Konst);
    v("T" + c + ".Dummy3", ta.Dummy3, tb.Dummy3);
    auto& pa = a.PressureParams[i];
    auto& pb = b.PressureParams[i];
    v("P" + c + ".Dummy1", pa.Dummy1, pb.Dummy1);
    v("P" + c + ".Dummy2", pa.Dummy2, pb.Dummy2);
    v("P" + c + ".Kind", pa.Kind, pb.Kind);
    v("P" + c + ".Eq", pa.Eq, pb.Eq);
    v("P" + c + ".Hyd", pa.Hyd, pb.Hyd);
    v("P" + c + ".Min", pa.Min, pb.Min);
    v("P" + c + ".Max", pa.Max, pb.Max);
    v("P" + c + ".Err", pa.Err, pb.Err);
    v("P" + c + ".Konst", pa.Konst, pb.Konst);
    v("P" + c + ".Dummy3", pa.Dummy3, pb.Dummy3);
    v("P" + c + ".Dummy4", pa.Dummy4, pb.Dummy4);
    auto& fa = a.FlowParams[i];
    auto& fb = b.FlowParams[i];
    v("Flow" + c + ".Eq", fa.Eq, fb.Eq);
    v("Flow" + c + ".Kind", fa.Kind, fb.Kind);
    v("Flow" + c + ".MaxFreq", fa.MaxFreq, fb.MaxFreq);
    v("Flow" + c + ".Min", fa.Min, fb.Min);
    v("Flow" + c + ".Max", fa.Max, fb.Max);
    v("Flow" + c + ".KFak", fa.KFak, fb.KFak);
    v("Flow" + c + ".TKK", fa.TKK, fb.TKK);
    v("Flow" + c + ".BTemp", fa.BTemp, fb.BTemp);
    v("Flow" + c + ".Schleich", fa.Schleich, fb.Schleich);
    v("Flow" + c + ".Exp_zahl", fa.Exp_zahl, fb.Exp_zahl);
    auto& da = a.FlowParams2[i];
    auto& db = b.FlowParams2[i];
    v("Des" + c + ".DesQN", da.DesQN, db.DesQN);
    v("Des" + c + ".DesT", da.DesT, db.DesT);
    v("Des" + c + ".Desp", da.Desp, db.Desp);
    v("Des" + c + ".Desdp", da.Desdp, db.Desdp);
    v("Des" + c + ".DesRho", da.DesRho, db.DesRho);
    v("Des" + c + ".Desdp2", da.Desdp2, db.Desdp2);
    v("Des" + c + ".Desdp3", da.Desdp3, db.Desdp3);
    v("Des" + c + ".Desdp4", da.Desdp4, db.Desdp4);
    auto& ma = a.MediumParams[i];
    auto& mb = b.MediumParams[i];
    v("Med" + c + ".Dummy1", ma.Dummy1, mb.Dummy1);
    v("Med" + c + ".Dummy2", ma.Dummy2, mb.Dummy2);
    v("Med" + c + ".Ready", ma.Ready, mb.Ready);
    v("Med" + c + ".Kind", ma.Kind, mb.Kind);
    v("Med" + c + ".Rho", ma.Rho, mb.Rho);
    v("Med" + c + ".RN", ma.RN, mb.RN);
    v("Med" + c + ".BT", ma.BT, mb.BT);
    v("Med" + c + ".Bp", ma.Bp, mb.Bp);
    v("Med" + c + ".BRho", ma.BRho, mb.BRho);
    v("Med" + c + ".WKapa", ma.WKapa, mb.WKapa);
    v("Med" + c + ".Satt_Tol", ma.Satt_Tol, mb.Satt_Tol);
    auto& sa = a.SupplyValues[i];
    auto& sb = b.SupplyValues[i];
    v("Bez" + c + ".T0", sa.T0, sb.T0);
    v("Bez" + c + ".p0", sa.p0, sb.p0);
    v("Bez" + c + ".h0", sa.h0, sb.h0);
    v("Bez" + c + ".Faktor", sa.Faktor, sb.Faktor);
    auto& ia = a.PulseOutputParams[i];
    auto& ib = b.PulseOutputParams[i];
    v("Imp" + c + ".Dummy1", ia.Dummy1, ib.Dummy1);
    v("Imp" + c + ".Dummy2", ia.Dummy2, ib.Dummy2);
    v("Imp" + c + ".Dummy3", ia.Dummy3, ib.Dummy3);
    v("Imp" + c + ".Kind", ia.Kind, ib.Kind);
    v("Imp" + c + ".Compare", ia.Compare, ib.Compare);
    auto& aa = a.AlarmParams[i];
    auto& ab = b.AlarmParams[i];
    v("Alm" + c + ".Dummy1", aa.Dummy1, ab.Dummy1);
    v("Alm" + c + ".Dummy2", aa.Dummy2, ab.Dummy2);
    v("Alm" + c + ".Param", aa.Param, ab.Param);
    v("Alm" + c + ".Kind", aa.Kind, ab.Kind);
    v("Alm" + c + ".Min", aa.Min, ab.Min);
    v("Alm" + c + ".Max", aa.Max, ab.Max);
    v("Alm" + c + ".Dummy3", aa.Dummy3, ab.Dummy3);
    for (size_t k = 0; k < 8; ++k) {
      v("FlowKorr" + c + ".Stelle" + std::to_string(k), a.CorrectionFactors[i][k], b.CorrectionFactors[i][k]);
    }
  }
  v("EG.Ho", a.GasCommon.Ho, b.GasCommon.Ho);
  v("EG.CO2", a.GasCommon.CO2, b.GasCommon.CO2);
  v("EG.H2", a.GasCommon.H2, b.GasCommon.H2);
  v("EG.Rho", a.GasCommon.Rho, b.GasCommon.Rho);
  for (size_t i = 0; i < 4; ++i) {
    const std::string c = "Aus" + std::to_string(i);
    auto& oa = a.OutputParams[i];
    auto& ob = b.OutputParams[i];
    v(c + ".Dummy1", oa.Dummy1, ob.Dummy1);
    v(c + ".Dummy2", oa.Dummy2, ob.Dummy2);
    v(c + ".Konstant", oa.Konstant, ob.Konstant);
    v(c + ".Param", oa.Param, ob.Param);
    v(c + ".Min", oa.Min, ob.Min);
    v(c + ".Max", oa.Max, ob.Max);
    v(c + ".Err", oa.Err, ob.Err);
  }
  v("Dis.Kind", a.UnitSwitches.Kind, b.UnitSwitches.Kind);
  v("Dis.Einheiten", a.UnitSwitches.Einheiten, b.UnitSwitches.Einheiten);
  v("Dis.First", a.UnitSwitches.First, b.UnitSwitches.First);
  v("Dis.CalcError", a.UnitSwitches.CalcError, b.UnitSwitches.CalcError);
  for (size_t i = 0; i < 16; ++i) {
    v("UserEinheiten" + std::to_string(i), a.UserUnits[i].Variant, b.UserUnits[i].Variant);
  }
  v("Trend.Dummy1", a.TrendSettings.Dummy1, b.TrendSettings.Dummy1);
  v("Trend.Dummy2", a.TrendSettings.Dummy2, b.TrendSettings.Dummy2);
  v("Trend.Param", a.TrendSettings.Param, b.TrendSettings.Param);
  v("Trend.Time", a.TrendSettings.Time, b.TrendSettings.Time);
  v("Grenzwerte.U_Max", a.LimitValues.U_Max, b.LimitValues.U_Max);
  v("Grenzwerte.U_Min", a.LimitValues.U_Min, b.LimitValues.U_Min);
  v("Grenzwerte.L_Max", a.LimitValues.L_Max, b.LimitValues.L_Max);
  v("Grenzwerte.L_Min", a.LimitValues.L_Min, b.LimitValues.L_Min);
  v("System.Anzahl", a.SystemParams.Anzahl, b.SystemParams.Anzahl);
  v("System.Kind", a.SystemParams.Kind, b.SystemParams.Kind);
  v("System.Lang", a.SystemParams.Lang, b.SystemParams.Lang);
  v("System.Dummy3", a.SystemParams.Dummy3, b.SystemParams.Dummy3);
  v("System.Dummy4", a.SystemParams.Dummy4, b.SystemParams.Dummy4);
  v("System.Faktor", a.SystemParams.Faktor, b.SystemParams.Faktor);
  v("System.Dummy6", a.SystemParams.Dummy6, b.SystemParams.Dummy6);
  for (size_t k = 0; k < 8; ++k) {
    v("Vorgabe" + std::to_string(k + 1), a.PresetValues[k], b.PresetValues[k]);
  }
  for (size_t k = 0; k < 4; ++k) {
    v("Enable" + std::to_string(k + 1), a.DisplayEnable[k], b.DisplayEnable[k]);
  }
}

template <class V>
void VisitFileFields(Records& r, V&& v) {
  VisitFileFields(r, r, [&v](const std::string& name, auto& f, auto&) { v(name, f); });
}

bool Contains(const std::string& name, const std::string& part) {
  return name.find(part) != std::string::npos;
}

// Every byte field a value of its own, every float the given value (the correction
// factors of a set that is saved need one in 0.25..10); limits the loader keeps.
void FillRecords(uint8_t byte_base, float float_value) {
  Records r = Records::Capture();
  int n = 0;
  VisitFileFields(r, [&](const std::string&, auto& f) {
    using T = std::remove_reference_t<decltype(f)>;
    ++n;
    if constexpr (std::is_same_v<T, float>) {
      f = float_value;
    } else {
      f = static_cast<T>(byte_base + n);
    }
  });
  r.LimitValues = {1.4f, 1.3f, 0.2f, 0.15f};
  for (size_t i = 0; i < 16; ++i) r.UserUnits[i].Variant = 0;
  r.SystemParams.KindMask = 0xFF;
  r.Commit();
}

// Files of the tests are written with LF; the reader takes both line ends.
std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\n";
  return text;
}

class ParameterFileTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    dl::ResetDeviceData();
    Medium = 0;
    Language = 0;
    dl::DeviceOnline = false;
    ParameterSetFile.clear();
  }

  bool Load(const std::string& path) {
    window.dialog_answers.push_back(path);
    return LoadParameterFile();
  }
  // A file made to test the reader, which lacks parts of a set: loaded with Yes
  // to the question about them.
  bool LoadAnyway(const std::string& path) {
    window.box_answers.push_back(kIdYes);
    const size_t queued = window.box_answers.size();
    const bool loaded = Load(path);
    if (window.box_answers.size() == queued) window.box_answers.pop_back();
    return loaded;
  }
  void Save(const std::string& path) {
    window.dialog_answers.push_back(path);
    SaveParameterFile();
  }
  std::string Path(const std::string& name) const { return dir / name; }

  FakeAppWindow window;
  TempFolder dir;
};

// ---------------------------------------------------------------------------
// Save and load together

TEST_F(ParameterFileTest, RoundTripRestoresEveryFieldToSevenDigitsAndTheMemo) {
  const std::vector<float> tricky = {
      0.1f,
      1.0f / 3,
      2.0f / 3,
      16.666666f,
      1.6666667E-5f,
      12345678.0f,
      1E8f,
      1.2345E-6f,
      -273.15f,
      9999999.0f,
      0.00001f,
      9.999E-6f,
      -0.0f,
      123456.79f,
      -0.000123f,
      1e30f,
      -1e-30f,
      7654321.0f,
      0.5f,
      std::numeric_limits<float>::max(),
      std::numeric_limits<float>::denorm_min(),
      1e-40f,
      -std::numeric_limits<float>::max(),
      1.4125f,
  };
  const std::vector<float> corrections = {0.25f,     10.0f,      1.0000001f, 3.3333333f,
                                          9.999999f, 0.2500001f, 7.77f,      1.2345678f};
  Records r = Records::Capture();
  size_t nf = 0;
  size_t nb = 0;
  VisitFileFields(r, [&](const std::string& name, auto& f) {
    using T = std::remove_reference_t<decltype(f)>;
    if constexpr (std::is_same_v<T, float>) {
      f = Contains(name, "Stelle") ? corrections.at(nf % 8) : tricky.at(nf % tricky.size());
      ++nf;
    } else if constexpr (std::is_same_v<T, int32_t>) {
      f = std::numeric_limits<int32_t>::min();
    } else if constexpr (std::is_same_v<T, uint16_t>) {
      f = static_cast<T>(65535 - nb++);
    } else {
      f = static_cast<T>((nb++ * 37 + 255) % 256);  // 255, 36, 73, ...
    }
  });
  r.LimitValues = {1.25f, 1.5f, 0.125f, 0.25f};  // the bounds of the kept ranges
  r.UserUnits[0].Variant = 2;                   // K
  r.UserUnits[4].Variant = 11;                  // lb/s
  r.UserUnits[15].Variant = 0;
  r.SystemParams.KindMask = 0xFF;
  r.Commit();
  window.memo = {"Anlage Nord", "Zähler 2: 12,5 m³", "", "Kind=3 ; kein Abschnitt", "Ende"};
  const std::vector<std::string> memo = window.memo;

  const std::string path = Path("roundtrip.PEG");
  Save(path);
  ASSERT_TRUE(window.errors.empty()) << window.errors.front();

  dl::ResetDeviceData();
  dl::SystemParams.KindMask = 0xFF;
  window.memo.clear();
  ASSERT_TRUE(Load(path));
  ASSERT_TRUE(window.errors.empty()) << window.errors.front();

  Records loaded = Records::Capture();
  VisitFileFields(r, loaded, [](const std::string& name, auto& before, auto& after) {
    using T = std::remove_reference_t<decltype(before)>;
    if constexpr (std::is_same_v<T, float>) {
      const double b = before;
      const double a = after;
      // 7 significant digits: half a unit of the 7th digit, plus the float rounding.
      EXPECT_LE(std::abs(a - b), 6e-7 * std::abs(b)) << name << ": " << b << " -> " << a;
    } else {
      EXPECT_EQ(after, before) << name;
    }
  });
  EXPECT_EQ(window.memo, memo);

  // The unit rows of the chosen variants came with them.
  const dl::TUserUnit& kelvin = dl::UserUnits.at(0);
  EXPECT_EQ(kelvin.Symbol, "    K");
  EXPECT_EQ(kelvin.Offset, 273.15f);
  const dl::TUserUnit& lbs = dl::UserUnits.at(4);
  EXPECT_EQ(lbs.Symbol, " lb/s");
  EXPECT_EQ(lbs.SymbolLength, 4);
  EXPECT_EQ(lbs.Decimals, '2');
  EXPECT_EQ(lbs.Factor, 0.00061239436f);
}

// Patterns a device float can hold, in a dummy field and in a value field: the
// saved set loads back as the same set, to the 7 digits the file gives, and no
// number at all stays no number.
TEST_F(ParameterFileTest, EveryFloatPatternLoadsBack) {
  struct Case {
    const char* name;
    uint32_t bits;
  };
  const std::vector<Case> cases = {
      {"quiet NaN", 0x7FC00000u},      {"NaN with payload", 0xFFC00001u},
      {"signalling NaN", 0x7FA00000u}, {"+INF", 0x7F800000u},
      {"-INF", 0xFF800000u},           {"largest", std::bit_cast<uint32_t>(FLT_MAX)},
      {"denormal", 0x00000123u},       {"1/3", std::bit_cast<uint32_t>(1.0f / 3)},
      {"-1/3", std::bit_cast<uint32_t>(-1.0f / 3)},
  };
  const std::string path = Path("muster.PEG");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const float v = std::bit_cast<float>(c.bits);
    ResetParameters();
    dl::TempParams[0].Dummy3 = v;
    dl::TempParams[1].Min = v;
    dl::PresetValues[7] = v;
    Records saved = Records::Capture();
    Save(path);
    const std::string file = ReadBytes(path);
    dl::ResetDeviceData();
    dl::SystemParams.KindMask = 1;
    window.errors.clear();
    ASSERT_TRUE(Load(path)) << (window.errors.empty() ? "" : window.errors.front());

    // What the 7-digit text of the value stands for; infinities stay.
    float expected = v;
    if (double d = 0; ParseParameterNumber(FloatToGeneral7(v), &d)) expected = static_cast<float>(d);
    Records loaded = Records::Capture();
    for (const float got : {loaded.TempParams[0].Dummy3, loaded.TempParams[1].Min,
                            loaded.PresetValues[7]}) {
      if (std::isnan(v)) {
        EXPECT_TRUE(std::isnan(got));
        // Every NaN goes to the device as the one pattern the device gets for it.
        EXPECT_EQ(dl::SingleToBytes(got), dl::SingleToBytes(std::numeric_limits<float>::quiet_NaN()));
      } else {
        EXPECT_EQ(got, expected);
      }
    }
    VisitFileFields(saved, loaded, [&](const std::string& name, auto& before, auto& after) {
      using T = std::remove_reference_t<decltype(before)>;
      if constexpr (std::is_same_v<T, float>) {
        if (&before == &saved.TempParams[0].Dummy3 || &before == &saved.TempParams[1].Min ||
            &before == &saved.PresetValues[7]) {
          return;
        }
      }
      EXPECT_EQ(after, before) << name;
    });
    // Saved again, the file is the same.
    window.box_answers = {kIdOk};
    Save(path);
    EXPECT_EQ(ReadBytes(path), file);
  }
}

// ---------------------------------------------------------------------------
// Save

TEST_F(ParameterFileTest, SaveForcesTheExtensionAndSetsUpTheDialog) {
  Save(Path("anlage.txt"));
  EXPECT_EQ(window.save_dialog.DefaultExt, "PEG");
  EXPECT_EQ(window.save_dialog.Filter, "Vandrel Parameter (*.PEG *.peg)|*.PEG;*.peg");
  EXPECT_TRUE(platform::testing::Exists(Path("anlage.PEG")));
  EXPECT_FALSE(platform::testing::Exists(Path("anlage.txt")));
  EXPECT_EQ(window.panels[0], ShortFileName(Path("anlage.PEG")));

  Save(Path("ohne_endung"));
  EXPECT_TRUE(platform::testing::Exists(Path("ohne_endung.PEG")));
  EXPECT_TRUE(window.boxes.empty());  // new files need no question
}

// The extension counts in any case: the file chosen is the file written, and
// the question is about it.
TEST_F(ParameterFileTest, SaveOverALowerCaseNameWritesThatFile) {
  for (const char* name : {"kunde.peg", "Kunde.Peg"}) {
    SCOPED_TRACE(name);
    const std::string path = Path(name);
    WriteBytes(path, "[T_User0]\r\nMin=5\r\n");
    dl::TempParams[0].Min = 7.5f;
    window.boxes.clear();
    window.box_answers = {kIdOk};
    Save(path);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Datei überschreiben ?");
    EXPECT_EQ(platform::TIniFile(path).ReadString("T_User0", "Min", ""), "7.5");
    EXPECT_EQ(dir.List(), std::vector<std::string>{name});
    EXPECT_EQ(window.panels[0], ShortFileName(path));

    // Loaded, it is the name the save dialog offers.
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(window.save_dialog.FileName, path);
    std::remove(path.c_str());
  }
}

// Remark characters the file cannot hold are named before the file dialog; No
// saves nothing, Yes saves them as "?" and the rest as typed.
TEST_F(ParameterFileTest, RemarkCharactersAFileCannotHoldAreNamedFirst) {
  const std::string saved_folder = ProgramFolder;
  ProgramFolder = std::string(VANDREL_SOURCE_DIR) + "/texts/";
  Language = 0;
  window.memo = {"Δp über Blende: √(Δp)", "R = 5 Ω, 12,5 m³ € «ok»"};
  const std::string path = Path("kunde.PEG");

  window.box_answers = {kIdNo};
  Save(path);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].text,
            "Diese Zeichen der Bemerkungen kann die Parameterdatei nicht speichern: Δ √ Ω. "
            "Sie würden als \"?\" gespeichert. Trotzdem speichern?");
  EXPECT_EQ(window.boxes[0].flags & 0x0F, kMbYesNo);
  EXPECT_TRUE(dir.List().empty());
  EXPECT_EQ(window.dialog_answers.size(), 1u);  // no file dialog was shown
  window.dialog_answers.clear();

  window.box_answers = {kIdYes};
  Save(path);
  platform::TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("Bemerkung", "Zeile 1", ""), "?p über Blende: ?(?p)");
  EXPECT_EQ(ini.ReadString("Bemerkung", "Zeile 2", ""), "R = 5 ?, 12,5 m³ € «ok»");

  // Remarks the file holds ask nothing.
  window.boxes.clear();
  window.memo = {"12,5 m³ € «ok» – Zähler"};
  window.box_answers = {kIdOk};  // the overwrite question
  Save(path);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].text, "Datei überschreiben ?");
  ProgramFolder = saved_folder;
}

TEST_F(ParameterFileTest, SaveCancelledWritesNothing) {
  window.panels[0] = "vorher";
  SaveParameterFile();  // no answer queued: cancelled
  EXPECT_TRUE(dir.List().empty());
  EXPECT_EQ(window.panels[0], "vorher");
}

TEST_F(ParameterFileTest, SaveAsksBeforeReplacingAFile) {
  const std::string path = Path("alt.PEG");
  WriteBytes(path, "[T_User0]\r\nMin=5\r\n");
  window.panels[0] = "vorher";
  dl::TempParams[0].Min = 7.5f;

  window.box_answers = {kIdCancel};
  Save(path);
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].text, "Datei überschreiben ?");
  EXPECT_EQ(window.boxes[0].caption, "Warnung");
  EXPECT_EQ(window.boxes[0].flags & 0x0F, kMbOkCancel);
  EXPECT_EQ(ReadBytes(path), "[T_User0]\r\nMin=5\r\n");
  EXPECT_EQ(window.panels[0], "vorher");

  window.box_answers = {kIdOk};
  Save(path);
  EXPECT_EQ(platform::TIniFile(path).ReadString("T_User0", "Min", ""), "7.5");
  EXPECT_EQ(window.panels[0], ShortFileName(path));
}

TEST_F(ParameterFileTest, SaveReplacesTheRemarksAndKeepsForeignKeys) {
  const std::string path = Path("bemerkung.PEG");
  std::string old = "[T_User0]\r\nMin=5\r\nEigener Schluessel=bleibt\r\n[Bemerkung]\r\n";
  for (int n = 1; n <= 9; ++n)
    old += "Zeile " + std::to_string(n) + "=alt " + std::to_string(n) + "\r\n";
  old += "[Fremd]\r\nA=1\r\n";
  WriteBytes(path, old);

  window.memo = {"eins", "zwei", "drei"};
  Save(path);  // the overwrite question is answered OK
  const platform::TIniFile ini(path);
  EXPECT_EQ(ini.ReadSection("Bemerkung"),
            (std::vector<std::string>{"Zeile 1", "Zeile 2", "Zeile 3"}));
  EXPECT_EQ(ini.ReadString("Bemerkung", "Zeile 3", ""), "drei");
  EXPECT_EQ(ini.ReadString("T_User0", "Eigener Schluessel", ""), "bleibt");
  EXPECT_EQ(ini.ReadString("Fremd", "A", ""), "1");

  // A line holding only the end mark ends the remarks on the next load.
  window.memo = {"a", "@", "b"};
  Save(path);
  window.memo.clear();
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(window.memo, std::vector<std::string>{"a"});
}

// A write that fails halfway (the file size limit, which holds for root too)
// leaves the old file whole and no temporary file beside it.
TEST_F(ParameterFileTest, FailedSaveLeavesTheOldFileWhole) {
  const std::string path = Path("alt.PEG");
  const std::string old = "[T_User0]\r\nMin=5\r\n";
  WriteBytes(path, old);
  dl::TempParams[0].Min = 7.5f;

  window.box_answers = {kIdOk};
  {
    platform::testing::TFileSizeLimit limit(256);
    Save(path);
  }

  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_NE(window.errors[0].find("kann nicht geschrieben werden"), std::string::npos)
      << window.errors[0];
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"alt.PEG"});
}

// A name as long as a folder entry may be is saved: the temporary file beside it
// gets a shorter name of its own.
TEST_F(ParameterFileTest, TheLongestNameIsSaved) {
  const std::string path = Path(std::string(251, 'p') + ".PEG");
  dl::TempParams[0].Min = 7.5f;
  Save(path);
  ASSERT_TRUE(window.errors.empty()) << window.errors.front();
  EXPECT_EQ(platform::TIniFile(path).ReadString("T_User0", "Min", ""), "7.5");
  EXPECT_EQ(dir.List().size(), 1u);
}

// ---------------------------------------------------------------------------
// Load

TEST_F(ParameterFileTest, LoadCancelledChangesNothing) {
  dl::TempParams[0].Min = 3.0f;
  window.memo = {"bleibt"};
  EXPECT_FALSE(LoadParameterFile());
  EXPECT_EQ(window.open_dialog.DefaultExt, "PEG");
  EXPECT_EQ(window.open_dialog.Filter,
            "Vandrel Parameter (*.PEG *.peg *.PAR *.par)|*.PEG;*.peg;*.PAR;*.par");
  EXPECT_EQ(dl::TempParams[0].Min, 3.0f);
  EXPECT_EQ(window.memo, std::vector<std::string>{"bleibt"});
  EXPECT_TRUE(window.panels.empty());
}

TEST_F(ParameterFileTest, LoadPresetsBothDialogsFromTheChosenFile) {
  const std::string path = Path("Alt.par");
  WriteBytes(path, "[T_User0]\nMin=1\n");
  ASSERT_TRUE(Load(path));
  EXPECT_EQ(window.save_dialog.FileName, Path("Alt.PEG"));
  EXPECT_EQ(window.save_dialog.InitialDir, dir.Path());
  EXPECT_EQ(window.open_dialog.InitialDir, dir.Path());
  EXPECT_EQ(window.panels[0], ShortFileName(path));
}

TEST_F(ParameterFileTest, LoadOfAMissingFileIsAnError) {
  dl::TempParams[0].Min = 3.0f;
  EXPECT_FALSE(Load(Path("gibtsnicht.PEG")));
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_NE(window.errors[0].find("gibtsnicht.PEG"), std::string::npos);
  EXPECT_EQ(dl::TempParams[0].Min, 3.0f);
}

TEST_F(ParameterFileTest, MissingKeysTakeTheirDefaults) {
  for (int32_t medium : {0, 1}) {
    Medium = medium;
    FillRecords(100, 42.0f);
    const std::string path = Path("leer.PEG");
    WriteBytes(path, "; nichts als ein Kommentar\n[Fremd]\nHyd=5\n[System]\n");
    ASSERT_TRUE(LoadAnyway(path));

    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(dl::TempParams[i].Min, 0.0f);
      EXPECT_EQ(dl::PressureParams[i].Hyd, 100.0f);
      EXPECT_EQ(dl::PressureParams[i].Konst, 100.0f);
      EXPECT_EQ(dl::PressureParams[i].Err, 0.0f);
      EXPECT_EQ(dl::FlowParams[i].MaxFreq, 9999);
      EXPECT_EQ(dl::FlowParams[i].Exp_zahl, 1.0f);
      EXPECT_EQ(dl::FlowParams[i].Kind, 0);
      EXPECT_EQ(dl::SupplyValues[i].Faktor, 1.0f);
      EXPECT_EQ(dl::SupplyValues[i].T0, 0.0f);
      EXPECT_EQ(dl::CorrectionFactors[i], (std::array<float, 8>{1, 1, 1, 1, 1, 1, 1, 1}));
    }
    if (medium == 0) {
      EXPECT_EQ(dl::GasCommon.Ho, 10.0f);
      EXPECT_EQ(dl::GasCommon.CO2, 10.0f);
      EXPECT_EQ(dl::GasCommon.H2, 5.0f);
      EXPECT_EQ(dl::GasCommon.Rho, 1.0f);
    } else {
      EXPECT_EQ(dl::GasCommon.Ho, 42.0f);  // not read for steam
    }
    EXPECT_EQ(dl::TrendSettings.Time, 60);
    EXPECT_EQ(dl::TrendSettings.Param, 0);
    EXPECT_EQ(dl::LimitValues.U_Max, 1.3125f);
    EXPECT_EQ(dl::LimitValues.U_Min, 1.28125f);
    EXPECT_EQ(dl::LimitValues.L_Max, 0.24f);
    EXPECT_EQ(dl::LimitValues.L_Min, 0.225f);
    EXPECT_EQ(dl::SystemParams.Faktor, 1.0f);
    EXPECT_EQ(dl::SystemParams.Dummy4, 0);
    EXPECT_EQ(dl::DisplayEnable,
              (std::array<uint8_t, 4>{127, 127, static_cast<uint8_t>(medium ? 40 : 0), 0}));
    EXPECT_EQ(dl::UserUnits[1].Variant, 0);
    EXPECT_EQ(dl::UserUnits[1].Symbol, "  kPa");
    EXPECT_TRUE(window.memo.empty());
  }
}

TEST_F(ParameterFileTest, LoadCorrectsFactorsLimitsAndSystemType) {
  dl::SystemParams.KindMask = 0x05;
  dl::UserUnits[3] = {0, 9, '7', "xxxxx", 9.0f, 9.0f};
  const std::string path = Path("korrektur.PEG");
  WriteBytes(path, Lines({
                       "[FlowKorr_1]",  "Stelle0=0.2499",   "Stelle1=0.25", "Stelle2=10",
                       "Stelle3=10.01", "Stelle4=-1",       "Stelle5=0",    "Stelle6=5,5",
                       "[FlowKorr_2]",  "Stelle7=11",       "[Grenzwerte]", "U_Max=1.51",
                       "U_Min=1.2",     "L_Max=0.26",       "L_Min=0.1",    "[System]",
                       "Kind=7",        "[UserEinheiten0]", "Kind=1",       "[UserEinheiten3]",
                       "Kind=99",
                   }));
  ASSERT_TRUE(LoadAnyway(path));
  EXPECT_EQ(dl::CorrectionFactors[0], (std::array<float, 8>{1, 0.25f, 10, 1, 1, 1, 5.5f, 1}));
  EXPECT_EQ(dl::CorrectionFactors[1][7], 1.0f);
  EXPECT_EQ(dl::LimitValues.U_Max, 1.3125f);
  EXPECT_EQ(dl::LimitValues.U_Min, 1.28125f);
  EXPECT_EQ(dl::LimitValues.L_Max, 0.24f);
  EXPECT_EQ(dl::LimitValues.L_Min, 0.225f);
  EXPECT_EQ(dl::SystemParams.Kind, 5);  // 7 AND the device's mask 5

  const dl::TUserUnit& fahrenheit = dl::UserUnits[0];
  EXPECT_EQ(fahrenheit.Variant, 1);
  EXPECT_EQ(fahrenheit.Symbol, "   °F");
  EXPECT_EQ(fahrenheit.SymbolLength, 2);
  EXPECT_EQ(fahrenheit.Decimals, '2');
  EXPECT_EQ(fahrenheit.Factor, 1.8f);
  EXPECT_EQ(fahrenheit.Offset, 32.0f);
  // No row for the variant: the rest of the entry stays.
  const dl::TUserUnit& unknown = dl::UserUnits[3];
  EXPECT_EQ(unknown.Variant, 99);
  EXPECT_EQ(unknown.Symbol, "xxxxx");
  EXPECT_EQ(unknown.Factor, 9.0f);
}

// What a hand-edited file may hold: a decimal comma, a leading "+".
TEST_F(ParameterFileTest, DecimalCommaAndPlusSignLoadAsNumbers) {
  const std::string path = Path("komma.PEG");
  WriteBytes(path, Lines({"[T_User0]", "Min=1,5", "Kind=3,7", "Max=+5", "Eq=+2", "[P_User1]",
                          "Hyd=-0,125", "[System]", "Dummy4=-12,9", "[FlowKorr_1]",
                          "Stelle0=2,5E0"}));
  ASSERT_TRUE(LoadAnyway(path));
  EXPECT_EQ(dl::TempParams[0].Min, 1.5f);
  EXPECT_EQ(dl::TempParams[0].Kind, 3);
  EXPECT_EQ(dl::TempParams[0].Max, 5.0f);
  EXPECT_EQ(dl::TempParams[0].Eq, 2);
  EXPECT_EQ(dl::PressureParams[1].Hyd, -0.125f);
  EXPECT_EQ(dl::SystemParams.Dummy4, -12);
  EXPECT_EQ(dl::CorrectionFactors[0][0], 2.5f);
}

TEST_F(ParameterFileTest, EachDeviceTypeLoadsOnlyWhatItHas) {
  struct Case {
    const char* what;
    uint8_t flags;
    bool second_circuit;  // circuit 2, outputs 2..4, "Kind" of "Dis_User", FlowKorr_2
    bool trend;
  };
  const std::vector<Case> cases = {
      {"two circuits with trend", 0x00, true, true},
      {"single circuit 0x40", 0x40, false, true},
      {"single circuit 0x80", 0x80, false, true},
      {"no trend 0x02", 0x02, true, false},
      {"no trend 0x20", 0x20, true, false},
      {"single circuit without trend", 0xC1, false, true},  // 0x01 is neither
  };
  const std::string path = Path("zwei_kreise.PEG");
  FillRecords(10, 2.5f);
  const Records file = Records::Capture();
  Save(path);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FillRecords(100, 7.0f);
    dl::SystemParams.SystemTypeFlags = c.flags;
    const Records device = Records::Capture();
    ASSERT_TRUE(Load(path));
    const Records& want2 = c.second_circuit ? file : device;

    for (size_t i = 0; i < 2; ++i) {
      const Records& want = i == 0 ? file : want2;
      EXPECT_EQ(dl::TempParams[i].Konst, want.TempParams[i].Konst) << i;
      EXPECT_EQ(dl::TempParams[i].Kind, want.TempParams[i].Kind) << i;
      EXPECT_EQ(dl::PressureParams[i].Dummy4, want.PressureParams[i].Dummy4) << i;
      EXPECT_EQ(dl::FlowParams[i].MaxFreq, want.FlowParams[i].MaxFreq) << i;
      EXPECT_EQ(dl::FlowParams2[i].Desdp4, want.FlowParams2[i].Desdp4) << i;
      EXPECT_EQ(dl::MediumParams[i].Ready, want.MediumParams[i].Ready) << i;
      EXPECT_EQ(dl::SupplyValues[i].Faktor, want.SupplyValues[i].Faktor) << i;
      EXPECT_EQ(dl::PulseOutputParams[i].Kind, want.PulseOutputParams[i].Kind) << i;
      EXPECT_EQ(dl::AlarmParams[i].Param, file.AlarmParams[i].Param) << i;  // always both
      EXPECT_EQ(dl::CorrectionFactors[i][7], want.CorrectionFactors[i][7]) << i;
    }
    EXPECT_EQ(dl::OutputParams[0].Err, file.OutputParams[0].Err);
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(dl::OutputParams[i].Param, want2.OutputParams[i].Param) << i;
    EXPECT_EQ(dl::UnitSwitches.Kind, want2.UnitSwitches.Kind);
    EXPECT_EQ(dl::UnitSwitches.First, file.UnitSwitches.First);
    EXPECT_EQ(dl::TrendSettings.Time, (c.trend ? file : device).TrendSettings.Time);
    EXPECT_EQ(dl::SystemParams.SystemTypeFlags, c.flags);
  }
}

TEST_F(ParameterFileTest, CommonGasValuesAreReadForGasOnly) {
  const std::string path = Path("dampf.PEG");
  WriteBytes(path, Lines({"[EG_User]", "Ho=11.5", "CO2=1.5", "H2=0.5", "Rho=0.8"}));
  for (int32_t medium : {0, 1}) {
    Medium = medium;
    dl::GasCommon = {1, 2, 3, 4};
    ASSERT_TRUE(LoadAnyway(path));
    const dl::TGasComposition want = medium == 0 ? dl::TGasComposition{11.5f, 1.5f, 0.5f, 0.8f}
                                                 : dl::TGasComposition{1, 2, 3, 4};
    EXPECT_EQ(dl::GasCommon.Ho, want.Ho) << medium;
    EXPECT_EQ(dl::GasCommon.CO2, want.CO2) << medium;
    EXPECT_EQ(dl::GasCommon.H2, want.H2) << medium;
    EXPECT_EQ(dl::GasCommon.Rho, want.Rho) << medium;
  }
}

// ---------------------------------------------------------------------------
// The older format

struct OldFile {
  uint8_t alarm = 0;
  uint8_t output = 0;
  uint8_t konstant = 77;
  uint8_t first = 0;
};

std::string OldFileText(const OldFile& f) {
  std::string text;
  for (int i = 0; i < 2; ++i)
    text += "[Alm_User" + std::to_string(i) + "]\nParam=" + std::to_string(f.alarm) + "\n";
  for (int i = 0; i < 4; ++i) {
    text += "[Aus_User" + std::to_string(i) + "]\nParam=" + std::to_string(f.output) +
            "\nKonstant=" + std::to_string(f.konstant) + "\n";
  }
  text += "[Dis_User]\nFirst=" + std::to_string(f.first) + "\n";
  text += "[Display]\nEnable1=1\nEnable2=2\nEnable3=3\nEnable4=4\n";
  return text;
}

TEST_F(ParameterFileTest, OldFormatAlarmSourcesAreMappedOnce) {
  // 3 -> 4 and 4 -> 9 are one table, not a chain: 3 never becomes 9.
  const std::vector<std::pair<uint8_t, uint8_t>> cases = {
      {0, 0},  {2, 2},  {3, 4},  {4, 9},   {5, 10},  {6, 12},
      {7, 17}, {8, 18}, {9, 20}, {10, 10}, {20, 20},
  };
  const std::string path = Path("alt.PAR");
  for (const auto& [in, out] : cases) {
    WriteBytes(path, OldFileText({.alarm = in}));
    ASSERT_TRUE(Load(path));
    EXPECT_EQ(dl::AlarmParams[0].Param, out) << int(in);
    EXPECT_EQ(dl::AlarmParams[1].Param, out) << int(in);
  }
}

TEST_F(ParameterFileTest, OldFormatOutputSourcesAndCurrents) {
  struct Case {
    uint8_t param_in;
    uint8_t param_out;
    uint8_t konstant_out;  // the file holds 77
  };
  const std::vector<Case> cases = {
      {0, 1, 40},   {1, 9, 40},   {2, 2, 40},  {3, 10, 40},  {4, 4, 40},
      {5, 12, 40},  {6, 5, 40},   {7, 13, 40}, {8, 3, 40},   {9, 11, 40},
      {10, 0, 36},  {11, 0, 40},  {12, 0, 80}, {13, 0, 120}, {14, 0, 160},
      {15, 0, 200}, {16, 0, 220}, {17, 0, 77}, {255, 0, 77},
  };
  const std::string path = Path("alt.PAR");
  for (const Case& c : cases) {
    WriteBytes(path, OldFileText({.output = c.param_in}));
    ASSERT_TRUE(Load(path));
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(dl::OutputParams[i].Param, c.param_out) << int(c.param_in) << " output " << i;
      EXPECT_EQ(dl::OutputParams[i].Konstant, c.konstant_out) << int(c.param_in) << " output " << i;
    }
  }
}

TEST_F(ParameterFileTest, OldFormatDisplayAndFirstValue) {
  const std::string path = Path("alt.PAR");
  const std::vector<std::pair<uint8_t, uint8_t>> firsts = {{9, 9}, {10, 11}, {254, 255}};
  for (int32_t medium : {0, 1}) {
    Medium = medium;
    for (const auto& [in, out] : firsts) {
      WriteBytes(path, OldFileText({.first = in}));
      ASSERT_TRUE(Load(path));
      EXPECT_EQ(dl::UnitSwitches.First, out) << int(in);
      EXPECT_EQ(dl::DisplayEnable,
                (std::array<uint8_t, 4>{127, 127, static_cast<uint8_t>(medium ? 40 : 0), 0}));
    }
  }
  // 255 + 1 does not fit the byte.
  dl::UnitSwitches.First = 3;
  WriteBytes(path, OldFileText({.first = 255}));
  EXPECT_FALSE(Load(path));
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_NE(window.errors[0].find("First"), std::string::npos) << window.errors[0];
  EXPECT_EQ(dl::UnitSwitches.First, 3);
}

TEST_F(ParameterFileTest, OldFormatIsTheExtensionParInAnyCase) {
  struct Case {
    const char* name;
    bool converted;
  };
  const std::vector<Case> cases = {
      {"a.PAR", true},  {"b.par", true},      {"c.Par", true},   {"d.PEG", false},
      {"e.peg", false}, {"f.par.PEG", false}, {"g.PARX", false},
  };
  for (const Case& c : cases) {
    const std::string path = Path(c.name);
    WriteBytes(path, OldFileText({.alarm = 3, .output = 12, .first = 10}));
    ASSERT_TRUE(LoadAnyway(path)) << c.name;
    EXPECT_EQ(dl::AlarmParams[0].Param, c.converted ? 4 : 3) << c.name;
    EXPECT_EQ(dl::OutputParams[0].Param, c.converted ? 0 : 12) << c.name;
    EXPECT_EQ(dl::OutputParams[0].Konstant, c.converted ? 80 : 77) << c.name;
    EXPECT_EQ(dl::UnitSwitches.First, c.converted ? 11 : 10) << c.name;
    EXPECT_EQ(dl::DisplayEnable[0], c.converted ? 127 : 1) << c.name;
  }
}

// ---------------------------------------------------------------------------
// A file that lacks parts of a set

// What a file cut short or damaged lacks, named as the operator knows the parts.
TEST_F(ParameterFileTest, WhatAFileLacksIsNamed) {
  const std::string whole_path = Path("ganz.PEG");
  FillRecords(10, 2.5f);
  window.memo = {"erste Zeile", "zweite Zeile"};
  Save(whole_path);
  const std::string whole = ReadBytes(whole_path);
  window.memo.clear();
  Save(Path("ohne.PEG"));
  const std::string without_remarks = ReadBytes(Path("ohne.PEG"));
  const auto before = [&](const std::string& text, const std::string& what) {
    const size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    return text.substr(0, at);
  };
  // The text without the key's line in that section, or without the whole section.
  const auto without = [&](std::string text, const std::string& section, const std::string& key) {
    const size_t at = text.find("[" + section + "]\r\n");
    EXPECT_NE(at, std::string::npos) << section;
    const size_t from = key.empty() ? at : text.find("\r\n" + key + "=", at) + 2;
    const size_t to = key.empty() ? text.find("\r\n[", at) + 2 : text.find("\r\n", from) + 2;
    return text.erase(from, to - from);
  };
  struct Case {
    const char* what;
    std::string bytes;
    std::vector<std::string> missing;
  };
  const std::vector<Case> cases = {
      {"a whole set", whole, {}},
      {"a whole set without remarks", without_remarks, {}},
      {"an unknown section and key besides", whole + "[Fremd]\r\nX=1\r\n", {}},
      {"cut to its first half",
       before(whole, "[Alm_User1]"),
       {"Relais 2", "Analogausgang 1\u20134", "Einheiten", "Anzeigeeinheiten 1\u201316",
        "Trendwert", "Korrekturfaktoren Kreis 1\u20132", "Stromgrenzwerte", "System",
        "Vorgabewerte", "Anzeigefreigabe", "Bemerkungen"}},
      {"cut before circuit 2's pressure",
       before(whole, "[P_User1]"),
       {"Druck Kreis 2", "Durchfluss Kreis 1\u20132", "Wirkdruck-Auslegung Kreis 1\u20132",
        "Medium Kreis 1\u20132", "Gasbeschaffenheit", "Vorlaufwerte Kreis 1\u20132",
        "Impulsausgang Kreis 1\u20132", "Relais 1\u20132", "Analogausgang 1\u20134", "Einheiten",
        "Anzeigeeinheiten 1\u201316", "Trendwert", "Korrekturfaktoren Kreis 1\u20132",
        "Stromgrenzwerte", "System", "Vorgabewerte", "Anzeigefreigabe", "Bemerkungen"}},
      // The one cut a file cannot show: the set without remarks looks the same.
      {"cut right before the remarks", before(whole, "[Bemerkung]"), {}},
      {"cut inside the header of the remarks", before(whole, "merkung]"), {"Bemerkungen"}},
      {"cut inside the last remark", whole.substr(0, whole.size() - 4),
       {"Bemerkungen (letzte Zeile abgeschnitten)"}},
      {"cut right after the header of the remarks", before(whole, "Zeile 1="), {"Bemerkungen"}},
      {"cut inside the last value of a set without remarks",
       without_remarks.substr(0, without_remarks.size() - 3),
       {"Anzeigefreigabe (letzte Zeile abgeschnitten)", "Bemerkungen"}},
      {"one key missing", without(whole, "P_User0", "Hyd"), {"Druck Kreis 1 (Hyd)"}},
      {"two keys of one part missing",
       without(without(whole, "Display", "Enable3"), "Display", "Enable4"),
       {"Anzeigefreigabe (Enable3, Enable4)"}},
      {"one section missing", without(whole, "Trend_User", ""), {"Trendwert"}},
      {"the last user unit missing", without(whole, "UserEinheiten15", ""),
       {"Anzeigeeinheiten 16"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MissingParameterParts(c.bytes), c.missing);
  }
}

// A set cut at any section boundary lacks that section and every one after it
// (but the remarks, see above).
TEST_F(ParameterFileTest, ACutAtAnySectionBoundaryIsNamed) {
  window.memo = {"Zeile"};
  Save(Path("ganz.PEG"));
  const std::string whole = ReadBytes(Path("ganz.PEG"));
  const std::vector<std::string> sections = ParameterFileSections();
  ASSERT_EQ(sections.back(), "Bemerkung");
  for (size_t k = 1; k + 1 < sections.size(); ++k) {
    SCOPED_TRACE(sections[k]);
    const std::vector<std::string> missing =
        MissingParameterParts(whole.substr(0, whole.find("[" + sections[k] + "]")));
    ASSERT_FALSE(missing.empty());
    EXPECT_EQ(missing.back(), "Bemerkungen");
    // Each part once: the runs of numbered sections are joined.
    EXPECT_EQ(std::set<std::string>(missing.begin(), missing.end()).size(), missing.size());
  }
}

// Loading such a file asks first, No the default; No leaves the set, its remarks
// and its file as they were, Yes loads it. An older ".PAR" file is read as ever.
TEST_F(ParameterFileTest, AFileThatLacksPartsIsLoadedOnlyOnYes) {
  const std::string cut = Path("halb.PEG");
  FillRecords(10, 2.5f);
  window.memo = {"aus der Datei"};
  Save(cut);
  WriteBytes(cut, ReadBytes(cut).substr(0, ReadBytes(cut).find("[Alm_User1]")));
  WriteBytes(Path("alt.PAR"), "[T_User0]\r\nMin=1\r\n");
  struct Case {
    const char* what;
    bool online;
    std::string file;
    int answer;  // 0: no question expected
    bool loaded;
  };
  const std::vector<Case> cases = {
      {"offline, No", false, cut, kIdNo, false},
      {"offline, closed", false, cut, kIdCancel, false},
      {"offline, Yes", false, cut, kIdYes, true},
      {"online, No", true, cut, kIdNo, false},
      {"online, Yes", true, cut, kIdYes, true},
      {"older format", false, Path("alt.PAR"), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FillRecords(100, 7.0f);
    const Records set = Records::Capture();
    dl::DeviceOnline = c.online;
    window.memo = {"bleibt"};
    window.boxes.clear();
    window.box_answers.clear();
    if (c.answer != 0) window.box_answers = {c.answer};
    ParameterSetFile = "vorher.PEG";
    EXPECT_EQ(Load(c.file), c.loaded);
    if (c.answer == 0) {
      EXPECT_TRUE(window.boxes.empty());
    } else {
      ASSERT_EQ(window.boxes.size(), 1u);
      const FakeAppWindow::Box& box = window.boxes[0];
      EXPECT_EQ(box.text.rfind("Der Datei fehlen Teile eines Parametersatzes (abgeschnitten oder "
                               "beschädigt?): Relais 2, Analogausgang 1\u20134, ",
                               0),
                0u)
          << box.text;
      EXPECT_TRUE(box.text.ends_with(c.online ? "Trotzdem laden und senden?" : "Trotzdem laden?"))
          << box.text;
      EXPECT_EQ(box.flags, kMbYesNo | kMbIconWarning | kMbDefButton2);
    }
    if (c.loaded) {
      EXPECT_EQ(ParameterSetFile, c.file);
    } else {
      EXPECT_EQ(dl::TempParams[0].Min, 7.0f);
      EXPECT_EQ(dl::AlarmParams[0].Param, set.AlarmParams[0].Param);
      EXPECT_EQ(dl::OutputParams[3].Param, set.OutputParams[3].Param);
      EXPECT_EQ(window.memo, std::vector<std::string>{"bleibt"});
      EXPECT_EQ(ParameterSetFile, "vorher.PEG");
    }
  }
  dl::DeviceOnline = false;
  // The parts and the question in English.
  Language = 1;
  EXPECT_EQ(MissingPartsQuestion(MissingParameterParts(ReadBytes(cut)), false),
            "The file lacks parts of a parameter set (cut short or damaged?): Relay 2, Analog "
            "output 1\u20134, Units, Display units 1\u201316, Trend, Correction factors circuit "
            "1\u20132, Current limits, System, Preset values, Display enable, Remarks. These "
            "parts would take the program's defaults. Load anyway?");
}

// ---------------------------------------------------------------------------
// A bad value

TEST_F(ParameterFileTest, BadValueKeepsThePreviousSetWhole) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  };
  const std::vector<Case> cases = {
      {"Vorgaben", "Vorgabe8", "abc"},  // the last float: everything before was read
      {"Display", "Enable4", "256"},    // the last byte
      {"T_User0", "Kind", "-1"},          {"Flow_User1", "MaxFreq", "65536"},
      {"System", "Dummy4", "2147483648"}, {"T_User1", "Kind", "nan"},
      {"P_User0", "Hyd", "infinity"}, {"T_User1", "Min", "NAN1"},
              {"EG_User", "Ho", "0x10"},
      {"Grenzwerte", "U_Max", "1e39"},    {"UserEinheiten15", "Kind", "1.5.0"},
  };
  // A complete file that differs from the current set in every field.
  const std::string good = Path("gut.PEG");
  FillRecords(10, 2.5f);
  window.memo = {"aus der Datei"};
  Save(good);
  const std::string good_text = ReadBytes(good);

  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key + "=" + c.value);
    const std::string path = Path("schlecht.PEG");
    WriteBytes(path, good_text);
    {
      platform::TIniFile ini(path);
      ini.WriteString(c.section, c.key, c.value);
    }
    ResetParameters();
    dl::SystemParams.KindMask = 0xFF;
    dl::TempParams[1].Min = -12.0f;
    window.memo = {"alte", "Bemerkung"};
    Records before = Records::Capture();
    window.errors.clear();

    EXPECT_FALSE(Load(path));
    ASSERT_EQ(window.errors.size(), 1u);
    const std::string& message = window.errors[0];
    EXPECT_EQ(message.rfind("Parameterdatei \"" + path + "\": ", 0), 0u) << message;
    const std::string where = std::string("[") + c.section + "] " + c.key + "=\"" + c.value + "\"";
    EXPECT_NE(message.find(where), std::string::npos) << message;
    EXPECT_EQ(window.panels[0], ShortFileName(path));

    Records after = Records::Capture();
    VisitFileFields(before, after,
                    [](const std::string& name, auto& b, auto& a) { EXPECT_EQ(a, b) << name; });
    for (size_t i = 0; i < 16; ++i) {
      EXPECT_EQ(after.UserUnits[i].Symbol, before.UserUnits[i].Symbol) << i;
      EXPECT_EQ(after.UserUnits[i].Factor, before.UserUnits[i].Factor) << i;
    }
    EXPECT_EQ(window.memo, (std::vector<std::string>{"alte", "Bemerkung"}));
  }
}

// A loaded set is the file's: none of its records counts as what the device
// reported. A refused file leaves the set in use with its marks.
TEST_F(ParameterFileTest, ALoadedSetHoldsNothingTheDeviceReported) {
  const std::string good = Path("gut.PEG");
  Save(good);
  const std::string bad = Path("schlecht.PEG");
  WriteBytes(bad, ReadBytes(good));
  {
    platform::TIniFile ini(bad);
    ini.WriteString("Vorgaben", "Vorgabe8", "abc");
  }
  dl::MarkReported(0x8100, true);  // circuit 1's temperature block
  EXPECT_FALSE(Load(bad));
  EXPECT_TRUE(dl::Reported(dl::BlockAddressOf(dl::TempParams[0])));
  ASSERT_TRUE(Load(good));
  EXPECT_FALSE(dl::Reported(dl::BlockAddressOf(dl::TempParams[0])));
}

// A file that holds none of the parameter sections is refused, whatever else it
// holds, and the set in use stays.
TEST_F(ParameterFileTest, AFileThatIsNoParameterFileIsRefused) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[T_User0]\r\nMin=7\r\n")) utf16 += std::string{c, '\0'};
  std::string random;
  for (int i = 0; i < 4096; ++i) random.push_back(static_cast<char>((i * 7919 + 13) % 256));
  const std::string contents[] = {
      "",
      std::string(512, '\0'),
      random,
      utf16,
      "[Bemerkung]\nZeile 1=nur eine Bemerkung\n",
      "[Einstellungen]\nBaudrate=3\n[T_User0 alt]\nMin=7\n",
  };
  for (const std::string& content : contents) {
    SCOPED_TRACE(content.size());
    const std::string path = Path("keine.PEG");
    WriteBytes(path, content);
    dl::TempParams[0].Min = 3.0f;
    dl::PressureParams[1].Hyd = 4.0f;
    window.memo = {"bleibt"};
    window.errors.clear();
    EXPECT_FALSE(Load(path));
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_NE(window.errors[0].find("enthält keinen der Abschnitte einer Parameterdatei"),
              std::string::npos)
        << window.errors[0];
    EXPECT_EQ(dl::TempParams[0].Min, 3.0f);
    EXPECT_EQ(dl::PressureParams[1].Hyd, 4.0f);
    EXPECT_EQ(window.memo, std::vector<std::string>{"bleibt"});
  }
}

// Damaged files: a message quotes only the start of a value, with control bytes
// shown, and a file far larger than any parameter file is refused before it is
// read. Each is refused quickly and the set in use stays.
TEST_F(ParameterFileTest, DamagedAndHugeFilesAreRefusedQuickly) {
  struct Case {
    const char* what;
    std::string path;
    std::function<void(const std::string&)> make;
    const char* message;  // a part of the one error shown
  };
  const std::string long_value = "1234567890" + std::string(1'500'000, '7') + "x";
  const std::vector<Case> cases = {
      {"a value of 1.5 million characters", Path("lang.PEG"),
       [&](const std::string& p) { WriteBytes(p, "[T_User0]\nMin=" + long_value + "\n"); },
       "=\"1234567890777777777777777777777777777777\xE2\x80\xA6\" ist keine gültige Zahl"},
      {"a NUL byte and a tab in a value", Path("nul.PEG"),
       [](const std::string& p) {
         WriteBytes(p, std::string("[T_User0]\nMin=12\0" "3\t4\n", 21));
       },
       "[T_User0] Min=\"12\\x003\\x094\" ist keine gültige Zahl"},
      {"100 MB of comment lines", Path("riesig.PEG"),
       [](const std::string& p) {
         // Sparse: no disk space, but the size of a huge file.
         WriteBytes(p, "[T_User0]\nMin=1\n; Kommentar\n");
         ASSERT_EQ(::truncate(p.c_str(), 100'000'000), 0);
       },
       "ist größer als jede Datei ihrer Art (mehr als 2 MiB). Es wurde nichts gelesen."},
      {"just over the limit", Path("knapp.PEG"),
       [](const std::string& p) {
         WriteBytes(p, "[T_User0]\nMin=1\n" + std::string(platform::kMaxParameterFileBytes, ';'));
       },
       "ist größer als jede Datei ihrer Art"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.make(c.path);
    dl::TempParams[0].Min = 3.0f;
    window.memo = {"bleibt"};
    window.errors.clear();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Load(c.path));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(1));
    ASSERT_EQ(window.errors.size(), 1u);
    EXPECT_NE(window.errors[0].find(c.message), std::string::npos) << window.errors[0];
    EXPECT_LT(window.errors[0].size(), 200u + c.path.size());
    EXPECT_EQ(dl::TempParams[0].Min, 3.0f);
    EXPECT_EQ(window.memo, std::vector<std::string>{"bleibt"});
  }
}

// Whatever the operator picks that is no regular file (a FIFO nobody writes to, a
// device, a folder, a socket, a link to one of them), or one byte over the limit:
// refused at once and named in the program's language; the set, its file and
// what the next save proposes stay.
TEST_F(ParameterFileTest, WhatIsNoParameterFileIsRefusedAtOnceInTheOperatorsLanguage) {
  using platform::testing::OddInput;
  const platform::testing::OddFiles odd_files(dir, "PEG", platform::FileKind::kParameterFile);
  const std::vector<platform::testing::OddInput>& inputs = odd_files.inputs;
  const std::string own = Path("eigene.PEG");
  Save(own);
  ASSERT_EQ(ParameterSetFile, own);
  for (int32_t language : {0, 1}) {
    Language = language;
    const std::string kind = language == 0 ? "Parameterdatei" : "Parameter file";
    for (const OddInput& input : inputs) {
      SCOPED_TRACE(std::to_string(language) + " " + input.what);
      dl::TempParams[0].Min = 3.0f;
      window.memo = {"bleibt"};
      window.errors.clear();
      const auto start = std::chrono::steady_clock::now();
      EXPECT_FALSE(Load(input.path));
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
      ASSERT_EQ(window.errors.size(), 1u);
      const std::string& error = window.errors[0];
      EXPECT_EQ(error.rfind(kind + " \"" + input.path + "\": ", 0), 0u) << error;
      EXPECT_NE(error.find(language == 0 ? input.german : input.english), std::string::npos)
          << error;
      EXPECT_EQ(dl::TempParams[0].Min, 3.0f);
      EXPECT_EQ(window.memo, std::vector<std::string>{"bleibt"});
      EXPECT_EQ(ParameterSetFile, own);
    }
  }
  window.proposed.clear();
  window.box_answers = {kIdCancel};
  Save(own);
  EXPECT_EQ(window.proposed, std::vector<std::string>{own});
}

// Every kind of save target: written, or refused before the overwrite question
// with a message that says why and that nothing changed; the old file, and what
// stands at the name, as they were.
TEST_F(ParameterFileTest, SaveTargets) {
  namespace t = platform::testing;
  const std::string old = "[T_User0]\r\nMin=5\r\n";
  const std::string device = t::OwnCharDevice(dir);
  t::MakeFifo(Path("fifo"));
  ASSERT_EQ(::mkdir(Path("ordner.PEG").c_str(), 0700), 0);
  WriteBytes(Path("echt.PEG"), old);
  WriteBytes(Path("regulaer.PEG"), old);
  WriteBytes(Path("schreibgeschuetzt.PEG"), old);
  ASSERT_EQ(::chmod(Path("schreibgeschuetzt.PEG").c_str(), 0444), 0);
  t::MakeLink(device, Path("geraet.PEG"));
  t::MakeLink(Path("fifo"), Path("fifo.PEG"));
  t::MakeLink(Path("echt.PEG"), Path("link.PEG"));
  t::MakeLink("neu/ziel.PEG", Path("verwaist.PEG"));
  ASSERT_EQ(::mkdir(Path("neu").c_str(), 0700), 0);
  t::MakeLink("schleife2.PEG", Path("schleife.PEG"));
  t::MakeLink("schleife.PEG", Path("schleife2.PEG"));
  // Before any save aims at the device.
  ASSERT_THROW(platform::CheckWriteTarget(Path("geraet.PEG"), platform::FileKind::kParameterFile),
               platform::FileError);
  struct Case {
    const char* name;
    const char* file;     // the regular file behind the name, written or kept
    const char* refused;  // the reason in the message; nullptr: written
    bool asked;           // written: the overwrite question came first
  };
  t::FifoRelease release({Path("fifo")});
  const Case cases[] = {
      {"regulaer.PEG", "regulaer.PEG", nullptr, true},
      {"link.PEG", "echt.PEG", nullptr, true},
      {"verwaist.PEG", "neu/ziel.PEG", nullptr, false},
      {"schreibgeschuetzt.PEG", "schreibgeschuetzt.PEG",
       "Die Datei ist schreibgeschützt. Sie bleibt unverändert; es wurde nichts geschrieben.",
       false},
      {"geraet.PEG", nullptr,
       "Das ist keine gewöhnliche Datei, sondern ein zeichenorientiertes Gerät. Es bleibt, wie es "
       "ist; es wurde nichts geschrieben.",
       false},
      {"fifo.PEG", nullptr, "sondern eine FIFO (benannte Pipe). Es bleibt, wie es ist", false},
      {"ordner.PEG", nullptr, "sondern ein Verzeichnis. Es bleibt, wie es ist", false},
      {"schleife.PEG", nullptr,
       "Die Datei kann nicht geschrieben werden: zu viele Links hintereinander. Eine vorhandene "
       "Datei ist unverändert.",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path(c.name);
    std::error_code ec;
    const std::filesystem::path link = std::filesystem::read_symlink(path, ec);
    window.errors.clear();
    window.boxes.clear();
    window.box_answers = {kIdOk};
    window.panels[0] = "vorher";
    ParameterSetFile = "vorher.PEG";
    dl::TempParams[0].Min = 7.5f;
    Save(path);
    EXPECT_EQ(std::filesystem::read_symlink(path, ec), link);  // a link stays a link
    if (c.refused != nullptr) {
      ASSERT_EQ(window.errors.size(), 1u);
      EXPECT_EQ(window.errors[0].rfind("Parameterdatei \"" + path + "\": ", 0), 0u);
      EXPECT_NE(window.errors[0].find(c.refused), std::string::npos) << window.errors[0];
      EXPECT_TRUE(window.boxes.empty());  // not asked to overwrite it
      if (c.file != nullptr) {
        EXPECT_EQ(ReadBytes(Path(c.file)), old);
      }
      EXPECT_EQ(ParameterSetFile, "vorher.PEG");
      EXPECT_EQ(window.panels[0], "vorher");
    } else {
      EXPECT_TRUE(window.errors.empty());
      EXPECT_EQ(window.boxes.size(), c.asked ? 1u : 0u);
      EXPECT_EQ(platform::TIniFile(Path(c.file)).ReadString("T_User0", "Min", ""), "7.5");
      EXPECT_EQ(ParameterSetFile, path);
    }
  }
  struct stat st;
  ASSERT_EQ(::stat(Path("schreibgeschuetzt.PEG").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_TRUE(t::IsCharDevice(device));
  EXPECT_TRUE(std::filesystem::is_fifo(Path("fifo")));
  EXPECT_TRUE(std::filesystem::is_empty(Path("ordner.PEG")));
  for (const std::string& name : dir.List()) EXPECT_NE(name.front(), '.') << name;
}

// The same as an ordinary user, whom the folder lets replace any file by a
// rename: his own set of mode 0444 is refused before the overwrite question.
TEST_F(ParameterFileTest, AnOrdinaryUsersWriteProtectedSetIsKept) {
  namespace t = platform::testing;
  const std::string old = "[T_User0]\r\nMin=5\r\n";
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  const std::string path = Path("kunde.PEG");
  WriteBytes(path, old);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), t::kOrdinaryUid, t::kOrdinaryGid), 0);
  }
  const std::string result = t::AsOrdinaryUser([&] {
    window.box_answers = {kIdOk};
    Save(path);
    return std::to_string(window.boxes.size()) + " questions; " +
           (window.errors.empty() ? std::string("no error") : window.errors[0]);
  });
  EXPECT_EQ(result, "0 questions; Parameterdatei \"" + path +
                        "\": Die Datei ist schreibgeschützt. Sie bleibt unverändert; es wurde "
                        "nichts geschrieben.");
  EXPECT_EQ(ReadBytes(path), old);
}

// A full file system: the message says so, the old file stays whole and no
// temporary file is left. A small file system of its own, mounted in a child
// with a mount namespace of its own (root only).
TEST_F(ParameterFileTest, SaveOnAFullFileSystem) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  const std::string folder = Path("klein");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const std::string result = platform::testing::InChild([&]() -> std::string {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=32k") != 0) {
      return "skip";
    }
    const std::string path = folder + "/voll.PEG";
    WriteBytes(path, "[T_User0]\r\nMin=5\r\n");
    // Fill what is left.
    const int fill = ::open((folder + "/fuellung").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string block(512, 'x');
    while (::write(fill, block.data(), block.size()) > 0) {
    }
    ::close(fill);
    window.box_answers = {kIdOk};
    Save(path);
    std::string names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      names += e.path().filename().string() + " ";
    return (window.errors.empty() ? std::string("no error") : window.errors[0]) + " | " +
           ReadBytes(path) + " | " + names;
  });
  if (result == "skip") GTEST_SKIP() << "no mount namespace here";
  const std::string path = folder + "/voll.PEG";
  EXPECT_EQ(result.substr(0, result.find(" | ")),
            "Parameterdatei \"" + path +
                "\": Die Datei kann nicht geschrieben werden: kein Platz mehr auf dem Datenträger. "
                "Eine vorhandene Datei ist unverändert.");
  EXPECT_NE(result.find(" | [T_User0]\r\nMin=5\r\n | "), std::string::npos) << result;
  EXPECT_TRUE(result.ends_with(" | fuellung voll.PEG ") ||
              result.ends_with(" | voll.PEG fuellung "))
      << result;
}

// A saved file holds the sections of the one list and no others, in its order;
// any one of them but the remarks makes a file a parameter file.
TEST_F(ParameterFileTest, TheSectionsOfASetComeFromOneList) {
  window.memo = {"eine Zeile"};
  Save(Path("alle.PEG"));
  EXPECT_EQ(platform::TIniFile(Path("alle.PEG")).ReadSections(), ParameterFileSections());
  for (const std::string& section : ParameterFileSections()) {
    WriteBytes(Path("eine.PEG"), "[" + section + "]\r\n");
    window.errors.clear();
    EXPECT_EQ(LoadAnyway(Path("eine.PEG")), section != "Bemerkung") << section;
  }
}

// ---------------------------------------------------------------------------
// A file as the program has always written it: Windows-1252, CRLF.

TEST_F(ParameterFileTest, LoadsAWindows1252FileWithCrLf) {
  const std::string fixture = std::string(VANDREL_TEST_DATA) + "/anlage_sued_1252.PEG";
  const std::string bytes = ReadBytes(fixture);
  ASSERT_NE(bytes.find("\r\n"), std::string::npos);
  ASSERT_NE(bytes.find('\xE4'), std::string::npos);  // "ä" as one byte

  ASSERT_TRUE(Load(fixture));
  ASSERT_TRUE(window.errors.empty()) << window.errors.front();
  EXPECT_EQ(dl::TempParams[0].Kind, 1);
  EXPECT_EQ(dl::TempParams[0].Min, -20.0f);
  EXPECT_EQ(dl::TempParams[0].Max, 120.0f);
  EXPECT_EQ(dl::PressureParams[0].Hyd, 101.325f);
  EXPECT_EQ(dl::FlowParams[0].MaxFreq, 5000);
  EXPECT_EQ(dl::FlowParams[0].KFak, 0.00001666667f);
  EXPECT_EQ(dl::FlowParams[0].TKK, 1.2345E-6f);
  EXPECT_EQ(dl::FlowParams[1].Max, 1.234568E7f);
  EXPECT_EQ(dl::GasCommon.Ho, 11.2f);
  EXPECT_EQ(dl::OutputParams[1].Max, 100000.0f);
  EXPECT_EQ(dl::UnitSwitches.Einheiten, 1);
  EXPECT_EQ(dl::UserUnits[1].Variant, 1);
  EXPECT_EQ(dl::UserUnits[1].Symbol, "  bar");
  EXPECT_EQ(dl::CorrectionFactors[1][3], 1.0125f);
  EXPECT_EQ(dl::LimitValues.U_Max, 1.4125f);
  EXPECT_EQ(dl::PresetValues[7], -273.15f);
  EXPECT_EQ(dl::DisplayEnable, (std::array<uint8_t, 4>{127, 63, 0, 0}));
  EXPECT_EQ(window.memo, (std::vector<std::string>{"Kesselhaus Süd, Zähler 2", "geprüft: 12.03.",
                                                   "Dichte in kg/m³"}));
}

// ---------------------------------------------------------------------------
// Defaults

TEST_F(ParameterFileTest, ResetThenSaveMatchesTheDefaultFiles) {
  struct Case {
    int32_t medium;
    const char* golden;
  };
  for (const Case& c : {Case{0, "reset_gas.PEG"}, Case{1, "reset_steam.PEG"}}) {
    SCOPED_TRACE(c.golden);
    Medium = c.medium;
    FillRecords(10, 2.5f);
    window.memo = {"weg"};
    window.panels[0] = "alt.PEG";
    ResetParameters();
    EXPECT_EQ(window.panels[0], "");
    EXPECT_TRUE(window.memo.empty());

    const std::string path = Path(c.golden);
    Save(path);
    ASSERT_TRUE(window.errors.empty());
    EXPECT_EQ(ReadBytes(path), ReadBytes(std::string(VANDREL_TEST_DATA) + "/" + c.golden));
  }
}

TEST_F(ParameterFileTest, ResetDefaultsTheUnitsAndTheDeviceMask) {
  struct Case {
    int32_t medium;
    bool online;
    uint8_t mask;
  };
  const std::vector<Case> cases = {{0, false, 1}, {1, false, 5}, {0, true, 0xA7}, {1, true, 0xA7}};
  for (const Case& c : cases) {
    Medium = c.medium;
    dl::DeviceOnline = c.online;
    dl::SystemParams.KindMask = 0xA7;
    dl::SystemParams.SystemTypeFlags = 0x42;
    dl::UserUnits[2] = {3, 1, '9', "?????", 7.0f, 7.0f};
    ResetParameters();
    EXPECT_EQ(dl::SystemParams.KindMask, c.mask) << c.medium << c.online;
    EXPECT_EQ(dl::SystemParams.SystemTypeFlags, 0x42);
    const auto& table = c.medium == 1 ? SteamUnitTable : GasUnitTable;
    for (size_t i = 0; i < 16; ++i) {
      const dl::TUserUnit& u = dl::UserUnits[i];
      EXPECT_EQ(u.Variant, 0) << i;
      EXPECT_EQ(u.Symbol, table[i].Symbol) << i;
      EXPECT_EQ(u.SymbolLength, table[i].SymbolLength) << i;
      EXPECT_EQ(u.Decimals, static_cast<uint8_t>(table[i].Decimals)) << i;
      EXPECT_EQ(u.Factor, table[i].Factor) << i;
      EXPECT_EQ(u.Offset, table[i].Offset) << i;
    }
  }
  // The tables differ in the density symbol.
  Medium = 1;
  ResetParameters();
  EXPECT_EQ(dl::UserUnits[2].Symbol, "kg/m3");
  EXPECT_EQ(dl::UserUnits[2].Decimals, '4');
  EXPECT_EQ(dl::UserUnits[12].Factor, 1000.0f);
}

}  // namespace
}  // namespace services
