#include "devicelink/device_data.h"

namespace devicelink {

TParameterRecords CurrentParameters;
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
  return CurrentParameters;
}

void TParameterRecords::Commit() const {
  CurrentParameters = *this;
}

void ResetDeviceData() {
  CurrentParameters = {};
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
