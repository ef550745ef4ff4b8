#include "services/unit_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/wire_values.h"
#include "services/app_state.h"
#include "tests/devicelink/link_fixture.h"

namespace services {
namespace {

namespace QK = QuantityKind;

std::size_t Chars(std::string_view s) {
  std::size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

std::string Trim(std::string_view s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

std::string Where(const TUnitRow& r) {
  return "kind " + std::to_string(r.Kind) + " variant " + std::to_string(r.Variant);
}

class UnitTablesTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    devicelink::ResetDeviceData();
    Medium = 0;
  }
};

TEST_F(UnitTablesTest, UserTableHasTheVariantsOfEachKindInOrder) {
  ASSERT_EQ(UserUnitTable.size(), 71u);
  const int variants[QK::Count] = {3, 5, 3, 9, 12, 3, 4, 9, 6, 9, 1, 1, 1, 1, 1, 1, 1, 1};
  std::size_t i = 0;
  for (uint8_t kind = 0; kind < QK::Count; ++kind) {
    for (int v = 0; v < variants[kind]; ++v, ++i) {
      ASSERT_LT(i, UserUnitTable.size());
      const TUnitRow& r = UserUnitTable.at(i);
      EXPECT_EQ(r.Kind, kind) << "row " << i;
      EXPECT_EQ(r.Variant, v) << "row " << i;
      EXPECT_EQ(r.Medium, kBothMedia) << "row " << i;
    }
  }
  EXPECT_EQ(i, UserUnitTable.size());
}

TEST_F(UnitTablesTest, DeviceTablesHoldOneDeviceUnitPerKind) {
  ASSERT_EQ(GasUnitTable.size(), 18u);
  ASSERT_EQ(SteamUnitTable.size(), 18u);
  for (const auto* table : {&GasUnitTable, &SteamUnitTable}) {
    for (std::size_t k = 0; k < table->size(); ++k) {
      const TUnitRow& r = table->at(k);
      EXPECT_EQ(r.Kind, k);
      EXPECT_EQ(r.Medium, 0);
      EXPECT_EQ(r.Variant, 0);
      EXPECT_EQ(r.Offset, 0.0f);
      const bool scaled = k == QK::CalorificValue || k == QK::SpecificHeat;
      EXPECT_EQ(r.Factor, scaled ? 1000.0f : 1.0f) << "kind " << k;
    }
  }
}

TEST_F(UnitTablesTest, SteamTableDiffersFromGasOnlyInThreeSymbols) {
  for (std::size_t k = 0; k < GasUnitTable.size(); ++k) {
    const TUnitRow& g = GasUnitTable.at(k);
    const TUnitRow& s = SteamUnitTable.at(k);
    EXPECT_EQ(g.SymbolLength, s.SymbolLength) << k;
    EXPECT_EQ(g.Decimals, s.Decimals) << k;
    EXPECT_EQ(g.Factor, s.Factor) << k;
    EXPECT_EQ(g.Text, s.Text) << k;
    if (k != QK::Density && k != QK::OperatingVolumeFlow && k != QK::CalorificValue) {
      EXPECT_EQ(g.Symbol, s.Symbol) << k;
    }
  }
  EXPECT_EQ(GasUnitTable.at(QK::Density).Symbol, "kg/m³");
  EXPECT_EQ(SteamUnitTable.at(QK::Density).Symbol, "kg/m3");
  EXPECT_EQ(GasUnitTable.at(QK::OperatingVolumeFlow).Symbol, " m³/h");
  EXPECT_EQ(SteamUnitTable.at(QK::OperatingVolumeFlow).Symbol, " m3/h");
  EXPECT_EQ(GasUnitTable.at(QK::CalorificValue).Symbol, "Wh/m³");
  EXPECT_EQ(SteamUnitTable.at(QK::CalorificValue).Symbol, "Wh/m3");
}

// Symbols are 5 characters right-aligned, texts 8 characters after one blank; the
// symbol length byte counts the symbol, except for "MJ" and "GJ", which the device
// has as 3; only density is shown with 4 decimals.
TEST_F(UnitTablesTest, EveryRowIsWellFormed) {
  const auto check = [](const TUnitRow& r, bool user_table) {
    EXPECT_EQ(Chars(r.Symbol), 5u) << Where(r) << " [" << r.Symbol << "]";
    EXPECT_NE(r.Symbol.back(), ' ') << Where(r);
    EXPECT_EQ(Chars(r.Text), 8u) << Where(r) << " [" << r.Text << "]";
    EXPECT_EQ(r.Text.front(), ' ') << Where(r);
    EXPECT_NE(r.Text.at(1), ' ') << Where(r);
    const bool mj_gj = user_table && r.Kind == QK::Energy && (r.Variant == 4 || r.Variant == 5);
    EXPECT_EQ(r.SymbolLength, mj_gj ? 3u : Chars(Trim(r.Symbol))) << Where(r);
    EXPECT_EQ(r.Decimals, r.Kind == QK::Density ? '4' : '2') << Where(r);
    EXPECT_TRUE(std::isfinite(r.Factor) && r.Factor > 0) << Where(r);
  };
  for (const TUnitRow& r : UserUnitTable) check(r, true);
  for (const TUnitRow& r : GasUnitTable) check(r, false);
  for (const TUnitRow& r : SteamUnitTable) check(r, false);
}

// Every row in table order, as the device and the operator know it.
TEST_F(UnitTablesTest, UserRowsAsListed) {
  struct Case {
    uint8_t kind;
    uint8_t variant;
    std::string symbol;  // without padding
    uint8_t symbol_length;
    char decimals;
    float factor;
    float offset;
    std::string text;  // without padding
  };
  // clang-format off
  const Case cases[] = {
      {0, 0, "°C", 2, '2', 1.0f, 0.0f, "°C"},
      {0, 1, "°F", 2, '2', 1.8f, 32.0f, "°F"},
      {0, 2, "K", 1, '2', 1.0f, 273.15f, "K"},
      {1, 0, "kPa", 3, '2', 1.0f, 0.0f, "kPa"},
      {1, 1, "bar", 3, '2', 0.01f, 0.0f, "bar"},
      {1, 2, "mbar", 4, '2', 10.0f, 0.0f, "mbar"},
      {1, 3, "psi", 3, '2', 0.1450377f, 0.0f, "psi"},
      {1, 4, "mWS", 3, '2', 0.1019716f, 0.0f, "mWS"},
      {2, 0, "kg/m3", 5, '4', 1.0f, 0.0f, "kg/m³"},
      {2, 1, "kg/l", 4, '4', 0.001f, 0.0f, "kg/l"},
      {2, 2, "g/m3", 4, '4', 1000.0f, 0.0f, "g/m³"},
      {3, 0, "Nm3/h", 5, '2', 1.0f, 0.0f, "Nm³/h"},
      {3, 1, "Nm3/M", 5, '2', 0.016666668f, 0.0f, "Nm³/min"},
      {3, 2, "Nm3/s", 5, '2', 0.00027777778f, 0.0f, "Nm³/s"},
      {3, 3, "Nl/h", 4, '2', 1000.0f, 0.0f, "Nl/h"},
      {3, 4, "Nl/M", 4, '2', 16.666666f, 0.0f, "Nl/min"},
      {3, 5, "Nl/s", 4, '2', 0.2777778f, 0.0f, "Nl/s"},
      {3, 6, "SCF/h", 5, '2', 38.0441f, 0.0f, "SCF/h"},
      {3, 7, "SCF/M", 5, '2', 0.6340683f, 0.0f, "SCF/min"},
      {3, 8, "SCF/s", 5, '2', 0.010567806f, 0.0f, "SCF/s"},
      {4, 0, "kg/h", 4, '2', 1.0f, 0.0f, "kg/h"},
      {4, 1, "kg/M", 4, '2', 0.016666668f, 0.0f, "kg/min"},
      {4, 2, "kg/s", 4, '2', 0.00027777778f, 0.0f, "kg/s"},
      {4, 3, "g/h", 3, '2', 1000.0f, 0.0f, "g/h"},
      {4, 4, "g/M", 3, '2', 16.666666f, 0.0f, "g/min"},
      {4, 5, "g/s", 3, '2', 0.2777778f, 0.0f, "g/s"},
      {4, 6, "t/h", 3, '2', 0.001f, 0.0f, "t/h"},
      {4, 7, "t/M", 3, '2', 1.6666667E-5f, 0.0f, "t/min"},
      {4, 8, "t/s", 3, '2', 2.777778E-7f, 0.0f, "t/s"},
      {4, 9, "lb/h", 4, '2', 2.2046196f, 0.0f, "lb/h"},
      {4, 10, "lb/M", 4, '2', 0.036743663f, 0.0f, "lb/min"},
      {4, 11, "lb/s", 4, '2', 0.00061239436f, 0.0f, "lb/s"},
      {5, 0, "Nm3", 3, '2', 1.0f, 0.0f, "Nm³"},
      {5, 1, "l", 1, '2', 1000.0f, 0.0f, "Nl"},
      {5, 2, "SCF", 3, '2', 38.0441f, 0.0f, "SCF"},
      {6, 0, "kg", 2, '2', 1.0f, 0.0f, "kg"},
      {6, 1, "g", 1, '2', 1000.0f, 0.0f, "g"},
      {6, 2, "t", 1, '2', 0.001f, 0.0f, "t"},
      {6, 3, "lb", 2, '2', 2.2046196f, 0.0f, "lb"},
      {7, 0, "m3/h", 4, '2', 1.0f, 0.0f, "m³/h"},
      {7, 1, "m3/M", 4, '2', 0.016666668f, 0.0f, "m³/min"},
      {7, 2, "m3/s", 4, '2', 0.00027777778f, 0.0f, "m³/s"},
      {7, 3, "l/h", 3, '2', 1000.0f, 0.0f, "l/h"},
      {7, 4, "l/M", 3, '2', 16.666666f, 0.0f, "l/min"},
      {7, 5, "l/s", 3, '2', 0.2777778f, 0.0f, "l/s"},
      {7, 6, "CF/h", 4, '2', 35.31467f, 0.0f, "CF/h"},
      {7, 7, "CF/M", 4, '2', 0.5885778f, 0.0f, "CF/min"},
      {7, 8, "CF/s", 4, '2', 0.009809630f, 0.0f, "CF/s"},
      {8, 0, "kW", 2, '2', 1.0f, 0.0f, "kW"},
      {8, 1, "MW", 2, '2', 0.001f, 0.0f, "MW"},
      {8, 2, "W", 1, '2', 1000.0f, 0.0f, "W"},
      {8, 3, "PS", 2, '2', 1.3596216f, 0.0f, "PS"},
      {8, 4, "cal/s", 5, '2', 238.8459f, 0.0f, "cal/s"},
      {8, 5, "kcl/h", 5, '2', 859.8452f, 0.0f, "kcal/h"},
      {9, 0, "kWh", 3, '2', 1.0f, 0.0f, "kWh"},
      {9, 1, "MWh", 3, '2', 0.001f, 0.0f, "MWh"},
      {9, 2, "J", 1, '2', 3600000.0f, 0.0f, "J"},
      {9, 3, "kJ", 2, '2', 3600.0f, 0.0f, "kJ"},
      {9, 4, "MJ", 3, '2', 3.6f, 0.0f, "MJ"},
      {9, 5, "GJ", 3, '2', 0.0036f, 0.0f, "GJ"},
      {9, 6, "cal", 3, '2', 859845.25f, 0.0f, "cal"},
      {9, 7, "kcal", 4, '2', 859.8452f, 0.0f, "kcal"},
      {9, 8, "Btu", 3, '2', 3412.128f, 0.0f, "Btu"},
      {10, 0, "Imp/l", 5, '2', 1.0f, 0.0f, "Imp/l"},
      {11, 0, "1/K", 3, '2', 1.0f, 0.0f, "1/K"},
      {12, 0, "Wh/m3", 5, '2', 1000.0f, 0.0f, "Wh/m³"},
      {13, 0, "mol%", 4, '2', 1.0f, 0.0f, "mol%"},
      {14, 0, "J/kgK", 5, '2', 1000.0f, 0.0f, "J/kgK"},
      {15, 0, "K", 1, '2', 1.0f, 0.0f, "K"},
      {16, 0, "Hz", 2, '2', 1.0f, 0.0f, "Hz"},
      {17, 0, "mA", 2, '2', 1.0f, 0.0f, "mA"},
  };
  // clang-format on
  ASSERT_EQ(std::size(cases), UserUnitTable.size());
  for (std::size_t i = 0; i < UserUnitTable.size(); ++i) {
    const Case& c = cases[i];
    const TUnitRow& r = UserUnitTable.at(i);
    SCOPED_TRACE(Where(r));
    EXPECT_EQ(r.Kind, c.kind);
    EXPECT_EQ(r.Variant, c.variant);
    EXPECT_EQ(Trim(r.Symbol), c.symbol);
    EXPECT_EQ(r.SymbolLength, c.symbol_length);
    EXPECT_EQ(r.Decimals, c.decimals);
    EXPECT_EQ(r.Factor, c.factor);
    EXPECT_EQ(r.Offset, c.offset);
    EXPECT_EQ(Trim(r.Text), c.text);
  }
}

// An operating volume is an actual volume: one cubic metre is 35.31467 cubic feet
// at any temperature, unlike the standard cubic feet of the SCF rows.
TEST_F(UnitTablesTest, OperatingCubicFeetAreActualCubicFeet) {
  for (uint8_t step = 0; step < 3; ++step) {  // per hour, minute, second
    const TUnitRow* cubic_metres = FindUserUnitRow(QK::OperatingVolumeFlow, step);
    const TUnitRow* cubic_feet = FindUserUnitRow(QK::OperatingVolumeFlow, 6 + step);
    const TUnitRow* standard = FindUserUnitRow(QK::StandardVolumeFlow, 6 + step);
    ASSERT_TRUE(cubic_metres && cubic_feet && standard);
    const double expected = 35.31467 * cubic_metres->Factor;
    EXPECT_LT(std::fabs(cubic_feet->Factor - expected), 1e-6 * expected) << Where(*cubic_feet);
    EXPECT_NE(cubic_feet->Factor, standard->Factor) << Where(*cubic_feet);
  }
}

// Independent of the listed digits: per-minute and per-second factors are the
// per-hour factor / 60 and / 3600, and a quantity and its flow share their factor.
TEST_F(UnitTablesTest, FactorsAgreeWithEachOther) {
  const auto factor = [](uint8_t kind, uint8_t variant) {
    const TUnitRow* r = FindUserUnitRow(kind, variant);
    EXPECT_NE(r, nullptr) << int(kind) << "/" << int(variant);
    return r ? double(r->Factor) : 0.0;
  };
  const auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-6 * std::fabs(b); };
  struct PerHour {
    uint8_t kind;
    uint8_t first_variant;  // per hour; the next two are per minute and per second
  };
  const PerHour groups[] = {{3, 0}, {3, 3}, {3, 6}, {4, 0}, {4, 3},
                            {4, 6}, {4, 9}, {7, 0}, {7, 3}, {7, 6}};
  for (const PerHour& g : groups) {
    const double h = factor(g.kind, g.first_variant);
    EXPECT_TRUE(near(factor(g.kind, g.first_variant + 1), h / 60))
        << int(g.kind) << "/" << int(g.first_variant);
    EXPECT_TRUE(near(factor(g.kind, g.first_variant + 2), h / 3600))
        << int(g.kind) << "/" << int(g.first_variant);
  }
  EXPECT_EQ(factor(5, 2), factor(3, 6));                 // SCF, SCF/h
  EXPECT_EQ(factor(6, 3), factor(4, 9));                 // lb, lb/h
  EXPECT_EQ(factor(9, 7), factor(8, 5));                 // kcal, kcal/h
  EXPECT_TRUE(near(factor(9, 6), 1000 * factor(9, 7)));  // cal, kcal
  EXPECT_TRUE(near(factor(8, 5), 3.6 * factor(8, 4)));   // kcal/h, cal/s
  EXPECT_TRUE(near(factor(9, 2), 1000 * factor(9, 3)));  // J, kJ
  EXPECT_TRUE(near(factor(9, 4), 1000 * factor(9, 5)));  // MJ, GJ
}

TEST_F(UnitTablesTest, WithoutUserUnitsTheDeviceTableOfTheMediumApplies) {
  devicelink::UserUnits.at(0).Variant = 1;  // ignored while the switch is off
  devicelink::UnitSwitches.Kind = 1;        // not the switch: that is the second byte
  for (uint8_t k = 0; k < QK::Count; ++k) {
    Medium = 0;
    EXPECT_EQ(FindUnitRow(k), &GasUnitTable.at(k)) << int(k);
    Medium = 1;
    EXPECT_EQ(FindUnitRow(k), &SteamUnitTable.at(k)) << int(k);
  }
}

TEST_F(UnitTablesTest, UserUnitsPickTheChosenVariantBelowKind10) {
  devicelink::UnitSwitches.Einheiten = 2;  // any non-zero value switches them on
  for (const TUnitRow& row : UserUnitTable) {
    if (row.Kind >= QK::UserSelectable) continue;
    devicelink::UserUnits.at(row.Kind).Variant = row.Variant;
    for (int32_t medium : {0, 1}) {
      Medium = medium;
      EXPECT_EQ(FindUnitRow(row.Kind), &row) << Where(row) << " medium " << medium;
    }
  }
}

TEST_F(UnitTablesTest, UserUnitsOnFromKind10TheDeviceTableApplies) {
  devicelink::UnitSwitches.Einheiten = 1;
  for (auto& entry : devicelink::UserUnits) entry.Variant = 3;  // kinds 10.. have only 0
  for (uint8_t k = QK::UserSelectable; k < QK::Count; ++k) {
    Medium = 0;
    EXPECT_EQ(FindUnitRow(k), &GasUnitTable.at(k)) << int(k);
    Medium = 1;
    EXPECT_EQ(FindUnitRow(k), &SteamUnitTable.at(k)) << int(k);
  }
}

TEST_F(UnitTablesTest, NoRow) {
  devicelink::UnitSwitches.Einheiten = 1;
  devicelink::UserUnits.at(QK::Temperature).Variant = 3;  // kind 0 has variants 0..2
  devicelink::UserUnits.at(QK::MassFlow).Variant = 12;    // kind 4 has 0..11
  devicelink::UserUnits.at(QK::Energy).Variant = 255;
  EXPECT_EQ(FindUnitRow(QK::Temperature), nullptr);
  EXPECT_EQ(FindUnitRow(QK::MassFlow), nullptr);
  EXPECT_EQ(FindUnitRow(QK::Energy), nullptr);
  for (uint8_t kind : {uint8_t{18}, uint8_t{100}, uint8_t{254}, QK::PlainNumber}) {
    devicelink::UnitSwitches.Einheiten = 1;
    EXPECT_EQ(FindUnitRow(kind), nullptr) << int(kind);
    devicelink::UnitSwitches.Einheiten = 0;
    EXPECT_EQ(FindUnitRow(kind), nullptr) << int(kind);
    EXPECT_EQ(FindUserUnitRow(kind, 0), nullptr) << int(kind);
  }
  EXPECT_EQ(FindUserUnitRow(QK::Temperature, 3), nullptr);
  EXPECT_EQ(FindUserUnitRow(QK::MassFlow, 12), nullptr);
  EXPECT_EQ(FindUserUnitRow(QK::Current, 1), nullptr);
}

TEST_F(UnitTablesTest, FindUserUnitRowServesBothMedia) {
  for (int32_t medium : {0, 1}) {
    Medium = medium;
    EXPECT_EQ(FindUserUnitRow(QK::Temperature, 0), &UserUnitTable.front());
    EXPECT_EQ(FindUserUnitRow(QK::Current, 0), &UserUnitTable.back());
    EXPECT_EQ(FindUserUnitRow(QK::MassFlow, 11), &UserUnitTable.at(31));
  }
}

class UserUnitWireTest : public devicelink::testing::LinkTest {
 protected:
  void TearDown() override {
    Medium = 0;
    LinkTest::TearDown();
  }
};

// The device converts with the factor it is sent: CF/h must reach it as 35.31467.
TEST_F(UserUnitWireTest, CubicFeetPerHourReachTheDeviceWithTheActualFactor) {
  devicelink::TRun run;
  devicelink::TRun::TWholeSet own_set(run);  // records set by the test, not read from the device
  const TUnitRow* row = FindUserUnitRow(QK::OperatingVolumeFlow, 6);
  ASSERT_NE(row, nullptr);
  devicelink::UserUnits.at(QK::OperatingVolumeFlow) = UserUnitOf(*row);
  ASSERT_TRUE(devicelink::WriteUserUnit(QK::OperatingVolumeFlow));

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::vector<uint8_t>& frame = requests[0].request;
  ASSERT_EQ(frame.size(), 4u + 16u + 2u);
  EXPECT_EQ(frame[1] << 8 | frame[2], 0x9000 + 16 * QK::OperatingVolumeFlow);
  const std::string data(frame.begin() + 4, frame.begin() + 20);
  EXPECT_EQ(data.substr(0, 3), std::string("\x06\x04") + '2');  // variant, length, decimals
  EXPECT_EQ(data.substr(3, 5), " CF/h");
  EXPECT_EQ(data.substr(8, 4), devicelink::SingleToBytes(35.31467f));
  EXPECT_EQ(data.substr(12, 4), devicelink::SingleToBytes(0.0f));
}

}  // namespace
}  // namespace services
