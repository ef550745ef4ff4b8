#include "tools/flowsim/presets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "tools/flowsim/device_map.h"

namespace flowsim {

namespace {

// Writes one block field after the other, most significant byte first.
class BlockWriter {
 public:
  BlockWriter(MemoryImage& image, std::uint16_t address) : image_(image), at_(address) {}
  BlockWriter& Byte(int value) {
    image_.Put8(at_, static_cast<std::uint8_t>(value));
    return Move(1);
  }
  BlockWriter& Word(int value) {
    image_.Put16(at_, static_cast<std::uint16_t>(value));
    return Move(2);
  }
  BlockWriter& Dword(std::uint32_t value) {
    image_.Put32(at_, value);
    return Move(4);
  }
  BlockWriter& Single(double value) {
    image_.PutFloat(at_, static_cast<float>(value));
    return Move(4);
  }
  BlockWriter& Text(std::string_view text, std::size_t width) {
    image_.PutText(at_, text, width);
    return Move(width);
  }
  BlockWriter& Stamp(const CivilTime& t) {
    return Byte(t.year % 100).Byte(t.month).Byte(t.day).Byte(t.hour).Byte(t.minute).Byte(t.second);
  }

 private:
  BlockWriter& Move(std::size_t n) {
    at_ = static_cast<std::uint16_t>(at_ + n);
    return *this;
  }
  MemoryImage& image_;
  std::uint16_t at_;
};

std::uint16_t Offset(std::uint16_t base, int offset) {
  return static_cast<std::uint16_t>(base + offset);
}

bool IsGas(const DeviceSetup& setup) {
  return setup.model == DeviceModel::Gas;
}

CivilTime AddSeconds(const CivilTime& t, std::int64_t seconds) {
  return CivilFromSeconds(SecondsFromCivil(t) + seconds);
}

CivilTime FirstOfMonth(int year, int month) {
  while (month < 1) {
    month += 12;
    --year;
  }
  while (month > 12) {
    month -= 12;
    ++year;
  }
  return CivilTime{year, month, 1, 0, 0, 0};
}

void PutParameters(MemoryImage& image, const DeviceSetup& setup) {
  const bool gas = IsGas(setup);
  for (int ch = 0; ch < 2; ++ch) {
    const int o32 = 32 * ch;
    // Temperature: 4..20 mA input over the range, fixed value as fallback.
    BlockWriter(image, Offset(map::kTempParams, o32))
        .Byte(0)
        .Byte(0)
        .Byte(1)
        .Byte(0)
        .Single(0)
        .Single(gas ? 60 : 250)
        .Single(0)
        .Single(0)
        .Single(0)
        .Single(gas ? 15 : 180)
        .Single(0);
    // Pressure: absolute transmitter; ambient, range, error value, fixed value.
    BlockWriter(image, Offset(map::kPressureParams, o32))
        .Byte(0)
        .Byte(0)
        .Byte(2)
        .Byte(0)
        .Single(101.325)
        .Single(0)
        .Single(gas ? 1000 : 2500)
        .Single(0)
        .Single(gas ? 400 : 1000)
        .Single(0)
        .Single(0);
    if (gas) {
      // Turbine meter on a pulse input.
      BlockWriter(image, Offset(map::kFlowParams, o32))
          .Byte(0)
          .Byte(5)
          .Word(2000)
          .Single(0)
          .Single(650)
          .Single(ch == 0 ? 0.5 : 0.8)
          .Single(0)
          .Single(20)
          .Single(10)
          .Single(1.0);
      BlockWriter(image, Offset(map::kFlowParams2, o32))
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0);
      BlockWriter(image, Offset(map::kMediumParams, o32))
          .Byte(0)
          .Byte('0')
          .Byte(1)
          .Byte(6)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(101.325)
          .Single(0.79)
          .Single(0)
          .Single(0);
      BlockWriter(image, Offset(map::kSupplyValues, 16 * ch))
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(1.0);
      BlockWriter(image, Offset(map::kPulseParams, 8 * ch))
          .Byte(0)
          .Byte(0)
          .Byte(0)
          .Byte(1)
          .Single(10);
    } else {
      // Orifice plate with a differential-pressure transmitter.
      BlockWriter(image, Offset(map::kFlowParams, o32))
          .Byte(0)
          .Byte(1)
          .Word(9999)
          .Single(0)
          .Single(4000)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0.5)
          .Single(0.995);
      const bool single = setup.singleCircuit && ch == 0;
      BlockWriter(image, Offset(map::kFlowParams2, o32))
          .Single(ch == 0 ? 4000 : 1500)
          .Single(ch == 0 ? 180 : 170)
          .Single(ch == 0 ? 1000 : 800)
          .Single(25)
          .Single(0)
          .Single(single ? 6.25 : 0)
          .Single(single ? 1.5 : 0)
          .Single(0);
      BlockWriter(image, Offset(map::kMediumParams, o32))
          .Byte(0)
          .Byte('0')
          .Byte(1)
          .Byte(9)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(0)
          .Single(2.0);
      BlockWriter(image, Offset(map::kSupplyValues, 16 * ch))
          .Single(20)
          .Single(400)
          .Single(84.3)
          .Single(1.0);
      BlockWriter(image, Offset(map::kPulseParams, 8 * ch))
          .Byte(0)
          .Byte(0)
          .Byte(0)
          .Byte(1)
          .Single(100);
    }
    for (int k = 0; k < 8; ++k) image.PutFloat(Offset(map::kCorrectionFactors, o32 + 4 * k), 1.0f);
  }
  BlockWriter(image, map::kGasCommon).Single(11.2).Single(1.2).Single(0).Single(0.79);

  // Relays: maximum alarm on temperature, band alarm on pressure.
  BlockWriter(image, map::kAlarmParams)
      .Byte(0)
      .Byte(0)
      .Byte(1)
      .Byte(1)
      .Single(0)
      .Single(gas ? 40 : 200)
      .Single(0);
  BlockWriter(image, Offset(map::kAlarmParams, 16))
      .Byte(0)
      .Byte(0)
      .Byte(2)
      .Byte(2)
      .Single(gas ? 200 : 600)
      .Single(gas ? 600 : 1400)
      .Single(0);
  const int sources[4] = {1, 4, 9, 12};
  const double ranges[4] = {gas ? 1000.0 : 5000.0, gas ? 1000.0 : 5000.0, gas ? 1000.0 : 5000.0,
                            gas ? 1000.0 : 5000.0};
  for (int i = 0; i < 4; ++i) {
    BlockWriter(image, Offset(map::kOutputParams, 16 * i))
        .Byte(0)
        .Byte(0)
        .Byte(40)
        .Byte(sources[i])
        .Single(0)
        .Single(ranges[i])
        .Single(2.5);
  }

  BlockWriter(image, map::kSystemParams)
      .Byte(setup.singleCircuit ? 0x40 : 0x00)
      .Byte(2)
      .Byte(setup.singleCircuit ? 0x01 : (gas ? 0x07 : 0x05))
      .Byte(0)
      .Byte(0)
      .Byte(0)
      .Byte(0)
      .Byte(0)
      .Single(1.0)
      .Single(0);
  BlockWriter(image, map::kLimitValues).Single(1.4125).Single(1.375).Single(0.24).Single(0.225);
  BlockWriter(image, map::kOperatingMode).Byte(3).Byte(0).Byte(0).Byte(0);
  BlockWriter(image, map::kTrendSettings).Byte(0).Byte(0).Byte(0).Byte(15);
  BlockWriter(image, map::kUnitSwitches).Byte(0).Byte(0).Byte(0).Byte(0);
  for (int i = 0; i < 8; ++i) image.PutFloat(Offset(map::kPresetValues, 4 * i), 0.0f);
  BlockWriter(image, map::kDisplayEnable).Byte(127).Byte(127).Byte(gas ? 0 : 40).Byte(0);
}

void PutIdentity(MemoryImage& image, const DeviceSetup& setup) {
  const bool gas = IsGas(setup);
  image.PutText(map::kIdentification, gas ? kGasIdentification : kSteamIdentification, 8);
  image.PutText(map::kSerialNumber, gas ? "NGX7 2305-004711" : "HTX7 2308-000815", 16);
  // Password off: three reserved bytes, the active flag, then the 8-character text.
  BlockWriter(image, map::kPasswordBlock).Byte(0).Byte(0).Byte(0).Byte(0).Text("--------", 8);
}

// The device's own units; symbols are single-byte text, 5 characters right-aligned.
void PutUserUnits(MemoryImage& image, const DeviceSetup& setup) {
  struct Unit {
    const char* gas;
    const char* steam;
  };
  static constexpr Unit kUnits[16] = {
      {"\xB0"
       "C",
       "\xB0"
       "C"},
      {"kPa", "kPa"},
      {"kg/m\xB3", "kg/m3"},
      {"Nm\xB3/h", "Nm\xB3/h"},
      {"kg/h", "kg/h"},
      {"Nm\xB3", "Nm\xB3"},
      {"kg", "kg"},
      {"m\xB3/h", "m3/h"},
      {"kW", "kW"},
      {"kWh", "kWh"},
      {"Imp/l", "Imp/l"},
      {"1/K", "1/K"},
      {"Wh/m\xB3", "Wh/m3"},
      {"mol%", "mol%"},
      {"J/kgK", "J/kgK"},
      {"K", "K"},
  };
  for (int kind = 0; kind < 16; ++kind) {
    const std::string symbol = IsGas(setup) ? kUnits[kind].gas : kUnits[kind].steam;
    const std::string padded = std::string(5 - symbol.size(), ' ') + symbol;
    const double factor = kind == 12 || kind == 14 ? 1000.0 : 1.0;
    BlockWriter(image, Offset(map::kUserUnits, 16 * kind))
        .Byte(0)
        .Byte(static_cast<int>(symbol.size()))
        .Byte(kind == 2 ? '4' : '2')
        .Text(padded, 5)
        .Single(factor)
        .Single(0);
  }
}

double SaturationPressureKpa(double celsius) {
  // Vapour pressure of water above 100 °C, mmHg converted to kPa.
  return std::pow(10.0, 8.14019 - 1810.94 / (244.485 + celsius)) * 0.133322;
}

double SteamDensity(double pressureKpa, double kelvin) {
  return pressureKpa * 18.015 / (8.314 * kelvin) * (1 + 0.00007 * pressureKpa);
}

void PutTables(MemoryImage& image, const DeviceSetup& setup) {
  const bool gas = IsGas(setup);
  static constexpr int kGasPressures[14] = {100,  200,  300,  400,  500,  600,  800,
                                            1000, 1200, 1500, 2000, 2500, 3000, 4000};
  static constexpr int kSteamPressures[14] = {100, 200,  300,  400,  500,  600,  700,
                                              800, 1000, 1200, 1400, 1600, 2000, 2500};
  for (int table = 0; table < 2; ++table) {
    const std::uint16_t base = table == 0 ? map::kPropertyTable0 : map::kPropertyTable1;
    BlockWriter axes(image, base);
    for (int c = 0; c < 14; ++c) axes.Word(gas ? kGasPressures[c] : kSteamPressures[c]);
    for (int r = 0; r < 18; ++r) axes.Word(gas ? 253 + 5 * r : 393 + 20 * r);
    for (int r = 0; r < 18; ++r) {
      BlockWriter row(image, Offset(base, 64 + 56 * r));
      const double kelvin = gas ? 253 + 5 * r : 393 + 20 * r;
      for (int c = 0; c < 14; ++c) {
        double value;
        if (gas) {
          // Compression factor; table 1 is a heavier gas.
          const double bar = kGasPressures[c] / 100.0;
          const double strength = table == 0 ? 0.0024 : 0.0031;
          value = 1.0 - strength * bar * std::pow(293.15 / kelvin, 3);
        } else if (table == 0) {
          value = SteamDensity(kSteamPressures[c], kelvin);
        } else {
          value = 2500 + 1.95 * (kelvin - 273.15) - 0.03 * kSteamPressures[c] * (453.15 / kelvin);
        }
        row.Single(value);
      }
    }
  }
  for (int i = 0; i < map::kSaturationRows; ++i) {
    const double celsius = 100 + 5 * i;
    const double p = SaturationPressureKpa(celsius);
    const double h = 2676 + 1.6 * (celsius - 100) - 0.0058 * (celsius - 100) * (celsius - 100);
    BlockWriter(image, Offset(map::kSaturationTable, 16 * i))
        .Single(celsius + 273.15)
        .Single(p)
        .Single(SteamDensity(p, celsius + 273.15))
        .Single(h);
  }
}

void PutEventLog(MemoryImage& image, const CivilTime& now) {
  image.Fill(map::kEventHeader, 32 + 128 * map::kEventTypes, 0);
  struct Event {
    int type;
    int entry;
    std::int64_t cameSecondsAgo;
    std::int64_t lastedSeconds;  // 0: still present
    int flag;
  };
  static constexpr Event kEvents[] = {
      {0, 0, 40 * 86400, 7200, 1}, {0, 1, 12 * 86400, 2100, 1}, {0, 2, 3 * 86400, 300, 0},
      {2, 0, 6 * 86400, 3600, 1},  {2, 1, 7200, 0, 1},          {8, 0, 20 * 86400, 600, 0},
  };
  for (const Event& e : kEvents) {
    const CivilTime came = AddSeconds(now, -e.cameSecondsAgo);
    BlockWriter entry(image, map::EventEntry(e.type, e.entry));
    entry.Byte(e.lastedSeconds == 0 ? 1 : 0).Byte(e.flag).Byte(0).Byte(0).Stamp(came);
    if (e.lastedSeconds != 0) entry.Stamp(AddSeconds(came, e.lastedSeconds));
    // The device's index is the slot in use: the present error's, or after an
    // error has gone, the slot the next one will take.
    const int slot = e.lastedSeconds == 0 ? e.entry : (e.entry + 1) % 8;
    image.Put8(Offset(map::kEventHeader, 16 + e.type), static_cast<std::uint8_t>(slot));
  }
  // One error is present: status mask and count say so.
  image.Put8(Offset(map::kEventHeader, 13), 0x04);
  image.Put8(Offset(map::kEventHeader, 15), 1);
}

void PutArchive(MemoryImage& image, const DeviceSetup& setup,
                const std::array<CircuitProcess, 2>& processes, const CivilTime& now) {
  constexpr int kFilled = 5;
  for (int ch = 0; ch < 2; ++ch) {
    image.Fill(map::ArchiveRecord(ch, 0), 32 * map::kArchiveSlots, 0);
    const CircuitProcess& p = processes[ch];
    const bool used = p.active;
    image.Put8(Offset(map::kArchivePointers, ch), used ? kFilled : 0);
    if (!used) continue;
    for (int s = 0; s < kFilled; ++s) {
      const CivilTime start = FirstOfMonth(now.year, now.month - kFilled + s);
      const CivilTime end = FirstOfMonth(now.year, now.month - kFilled + s + 1);
      const double hours = (SecondsFromCivil(end) - SecondsFromCivil(start)) / 3600.0;
      const double load = 0.9 + 0.04 * s;
      const double massFlow = setup.model == DeviceModel::Gas ? p.flow * p.normalDensity : p.flow;
      const double total = setup.model == DeviceModel::Gas
                               ? p.flow * hours * load
                               : p.flow / 3600 * p.enthalpyRiseKjKg * hours * load;
      BlockWriter(image, map::ArchiveRecord(ch, s))
          .Stamp(start)
          .Stamp(end)
          .Single(total)
          .Single(massFlow * hours * load)
          .Dword(static_cast<std::uint32_t>(37 + s));
    }
  }
}

void PutTrendRing(MemoryImage& image, const std::array<CircuitProcess, 2>& processes,
                  const CivilTime& now) {
  constexpr int kValid = 30;
  constexpr int kNewest = kValid - 1;
  constexpr int kNewestCount = 20;
  constexpr int kIntervalMinutes = 15;
  constexpr std::int64_t kStep = 60 * kIntervalMinutes;

  BlockWriter header(image, map::kTrendHeader);
  header.Byte(1).Byte(kNewest);
  for (int i = 0; i < 8; ++i) header.Single(0);
  header.Word(0);

  const LiveProcess process(processes[0]);
  const std::int64_t nowSeconds = SecondsFromCivil(now);
  const std::int64_t newestStart = nowSeconds / kStep * kStep - kNewestCount * kStep;
  for (int k = 0; k < map::kTrendBlockCount; ++k) {
    const std::uint16_t block = map::TrendBlock(k);
    image.Fill(block, map::kTrendBlockSize, 0xFF);  // erased
    if (k >= kValid) continue;
    const std::int64_t start = newestStart - (kNewest - k) * map::kTrendSamples * kStep;
    const int count = k == kNewest ? kNewestCount : map::kTrendSamples;
    const CivilTime t = CivilFromSeconds(start);
    BlockWriter(image, block)
        .Byte(0)
        .Byte(kIntervalMinutes)
        .Byte(t.year % 100)
        .Byte(t.month)
        .Byte(t.day)
        .Byte(t.hour)
        .Byte(t.minute)
        .Byte(count);
    for (int j = 0; j < count; ++j) {
      const double offset = static_cast<double>(start + (j + 1) * kStep - nowSeconds);
      const CircuitSnapshot s = process.At(offset);
      const bool gas = process.process().model == DeviceModel::Gas;
      image.Put16(Offset(block, 8 + 2 * j),
                  static_cast<std::uint16_t>(std::lround(s.temperatureK * 10)));
      image.Put16(Offset(block, 128 + 2 * j),
                  static_cast<std::uint16_t>(std::lround(s.pressureKpa)));
      image.PutFloat(Offset(block, 248 + 4 * j),
                     static_cast<float>(gas ? s.flowOrPower : s.operatingFlow));
      image.PutFloat(Offset(block, 488 + 4 * j), static_cast<float>(s.massFlow));
    }
  }
}

}  // namespace

std::array<CircuitProcess, 2> PresetProcesses(const DeviceSetup& setup) {
  std::array<CircuitProcess, 2> p;
  if (IsGas(setup)) {
    p[0] = CircuitProcess{.active = true,
                          .model = DeviceModel::Gas,
                          .temperatureK = 288.15,
                          .temperatureSwingK = 0.4,
                          .pressureKpa = 400,
                          .pressureSwingKpa = 1.5,
                          .flow = 350,
                          .flowSwing = 12,
                          .normalDensity = 0.79,
                          .volumeOrEnergyTotal = 1234567.0,
                          .massTotal = 975307.9,
                          .operatingSeconds = 12345678};
    p[1] = CircuitProcess{.active = true,
                          .model = DeviceModel::Gas,
                          .temperatureK = 285.65,
                          .temperatureSwingK = 0.3,
                          .pressureKpa = 350,
                          .pressureSwingKpa = 1.0,
                          .flow = 220,
                          .flowSwing = 8,
                          .normalDensity = 0.79,
                          .volumeOrEnergyTotal = 654321.0,
                          .massTotal = 516913.6,
                          .operatingSeconds = 12345000};
  } else {
    p[0] = CircuitProcess{.active = true,
                          .model = DeviceModel::Steam,
                          .temperatureK = 453.15,
                          .temperatureSwingK = 0.6,
                          .pressureKpa = 1000,
                          .pressureSwingKpa = 4,
                          .flow = 2500,
                          .flowSwing = 60,
                          .enthalpyRiseKjKg = 2690,
                          .designFlow = 4000,
                          .designDpKpa = 25,
                          .temperature2K = 368.15,
                          .volumeOrEnergyTotal = 8765432.0,
                          .massTotal = 11730000.0,
                          .operatingSeconds = 23456789};
    p[1] = CircuitProcess{.active = true,
                          .model = DeviceModel::Steam,
                          .temperatureK = 443.15,
                          .temperatureSwingK = 0.5,
                          .pressureKpa = 800,
                          .pressureSwingKpa = 3,
                          .flow = 900,
                          .flowSwing = 25,
                          .enthalpyRiseKjKg = 2680,
                          .designFlow = 1500,
                          .designDpKpa = 25,
                          .temperature2K = 363.15,
                          .volumeOrEnergyTotal = 2345678.0,
                          .massTotal = 3150000.0,
                          .operatingSeconds = 23450000};
  }
  if (setup.singleCircuit) p[1].active = false;
  return p;
}

void ApplyPreset(MemoryImage& image, const DeviceSetup& setup, const CivilTime& now) {
  const auto processes = PresetProcesses(setup);
  PutParameters(image, setup);
  PutIdentity(image, setup);
  PutUserUnits(image, setup);
  PutTables(image, setup);
  PutEventLog(image, now);
  PutArchive(image, setup, processes, now);
  PutTrendRing(image, processes, now);
}

}  // namespace flowsim
