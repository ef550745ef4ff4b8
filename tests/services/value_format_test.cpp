#include "services/value_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <locale>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "services/app_state.h"
#include "services/unit_tables.h"

namespace services {
namespace {

namespace QK = QuantityKind;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kDenormMin = std::numeric_limits<float>::denorm_min();

class ValueFormatTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    devicelink::ResetDeviceData();
    Medium = 0;
  }
};

// The unit settings a case runs with.
struct Units {
  int32_t medium = 0;
  bool user_on = false;
  uint8_t user_kind = 0;     // entry of UserUnits to set
  uint8_t user_variant = 0;  // its variant
};

void Apply(const Units& u) {
  devicelink::ResetDeviceData();
  Medium = u.medium;
  devicelink::UnitSwitches.Einheiten = u.user_on ? 1 : 0;
  devicelink::UserUnits.at(u.user_kind).Variant = u.user_variant;
}

struct FormatCase {
  const char* what;
  Units units;
  uint8_t kind;
  uint8_t with_unit;
  uint8_t trim_unit;
  float value;
  std::string expected;
};

const Units kGas{};
const Units kSteam{.medium = 1};
const Units kFahrenheit{.user_on = true, .user_kind = 0, .user_variant = 1};
const Units kPsi{.user_on = true, .user_kind = 1, .user_variant = 3};
const Units kPoundsPerHour{.user_on = true, .user_kind = 4, .user_variant = 9};

// clang-format off
const std::vector<FormatCase>& FormatCases() {
  static const std::vector<FormatCase> cases = {
      // Device units, the shapes of the three ranges.
      {"12.5 degC", kGas, QK::Temperature, 1, 1, 12.5f, "  12.5000    °C"},
      {"1234.5 degC", kGas, QK::Temperature, 1, 1, 1234.5f, "   1.2345E+3 °C"},
      {"0.0005 degC", kGas, QK::Temperature, 1, 1, 0.0005f, "   0.5000E-3 °C"},
      {"zero", kGas, QK::Temperature, 1, 1, 0.0f, "   0.0000    °C"},
      {"untrimmed unit", kGas, QK::Temperature, 1, 0, 12.5f, "  12.5000    °C     "},
      {"no unit", kGas, QK::Temperature, 0, 1, 12.5f, "  12.5000   "},
      {"withUnit 2 is not 1", kGas, QK::Temperature, 2, 1, 12.5f, "  12.5000   "},
      {"8-character unit text", kGas, QK::StandardVolumeFlow, 1, 1, 5.0f, "   5.0000    Nm³/h"},

      // Range boundaries.
      {"exactly 1000", kGas, QK::Pressure, 1, 1, 1000.0f, "   1.0000E+3 kPa"},
      {"just below 1000", kGas, QK::Pressure, 1, 1, 999.9999f, " 999.9999    kPa"},
      {"exactly 0.001f", kGas, QK::Pressure, 1, 1, 0.001f, "   1.0000E-3 kPa"},
      {"0.0011 stays", kGas, QK::Pressure, 1, 1, 0.0011f, "   0.0011    kPa"},
      {"0.0000014", kGas, QK::Pressure, 1, 1, 0.0000014f, "   0.0014E-3 kPa"},
      {"0.000001 two steps", kGas, QK::Pressure, 1, 1, 0.000001f, "   1.0000E-6 kPa"},
      {"1e6", kGas, QK::Pressure, 1, 1, 1.0e6f, "   1.0000E+6 kPa"},

      // Negative values keep their sign through the scaling.
      {"-0.0 has no sign", kGas, QK::Temperature, 1, 1, -0.0f, "   0.0000    °C"},
      {"-12.5", kGas, QK::Temperature, 1, 1, -12.5f, " -12.5000    °C"},
      {"-1234.5", kGas, QK::Temperature, 1, 1, -1234.5f, "  -1.2345E+3 °C"},
      {"-0.0005", kGas, QK::Temperature, 1, 1, -0.0005f, "  -0.5000E-3 °C"},
      {"-999.9999 fills the field", kGas, QK::Temperature, 0, 0, -999.9999f, "-999.9999   "},
      {"-40 degC is -40 degF", kFahrenheit, QK::Temperature, 1, 1, -40.0f, " -40.0000    °F"},
      {"-10 degC turns positive in degF", kFahrenheit, QK::Temperature, 1, 1, -10.0f,
       "  14.0000    °F"},

      // Plain numbers: no conversion, no unit, whatever the unit settings.
      {"kind 255", kGas, QK::PlainNumber, 1, 1, 12.5f, "  12.5000   "},
      {"kind 255 untrimmed", kGas, QK::PlainNumber, 1, 0, 12.5f, "  12.5000   "},
      {"kind 255 with user units", kFahrenheit, QK::PlainNumber, 1, 1, 20.0f, "  20.0000   "},

      // Factor 1000 of the device rows.
      {"calorific value", kGas, QK::CalorificValue, 1, 1, 11.5f, "  11.5000E+3 Wh/m³"},
      {"specific heat", kGas, QK::SpecificHeat, 1, 1, 2.1f, "   2.1000E+3 J/kgK"},
      {"steam density text", kSteam, QK::Density, 1, 1, 0.5f, "   0.5000    kg/m³"},

      // User units.
      {"20 degC in degF", kFahrenheit, QK::Temperature, 1, 1, 20.0f, "  68.0000    °F"},
      {"20 degC in degF untrimmed", kFahrenheit, QK::Temperature, 1, 0, 20.0f,
       "  68.0000    °F     "},
      {"0 degC in K", {.user_on = true, .user_kind = 0, .user_variant = 2}, QK::Temperature, 1, 1,
       0.0f, " 273.1500    K"},
      {"kPa in bar", {.user_on = true, .user_kind = 1, .user_variant = 1}, QK::Pressure, 1, 1,
       250.0f, "   2.5000    bar"},
      {"100 m3/h in actual cubic feet", {.user_on = true, .user_kind = 7, .user_variant = 6},
       QK::OperatingVolumeFlow, 1, 1, 100.0f, "   3.5315E+3 CF/h"},
      {"kind 12 ignores user entry 12", {.user_on = true, .user_kind = 12, .user_variant = 3},
       QK::CalorificValue, 1, 1, 1.5f, "   1.5000E+3 Wh/m³"},
      {"kind 15 ignores user entry 15", {.user_on = true, .user_kind = 15, .user_variant = 1},
       QK::Kelvin, 1, 1, 300.0f, " 300.0000    K"},
      {"variant without row: unconverted, no unit",
       {.user_on = true, .user_kind = 0, .user_variant = 3}, QK::Temperature, 1, 1, 20.0f,
       "  20.0000   "},
      {"user entry set but switch off", {.user_kind = 0, .user_variant = 1}, QK::Temperature, 1, 1,
       20.0f, "  20.0000    °C"},

      // Every step in 32-bit floats. Each value was found by searching for one whose
      // 4th decimal differs when the step named is done in double.
      {"product rounded before the offset: 512.0779 if fused", kFahrenheit, QK::Temperature, 1, 1,
       266.71f, " 512.0780    °F"},
      {"division by 1000 in float: 1.0026 in double", kFahrenheit, QK::Temperature, 1, 1, 539.25f,
       "   1.0027E+3 °F"},
      {"division by 1000 in float: 1.0347 in double", kPoundsPerHour, QK::MassFlow, 1, 1, 469.31f,
       "   1.0346E+3 lb/h"},
      {"product in float: 2.6933 in double", kPsi, QK::Pressure, 1, 1, 18.57f,
       "   2.6934    psi"},
      {"every step in float: 16.3964 in double", kFahrenheit, QK::Temperature, 1, 1, 9091.36f,
       "  16.3965E+3 °F"},

      // Exact halves at the 4th decimal round away from zero; to_chars alone would
      // take the ones before an even digit down. The others are no exact halves.
      {"1.28125 exact half up", kGas, QK::PlainNumber, 0, 0, 1.28125f, "   1.2813   "},
      {"0.03125 exact half up", kGas, QK::PlainNumber, 0, 0, 0.03125f, "   0.0313   "},
      {"-1.28125 exact half away from zero", kGas, QK::PlainNumber, 0, 0, -1.28125f,
       "  -1.2813   "},
      {"0.09375 exact half after an odd digit", kGas, QK::PlainNumber, 0, 0, 0.09375f,
       "   0.0938   "},
      {"1281.25 scaled to the exact half 1.28125", kGas, QK::PlainNumber, 0, 0, 1281.25f,
       "   1.2813E+3"},
      {"1.00005 is 1.0000499.. in float", kGas, QK::PlainNumber, 0, 0, 1.00005f, "   1.0000   "},
      {"2.00005 is 2.0000500.. in float", kGas, QK::PlainNumber, 0, 0, 2.00005f, "   2.0001   "},
      {"1.2578125 has no half at the 4th decimal", kGas, QK::PlainNumber, 0, 0, 1.2578125f,
       "   1.2578   "},
      {"limit 1.28125 in bar", {.user_on = true, .user_kind = 1, .user_variant = 1},
       QK::Pressure, 1, 1, 128.125f, "   1.2813    bar"},

      // Extremes.
      {"3e38", kGas, QK::PlainNumber, 0, 0, 3e38f, " 300.0000E+36"},
      {"largest float", kGas, QK::PlainNumber, 0, 0, std::numeric_limits<float>::max(),
       " 340.2823E+36"},
      {"-3e38", kGas, QK::PlainNumber, 0, 0, -3e38f, "-300.0000E+36"},
      {"smallest normal", kGas, QK::PlainNumber, 0, 0, std::numeric_limits<float>::min(),
       "   0.0118E-36"},
      {"smallest denormal", kGas, QK::PlainNumber, 0, 0, kDenormMin, "   0.0014E-42"},
      {"negative denormal", kGas, QK::PlainNumber, 0, 0, -kDenormMin, "  -0.0014E-42"},
      {"denormal 1e-40", kGas, QK::PlainNumber, 0, 0, 1e-40f, "   0.1000E-39"},

      // Not finite: NAN and nothing else, also when the factor overflows.
      {"NaN", kGas, QK::Temperature, 1, 1, kNaN, "NAN"},
      {"-NaN", kGas, QK::Temperature, 1, 0, -kNaN, "NAN"},
      {"+inf", kGas, QK::Temperature, 1, 1, kInf, "NAN"},
      {"-inf", kGas, QK::Temperature, 1, 1, -kInf, "NAN"},
      {"+inf plain", kGas, QK::PlainNumber, 1, 1, kInf, "NAN"},
      {"factor 1000 overflows", kGas, QK::CalorificValue, 1, 1, 3e38f, "NAN"},
      {"J factor overflows negative", {.user_on = true, .user_kind = 9, .user_variant = 2},
       QK::Energy, 1, 1, -1e33f, "NAN"},
  };
  return cases;
}
// clang-format on

void CheckFormatCases() {
  for (const FormatCase& c : FormatCases()) {
    Apply(c.units);
    EXPECT_EQ(FormatValue(c.kind, c.with_unit, c.trim_unit, c.value), c.expected) << c.what;
  }
}

TEST_F(ValueFormatTest, FormatValueCases) {
  CheckFormatCases();
}

// Restores the "C" locale however the test ends.
class GermanLocale {
 public:
  GermanLocale() { ok_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr; }
  ~GermanLocale() {
    std::setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

TEST_F(ValueFormatTest, FormatValueIgnoresTheLocale) {
  GermanLocale german;
  ASSERT_TRUE(german.ok()) << "locale de_DE.UTF-8 is missing; run scripts/setup.sh to generate it";
  std::locale::global(std::locale("de_DE.UTF-8"));
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");  // the locale is really in force
  CheckFormatCases();
  devicelink::TDeviceClock clock{
      .Year = 2024, .Month = 3, .Day = 7, .Hour = 9, .Minute = 5, .Second = 3};
  EXPECT_EQ(DeviceTimeToText(clock), "07.03.2024 09:05:03");
}

TEST_F(ValueFormatTest, GetUnitText) {
  struct Case {
    const char* what;
    Units units;
    uint8_t kind;
    bool trim;
    std::string expected;
  };
  const Case cases[] = {
      {"kind 255 untrimmed", kGas, QK::PlainNumber, false, "        "},
      {"kind 255 trimmed", kGas, QK::PlainNumber, true, "        "},
      {"degC untrimmed", kGas, QK::Temperature, false, " °C     "},
      {"degC trimmed keeps the leading blank", kGas, QK::Temperature, true, " °C"},
      {"user table, device unit", kFahrenheit, QK::StandardVolumeFlow, true, " Nm³/h"},
      {"user unit",
       {.user_on = true, .user_kind = 3, .user_variant = 1},
       QK::StandardVolumeFlow,
       false,
       " Nm³/min"},
      {"user unit without row",
       {.user_on = true, .user_kind = 4, .user_variant = 12},
       QK::MassFlow,
       false,
       ""},
      {"kind 18", kGas, 18, false, ""},
      {"kind 254", kGas, 254, true, ""},
      {"steam", kSteam, QK::OperatingVolumeFlow, true, " m³/h"},
  };
  for (const Case& c : cases) {
    Apply(c.units);
    EXPECT_EQ(GetUnitText(c.kind, c.trim), c.expected) << c.what;
  }
}

TEST_F(ValueFormatTest, DeviceTimeToText) {
  using devicelink::TDeviceClock;
  const std::string invalid = "??.??.???? ??:??:??";
  struct Case {
    TDeviceClock clock;
    std::string expected;
  };
  const Case cases[] = {
      {{.Year = 2024, .Month = 3, .Day = 7, .Hour = 9, .Minute = 5, .Second = 3},
       "07.03.2024 09:05:03"},
      {{.Year = 1999, .Month = 12, .Day = 31, .Hour = 23, .Minute = 59, .Second = 59},
       "31.12.1999 23:59:59"},
      {{.Year = 2024, .Month = 1, .Day = 10, .Hour = 10, .Minute = 10, .Second = 10},
       "10.01.2024 10:10:10"},
      {{.Year = 5, .Month = 1, .Day = 1, .Hour = 0, .Minute = 0, .Second = 0}, "01.01.5 00:00:00"},
      {{.Year = 2024, .Month = 13, .Day = 1}, invalid},
      {{.Year = 2024, .Month = 0, .Day = 1}, invalid},
      {{.Year = 2024, .Month = 1, .Day = 0}, invalid},
      {{.Year = 2024, .Month = 1, .Day = 32}, invalid},
      {{.Year = 2024, .Month = 65535, .Day = 65535}, invalid},
      {{}, invalid},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceTimeToText(c.clock), c.expected)
        << c.clock.Year << "-" << c.clock.Month << "-" << c.clock.Day;
  }
}

}  // namespace
}  // namespace services
