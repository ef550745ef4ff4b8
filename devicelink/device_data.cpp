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

void MarkReported(uint16_t block_address, bool reported) {
  if (reported) {
    CurrentParameters.ReportedBlocks.insert(block_address);
  } else {
    CurrentParameters.ReportedBlocks.erase(block_address);
  }
}

void ForgetReported() {
  CurrentParameters.ReportedBlocks.clear();
}

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
  ForgetReported();
}

}  // namespace devicelink
