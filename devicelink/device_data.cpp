#include "devicelink/device_data.h"

#include <set>

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

namespace {
std::set<const void*> g_reported;
}  // namespace

bool Reported(const void* record) {
  return g_reported.count(record) != 0;
}

void MarkReported(const void* record, bool reported) {
  if (reported) {
    g_reported.insert(record);
  } else {
    g_reported.erase(record);
  }
}

void ForgetReported() {
  g_reported.clear();
}

TParameterRecords TParameterRecords::Capture() {
  return CurrentParameters;
}

void TParameterRecords::Commit() const {
  CurrentParameters = *this;
  ForgetReported();
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
