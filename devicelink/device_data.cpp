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
