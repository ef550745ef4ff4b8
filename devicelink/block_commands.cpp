#include "devicelink/block_commands.h"

#include <functional>

#include "devicelink/block_codec.h"
#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "platform/text_encoding.h"

namespace devicelink {
namespace {

constexpr uint16_t kLiveValues = 0xF800;
constexpr uint16_t kTempParams = 0x8100;
constexpr uint16_t kPressureParams = 0x8180;
constexpr uint16_t kFlowParams = 0x8060;
constexpr uint16_t kFlowParams2 = 0x81C0;
constexpr uint16_t kMediumParams = 0x82C0;
constexpr uint16_t kGasCommon = 0x80F0;
constexpr uint16_t kAlarmParams = 0x8040;
constexpr uint16_t kOutputParams = 0x8000;
constexpr uint16_t kPulseOutputParams = 0x8140;
constexpr uint16_t kSupplyValues = 0x8150;
constexpr uint16_t kCorrectionFactors = 0x8200;
constexpr uint16_t kLimitValues = 0x80C0;
constexpr uint16_t kUserUnits = 0x9000;
constexpr uint16_t kPresetValues = 0x9120;
constexpr uint16_t kDisplayEnable = 0x9140;
constexpr uint16_t kTrendSettings = 0x8178;
constexpr uint16_t kUnitSwitches = 0x817C;
constexpr uint16_t kSystemParams = 0x80A0;
constexpr uint16_t kOperatingMode = 0x80EC;
constexpr uint16_t kPasswordBlock = 0x80E0;
constexpr uint16_t kDeviceIdent = 0x80B0;
constexpr uint16_t kSerialNo = 0x8FC0;
constexpr uint16_t kOutputCurrents = 0xF900;

constexpr size_t kSymbolBytes = 5;

std::string Request(uint8_t command, uint16_t address, uint8_t n) {
  std::string m;
  m.push_back(static_cast<char>(command));
  m.push_back(static_cast<char>(address >> 8));
  m.push_back(static_cast<char>(address & 0xFF));
  m.push_back(static_cast<char>(n));
  return m;
}

// Reads a block and hands its data bytes to decode; the record is touched only
// from decode, so a failed exchange or a short reply changes nothing.
bool ReadInto(uint16_t address, uint8_t n, const std::function<void(TBlockReader&)>& decode) {
  std::string data;
  if (!ReadDeviceBlock(address, n, data)) return false;
  TBlockReader r(data);
  decode(r);
  return true;
}

// The user-unit symbol travels as exactly five single-byte characters.
std::string SymbolToDevice(const std::string& symbol) {
  std::string bytes = platform::Utf8ToCp1252(symbol);
  if (bytes.size() < kSymbolBytes) bytes.insert(0, kSymbolBytes - bytes.size(), ' ');
  bytes.resize(kSymbolBytes);
  return bytes;
}

}  // namespace

bool ReadDeviceBlock(uint16_t address, uint8_t n, std::string& data) {
  std::string message = Request(kReadRequest, address, n);
  if (!TransferFrame(message, kMaxMessage, n + 4)) return false;
  if (message.size() < static_cast<size_t>(n) + 4) return false;
  data = message.substr(4, n);
  return true;
}

bool WriteDeviceBlock(uint16_t address, const std::string& data) {
  if (data.empty() || data.size() > 240) throw std::length_error("device block of bad length");
  std::string message = Request(kWriteRequest, address, static_cast<uint8_t>(data.size())) + data;
  return TransferFrame(message, kMaxMessage, 1);
}

bool ReadLiveValues(int32_t ch) {
  TCircuitValues& v = LiveValues.at(ch);
  return ReadInto(kLiveValues + 80 * ch, 80, [&](TBlockReader& r) {
    TCircuitValues n;
    n.Value0 = r.Single();
    n.Spare1 = r.Single();
    n.Spare2 = r.Single();
    n.Spare3 = r.Single();
    n.Density = r.Single();
    n.Pressure = r.Single();
    // The device measures in kelvin; what is left of 0 degC after the subtraction
    // is rounding noise.
    float celsius = static_cast<float>(static_cast<double>(r.Single()) - 273.15);
    n.Temperature = celsius > -0.001f && celsius < 0.001f ? 0.0f : celsius;
    n.DiffPressure = r.Single();
    n.OperatingFlow = r.Single();
    n.MassFlow = r.Single();
    n.MassTotalA = r.Single();
    n.MassTotalB = r.Single();
    n.FlowOrPower = r.Single();
    n.TotalOrEnergyA = r.Single();
    n.TotalOrEnergyB = r.Single();
    n.OperatingSeconds = r.DWord();
    n.Temperature2 = r.Single();
    n.Spare4 = r.Single();
    n.Spare5 = r.Single();
    n.Spare6 = r.Single();
    v = n;
  });
}

bool ReadTempParams(int32_t ch) {
  TTemperatureSettings& p = TempParams.at(ch);
  return ReadInto(kTempParams + 32 * ch, 32, [&](TBlockReader& r) {
    TTemperatureSettings n;
    n.Dummy1 = r.Byte();
    n.Dummy2 = r.Byte();
    n.Kind = r.Byte();
    n.Eq = r.Byte();
    n.Min = r.Single();
    n.Max = r.Single();
    n.Dummy4 = r.Single();
    n.Diff = r.Single();
    n.Toff = r.Single();
    n.Konst = r.Single();
    n.Dummy3 = r.Single();
    p = n;
  });
}

bool WriteTempParams(int32_t ch) {
  const TTemperatureSettings& p = TempParams.at(ch);
  TBlockWriter w;
  w.Byte(p.Dummy1).Byte(p.Dummy2).Byte(p.Kind).Byte(p.Eq);
  w.Single(p.Min).Single(p.Max).Single(p.Dummy4).Single(p.Diff).Single(p.Toff).Single(p.Konst);
  w.Single(p.Dummy3);
  return WriteDeviceBlock(kTempParams + 32 * ch, w.Data());
}

bool ReadPressureParams(int32_t ch) {
  TPressureSettings& p = PressureParams.at(ch);
  return ReadInto(kPressureParams + 32 * ch, 32, [&](TBlockReader& r) {
    TPressureSettings n;
    n.Dummy1 = r.Byte();
    n.Dummy2 = r.Byte();
    n.Kind = r.Byte();
    n.Eq = r.Byte();
    n.Hyd = r.Single();
    n.Min = r.Single();
    n.Max = r.Single();
    n.Err = r.Single();
    n.Konst = r.Single();
    n.Dummy3 = r.Single();
    n.Dummy4 = r.Single();
    p = n;
  });
}

bool WritePressureParams(int32_t ch) {
  const TPressureSettings& p = PressureParams.at(ch);
  TBlockWriter w;
  w.Byte(p.Dummy1).Byte(p.Dummy2).Byte(p.Kind).Byte(p.Eq);
  w.Single(p.Hyd).Single(p.Min).Single(p.Max).Single(p.Err).Single(p.Konst).Single(p.Dummy3);
  w.Single(p.Dummy4);
  return WriteDeviceBlock(kPressureParams + 32 * ch, w.Data());
}

bool ReadFlowParams(int32_t ch) {
  TFlowSettings& p = FlowParams.at(ch);
  return ReadInto(kFlowParams + 32 * ch, 32, [&](TBlockReader& r) {
    TFlowSettings n;
    n.Eq = r.Byte();
    n.Kind = r.Byte();
    n.MaxFreq = r.Word();
    n.Min = r.Single();
    n.Max = r.Single();
    n.KFak = r.Single();
    n.TKK = r.Single();
    n.BTemp = r.Single();
    n.Schleich = r.Single();
    n.Exp_zahl = r.Single();
    p = n;
  });
}

bool WriteFlowParams(int32_t ch) {
  const TFlowSettings& p = FlowParams.at(ch);
  TBlockWriter w;
  w.Byte(p.Eq).Byte(p.Kind).Word(p.MaxFreq);
  w.Single(p.Min).Single(p.Max).Single(p.KFak).Single(p.TKK).Single(p.BTemp).Single(p.Schleich);
  w.Single(p.Exp_zahl);
  return WriteDeviceBlock(kFlowParams + 32 * ch, w.Data());
}

bool ReadFlowParams2(int32_t ch) {
  TDpSettings& p = FlowParams2.at(ch);
  return ReadInto(kFlowParams2 + 32 * ch, 32, [&](TBlockReader& r) {
    TDpSettings n;
    n.DesQN = r.Single();
    n.DesT = r.Single();
    n.Desp = r.Single();
    n.Desdp = r.Single();
    n.DesRho = r.Single();
    n.Desdp2 = r.Single();
    n.Desdp3 = r.Single();
    n.Desdp4 = r.Single();
    p = n;
  });
}

bool WriteFlowParams2(int32_t ch) {
  const TDpSettings& p = FlowParams2.at(ch);
  TBlockWriter w;
  w.Single(p.DesQN).Single(p.DesT).Single(p.Desp).Single(p.Desdp).Single(p.DesRho);
  w.Single(p.Desdp2).Single(p.Desdp3).Single(p.Desdp4);
  return WriteDeviceBlock(kFlowParams2 + 32 * ch, w.Data());
}

bool ReadMediumParams(int32_t ch) {
  TMediumSettings& p = MediumParams.at(ch);
  const uint16_t address = kMediumParams + 32 * ch;
  std::string request = Request(kReadRequest, address, 32);
  std::string message = request;
  if (!TransferFrame(message, kMaxMessage, 32 + 4)) return false;
  // The only block whose echo is checked: a reply for another address must not
  // land in the medium record.
  if (message.size() < 36 || message.compare(0, 4, request) != 0) return false;
  TBlockReader r(std::string_view(message).substr(4, 32));
  TMediumSettings n;
  n.Dummy1 = r.Byte();
  n.Dummy2 = r.Byte();
  n.Ready = r.Byte();
  n.Kind = r.Byte();
  n.Rho = r.Single();
  n.RN = r.Single();
  n.BT = r.Single();
  n.Bp = r.Single();
  n.BRho = r.Single();
  n.WKapa = r.Single();
  n.Satt_Tol = r.Single();
  p = n;
  return true;
}

bool WriteMediumParams(int32_t ch) {
  const TMediumSettings& p = MediumParams.at(ch);
  TBlockWriter w;
  w.Byte(p.Dummy1).Byte(p.Dummy2).Byte(p.Ready).Byte(p.Kind);
  w.Single(p.Rho).Single(p.RN).Single(p.BT).Single(p.Bp).Single(p.BRho).Single(p.WKapa);
  w.Single(p.Satt_Tol);
  return WriteDeviceBlock(kMediumParams + 32 * ch, w.Data());
}

bool ReadGasCommon() {
  return ReadInto(kGasCommon, 16, [](TBlockReader& r) {
    TGasComposition n;
    n.Ho = r.Single();
    n.CO2 = r.Single();
    n.H2 = r.Single();
    n.Rho = r.Single();
    GasCommon = n;
  });
}

bool WriteGasCommon() {
  TBlockWriter w;
  w.Single(GasCommon.Ho).Single(GasCommon.CO2).Single(GasCommon.H2).Single(GasCommon.Rho);
  return WriteDeviceBlock(kGasCommon, w.Data());
}

bool ReadAlarmParams(int32_t i) {
  TAlarmSettings& p = AlarmParams.at(i);
  return ReadInto(kAlarmParams + 16 * i, 16, [&](TBlockReader& r) {
    TAlarmSettings n;
    n.Dummy1 = r.Byte();
    n.Dummy2 = r.Byte();
    n.Param = r.Byte();
    n.Kind = r.Byte();
    n.Min = r.Single();
    n.Max = r.Single();
    n.Dummy3 = r.Single();
    p = n;
  });
}

bool WriteAlarmParams(int32_t i) {
  const TAlarmSettings& p = AlarmParams.at(i);
  TBlockWriter w;
  w.Byte(p.Dummy1).Byte(p.Dummy2).Byte(p.Param).Byte(p.Kind);
  w.Single(p.Min).Single(p.Max).Single(p.Dummy3);
  return WriteDeviceBlock(kAlarmParams + 16 * i, w.Data());
}

bool ReadOutputParams(int32_t i) {
  TOutputSettings& p = OutputParams.at(i);
  return ReadInto(kOutputParams + 16 * i, 16, [&](TBlockReader& r) {
    TOutputSettings n;
    n.Dummy1 = r.Byte();
    n.Dummy2 = r.Byte();
    n.Konstant = r.Byte();
    n.Param = r.Byte();
    n.Min = r.Single();
    n.Max = r.Single();
    n.Err = r.Single();
    p = n;
  });
}

bool WriteOutputParams(int32_t i) {
  const TOutputSettings& p = OutputParams.at(i);
  TBlockWriter w;
  w.Byte(p.Dummy1).Byte(p.Dummy2).Byte(p.Konstant).Byte(p.Param);
  w.Single(p.Min).Single(p.Max).Single(p.Err);
  return WriteDeviceBlock(kOutputParams + 16 * i, w.Data());
}

bool ReadPulseOutputParams(int32_t ch) {
  TPulseSettings& p = PulseOutputParams.at(ch);
  return ReadInto(kPulseOutputParams + 8 * ch, 8, [&](TBlockReader& r) {
    TPulseSettings n;
    n.Dummy1 = r.Byte();
    n.Dummy2 = r.Byte();
    n.Dummy3 = r.Byte();
    n.Kind = r.Byte();
    n.Compare = r.Single();
    p = n;
  });
}

bool WritePulseOutputParams(int32_t ch) {
  const TPulseSettings& p = PulseOutputParams.at(ch);
  TBlockWriter w;
  w.Byte(p.Dummy1).Byte(p.Dummy2).Byte(p.Dummy3).Byte(p.Kind).Single(p.Compare);
  return WriteDeviceBlock(kPulseOutputParams + 8 * ch, w.Data());
}

bool ReadSupplyValues(int32_t ch) {
  TSupplySettings& p = SupplyValues.at(ch);
  return ReadInto(kSupplyValues + 16 * ch, 16, [&](TBlockReader& r) {
    TSupplySettings n;
    n.T0 = r.Single();
    n.p0 = r.Single();
    n.h0 = r.Single();
    n.Faktor = r.Single();
    p = n;
  });
}

bool WriteSupplyValues(int32_t ch) {
  const TSupplySettings& p = SupplyValues.at(ch);
  TBlockWriter w;
  w.Single(p.T0).Single(p.p0).Single(p.h0).Single(p.Faktor);
  return WriteDeviceBlock(kSupplyValues + 16 * ch, w.Data());
}

bool ReadCorrectionFactors(int32_t ch) {
  auto& p = CorrectionFactors.at(ch);
  return ReadInto(kCorrectionFactors + 32 * ch, 32, [&](TBlockReader& r) {
    std::array<float, 8> n;
    for (float& f : n) f = r.Single();
    p = n;
  });
}

bool WriteCorrectionFactors(int32_t ch) {
  TBlockWriter w;
  for (float f : CorrectionFactors.at(ch)) w.Single(f);
  return WriteDeviceBlock(kCorrectionFactors + 32 * ch, w.Data());
}

bool ReadLimitValues() {
  return ReadInto(kLimitValues, 16, [](TBlockReader& r) {
    TLimitValues n;
    n.U_Max = r.Single();
    n.U_Min = r.Single();
    n.L_Max = r.Single();
    n.L_Min = r.Single();
    LimitValues = n;
  });
}

bool WriteLimitValues() {
  TBlockWriter w;
  w.Single(LimitValues.U_Max).Single(LimitValues.U_Min).Single(LimitValues.L_Max);
  w.Single(LimitValues.L_Min);
  return WriteDeviceBlock(kLimitValues, w.Data());
}

bool ReadUserUnit(uint8_t i) {
  TUserUnit& u = UserUnits.at(i);
  return ReadInto(kUserUnits + 16 * i, 16, [&](TBlockReader& r) {
    TUserUnit n;
    n.Variant = r.Byte();
    n.SymbolLength = r.Byte();
    n.Decimals = r.Byte();
    n.Symbol = platform::Cp1252ToUtf8(r.Bytes(kSymbolBytes));
    n.Factor = r.Single();
    n.Offset = r.Single();
    u = n;
  });
}

bool WriteUserUnit(uint8_t i) {
  const TUserUnit& u = UserUnits.at(i);
  TBlockWriter w;
  w.Byte(u.Variant).Byte(u.SymbolLength).Byte(u.Decimals).Bytes(SymbolToDevice(u.Symbol));
  w.Single(u.Factor).Single(u.Offset);
  return WriteDeviceBlock(kUserUnits + 16 * i, w.Data());
}

bool ReadPresetValue(int32_t i) {
  float& p = PresetValues.at(i);
  return ReadInto(kPresetValues + 4 * i, 4, [&](TBlockReader& r) { p = r.Single(); });
}

bool WritePresetValue(int32_t i) {
  TBlockWriter w;
  w.Single(PresetValues.at(i));
  return WriteDeviceBlock(kPresetValues + 4 * i, w.Data());
}

namespace {

bool ReadFourBytes(uint16_t address, std::array<uint8_t, 4>& target) {
  return ReadInto(address, 4, [&](TBlockReader& r) {
    std::array<uint8_t, 4> n;
    for (uint8_t& b : n) b = r.Byte();
    target = n;
  });
}

bool WriteFourBytes(uint16_t address, const std::array<uint8_t, 4>& source) {
  TBlockWriter w;
  for (uint8_t b : source) w.Byte(b);
  return WriteDeviceBlock(address, w.Data());
}

}  // namespace

bool ReadDisplayEnable() { return ReadFourBytes(kDisplayEnable, DisplayEnable); }
bool WriteDisplayEnable() { return WriteFourBytes(kDisplayEnable, DisplayEnable); }
bool ReadOperatingMode() { return ReadFourBytes(kOperatingMode, OperatingMode); }
bool WriteOperatingMode() { return WriteFourBytes(kOperatingMode, OperatingMode); }

bool ReadTrendSettings() {
  return ReadInto(kTrendSettings, 4, [](TBlockReader& r) {
    TTrendSettings n;
    n.Dummy1 = r.Byte();
    n.Dummy2 = r.Byte();
    n.Param = r.Byte();
    n.Time = r.Byte();
    TrendSettings = n;
  });
}

bool WriteTrendSettings() {
  TBlockWriter w;
  w.Byte(TrendSettings.Dummy1).Byte(TrendSettings.Dummy2).Byte(TrendSettings.Param);
  w.Byte(TrendSettings.Time);
  return WriteDeviceBlock(kTrendSettings, w.Data());
}

bool ReadUnitSwitches() {
  return ReadInto(kUnitSwitches, 4, [](TBlockReader& r) {
    TUnitSwitches n;
    n.Kind = r.Byte();
    n.Einheiten = r.Byte();
    n.First = r.Byte();
    n.CalcError = r.Byte();
    UnitSwitches = n;
  });
}

bool WriteUnitSwitches() {
  TBlockWriter w;
  w.Byte(UnitSwitches.Kind).Byte(UnitSwitches.Einheiten).Byte(UnitSwitches.First);
  w.Byte(UnitSwitches.CalcError);
  return WriteDeviceBlock(kUnitSwitches, w.Data());
}

bool ReadSystemParams() {
  return ReadInto(kSystemParams, 16, [](TBlockReader& r) {
    TSystemSettings n;
    n.SystemTypeFlags = r.Byte();
    n.Anzahl = r.Byte();
    n.KindMask = r.Byte();
    n.Kind = r.Byte();
    n.Lang = r.Byte();
    r.Skip(3);  // spare on the device; Dummy3 and Dummy4 never come from it
    n.Dummy3 = 0;
    n.Dummy4 = 0;
    n.Faktor = r.Single();
    n.Dummy6 = r.Single();
    SystemParams = n;
  });
}

bool WriteSystemParams() {
  const TSystemSettings& p = SystemParams;
  TBlockWriter w;
  w.Byte(p.SystemTypeFlags).Byte(p.Anzahl).Byte(p.KindMask).Byte(p.Kind).Byte(p.Lang);
  w.Byte(0).Byte(0).Byte(0);
  w.Single(p.Faktor).Single(p.Dummy6);
  return WriteDeviceBlock(kSystemParams, w.Data());
}

bool ReadPasswordBlock() {
  return ReadInto(kPasswordBlock, 13, [](TBlockReader& r) {
    TPasswordBlock n;
    for (uint8_t& b : n.PasswordBytes) b = r.Byte();
    n.PasswordActive = r.Byte();
    n.DevicePassword = platform::Cp1252ToUtf8(r.Bytes(8));
    PasswordBlock = n;
  });
}

bool ReadDeviceIdent() {
  return ReadInto(kDeviceIdent, 8,
                  [](TBlockReader& r) { DeviceIdent = platform::Cp1252ToUtf8(r.Bytes(8)); });
}

bool ReadSerialNo() {
  return ReadInto(kSerialNo, 16, [](TBlockReader& r) {
    std::string bytes = r.Bytes(16);
    for (char& c : bytes) {
      if (static_cast<uint8_t>(c) < 32) c = ' ';
    }
    DeviceSerialNo = platform::Cp1252ToUtf8(bytes);
  });
}

bool ReadOutputCurrents() {
  return ReadInto(kOutputCurrents, 16, [](TBlockReader& r) {
    std::array<float, 4> n;
    for (float& f : n) f = r.Single();
    OutputCurrents = n;
  });
}

bool ReadCircuitParams(int32_t ch) {
  return ReadTempParams(ch) && ReadPressureParams(ch) && ReadFlowParams(ch) &&
         ReadFlowParams2(ch) && ReadMediumParams(ch) && ReadGasCommon() && ReadOutputParams(0) &&
         ReadOutputParams(1) && ReadOutputParams(2) && ReadOutputParams(3);
}

}  // namespace devicelink
