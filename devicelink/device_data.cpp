#include "devicelink/device_data.h"

namespace devicelink {

std::array<TTemperatureSettings, 2> TempParams;
std::array<TPressureSettings, 2> PressureParams;
std::array<TFlowSettings, 2> FlowParams;
std::array<TDpSettings, 2> FlowParams2;
std::array<TMediumSettings, 2> MediumParams;
TGasComposition GasCommon;
std::array<TSupplySettings, 2> SupplyValues;
std::array<TPulseSettings, 2> PulseOutputParams;
std::array<TAlarmSettings, 2> AlarmParams;
std::array<TOutputSettings, 4> OutputParams;
TUnitSwitches UnitSwitches;
std::array<TUserUnit, 16> UserUnits;
TTrendSettings TrendSettings;
std::array<std::array<float, 8>, 2> CorrectionFactors{};
TLimitValues LimitValues;
TSystemSettings SystemParams;
std::array<float, 8> PresetValues{};
std::array<uint8_t, 4> DisplayEnable{};
TOperatingMode OperatingMode{};

std::array<TCircuitValues, 2> LiveValues;
std::array<float, 4> OutputCurrents{};
TPasswordBlock PasswordBlock;
std::string DeviceIdent;
std::string DeviceSerialNo;
TDeviceClock DeviceClock;
double ClockOffset = 0;
TDeviceErrorLog DeviceErrorLog;
std::array<std::array<TIntegratorRecord, 8>, 2> IntegratorHistory{};
std::unique_ptr<TTrendStore> TrendStore;
std::unique_ptr<TPropertyTable> TableData;
TSatTable UserSatTable{};

TParameterRecords TParameterRecords::Capture() {
  TParameterRecords r;
  r.TempParams = devicelink::TempParams;
  r.PressureParams = devicelink::PressureParams;
  r.FlowParams = devicelink::FlowParams;
  r.FlowParams2 = devicelink::FlowParams2;
  r.MediumParams = devicelink::MediumParams;
  r.GasCommon = devicelink::GasCommon;
  r.SupplyValues = devicelink::SupplyValues;
  r.PulseOutputParams = devicelink::PulseOutputParams;
  r.AlarmParams = devicelink::AlarmParams;
  r.OutputParams = devicelink::OutputParams;
  r.UnitSwitches = devicelink::UnitSwitches;
  r.UserUnits = devicelink::UserUnits;
  r.TrendSettings = devicelink::TrendSettings;
  r.CorrectionFactors = devicelink::CorrectionFactors;
  r.LimitValues = devicelink::LimitValues;
  r.SystemParams = devicelink::SystemParams;
  r.PresetValues = devicelink::PresetValues;
  r.DisplayEnable = devicelink::DisplayEnable;
  return r;
}

void TParameterRecords::Commit() const {
  devicelink::TempParams = TempParams;
  devicelink::PressureParams = PressureParams;
  devicelink::FlowParams = FlowParams;
  devicelink::FlowParams2 = FlowParams2;
  devicelink::MediumParams = MediumParams;
  devicelink::GasCommon = GasCommon;
  devicelink::SupplyValues = SupplyValues;
  devicelink::PulseOutputParams = PulseOutputParams;
  devicelink::AlarmParams = AlarmParams;
  devicelink::OutputParams = OutputParams;
  devicelink::UnitSwitches = UnitSwitches;
  devicelink::UserUnits = UserUnits;
  devicelink::TrendSettings = TrendSettings;
  devicelink::CorrectionFactors = CorrectionFactors;
  devicelink::LimitValues = LimitValues;
  devicelink::SystemParams = SystemParams;
  devicelink::PresetValues = PresetValues;
  devicelink::DisplayEnable = DisplayEnable;
}

void ResetDeviceData() {
  TempParams = {};
  PressureParams = {};
  FlowParams = {};
  FlowParams2 = {};
  MediumParams = {};
  GasCommon = {};
  SupplyValues = {};
  PulseOutputParams = {};
  AlarmParams = {};
  OutputParams = {};
  UnitSwitches = {};
  UserUnits = {};
  TrendSettings = {};
  CorrectionFactors = {};
  LimitValues = {};
  SystemParams = {};
  PresetValues = {};
  DisplayEnable = {};
  OperatingMode = {};
  LiveValues = {};
  OutputCurrents = {};
  PasswordBlock = {};
  DeviceIdent.clear();
  DeviceSerialNo.clear();
  DeviceClock = {};
  ClockOffset = 0;
  DeviceErrorLog = {};
  IntegratorHistory = {};
  UserSatTable = {};
}

}  // namespace devicelink
