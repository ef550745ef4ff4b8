#include "devicelink/block_commands.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "devicelink/block_codec.h"
#include "devicelink/device_data.h"
#include "devicelink/device_run.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"

namespace devicelink {
namespace {

// A device block: its address and length; entry i of an indexed block follows at
// address + i * n.
struct TBlock {
  uint16_t address;
  uint8_t n;
  TBlock Entry(int32_t i) const { return {static_cast<uint16_t>(address + n * i), n}; }
};

constexpr TBlock kLiveValues{0xF800, 80};
constexpr TBlock kTempParams{0x8100, 32};
constexpr TBlock kPressureParams{0x8180, 32};
constexpr TBlock kFlowParams{0x8060, 32};
constexpr TBlock kFlowParams2{0x81C0, 32};
constexpr TBlock kMediumParams{0x82C0, 32};
constexpr TBlock kGasCommon{0x80F0, 16};
constexpr TBlock kAlarmParams{0x8040, 16};
constexpr TBlock kOutputParams{0x8000, 16};
constexpr TBlock kPulseOutputParams{0x8140, 8};
constexpr TBlock kSupplyValues{0x8150, 16};
constexpr TBlock kCorrectionFactors{0x8200, 32};
constexpr TBlock kLimitValues{0x80C0, 16};
constexpr TBlock kUserUnits{0x9000, 16};
constexpr TBlock kPresetValues{0x9120, 4};
constexpr TBlock kDisplayEnable{0x9140, 4};
constexpr TBlock kTrendSettings{0x8178, 4};
constexpr TBlock kUnitSwitches{0x817C, 4};
constexpr TBlock kSystemParams{0x80A0, 16};
constexpr TBlock kOperatingMode{0x80EC, 4};
constexpr TBlock kPasswordBlock{0x80E0, 13};
constexpr TBlock kDeviceIdent{0x80B0, 8};
constexpr TBlock kSerialNo{0x8FC0, 16};
constexpr TBlock kOutputCurrents{0xF900, 16};

constexpr size_t kSymbolBytes = 5;
constexpr size_t kPasswordBytes = 8;

std::string Request(uint8_t command, uint16_t address, uint8_t n) {
  std::string m;
  m.push_back(static_cast<char>(command));
  m.push_back(static_cast<char>(address >> 8));
  m.push_back(static_cast<char>(address & 0xFF));
  m.push_back(static_cast<char>(n));
  return m;
}

// ---------------------------------------------------------------------------
// The layouts, one per record type, visited with a TFieldReader or a TFieldWriter.
// R is the record, const when writing.

template <class F, ArrayOf<float> R>
void Layout(F& f, R& values) {
  for (auto& v : values) f.Single(v);
}

template <class F, ArrayOf<uint8_t> R>
void Layout(F& f, R& bytes) {
  for (auto& b : bytes) f.Byte(b);
}

template <class F, RecordOf<float> R>
void Layout(F& f, R& value) {
  f.Single(value);
}

template <class F, RecordOf<TCircuitValues> R>
void Layout(F& f, R& v) {
  f.Single(v.Value0);
  f.Single(v.Spare1);
  f.Single(v.Spare2);
  f.Single(v.Spare3);
  f.Single(v.Density);
  f.Single(v.Pressure);
  f.Kelvin(v.Temperature);
  f.Single(v.DiffPressure);
  f.Single(v.OperatingFlow);
  f.Single(v.MassFlow);
  f.Single(v.MassTotalA);
  f.Single(v.MassTotalB);
  f.Single(v.FlowOrPower);
  f.Single(v.TotalOrEnergyA);
  f.Single(v.TotalOrEnergyB);
  f.DWord(v.OperatingSeconds);
  f.Single(v.Temperature2);
  f.Single(v.Spare4);
  f.Single(v.Spare5);
  f.Single(v.Spare6);
}

template <class F, RecordOf<TTemperatureSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Dummy1);
  f.Byte(p.Dummy2);
  f.Byte(p.Kind);
  f.Byte(p.Eq);
  f.Single(p.Min);
  f.Single(p.Max);
  f.Single(p.Dummy4);
  f.Single(p.Diff);
  f.Single(p.Toff);
  f.Single(p.Konst);
  f.Single(p.Dummy3);
}

template <class F, RecordOf<TPressureSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Dummy1);
  f.Byte(p.Dummy2);
  f.Byte(p.Kind);
  f.Byte(p.Eq);
  f.Single(p.Hyd);
  f.Single(p.Min);
  f.Single(p.Max);
  f.Single(p.Err);
  f.Single(p.Konst);
  f.Single(p.Dummy3);
  f.Single(p.Dummy4);
}

template <class F, RecordOf<TFlowSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Eq);
  f.Byte(p.Kind);
  f.Word(p.MaxFreq);
  f.Single(p.Min);
  f.Single(p.Max);
  f.Single(p.KFak);
  f.Single(p.TKK);
  f.Single(p.BTemp);
  f.Single(p.Schleich);
  f.Single(p.Exp_zahl);
}

template <class F, RecordOf<TDpSettings> R>
void Layout(F& f, R& p) {
  f.Single(p.DesQN);
  f.Single(p.DesT);
  f.Single(p.Desp);
  f.Single(p.Desdp);
  f.Single(p.DesRho);
  f.Single(p.Desdp2);
  f.Single(p.Desdp3);
  f.Single(p.Desdp4);
}

template <class F, RecordOf<TMediumSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Dummy1);
  f.Byte(p.Dummy2);
  f.Byte(p.Ready);
  f.Byte(p.Kind);
  f.Single(p.Rho);
  f.Single(p.RN);
  f.Single(p.BT);
  f.Single(p.Bp);
  f.Single(p.BRho);
  f.Single(p.WKapa);
  f.Single(p.Satt_Tol);
}

template <class F, RecordOf<TGasComposition> R>
void Layout(F& f, R& p) {
  f.Single(p.Ho);
  f.Single(p.CO2);
  f.Single(p.H2);
  f.Single(p.Rho);
}

template <class F, RecordOf<TAlarmSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Dummy1);
  f.Byte(p.Dummy2);
  f.Byte(p.Param);
  f.Byte(p.Kind);
  f.Single(p.Min);
  f.Single(p.Max);
  f.Single(p.Dummy3);
}

template <class F, RecordOf<TOutputSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Dummy1);
  f.Byte(p.Dummy2);
  f.Byte(p.Konstant);
  f.Byte(p.Param);
  f.Single(p.Min);
  f.Single(p.Max);
  f.Single(p.Err);
}

template <class F, RecordOf<TPulseSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Dummy1);
  f.Byte(p.Dummy2);
  f.Byte(p.Dummy3);
  f.Byte(p.Kind);
  f.Single(p.Compare);
}

template <class F, RecordOf<TSupplySettings> R>
void Layout(F& f, R& p) {
  f.Single(p.T0);
  f.Single(p.p0);
  f.Single(p.h0);
  f.Single(p.Faktor);
}

template <class F, RecordOf<TLimitValues> R>
void Layout(F& f, R& p) {
  f.Single(p.U_Max);
  f.Single(p.U_Min);
  f.Single(p.L_Max);
  f.Single(p.L_Min);
}

template <class F, RecordOf<TUserUnit> R>
void Layout(F& f, R& u) {
  f.Byte(u.Variant);
  f.Byte(u.SymbolLength);
  f.Byte(u.Decimals);
  f.Text(u.Symbol, kSymbolBytes);
  f.Single(u.Factor);
  f.Single(u.Offset);
}

template <class F, RecordOf<TTrendSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.Dummy1);
  f.Byte(p.Dummy2);
  f.Byte(p.Param);
  f.Byte(p.Time);
}

template <class F, RecordOf<TUnitSwitches> R>
void Layout(F& f, R& p) {
  f.Byte(p.Kind);
  f.Byte(p.Einheiten);
  f.Byte(p.First);
  f.Byte(p.CalcError);
}

// Dummy3 and Dummy4 never travel: three spare bytes stand in their place, so a read
// leaves them 0 and a write sends zeros.
template <class F, RecordOf<TSystemSettings> R>
void Layout(F& f, R& p) {
  f.Byte(p.SystemTypeFlags);
  f.Byte(p.Anzahl);
  f.Byte(p.KindMask);
  f.Byte(p.Kind);
  f.Byte(p.Lang);
  f.Spare(3);
  f.Single(p.Faktor);
  f.Single(p.Dummy6);
}

template <class F, RecordOf<TPasswordBlock> R>
void Layout(F& f, R& p) {
  Layout(f, p.PasswordBytes);
  f.Byte(p.PasswordActive);
  f.Text(p.DevicePassword, kPasswordBytes);
  f.Spare(1);
}

// The layout of the record's type.
struct TRecordLayout {
  template <class F, class R>
  void operator()(F& f, R& record) const {
    Layout(f, record);
  }
};

// A fresh record from the whole of a block's data bytes.
template <class T, class L>
T Decode(std::string_view data, L layout) {
  T record{};
  TFieldReader f(data);
  layout(f, record);
  if (f.Left() != 0) throw std::logic_error("device block longer than its layout");
  return record;
}

// Reads a block and stores it only once all of it is decoded, so a failed exchange
// changes nothing.
template <class T, class L = TRecordLayout>
bool Read(TBlock block, T& target, L layout = {}) {
  std::string data;
  if (!ReadDeviceBlock(block.address, block.n, data)) {
    MarkReported(block.address, false);
    return false;
  }
  target = Decode<T>(data, layout);
  MarkReported(block.address, true);
  return true;
}

// A block goes out as this device reported it, with the operator's change: a
// record the device did not report (a file's, another device's, one whose last
// exchange failed) is sent only as part of a whole set. A handler reads it first;
// reaching this is a fault of the program, and nothing is sent.
// After a failed write nobody knows what the device holds.
template <class T, class L = TRecordLayout>
bool Write(TBlock block, const T& source, L layout = {}) {
  TFieldWriter f;
  layout(f, source);
  if (f.Data().size() != block.n) {
    throw std::logic_error("device block length differs from its layout");
  }
  const TRun* run = CurrentRun();
  if (DeviceOnline && (run == nullptr || !run->WholeSet()) &&
      CurrentParameters.ReportedBlocks.count(block.address) == 0) {
    throw TUnreportedBlock(block.address);
  }
  if (WriteDeviceBlock(block.address, f.Data())) return true;
  MarkReported(block.address, false);
  return false;
}

// Calls f(record, block, kind, index) for every parameter record of the set in
// force, with its device block.
template <class F>
void ForEachParameterBlock(F f) {
  const auto each = [&](auto& records, TBlock block, TParameterBlockKind kind) {
    for (size_t i = 0; i < records.size(); ++i) {
      f(records[i], block.Entry(static_cast<int32_t>(i)), kind, static_cast<int>(i));
    }
  };
  const auto one = [&](auto& r, TBlock block, TParameterBlockKind kind) { f(r, block, kind, 0); };
  using K = TParameterBlockKind;
  each(TempParams, kTempParams, K::Temperature);
  each(PressureParams, kPressureParams, K::Pressure);
  each(FlowParams, kFlowParams, K::Flow);
  each(FlowParams2, kFlowParams2, K::Flow2);
  each(MediumParams, kMediumParams, K::Medium);
  one(GasCommon, kGasCommon, K::Gas);
  each(SupplyValues, kSupplyValues, K::Supply);
  each(PulseOutputParams, kPulseOutputParams, K::PulseOutput);
  each(AlarmParams, kAlarmParams, K::Relay);
  each(OutputParams, kOutputParams, K::AnalogOutput);
  one(UnitSwitches, kUnitSwitches, K::UnitSwitches);
  each(UserUnits, kUserUnits, K::UserUnit);
  one(TrendSettings, kTrendSettings, K::Trend);
  each(CorrectionFactors, kCorrectionFactors, K::Correction);
  one(LimitValues, kLimitValues, K::Limits);
  one(SystemParams, kSystemParams, K::System);
  each(PresetValues, kPresetValues, K::Preset);
  one(DisplayEnable, kDisplayEnable, K::DisplayEnable);
  one(OperatingMode, kOperatingMode, K::OperatingMode);
}

// The block of a parameter record of the set in force, found by where it lies.
std::optional<TBlock> BlockOf(const void* record) {
  std::optional<TBlock> found;
  ForEachParameterBlock([&](const auto& r, TBlock block, TParameterBlockKind, int) {
    if (static_cast<const void*>(&r) == record) found = block;
  });
  return found;
}

}  // namespace

std::string HexAddress(uint16_t address) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(address >> shift) & 0xF];
  return text;
}

TUnreportedBlock::TUnreportedBlock(uint16_t block_address)
    : std::logic_error("block " + HexAddress(block_address) +
                       " was not read from this device: nothing was sent"),
      address_(block_address) {}

uint16_t BlockAddressOfRecord(const void* record) {
  const std::optional<TBlock> block = BlockOf(record);
  if (!block) throw std::logic_error("not a parameter record of the set in force");
  return block->address;
}

bool Reported(uint16_t block_address) {
  return CurrentParameters.ReportedBlocks.count(block_address) != 0;
}

std::optional<TParameterBlock> ParameterBlockAt(uint16_t block_address) {
  std::optional<TParameterBlock> found;
  ForEachParameterBlock([&](const auto&, TBlock block, TParameterBlockKind kind, int index) {
    if (block.address == block_address) found = TParameterBlock{kind, index};
  });
  return found;
}

std::string RecordBytes(uint16_t block_address) {
  std::optional<std::string> bytes;
  ForEachParameterBlock([&](const auto& r, TBlock block, TParameterBlockKind, int) {
    if (block.address != block_address) return;
    TFieldWriter f;
    TRecordLayout{}(f, r);
    bytes = f.Data();
  });
  if (!bytes) throw std::logic_error("no parameter block at " + HexAddress(block_address));
  return *bytes;
}

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

bool ReadLiveValues(int32_t ch) { return Read(kLiveValues.Entry(ch), LiveValues.at(ch)); }

bool ReadTempParams(int32_t ch) { return Read(kTempParams.Entry(ch), TempParams.at(ch)); }
bool WriteTempParams(int32_t ch) { return Write(kTempParams.Entry(ch), TempParams.at(ch)); }

bool ReadPressureParams(int32_t ch) {
  return Read(kPressureParams.Entry(ch), PressureParams.at(ch));
}
bool WritePressureParams(int32_t ch) {
  return Write(kPressureParams.Entry(ch), PressureParams.at(ch));
}

bool ReadFlowParams(int32_t ch) { return Read(kFlowParams.Entry(ch), FlowParams.at(ch)); }
bool WriteFlowParams(int32_t ch) { return Write(kFlowParams.Entry(ch), FlowParams.at(ch)); }

bool ReadFlowParams2(int32_t ch) { return Read(kFlowParams2.Entry(ch), FlowParams2.at(ch)); }
bool WriteFlowParams2(int32_t ch) { return Write(kFlowParams2.Entry(ch), FlowParams2.at(ch)); }

bool ReadMediumParams(int32_t ch) { return Read(kMediumParams.Entry(ch), MediumParams.at(ch)); }
bool WriteMediumParams(int32_t ch) { return Write(kMediumParams.Entry(ch), MediumParams.at(ch)); }

bool ReadGasCommon() { return Read(kGasCommon, GasCommon); }
bool WriteGasCommon() { return Write(kGasCommon, GasCommon); }

bool ReadAlarmParams(int32_t i) { return Read(kAlarmParams.Entry(i), AlarmParams.at(i)); }
bool WriteAlarmParams(int32_t i) { return Write(kAlarmParams.Entry(i), AlarmParams.at(i)); }

bool ReadOutputParams(int32_t i) { return Read(kOutputParams.Entry(i), OutputParams.at(i)); }
bool WriteOutputParams(int32_t i) { return Write(kOutputParams.Entry(i), OutputParams.at(i)); }

bool ReadPulseOutputParams(int32_t ch) {
  return Read(kPulseOutputParams.Entry(ch), PulseOutputParams.at(ch));
}
bool WritePulseOutputParams(int32_t ch) {
  return Write(kPulseOutputParams.Entry(ch), PulseOutputParams.at(ch));
}

bool ReadSupplyValues(int32_t ch) { return Read(kSupplyValues.Entry(ch), SupplyValues.at(ch)); }
bool WriteSupplyValues(int32_t ch) { return Write(kSupplyValues.Entry(ch), SupplyValues.at(ch)); }

bool ReadCorrectionFactors(int32_t ch) {
  return Read(kCorrectionFactors.Entry(ch), CorrectionFactors.at(ch));
}
bool WriteCorrectionFactors(int32_t ch) {
  return Write(kCorrectionFactors.Entry(ch), CorrectionFactors.at(ch));
}

bool ReadLimitValues() { return Read(kLimitValues, LimitValues); }
bool WriteLimitValues() { return Write(kLimitValues, LimitValues); }

bool ReadUserUnit(uint8_t i) { return Read(kUserUnits.Entry(i), UserUnits.at(i)); }
bool WriteUserUnit(uint8_t i) { return Write(kUserUnits.Entry(i), UserUnits.at(i)); }

bool ReadPresetValue(int32_t i) { return Read(kPresetValues.Entry(i), PresetValues.at(i)); }
bool WritePresetValue(int32_t i) { return Write(kPresetValues.Entry(i), PresetValues.at(i)); }

bool ReadDisplayEnable() { return Read(kDisplayEnable, DisplayEnable); }
bool WriteDisplayEnable() { return Write(kDisplayEnable, DisplayEnable); }

bool ReadTrendSettings() { return Read(kTrendSettings, TrendSettings); }
bool WriteTrendSettings() { return Write(kTrendSettings, TrendSettings); }

bool ReadUnitSwitches() { return Read(kUnitSwitches, UnitSwitches); }
bool WriteUnitSwitches() { return Write(kUnitSwitches, UnitSwitches); }

bool ReadSystemParams() { return Read(kSystemParams, SystemParams); }
bool WriteSystemParams() { return Write(kSystemParams, SystemParams); }

bool ReadOperatingMode() { return Read(kOperatingMode, OperatingMode); }
bool WriteOperatingMode() { return Write(kOperatingMode, OperatingMode); }

bool ReadPasswordBlock() { return Read(kPasswordBlock, PasswordBlock); }

bool ReadDeviceIdent() {
  return Read(kDeviceIdent, DeviceIdent, [](TFieldReader& f, std::string& text) {
    f.Text(text, kDeviceIdent.n);
  });
}

bool ReadSerialNo() {
  return Read(kSerialNo, DeviceSerialNo, [](TFieldReader& f, std::string& text) {
    f.Text(text, kSerialNo.n);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 32; }, ' ');
  });
}

bool ReadOutputCurrents() { return Read(kOutputCurrents, OutputCurrents); }

bool ReadCircuitParams(int32_t ch) {
  return ReadTempParams(ch) && ReadPressureParams(ch) && ReadFlowParams(ch) &&
         ReadFlowParams2(ch) && ReadMediumParams(ch) && ReadGasCommon() && ReadOutputParams(0) &&
         ReadOutputParams(1) && ReadOutputParams(2) && ReadOutputParams(3);
}

}  // namespace devicelink
