#include "devicelink/block_commands.h"

#include <gtest/gtest.h>

#include <optional>

#include <array>
#include <functional>

#include "devicelink/wire_values.h"
#include "tests/devicelink/link_fixture.h"
#include "tests/devicelink/scripted_peer.h"

namespace devicelink {
namespace {

using testing::LinkTest;
using testing::ReadReply;
using testing::ScriptedLinkTest;

class BlockCommandsTest : public LinkTest {};

std::string Hex(const std::vector<uint8_t>& bytes, size_t n) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n && i < bytes.size(); ++i) {
    if (i) s += ' ';
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}

TEST_F(BlockCommandsTest, ReadRequestsOnTheWire) {
  struct Case {
    const char* name;
    std::function<bool()> command;
    const char* request;
  } cases[] = {
      {"ReadLiveValues(1)", [] { return ReadLiveValues(1); }, "B0 F8 50 50"},
      {"ReadTempParams(1)", [] { return ReadTempParams(1); }, "B0 81 20 20"},
      {"ReadPressureParams(0)", [] { return ReadPressureParams(0); }, "B0 81 80 20"},
      {"ReadFlowParams(1)", [] { return ReadFlowParams(1); }, "B0 80 80 20"},
      {"ReadFlowParams2(1)", [] { return ReadFlowParams2(1); }, "B0 81 E0 20"},
      {"ReadMediumParams(1)", [] { return ReadMediumParams(1); }, "B0 82 E0 20"},
      {"ReadGasCommon", [] { return ReadGasCommon(); }, "B0 80 F0 10"},
      {"ReadAlarmParams(1)", [] { return ReadAlarmParams(1); }, "B0 80 50 10"},
      {"ReadOutputParams(3)", [] { return ReadOutputParams(3); }, "B0 80 30 10"},
      {"ReadPulseOutputParams(1)", [] { return ReadPulseOutputParams(1); }, "B0 81 48 08"},
      {"ReadSupplyValues(1)", [] { return ReadSupplyValues(1); }, "B0 81 60 10"},
      {"ReadCorrectionFactors(1)", [] { return ReadCorrectionFactors(1); }, "B0 82 20 20"},
      {"ReadLimitValues", [] { return ReadLimitValues(); }, "B0 80 C0 10"},
      {"ReadUserUnit(15)", [] { return ReadUserUnit(15); }, "B0 90 F0 10"},
      {"ReadPresetValue(7)", [] { return ReadPresetValue(7); }, "B0 91 3C 04"},
      {"ReadDisplayEnable", [] { return ReadDisplayEnable(); }, "B0 91 40 04"},
      {"ReadTrendSettings", [] { return ReadTrendSettings(); }, "B0 81 78 04"},
      {"ReadUnitSwitches", [] { return ReadUnitSwitches(); }, "B0 81 7C 04"},
      {"ReadSystemParams", [] { return ReadSystemParams(); }, "B0 80 A0 10"},
      {"ReadOperatingMode", [] { return ReadOperatingMode(); }, "B0 80 EC 04"},
      {"ReadPasswordBlock", [] { return ReadPasswordBlock(); }, "B0 80 E0 0D"},
      {"ReadDeviceIdent", [] { return ReadDeviceIdent(); }, "B0 80 B0 08"},
      {"ReadSerialNo", [] { return ReadSerialNo(); }, "B0 8F C0 10"},
      {"ReadOutputCurrents", [] { return ReadOutputCurrents(); }, "B0 F9 00 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_->ClearRequests();
    ASSERT_TRUE(c.command());
    auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(Hex(requests[0].request, 99), c.request);
    // The reply asked for: echo, N data bytes, checksum.
    EXPECT_EQ(requests[0].reply.size(), 6u + requests[0].request[3]);
  }
  EXPECT_EQ(window_.label, "ONLINE");
  EXPECT_EQ(window_.label_colour, kColourGreen);
}

TEST_F(BlockCommandsTest, WriteTempParamsSendsHeaderDataAndChecksum) {
  testing::TOwnSet own_set;
  TempParams[1] = {1, 2, 3, 4, 10.5f, 20.25f, 0, 1, 2, 3, 0};
  ASSERT_TRUE(WriteTempParams(1));
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& r = requests[0].request;
  ASSERT_EQ(r.size(), 38u);
  EXPECT_EQ(Hex(r, 8), "A0 81 20 20 01 02 03 04");
  EXPECT_EQ(Hex(std::vector<uint8_t>(r.begin() + 8, r.begin() + 12), 4), "41 28 00 00");  // 10.5
  uint32_t sum = 0;
  for (size_t i = 0; i < 36; ++i) sum += r[i];
  EXPECT_EQ(r[36], (sum >> 8) & 0xFF);
  EXPECT_EQ(r[37], sum & 0xFF);
}

// Every writable block: set the record, write it, spoil the record, read it back.
TEST_F(BlockCommandsTest, EveryWritableBlockRoundTrips) {
  testing::TOwnSet own_set;
  struct Case {
    const char* name;
    std::function<void()> fill;
    std::function<bool()> write;
    std::function<void()> spoil;
    std::function<bool()> read;
    std::function<bool()> same;
  };
  TTemperatureSettings temp{0, 1, 2, 1, -20, 150, 0.5f, 0.25f, -1.5f, 21.5f, 7};
  TPressureSettings pressure{3, 4, 1, 2, 101.3f, 0, 1600, 2.5f, 400, 8, 9};
  TFlowSettings flow{1, 2, 4321, 5, 6000, 1.25f, 0.1f, 15, 3, 1.0f};
  TDpSettings dp{1000, 15, 400, 250, 1.2f, 25, 50, 100};
  TMediumSettings medium{0, '0', 1, 6, 0.83f, 0.78f, 15, 101.325f, 1.1f, 1.3f, 0.5f};
  TGasComposition gas{11.2f, 1.5f, 0.5f, 0.79f};
  TSupplySettings supply{15, 101.3f, 63, 1};
  TPulseSettings pulse{0, 0, 0, 3, 0.5f};
  TAlarmSettings alarm{0, 0, 9, 2, 10, 90, 0};
  TOutputSettings output{0, 0, 40, 12, 0, 5000, 3.6f};
  TUnitSwitches units{0, 1, 2, 0};
  TUserUnit unit{1, 3, '2', "  bar", 0.01f, 0};
  TTrendSettings trend{0, 0, 3, 15};
  std::array<float, 8> correction{1, 1.01f, 0.99f, 1, 1, 1, 1.2f, 0.8f};
  TLimitValues limits{1.4125f, 1.375f, 0.24f, 0.225f};
  TSystemSettings system{SystemParams.SystemTypeFlags, 2, 7, 1, 0, 0, 0, 1.05f, 0};
  std::array<uint8_t, 4> display{127, 126, 40, 0};
  TOperatingMode mode{4, 0, 0, 0};

  auto eq_temp = [&] {
    const auto& p = TempParams[1];
    return p.Dummy2 == temp.Dummy2 && p.Kind == temp.Kind && p.Eq == temp.Eq && p.Min == temp.Min &&
           p.Max == temp.Max && p.Dummy4 == temp.Dummy4 && p.Diff == temp.Diff &&
           p.Toff == temp.Toff && p.Konst == temp.Konst && p.Dummy3 == temp.Dummy3;
  };
  auto eq_pressure = [&] {
    const auto& p = PressureParams[0];
    return p.Dummy1 == pressure.Dummy1 && p.Kind == pressure.Kind && p.Eq == pressure.Eq &&
           p.Hyd == pressure.Hyd && p.Min == pressure.Min && p.Max == pressure.Max &&
           p.Err == pressure.Err && p.Konst == pressure.Konst && p.Dummy3 == pressure.Dummy3 &&
           p.Dummy4 == pressure.Dummy4;
  };
  auto eq_flow = [&] {
    const auto& p = FlowParams[1];
    return p.Eq == flow.Eq && p.Kind == flow.Kind && p.MaxFreq == flow.MaxFreq &&
           p.Min == flow.Min && p.Max == flow.Max && p.KFak == flow.KFak && p.TKK == flow.TKK &&
           p.BTemp == flow.BTemp && p.Schleich == flow.Schleich && p.Exp_zahl == flow.Exp_zahl;
  };
  auto eq_dp = [&] {
    const auto& p = FlowParams2[0];
    return p.DesQN == dp.DesQN && p.DesT == dp.DesT && p.Desp == dp.Desp && p.Desdp == dp.Desdp &&
           p.DesRho == dp.DesRho && p.Desdp2 == dp.Desdp2 && p.Desdp3 == dp.Desdp3 &&
           p.Desdp4 == dp.Desdp4;
  };
  auto eq_medium = [&] {
    const auto& p = MediumParams[1];
    return p.Dummy2 == medium.Dummy2 && p.Ready == medium.Ready && p.Kind == medium.Kind &&
           p.Rho == medium.Rho && p.RN == medium.RN && p.BT == medium.BT && p.Bp == medium.Bp &&
           p.BRho == medium.BRho && p.WKapa == medium.WKapa && p.Satt_Tol == medium.Satt_Tol;
  };
  auto eq_unit = [&] {
    const auto& u = UserUnits[1];
    return u.Variant == unit.Variant && u.SymbolLength == unit.SymbolLength &&
           u.Decimals == unit.Decimals && u.Symbol == unit.Symbol && u.Factor == unit.Factor &&
           u.Offset == unit.Offset;
  };
  const Case cases[] = {
      {"temperature", [&] { TempParams[1] = temp; }, [] { return WriteTempParams(1); },
       [] { TempParams[1] = {}; }, [] { return ReadTempParams(1); }, eq_temp},
      {"pressure", [&] { PressureParams[0] = pressure; }, [] { return WritePressureParams(0); },
       [] { PressureParams[0] = {}; }, [] { return ReadPressureParams(0); }, eq_pressure},
      {"flow", [&] { FlowParams[1] = flow; }, [] { return WriteFlowParams(1); },
       [] { FlowParams[1] = {}; }, [] { return ReadFlowParams(1); }, eq_flow},
      {"dp design", [&] { FlowParams2[0] = dp; }, [] { return WriteFlowParams2(0); },
       [] { FlowParams2[0] = {}; }, [] { return ReadFlowParams2(0); }, eq_dp},
      {"medium", [&] { MediumParams[1] = medium; }, [] { return WriteMediumParams(1); },
       [] { MediumParams[1] = {}; }, [] { return ReadMediumParams(1); }, eq_medium},
      {"gas", [&] { GasCommon = gas; }, [] { return WriteGasCommon(); },
       [] { GasCommon = {}; }, [] { return ReadGasCommon(); },
       [&] {
         return GasCommon.Ho == gas.Ho && GasCommon.CO2 == gas.CO2 && GasCommon.H2 == gas.H2 &&
                GasCommon.Rho == gas.Rho;
       }},
      {"supply", [&] { SupplyValues[1] = supply; }, [] { return WriteSupplyValues(1); },
       [] { SupplyValues[1] = {}; }, [] { return ReadSupplyValues(1); },
       [&] {
         const auto& p = SupplyValues[1];
         return p.T0 == supply.T0 && p.p0 == supply.p0 && p.h0 == supply.h0 &&
                p.Faktor == supply.Faktor;
       }},
      {"pulse", [&] { PulseOutputParams[1] = pulse; }, [] { return WritePulseOutputParams(1); },
       [] { PulseOutputParams[1] = {}; }, [] { return ReadPulseOutputParams(1); },
       [&] {
         return PulseOutputParams[1].Kind == pulse.Kind &&
                PulseOutputParams[1].Compare == pulse.Compare;
       }},
      {"alarm", [&] { AlarmParams[1] = alarm; }, [] { return WriteAlarmParams(1); },
       [] { AlarmParams[1] = {}; }, [] { return ReadAlarmParams(1); },
       [&] {
         const auto& p = AlarmParams[1];
         return p.Param == alarm.Param && p.Kind == alarm.Kind && p.Min == alarm.Min &&
                p.Max == alarm.Max;
       }},
      {"output", [&] { OutputParams[2] = output; }, [] { return WriteOutputParams(2); },
       [] { OutputParams[2] = {}; }, [] { return ReadOutputParams(2); },
       [&] {
         const auto& p = OutputParams[2];
         return p.Konstant == output.Konstant && p.Param == output.Param && p.Min == output.Min &&
                p.Max == output.Max && p.Err == output.Err;
       }},
      {"unit switches", [&] { UnitSwitches = units; }, [] { return WriteUnitSwitches(); },
       [] { UnitSwitches = {}; }, [] { return ReadUnitSwitches(); },
       [&] {
         return UnitSwitches.Einheiten == units.Einheiten && UnitSwitches.First == units.First;
       }},
      {"user unit", [&] { UserUnits[1] = unit; }, [] { return WriteUserUnit(1); },
       [] { UserUnits[1] = {}; }, [] { return ReadUserUnit(1); }, eq_unit},
      {"trend", [&] { TrendSettings = trend; }, [] { return WriteTrendSettings(); },
       [] { TrendSettings = {}; }, [] { return ReadTrendSettings(); },
       [&] { return TrendSettings.Param == trend.Param && TrendSettings.Time == trend.Time; }},
      {"correction", [&] { CorrectionFactors[1] = correction; },
       [] { return WriteCorrectionFactors(1); }, [] { CorrectionFactors[1] = {}; },
       [] { return ReadCorrectionFactors(1); }, [&] { return CorrectionFactors[1] == correction; }},
      {"limits", [&] { LimitValues = limits; }, [] { return WriteLimitValues(); },
       [] { LimitValues = {}; }, [] { return ReadLimitValues(); },
       [&] {
         return LimitValues.U_Max == limits.U_Max && LimitValues.U_Min == limits.U_Min &&
                LimitValues.L_Max == limits.L_Max && LimitValues.L_Min == limits.L_Min;
       }},
      {"preset", [] { PresetValues[5] = 123.5f; }, [] { return WritePresetValue(5); },
       [] { PresetValues[5] = 0; }, [] { return ReadPresetValue(5); },
       [] { return PresetValues[5] == 123.5f; }},
      {"display", [&] { DisplayEnable = display; }, [] { return WriteDisplayEnable(); },
       [] { DisplayEnable = {}; }, [] { return ReadDisplayEnable(); },
       [&] { return DisplayEnable == display; }},
      {"system", [&] { SystemParams = system; }, [] { return WriteSystemParams(); },
       [] { SystemParams = {}; }, [] { return ReadSystemParams(); },
       [&] {
         return SystemParams.Anzahl == system.Anzahl && SystemParams.KindMask == system.KindMask &&
                SystemParams.Kind == system.Kind && SystemParams.Faktor == system.Faktor;
       }},
      {"operating mode", [&] { OperatingMode = mode; }, [] { return WriteOperatingMode(); },
       [] { OperatingMode = {}; }, [] { return ReadOperatingMode(); },
       [&] { return OperatingMode[0] == mode[0]; }},
  };
  ASSERT_TRUE(ReadSystemParams());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.fill();
    ASSERT_TRUE(c.write());
    c.spoil();
    ASSERT_TRUE(c.read());
    EXPECT_TRUE(c.same());
  }
}

// Singles 1.0 .. 8.0 on the wire.
std::string Singles(int from, int to) {
  static const char* const kSingle[] = {"",           "3F 80 00 00", "40 00 00 00",
                                        "40 40 00 00", "40 80 00 00", "40 A0 00 00",
                                        "40 C0 00 00", "40 E0 00 00", "41 00 00 00"};
  std::string s;
  for (int v = from; v <= to; ++v) s += std::string(" ") + kSingle[v];
  return s;
}

// Every write, header and data bytes in the device's field order. Each record holds
// distinct values in its declaration order, so a layout that swaps two fields shows.
TEST_F(BlockCommandsTest, WritesSendTheFieldsInDeviceOrder) {
  testing::TOwnSet own_set;
  const std::string bytes = "01 02 03 04";
  struct Case {
    const char* name;
    std::function<bool()> write;
    std::string frame;  // without the checksum
  } cases[] = {
      {"temperature",
       [] {
         TempParams[1] = {1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7};
         return WriteTempParams(1);
       },
       "A0 81 20 20 " + bytes + Singles(1, 7)},
      {"pressure",
       [] {
         PressureParams[0] = {1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7};
         return WritePressureParams(0);
       },
       "A0 81 80 20 " + bytes + Singles(1, 7)},
      {"flow",
       [] {
         FlowParams[1] = {1, 2, 0x0304, 1, 2, 3, 4, 5, 6, 7};
         return WriteFlowParams(1);
       },
       "A0 80 80 20 " + bytes + Singles(1, 7)},
      {"dp design",
       [] {
         FlowParams2[1] = {1, 2, 3, 4, 5, 6, 7, 8};
         return WriteFlowParams2(1);
       },
       "A0 81 E0 20" + Singles(1, 8)},
      {"medium",
       [] {
         MediumParams[0] = {1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7};
         return WriteMediumParams(0);
       },
       "A0 82 C0 20 " + bytes + Singles(1, 7)},
      {"gas",
       [] {
         GasCommon = {1, 2, 3, 4};
         return WriteGasCommon();
       },
       "A0 80 F0 10" + Singles(1, 4)},
      {"alarm",
       [] {
         AlarmParams[1] = {1, 2, 3, 4, 1, 2, 3};
         return WriteAlarmParams(1);
       },
       "A0 80 50 10 " + bytes + Singles(1, 3)},
      {"output",
       [] {
         OutputParams[3] = {1, 2, 3, 4, 1, 2, 3};
         return WriteOutputParams(3);
       },
       "A0 80 30 10 " + bytes + Singles(1, 3)},
      {"pulse",
       [] {
         PulseOutputParams[1] = {1, 2, 3, 4, 1};
         return WritePulseOutputParams(1);
       },
       "A0 81 48 08 " + bytes + Singles(1, 1)},
      {"supply",
       [] {
         SupplyValues[1] = {1, 2, 3, 4};
         return WriteSupplyValues(1);
       },
       "A0 81 60 10" + Singles(1, 4)},
      {"correction",
       [] {
         CorrectionFactors[1] = {1, 2, 3, 4, 5, 6, 7, 8};
         return WriteCorrectionFactors(1);
       },
       "A0 82 20 20" + Singles(1, 8)},
      {"limits",
       [] {
         LimitValues = {1, 2, 3, 4};
         return WriteLimitValues();
       },
       "A0 80 C0 10" + Singles(1, 4)},
      {"user unit",
       [] {
         UserUnits[2] = {1, 2, '3', "  bar", 1, 2};
         return WriteUserUnit(2);
       },
       "A0 90 20 10 01 02 33 20 20 62 61 72" + Singles(1, 2)},
      {"user unit symbol padded to five",
       [] {
         UserUnits[15] = {0, 1, '2', "K", 1, 0};
         return WriteUserUnit(15);
       },
       "A0 90 F0 10 00 01 32 20 20 20 20 4B" + Singles(1, 1) + " 00 00 00 00"},
      {"preset",
       [] {
         PresetValues[7] = 1;
         return WritePresetValue(7);
       },
       "A0 91 3C 04" + Singles(1, 1)},
      {"display",
       [] {
         DisplayEnable = {1, 2, 3, 4};
         return WriteDisplayEnable();
       },
       "A0 91 40 04 " + bytes},
      {"trend",
       [] {
         TrendSettings = {1, 2, 3, 4};
         return WriteTrendSettings();
       },
       "A0 81 78 04 " + bytes},
      {"unit switches",
       [] {
         UnitSwitches = {1, 2, 3, 4};
         return WriteUnitSwitches();
       },
       "A0 81 7C 04 " + bytes},
      {"operating mode",
       [] {
         OperatingMode = {1, 2, 3, 4};
         return WriteOperatingMode();
       },
       "A0 80 EC 04 " + bytes},
      {"system: zeros in place of Dummy3 and Dummy4",
       [] {
         SystemParams = {1, 2, 3, 4, 5, 6, 7, 1, 2};
         return WriteSystemParams();
       },
       "A0 80 A0 10 01 02 03 04 05 00 00 00" + Singles(1, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_->ClearRequests();
    ASSERT_TRUE(c.write());
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    const auto& r = requests[0].request;
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(Hex(r, r.size() - 2), c.frame);
  }
}

// Blocks that are only read, decoded from replies chosen byte by byte.
TEST_F(ScriptedLinkTest, ReadOnlyBlocksDecodeInDeviceOrder) {
  std::string live;
  for (int field = 1; field <= 20; ++field) {
    if (field == 7) {
      live += SingleToBytes(293.25f);  // kelvin
    } else if (field == 16) {
      live += std::string("\x01\x02\x03\x04", 4);
    } else {
      live += SingleToBytes(static_cast<float>(field));
    }
  }
  const std::string password = std::string("\x01\x02\x03\x04", 4) + "AB\xB0" "DEFGH" + "\xEE";
  std::string currents;
  for (int i = 1; i <= 4; ++i) currents += SingleToBytes(static_cast<float>(i) + 0.5f);
  Serve([&](const std::string& request) {
    const uint16_t address = static_cast<uint16_t>(static_cast<uint8_t>(request[1]) << 8 |
                                                   static_cast<uint8_t>(request[2]));
    if (address == 0xF850) return ReadReply(request, live);
    if (address == 0x80E0) return ReadReply(request, password);
    if (address == 0xF900) return ReadReply(request, currents);
    return std::string();
  });

  ASSERT_TRUE(ReadLiveValues(1));
  const TCircuitValues& v = LiveValues[1];
  const float singles[] = {v.Value0,        v.Spare1,         v.Spare2,         v.Spare3,
                           v.Density,       v.Pressure,       0,                v.DiffPressure,
                           v.OperatingFlow, v.MassFlow,       v.MassTotalA,     v.MassTotalB,
                           v.FlowOrPower,   v.TotalOrEnergyA, v.TotalOrEnergyB, 0,
                           v.Temperature2,  v.Spare4,         v.Spare5,         v.Spare6};
  for (int field = 1; field <= 20; ++field) {
    if (field != 7 && field != 16) {
      EXPECT_EQ(singles[field - 1], field) << "field " << field;
    }
  }
  EXPECT_NEAR(v.Temperature, 20.1f, 1e-4);
  EXPECT_EQ(v.OperatingSeconds, 0x01020304u);
  EXPECT_EQ(LiveValues[0].Value0, 0.0f);  // the other circuit untouched

  ASSERT_TRUE(ReadPasswordBlock());
  EXPECT_EQ(PasswordBlock.PasswordBytes, (std::array<uint8_t, 3>{1, 2, 3}));
  EXPECT_EQ(PasswordBlock.PasswordActive, 4);
  EXPECT_EQ(PasswordBlock.DevicePassword, "AB\xC2\xB0" "DEFGH");

  ASSERT_TRUE(ReadOutputCurrents());
  EXPECT_EQ(OutputCurrents, (std::array<float, 4>{1.5f, 2.5f, 3.5f, 4.5f}));
}

TEST_F(BlockCommandsTest, MediumReplyForAnotherAddressIsRefused) {
  MediumParams[0].Kind = 42;
  // Every reply names another address: each attempt fails.
  sim_->InjectFault(flowsim::FaultKind::WrongEcho, 4);
  EXPECT_FALSE(ReadMediumParams(0));
  EXPECT_EQ(MediumParams[0].Kind, 42);
  EXPECT_EQ(window_.label, "OFFLINE");
  EXPECT_EQ(ErrorCount, 4);
  // One such reply costs one attempt.
  sim_->InjectFault(flowsim::FaultKind::WrongEcho, 1);
  EXPECT_TRUE(ReadMediumParams(0));
  EXPECT_NE(MediumParams[0].Kind, 42);
  EXPECT_EQ(ErrorCount, 5);
}

TEST_F(BlockCommandsTest, DeviceTextsAndSpareBytes) {
  testing::TOwnSet own_set;
  // Two letters and fourteen zero bytes.
  std::vector<uint8_t> serial(16, 0);
  serial[0] = 'A';
  serial[1] = 'B';
  sim_->WriteMemory(0x8FC0, serial);
  ASSERT_TRUE(ReadSerialNo());
  EXPECT_EQ(DeviceSerialNo, "AB" + std::string(14, ' '));

  ASSERT_TRUE(ReadDeviceIdent());
  EXPECT_EQ(DeviceIdent, kGasIdent);  // trailing blank kept

  // Whatever the device holds in the three spare bytes, a write sends zeros.
  sim_->WriteMemory(0x80A5, Bytes({0x11, 0x22, 0x33}));
  ASSERT_TRUE(ReadSystemParams());
  EXPECT_EQ(SystemParams.Dummy3, 0);
  EXPECT_EQ(SystemParams.Dummy4, 0);
  sim_->ClearRequests();
  ASSERT_TRUE(WriteSystemParams());
  auto r = Requests().at(0).request;
  EXPECT_EQ(Hex(std::vector<uint8_t>(r.begin() + 9, r.begin() + 12), 3), "00 00 00");

  // A user-unit symbol with a degree sign is one byte on the wire and comes back whole.
  UserUnits[0] = {1, 2, '2', "   \xC2\xB0"
                             "F", 1.8f, 32};
  ASSERT_TRUE(WriteUserUnit(0));
  auto stored = sim_->ReadMemory(0x9003, 5);
  EXPECT_EQ(Hex(stored, 5), "20 20 20 B0 46");
  UserUnits[0] = {};
  ASSERT_TRUE(ReadUserUnit(0));
  EXPECT_EQ(UserUnits[0].Symbol, "   \xC2\xB0"
                                 "F");
}

TEST_F(BlockCommandsTest, CircuitParamsStopAtTheFirstFailure) {
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, 0x8060, flowsim::kEveryFrame);
  EXPECT_FALSE(ReadCircuitParams(0));
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 6u);  // temperature, pressure, four attempts at the flow block
  EXPECT_EQ(requests[0].request[1], 0x81);
  EXPECT_EQ(requests[0].request[2], 0x00);
  EXPECT_EQ(requests[1].request[2], 0x80);
  for (size_t i = 2; i < 6; ++i) EXPECT_EQ(requests[i].request[2], 0x60);
  EXPECT_EQ(window_.label, "OFFLINE");
}

// A record holds what the device reported from a successful read of its block
// until a failed exchange of that block or a new set of records; a copy of the
// set carries its marks along.
TEST_F(BlockCommandsTest, RecordsReportedByTheDevice) {
  const uint16_t pulse1 = BlockAddressOf(PulseOutputParams[0]);
  EXPECT_FALSE(Reported(pulse1));
  ASSERT_TRUE(ReadPulseOutputParams(0));
  EXPECT_TRUE(Reported(pulse1));
  EXPECT_FALSE(Reported(BlockAddressOf(PulseOutputParams[1])));
  ASSERT_TRUE(WritePulseOutputParams(0));
  EXPECT_TRUE(Reported(pulse1));

  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, 0x8140, flowsim::kEveryFrame);
  EXPECT_FALSE(WritePulseOutputParams(0));
  EXPECT_FALSE(Reported(pulse1));
  sim_->ClearFaults();
  ASSERT_TRUE(ReadPulseOutputParams(0));
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, 0x8140, flowsim::kEveryFrame);
  EXPECT_FALSE(ReadPulseOutputParams(0));
  EXPECT_FALSE(Reported(pulse1));
  sim_->ClearFaults();

  // Taken before another set came in and put back: marked as when it was taken.
  ASSERT_TRUE(ReadPulseOutputParams(0));
  const TParameterRecords taken = TParameterRecords::Capture();
  ForgetReported();
  taken.Commit();
  EXPECT_TRUE(Reported(pulse1));

  const struct {
    const char* name;
    std::function<void()> replace;
  } replacements[] = {
      {"all forgotten", [] { ForgetReported(); }},
      {"a set without marks committed", [] { TParameterRecords{}.Commit(); }},
      {"device data reset", [] { ResetDeviceData(); }},
  };
  for (const auto& r : replacements) {
    SCOPED_TRACE(r.name);
    ASSERT_TRUE(ReadPulseOutputParams(0));
    ASSERT_TRUE(ReadTempParams(1));
    r.replace();
    EXPECT_FALSE(Reported(pulse1));
    EXPECT_FALSE(Reported(BlockAddressOf(TempParams[1])));
  }
  EXPECT_THROW(BlockAddressOf(LiveValues[0]), std::logic_error);
}

// Every parameter record is found at its block and encodes as it is sent.
TEST_F(BlockCommandsTest, ParameterBlocksByAddress) {
  const struct {
    uint16_t address;
    TParameterBlockKind kind;
    int index;
  } cases[] = {
      {BlockAddressOf(TempParams[1]), TParameterBlockKind::Temperature, 1},
      {BlockAddressOf(AlarmParams[1]), TParameterBlockKind::Relay, 1},
      {BlockAddressOf(OutputParams[3]), TParameterBlockKind::AnalogOutput, 3},
      {BlockAddressOf(UserUnits[15]), TParameterBlockKind::UserUnit, 15},
      {BlockAddressOf(PresetValues[7]), TParameterBlockKind::Preset, 7},
      {BlockAddressOf(OperatingMode), TParameterBlockKind::OperatingMode, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    const std::optional<TParameterBlock> b = ParameterBlockAt(c.address);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->kind, c.kind);
    EXPECT_EQ(b->index, c.index);
  }
  EXPECT_FALSE(ParameterBlockAt(0xF800));  // live values: no parameter block
  // The bytes of a record as a write sends them: what the device then holds.
  PressureParams[1].Max = 777.0f;
  {
    testing::TOwnSet own_set;
    ASSERT_TRUE(WritePressureParams(1));
  }
  EXPECT_EQ(RecordBytes(BlockAddressOf(PressureParams[1])),
            std::string(reinterpret_cast<const char*>(sim_->ReadMemory(0x81A0, 32).data()), 32));
  EXPECT_THROW(RecordBytes(0xF800), std::logic_error);
}

// Online, a block goes out only from a record the device reported, or as part
// of a whole set: else nothing is sent and the program's fault shows.
TEST_F(BlockCommandsTest, AnUnreportedRecordIsSentOnlyWithAWholeSet) {
  EXPECT_THROW(WriteTempParams(1), TUnreportedBlock);
  EXPECT_THROW(WritePresetValue(3), TUnreportedBlock);
  EXPECT_EQ(sim_->RequestCount(), 0u);
  {
    TRun run;
    EXPECT_THROW(WriteTempParams(1), TUnreportedBlock);  // a run is no set
    {
      TRun::TWholeSet whole_set(run);
      EXPECT_TRUE(WriteTempParams(1));
    }
    EXPECT_THROW(WriteTempParams(1), TUnreportedBlock);  // the set ended
  }
  ASSERT_TRUE(ReadPresetValue(3));
  PresetValues[3] = 7.5f;
  EXPECT_TRUE(WritePresetValue(3));
  EXPECT_EQ(sim_->RequestCount(), 3u);
  DeviceOnline = false;
  EXPECT_FALSE(WriteTempParams(0));  // offline: refused as every exchange is
}

TEST_F(BlockCommandsTest, OfflineAndBadIndexesSendNothing) {
  DeviceOnline = false;
  window_.label = "untouched";
  EXPECT_FALSE(ReadTempParams(0));
  EXPECT_FALSE(WriteGasCommon());
  EXPECT_EQ(window_.label, "untouched");
  DeviceOnline = true;
  EXPECT_THROW(ReadTempParams(2), std::out_of_range);
  EXPECT_THROW(WriteOutputParams(4), std::out_of_range);
  EXPECT_THROW(ReadUserUnit(16), std::out_of_range);
  EXPECT_THROW(ReadPresetValue(-1), std::out_of_range);
  EXPECT_EQ(sim_->RequestCount(), 0u);
}

}  // namespace
}  // namespace devicelink
