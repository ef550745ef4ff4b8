#include "tools/flowsim/presets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "sim_fixture.h"
#include "tools/flowsim/device_map.h"

namespace flowsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FloatAt;

std::string Text(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

struct PresetCase {
  const char* name;
  DeviceSetup setup;
  const char* identification;
  std::uint8_t flags;   // SystemTypeFlags
  int firstMediumKind;  // 0..8 gas, 9..15 steam
  const char* densitySymbol;
  friend void PrintTo(const PresetCase& c, std::ostream* os) { *os << c.name; }
};

class PresetTest : public ::testing::TestWithParam<PresetCase> {
 protected:
  test::ManualClock clock;
};

TEST_P(PresetTest, BlocksMatchTheDevice) {
  const PresetCase& c = GetParam();
  auto sim = test::MakeSimulator(clock, c.setup);
  EXPECT_EQ(Text(sim->ReadMemory(0x80B0, 8)), c.identification);

  const Bytes system = sim->ReadMemory(0x80A0, 16);
  EXPECT_EQ(system[0], c.flags);
  EXPECT_EQ((system[0] & 0xC0) != 0, c.setup.singleCircuit);
  EXPECT_EQ(system[0] & 0x3E, 0) << "the device keeps trend settings";
  EXPECT_EQ(system[2] & 0x01, 0x01) << "system type 0 is allowed";
  EXPECT_EQ(system[3] & system[2], system[3]);
  EXPECT_FLOAT_EQ(FloatAt(system, 8), 1.0f);

  for (int ch = 0; ch < 2; ++ch) {
    const int kind = sim->ReadMemory(static_cast<std::uint16_t>(0x82C0 + 32 * ch), 32)[3];
    EXPECT_EQ(kind, c.firstMediumKind);
  }

  // Serial number: 16 printable characters.
  for (std::uint8_t ch : sim->ReadMemory(0x8FC0, 16)) EXPECT_GE(ch, 32);

  // User units: the device units, 5 characters right-aligned in single-byte text.
  const Bytes celsius = sim->ReadMemory(0x9000, 16);
  EXPECT_EQ(celsius[0], 0);
  EXPECT_EQ(celsius[1], 2);
  EXPECT_EQ(celsius[2], '2');
  EXPECT_EQ(Text(Bytes(celsius.begin() + 3, celsius.begin() + 8)),
            "   \xB0"
            "C");
  EXPECT_FLOAT_EQ(FloatAt(celsius, 8), 1.0f);
  const Bytes density = sim->ReadMemory(0x9020, 16);
  EXPECT_EQ(density[2], '4');
  EXPECT_EQ(Text(Bytes(density.begin() + 3, density.begin() + 8)), c.densitySymbol);
  EXPECT_FLOAT_EQ(FloatAt(sim->ReadMemory(0x90C0, 16), 8), 1000.0f);  // calorific value

  // Correction factors and limits inside the ranges the program accepts.
  for (int k = 0; k < 8; ++k) EXPECT_FLOAT_EQ(FloatAt(sim->ReadMemory(0x8200, 32), 4 * k), 1.0f);
  const Bytes limits = sim->ReadMemory(0x80C0, 16);
  EXPECT_FLOAT_EQ(FloatAt(limits, 0), 1.4125f);
  EXPECT_FLOAT_EQ(FloatAt(limits, 12), 0.225f);
}

TEST_P(PresetTest, NoNegativeOrInvalidSingles) {
  // The program warns about every negative value it shows, and shows them all.
  struct Floats {
    std::uint16_t address;
    int first;  // byte offset of the first single
    int count;
    int repeat;
    int stride;
  };
  const Floats blocks[] = {
      {0x8100, 4, 7, 2, 32}, {0x8180, 4, 7, 2, 32},  {0x8060, 4, 7, 2, 32}, {0x81C0, 0, 8, 2, 32},
      {0x82C0, 4, 7, 2, 32}, {0x80F0, 0, 4, 1, 0},   {0x8040, 4, 3, 2, 16}, {0x8000, 4, 3, 4, 16},
      {0x8140, 4, 1, 2, 8},  {0x8150, 0, 4, 2, 16},  {0x8200, 0, 8, 2, 32}, {0x80C0, 0, 4, 1, 0},
      {0x80A0, 8, 2, 1, 0},  {0x9000, 8, 2, 16, 16}, {0x9120, 0, 8, 1, 0},  {0xF800, 0, 15, 2, 80},
      {0xF840, 0, 4, 2, 80}, {0xF900, 0, 4, 1, 0},
  };
  auto sim = test::MakeSimulator(clock, GetParam().setup);
  for (const Floats& b : blocks) {
    for (int r = 0; r < b.repeat; ++r) {
      const auto address = static_cast<std::uint16_t>(b.address + r * b.stride);
      const Bytes data = sim->ReadMemory(address, static_cast<std::size_t>(b.first + 4 * b.count));
      for (int i = 0; i < b.count; ++i) {
        const float v = FloatAt(data, static_cast<std::size_t>(b.first + 4 * i));
        EXPECT_TRUE(std::isfinite(v) && v >= 0)
            << std::hex << address + b.first + 4 * i << ": " << v;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PresetTest,
    ::testing::Values(
        PresetCase{"gas_dual", {DeviceModel::Gas, false}, "MV-NGX7 ", 0x00, 6, "kg/m\xB3"},
        PresetCase{"gas_single", {DeviceModel::Gas, true}, "MV-NGX7 ", 0x40, 6, "kg/m\xB3"},
        PresetCase{"steam_dual", {DeviceModel::Steam, false}, "MV-HTX7 ", 0x00, 9, "kg/m3"},
        PresetCase{"steam_single", {DeviceModel::Steam, true}, "MV-HTX7 ", 0x40, 9, "kg/m3"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TickCase {
  CivilTime start;
  int advanceMs;
  Bytes digits;  // second, minute, hour, day, month, year: units then tens
};

TEST(DeviceClockTest, DigitsTickAcrossBoundaries) {
  const TickCase cases[] = {
      {{2024, 3, 14, 12, 34, 59}, 1'000, {0, 0, 5, 3, 2, 1, 4, 1, 3, 0, 4, 2}},
      {{2024, 3, 14, 12, 59, 58}, 2'500, {0, 0, 0, 0, 3, 1, 4, 1, 3, 0, 4, 2}},
      {{2023, 12, 31, 23, 59, 59}, 1'000, {0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 4, 2}},
      {{2024, 2, 28, 23, 59, 30}, 45'000, {5, 1, 0, 0, 0, 0, 9, 2, 2, 0, 4, 2}},
      {{2023, 2, 28, 23, 59, 59}, 1'000, {0, 0, 0, 0, 0, 0, 1, 0, 3, 0, 3, 2}},
      {{2007, 12, 13, 23, 59, 45}, 999, {5, 4, 9, 5, 3, 2, 3, 1, 2, 1, 7, 0}},
  };
  for (const TickCase& c : cases) {
    test::ManualClock clock;
    auto sim = test::MakeSimulator(clock, {}, c.start);
    clock.ms += c.advanceMs;
    EXPECT_EQ(sim->ReadMemory(0xA000, 12), c.digits)
        << c.start.year << "-" << c.start.month << "-" << c.start.day << " " << c.start.hour << ":"
        << c.start.minute << ":" << c.start.second << " +" << c.advanceMs << " ms";
  }
}

TEST(DeviceClockTest, DecodesOnlyRealTimes) {
  const std::array<std::uint8_t, 12> valid = {5, 4, 9, 5, 3, 2, 3, 1, 2, 1, 7, 0};
  EXPECT_EQ(DecodeClockDigits(valid), (CivilTime{2007, 12, 13, 23, 59, 45}));
  // The high nibble is not part of the digit.
  std::array<std::uint8_t, 12> nibbles = valid;
  for (auto& d : nibbles) d |= 0x30;
  EXPECT_EQ(DecodeClockDigits(nibbles), (CivilTime{2007, 12, 13, 23, 59, 45}));
  std::array<std::uint8_t, 12> tooBig = valid;
  tooBig[1] = 0x0A;
  EXPECT_FALSE(DecodeClockDigits(tooBig).has_value());
  std::array<std::uint8_t, 12> year99 = valid;
  year99[10] = 9;
  year99[11] = 9;
  EXPECT_EQ(DecodeClockDigits(year99)->year, 1999);
}

class LiveValuesTest : public ::testing::Test {
 protected:
  test::ManualClock clock;
};

struct Band {
  int offset;
  double low;
  double high;
};

TEST_F(LiveValuesTest, ValuesMoveWithinPlausibleBands) {
  struct DeviceBands {
    DeviceSetup setup;
    std::vector<Band> bands;
  };
  const DeviceBands devices[] = {
      {{DeviceModel::Gas, false},
       {{24, 287.0, 289.5}, {20, 395, 405}, {16, 2.5, 3.5}, {48, 300, 400}, {36, 230, 320}}},
      {{DeviceModel::Steam, false},
       {{24, 452.0, 454.5}, {20, 990, 1010}, {36, 2400, 2600}, {48, 1700, 2050}, {64, 367, 369.5}}},
  };
  for (const DeviceBands& d : devices) {
    auto sim = test::MakeSimulator(clock, d.setup);
    std::vector<std::vector<float>> seen(d.bands.size());
    for (int step = 0; step < 40; ++step) {
      clock.ms += 17'000;
      const Bytes live = sim->ReadMemory(0xF800, 80);
      for (std::size_t i = 0; i < d.bands.size(); ++i) {
        const float v = FloatAt(live, d.bands[i].offset);
        EXPECT_GE(v, d.bands[i].low) << "offset " << d.bands[i].offset;
        EXPECT_LE(v, d.bands[i].high) << "offset " << d.bands[i].offset;
        seen[i].push_back(v);
      }
    }
    for (const auto& values : seen) {
      const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
      EXPECT_GT(*hi - *lo, 0.0f) << "a live value that never changes";
    }
  }
}

TEST_F(LiveValuesTest, TotalsAndOperatingTimeAdvance) {
  auto sim = test::MakeSimulator(clock);
  auto total = [](const Bytes& b, int offset) {
    return static_cast<double>(FloatAt(b, offset)) + FloatAt(b, offset + 4);
  };
  auto seconds = [](const Bytes& b) {
    return std::uint32_t{b[60]} << 24 | std::uint32_t{b[61]} << 16 | std::uint32_t{b[62]} << 8 |
           b[63];
  };
  const Bytes before = sim->ReadMemory(0xF800, 80);
  clock.ms += 3'600'000;
  const Bytes after = sim->ReadMemory(0xF800, 80);
  // One hour at about 350 Nm³/h and 276 kg/h.
  EXPECT_NEAR(total(after, 52) - total(before, 52), 350, 15);
  EXPECT_NEAR(total(after, 40) - total(before, 40), 350 * 0.79, 15);
  EXPECT_EQ(seconds(after) - seconds(before), 3600u);
}

TEST_F(LiveValuesTest, SingleCircuitDeviceMeasuresOnlyCircuitOne) {
  auto sim = test::MakeSimulator(clock, {DeviceModel::Steam, true});
  EXPECT_GT(FloatAt(sim->ReadMemory(0xF800, 80), 24), 400.0f);
  EXPECT_EQ(sim->ReadMemory(0xF850, 80), Bytes(80, 0));
  const Bytes currents = sim->ReadMemory(0xF900, 16);
  EXPECT_GE(FloatAt(currents, 0), 4.0f);
  EXPECT_LE(FloatAt(currents, 0), 20.0f);
  EXPECT_EQ(FloatAt(currents, 8), 0.0f);
}

class RecordsTest : public ::testing::Test {
 protected:
  test::ManualClock clock;
  std::unique_ptr<FlowSimulator> sim = test::MakeSimulator(clock);
};

// The checks the program applies to a trend stamp.
bool ValidStamp(const Bytes& s) {
  return s[0] <= 2 && s[1] >= 1 && s[1] <= 100 && s[3] >= 1 && s[3] <= 12 && s[4] >= 1 &&
         s[4] <= 31 && s[5] <= 23 && s[6] <= 59 && s[7] <= 60;
}

TEST_F(RecordsTest, TrendRingHoldsValidAndEmptyBlocks) {
  const Bytes header = sim->ReadMemory(0x0000, 36);
  const int newest = header[1];
  ASSERT_LT(newest, 44);
  int valid = 0;
  for (int k = 0; k < 44; ++k) {
    const auto address = static_cast<std::uint16_t>(0x0024 + 728 * k);
    const Bytes stamp = sim->ReadMemory(address, 8);
    if (!ValidStamp(stamp)) continue;
    ++valid;
    EXPECT_LE(k, newest) << "ring not yet wrapped";
    const Bytes temps = sim->ReadMemory(static_cast<std::uint16_t>(address + 8), 120);
    for (int j = 0; j < stamp[7]; ++j) {
      const int t = temps[2 * j] << 8 | temps[2 * j + 1];  // 0.1 K
      EXPECT_NEAR(t, 2881, 10);
    }
  }
  EXPECT_EQ(valid, newest + 1);
  EXPECT_LT(valid, 44);
  // The newest block ends before the device's present time and is still filling.
  const Bytes last = sim->ReadMemory(static_cast<std::uint16_t>(0x0024 + 728 * newest), 8);
  EXPECT_LT(last[7], 60);
  EXPECT_EQ(last[2], 24);
  EXPECT_EQ(last[3], 3);
  // The last block ends at 0x7D43.
  EXPECT_EQ(0x0024 + 728 * 43 + 728 - 1, 0x7D43);
}

TEST_F(RecordsTest, EventLogAndArchive) {
  const Bytes header = sim->ReadMemory(0x8400, 32);
  EXPECT_GE(header[15], 1);
  EXPECT_NE(header[13], 0);
  int active = 0;
  for (int t = 0; t < 16; ++t) {
    EXPECT_LT(header[16 + t], 8);
    const Bytes entries = sim->ReadMemory(static_cast<std::uint16_t>(0x8420 + 128 * t), 128);
    for (int e = 0; e < 8; ++e) {
      const auto* entry = &entries[16 * e];
      if (entry[0] != 0) ++active;
      if (entry[6] != 0) {  // came on some day
        EXPECT_GE(entry[5], 1);
        EXPECT_LE(entry[5], 12);
      }
    }
  }
  EXPECT_EQ(active, 1);

  const Bytes pointers = sim->ReadMemory(0x8176, 2);
  for (int ch = 0; ch < 2; ++ch) {
    ASSERT_LT(pointers[ch], 8);
    const int newestSlot = (pointers[ch] + 7) % 8;
    const Bytes record =
        sim->ReadMemory(static_cast<std::uint16_t>(0x8C20 + 256 * ch + 32 * newestSlot), 32);
    EXPECT_NE(record[8], 0) << "newest period has an end day";
    EXPECT_EQ(record[7], 3) << "and ends this month";
    EXPECT_GT(FloatAt(record, 12), 0.0f);
    EXPECT_GT(FloatAt(record, 16), 0.0f);
    // The slot the device writes next is empty.
    EXPECT_EQ(
        sim->ReadMemory(static_cast<std::uint16_t>(0x8C20 + 256 * ch + 32 * pointers[ch]), 32),
        Bytes(32, 0));
  }
}

TEST_F(RecordsTest, TablesHaveRisingAxesAndValues) {
  for (std::uint16_t base : {std::uint16_t{0x9780}, std::uint16_t{0x9BC0}}) {
    const Bytes axes = sim->ReadMemory(base, 64);
    for (int c = 1; c < 14; ++c) {
      EXPECT_GT(axes[2 * c] << 8 | axes[2 * c + 1], axes[2 * c - 2] << 8 | axes[2 * c - 1]);
    }
    for (int r = 1; r < 18; ++r) {
      EXPECT_GT(axes[28 + 2 * r] << 8 | axes[29 + 2 * r], axes[26 + 2 * r] << 8 | axes[27 + 2 * r]);
    }
    const Bytes row = sim->ReadMemory(static_cast<std::uint16_t>(base + 64 + 56 * 17), 56);
    for (int c = 0; c < 14; ++c) {
      EXPECT_GT(FloatAt(row, 4 * c), 0.5f);  // gas compression factors
      EXPECT_LE(FloatAt(row, 4 * c), 1.0f);
    }
  }
  const Bytes sat = sim->ReadMemory(0x9580, 512);
  for (int i = 1; i < 32; ++i) {
    EXPECT_GT(FloatAt(sat, 16 * i), FloatAt(sat, 16 * (i - 1)));          // T
    EXPECT_GT(FloatAt(sat, 16 * i + 4), FloatAt(sat, 16 * (i - 1) + 4));  // p
  }
  // 180 °C saturates near 1000 kPa.
  EXPECT_NEAR(FloatAt(sat, 16 * 16 + 4), 1002, 15);
}

}  // namespace
}  // namespace flowsim
