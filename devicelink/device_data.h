// The program's copy of the device: one global record per device memory block,
// fields in the device's order, most of them one per measuring circuit (index 0 =
// circuit 1). Block commands fill and send them; parameter files save and load
// them under the field names; the pages show and edit them.
//
// Text fields hold UTF-8 inside the program; the block commands convert from and
// to the device's single-byte code page. They are kept as the device sends them:
// no trimming, trailing blanks stay.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace devicelink {

struct TTemperatureSettings {
  uint8_t Dummy1 = 0;
  uint8_t Dummy2 = 0;
  uint8_t Kind = 0;  // temperature mode
  uint8_t Eq = 0;    // 2: uses the other circuit's temperature; 1: the other uses this one's
  float Min = 0;     // range, degC
  float Max = 0;
  float Dummy4 = 0;
  float Diff = 0;
  float Toff = 0;
  float Konst = 0;  // fixed value, degC
  float Dummy3 = 0;
};

struct TPressureSettings {
  uint8_t Dummy1 = 0;
  uint8_t Dummy2 = 0;
  uint8_t Kind = 0;  // pressure mode
  uint8_t Eq = 0;
  float Hyd = 0;  // ambient pressure
  float Min = 0;
  float Max = 0;
  float Err = 0;
  float Konst = 0;  // fixed value
  float Dummy3 = 0;
  float Dummy4 = 0;
};

struct TFlowSettings {
  uint8_t Eq = 0;
  uint8_t Kind = 0;  // flow mode
  uint16_t MaxFreq = 0;  // Hz
  float Min = 0;
  float Max = 0;
  float KFak = 0;
  float TKK = 0;
  float BTemp = 0;
  float Schleich = 0;
  float Exp_zahl = 0;
};

// Differential-pressure design data.
struct TDpSettings {
  float DesQN = 0;
  float DesT = 0;
  float Desp = 0;
  float Desdp = 0;
  float DesRho = 0;
  float Desdp2 = 0;
  float Desdp3 = 0;
  float Desdp4 = 0;
};

struct TMediumSettings {
  uint8_t Dummy1 = 0;
  uint8_t Dummy2 = 0;  // result code of the gas-composition check, '0' = valid
  uint8_t Ready = 0;
  uint8_t Kind = 0;  // medium kind; 9 and above are steam kinds
  float Rho = 0;
  float RN = 0;
  float BT = 0;
  float Bp = 0;
  float BRho = 0;
  float WKapa = 0;
  float Satt_Tol = 0;
};

// Common to both circuits.
struct TGasComposition {
  float Ho = 0;   // calorific value
  float CO2 = 0;  // mol%
  float H2 = 0;   // mol%
  float Rho = 0;  // normal density
};

struct TSupplySettings {
  float T0 = 0;
  float p0 = 0;
  float h0 = 0;
  float Faktor = 0;
};

struct TPulseSettings {
  uint8_t Dummy1 = 0;
  uint8_t Dummy2 = 0;
  uint8_t Dummy3 = 0;
  uint8_t Kind = 0;    // pulse source
  float Compare = 0;  // value per pulse
};

// Relay alarm.
struct TAlarmSettings {
  uint8_t Dummy1 = 0;
  uint8_t Dummy2 = 0;
  uint8_t Param = 0;  // source code
  uint8_t Kind = 0;   // alarm kind
  float Min = 0;
  float Max = 0;
  float Dummy3 = 0;
};

// Analog output.
struct TOutputSettings {
  uint8_t Dummy1 = 0;
  uint8_t Dummy2 = 0;
  uint8_t Konstant = 0;  // fixed current
  uint8_t Param = 0;     // source code
  float Min = 0;
  float Max = 0;
  float Err = 0;
};

struct TUnitSwitches {
  uint8_t Kind = 0;
  uint8_t Einheiten = 0;  // non-zero: user units on
  uint8_t First = 0;
  uint8_t CalcError = 0;
};

// Entry i belongs to quantity kind i of the unit tables.
struct TUserUnit {
  uint8_t Variant = 0;       // unit within its quantity kind; 0 = device unit
  uint8_t SymbolLength = 0;  // characters of the symbol as the device uses it
  uint8_t Decimals = 0;      // an ASCII digit
  std::string Symbol;        // always 5 characters, right-aligned, blank-padded
  float Factor = 0;
  float Offset = 0;
};

struct TTrendSettings {
  uint8_t Dummy1 = 0;
  uint8_t Dummy2 = 0;
  uint8_t Param = 0;  // trend selection
  uint8_t Time = 0;   // interval, minutes
};

// Current-loop limits.
struct TLimitValues {
  float U_Max = 0;
  float U_Min = 0;
  float L_Max = 0;
  float L_Min = 0;
};

constexpr uint8_t kSingleCircuitFlags = 0xC0;  // any of these in SystemTypeFlags
constexpr uint8_t kNoTrendFlags = 0x3E;

struct TSystemSettings {
  uint8_t SystemTypeFlags = 0;  // device capabilities; never in a parameter file
  uint8_t Anzahl = 0;           // number of differential-pressure transmitters
  uint8_t KindMask = 0;         // system types the device allows; never in a parameter file
  uint8_t Kind = 0;             // system type
  uint8_t Lang = 0;
  uint8_t Dummy3 = 0;
  int32_t Dummy4 = 0;
  float Faktor = 0;  // system factor
  float Dummy6 = 0;
};

// Byte 0: baud index 0..7 of the device's own port; bytes 1..3 kept as read.
using TOperatingMode = std::array<uint8_t, 4>;

// Image of the live-value block of one circuit.
struct TCircuitValues {
  float Value0 = 0;  // plain number, flow modes 1 and 2
  float Spare1 = 0;
  float Spare2 = 0;
  float Spare3 = 0;
  float Density = 0;
  float Pressure = 0;
  float Temperature = 0;  // degC (the device sends kelvin)
  float DiffPressure = 0;
  float OperatingFlow = 0;
  float MassFlow = 0;
  float MassTotalA = 0;  // total mass = A + B
  float MassTotalB = 0;
  float FlowOrPower = 0;     // standard volume flow (gas) or power (steam)
  float TotalOrEnergyA = 0;  // total standard volume (gas) or energy (steam) = A + B
  float TotalOrEnergyB = 0;
  uint32_t OperatingSeconds = 0;
  float Temperature2 = 0;  // steam medium kinds 9 and 11
  float Spare4 = 0;
  float Spare5 = 0;
  float Spare6 = 0;
};

struct TPasswordBlock {
  std::array<uint8_t, 3> PasswordBytes{};  // kept, not used
  uint8_t PasswordActive = 0;              // non-zero: the device password is in force
  std::string DevicePassword;              // 8 characters, all kept
};

// Device date-time; Year is the full year.
struct TDeviceClock {
  uint16_t Year = 0;
  uint16_t Month = 0;
  uint16_t Day = 0;
  uint16_t Hour = 0;
  uint16_t Minute = 0;
  uint16_t Second = 0;
  bool operator==(const TDeviceClock&) const = default;
};

constexpr int kErrorTypes = 16;
constexpr int kEntriesPerErrorType = 8;

struct TErrorLogEntry {
  uint8_t Active = 0;  // non-zero while the error is present
  uint8_t Flag = 0;
  std::array<uint8_t, 2> Reserved{};
  TDeviceClock Come;
  TDeviceClock Go;
};

struct TDeviceErrorLog {
  std::array<uint8_t, 15> Reserved{};
  uint8_t HeaderByte15 = 0;
  uint8_t HeaderByte16 = 0;
  std::array<uint8_t, kErrorTypes> NewestIndex{};  // per error type, 0..7
  // Entries of error type t at 8*t .. 8*t+7, in device order.
  std::array<TErrorLogEntry, kErrorTypes * kEntriesPerErrorType> Entries{};
};

// One totalizer period; a record whose End.Day is 0 is unused.
struct TIntegratorRecord {
  TDeviceClock Start;
  TDeviceClock End;
  float Total = 0;      // standard volume (gas) or energy (steam)
  float MassTotal = 0;  // total mass
  uint32_t Counter = 0;
  std::array<uint8_t, 8> Reserved{};
};

constexpr int kTrendRecords = 44;
constexpr int kTrendSamples = 60;

struct TTrendRecord {
  uint8_t Status = 0;  // 1: holds the samples of a valid block
  std::string StartText;
  std::string EndText;
  std::array<double, 4> MaxValues{};
  std::array<double, 4> MinValues{};
  std::array<double, 4> MeanValues{};
  uint8_t Circuit = 0;
  uint8_t Interval = 0;  // minutes between samples; 100 means one second
  uint16_t Year = 0;
  uint8_t Month = 0;
  uint8_t Day = 0;
  uint8_t Hour = 0;
  uint8_t Minute = 0;
  uint8_t Count = 0;  // valid samples
  std::array<float, kTrendSamples> TempSamples{};  // 0.1 K
  std::array<uint16_t, kTrendSamples> PressureSamples{};
  std::array<float, kTrendSamples> StdFlowSamples{};
  std::array<float, kTrendSamples> MassFlowSamples{};
};

struct TTrendStore {
  TTrendStore() { ListMap.fill(-1); }
  std::array<int32_t, kTrendRecords> ListMap;  // list line -> record index
  uint8_t TrendRingState = 0;
  uint8_t TrendNewest = 0;
  std::array<float, 8> TrendHeaderValues{};
  uint16_t TrendHeaderWord = 0;
  std::array<TTrendRecord, kTrendRecords> Records{};
};

constexpr int kTablePressures = 14;
constexpr int kTableTemperatures = 18;

struct TPropertyTable {
  std::array<uint16_t, kTablePressures> Pressures{};        // kPa
  std::array<uint16_t, kTableTemperatures> Temperatures{};  // K
  // Values[r][c]: temperature r, pressure c.
  std::array<std::array<float, kTablePressures>, kTableTemperatures> Values{};
};

constexpr int kSatRows = 32;

struct TSatRow {
  float T = 0;
  float p = 0;
  float rho = 0;
  float h = 0;
};

using TSatTable = std::array<TSatRow, kSatRows>;

// A copy of every parameter record, the part of the model that parameter files
// save and load; the field names are those of the globals.
struct TParameterRecords {
  std::array<TTemperatureSettings, 2> TempParams{};
  std::array<TPressureSettings, 2> PressureParams{};
  std::array<TFlowSettings, 2> FlowParams{};
  std::array<TDpSettings, 2> FlowParams2{};
  std::array<TMediumSettings, 2> MediumParams{};
  TGasComposition GasCommon{};
  std::array<TSupplySettings, 2> SupplyValues{};
  std::array<TPulseSettings, 2> PulseOutputParams{};
  std::array<TAlarmSettings, 2> AlarmParams{};
  std::array<TOutputSettings, 4> OutputParams{};
  TUnitSwitches UnitSwitches{};
  std::array<TUserUnit, 16> UserUnits{};
  TTrendSettings TrendSettings{};
  std::array<std::array<float, 8>, 2> CorrectionFactors{};
  TLimitValues LimitValues{};
  TSystemSettings SystemParams{};
  std::array<float, 8> PresetValues{};
  std::array<uint8_t, 4> DisplayEnable{};
  // The device addresses of the blocks whose record holds what the device on
  // the open port reported: a successful read of the block marks it, a failed
  // read or write unmarks it. Never in a file; a copy carries its marks along,
  // so a set put back is marked as it was when it was taken.
  std::set<uint16_t> ReportedBlocks;

  // The globals as they are now, and the globals set from a copy.
  static TParameterRecords Capture();
  void Commit() const;
};

// The parameter records in force. The globals below name its fields, so the list
// of records is the structure above and nothing else.
extern TParameterRecords CurrentParameters;

inline auto& TempParams = CurrentParameters.TempParams;
inline auto& PressureParams = CurrentParameters.PressureParams;
inline auto& FlowParams = CurrentParameters.FlowParams;
inline auto& FlowParams2 = CurrentParameters.FlowParams2;
inline auto& MediumParams = CurrentParameters.MediumParams;
inline auto& GasCommon = CurrentParameters.GasCommon;
inline auto& SupplyValues = CurrentParameters.SupplyValues;
inline auto& PulseOutputParams = CurrentParameters.PulseOutputParams;
inline auto& AlarmParams = CurrentParameters.AlarmParams;
inline auto& OutputParams = CurrentParameters.OutputParams;
inline auto& UnitSwitches = CurrentParameters.UnitSwitches;
inline auto& UserUnits = CurrentParameters.UserUnits;
inline auto& TrendSettings = CurrentParameters.TrendSettings;
inline auto& CorrectionFactors = CurrentParameters.CorrectionFactors;
inline auto& LimitValues = CurrentParameters.LimitValues;
inline auto& SystemParams = CurrentParameters.SystemParams;
inline auto& PresetValues = CurrentParameters.PresetValues;
inline auto& DisplayEnable = CurrentParameters.DisplayEnable;

// Not in a parameter file.
extern TOperatingMode OperatingMode;

// Device data, read only.
extern std::array<TCircuitValues, 2> LiveValues;
extern std::array<float, 4> OutputCurrents;  // mA
extern TPasswordBlock PasswordBlock;
extern std::string DeviceIdent;     // "MV-HTX7 " (steam) or "MV-NGX7 " (gas)
extern std::string DeviceSerialNo;  // 16 characters, control characters as blanks
extern TDeviceClock DeviceClock;
extern double ClockOffset;  // device time minus PC time, days
extern TDeviceErrorLog DeviceErrorLog;
extern std::array<std::array<TIntegratorRecord, 8>, 2> IntegratorHistory;  // newest first
// Owned by the main window for its lifetime; the trend and table readers need them.
extern std::unique_ptr<TTrendStore> TrendStore;
extern std::unique_ptr<TPropertyTable> TableData;
extern TSatTable UserSatTable;

// Every record back to its initial (zero) state; the trend store and table buffer
// are left as they are. For tests and a fresh start.
void ResetDeviceData();

// Marks of the blocks the device on the open port reported (see
// TParameterRecords::ReportedBlocks). Opening the port, resetting the records
// or loading a set forgets them all, so that no rule sends a block of another
// device or of a file as if this device had reported it. Reported() of a
// parameter record of the set in force is in block_commands.h.
void MarkReported(uint16_t block_address, bool reported);
void ForgetReported();

}  // namespace devicelink
