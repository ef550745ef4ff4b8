// One read and, where the device allows it, one write command per device memory
// block. A read stores into its record only after the whole reply passed its
// checks; a write sends the record as it stands. Circuit, alarm, output, preset
// and user-unit indexes outside their records raise std::out_of_range.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace devicelink {

bool ReadLiveValues(int32_t ch);
bool ReadTempParams(int32_t ch);
bool WriteTempParams(int32_t ch);
bool ReadPressureParams(int32_t ch);
bool WritePressureParams(int32_t ch);
bool ReadFlowParams(int32_t ch);
bool WriteFlowParams(int32_t ch);
bool ReadFlowParams2(int32_t ch);
bool WriteFlowParams2(int32_t ch);
bool ReadMediumParams(int32_t ch);
bool WriteMediumParams(int32_t ch);
bool ReadGasCommon();
bool WriteGasCommon();
bool ReadAlarmParams(int32_t i);
bool WriteAlarmParams(int32_t i);
bool ReadOutputParams(int32_t i);
bool WriteOutputParams(int32_t i);
bool ReadPulseOutputParams(int32_t ch);
bool WritePulseOutputParams(int32_t ch);
bool ReadSupplyValues(int32_t ch);
bool WriteSupplyValues(int32_t ch);
bool ReadCorrectionFactors(int32_t ch);
bool WriteCorrectionFactors(int32_t ch);
bool ReadLimitValues();
bool WriteLimitValues();
bool ReadUserUnit(uint8_t i);
bool WriteUserUnit(uint8_t i);
bool ReadPresetValue(int32_t i);
bool WritePresetValue(int32_t i);
bool ReadDisplayEnable();
bool WriteDisplayEnable();
bool ReadTrendSettings();
bool WriteTrendSettings();
bool ReadUnitSwitches();
bool WriteUnitSwitches();
bool ReadSystemParams();
bool WriteSystemParams();
bool ReadOperatingMode();
bool WriteOperatingMode();
bool ReadPasswordBlock();
bool ReadDeviceIdent();
bool ReadSerialNo();
bool ReadOutputCurrents();

// Temperature, pressure, both flow blocks and the medium of the circuit, the gas
// values and the four analog outputs, stopping at the first failure.
bool ReadCircuitParams(int32_t ch);

// The parameter blocks, as the pages group them.
enum class TParameterBlockKind {
  Temperature, Pressure, Flow, Flow2, Medium, Gas, Supply, PulseOutput, Relay, AnalogOutput,
  UnitSwitches, UserUnit, Trend, Correction, Limits, System, Preset, DisplayEnable,
  OperatingMode
};
struct TParameterBlock {
  TParameterBlockKind kind;
  int index;  // circuit, relay, output, unit or preset; 0 for a single block
};

// The device address of the block of a parameter record of the set in force
// (TempParams[1], GasCommon, ...); another record raises std::logic_error.
uint16_t BlockAddressOfRecord(const void* record);
template <class R>
uint16_t BlockAddressOf(const R& record) {
  return BlockAddressOfRecord(&record);
}
// Which parameter block lies at the address; none for another address.
std::optional<TParameterBlock> ParameterBlockAt(uint16_t block_address);
// Whether the record of the block holds what the device on the open port
// reported.
bool Reported(uint16_t block_address);
// The record of the block in force as it would be sent (for comparing a set
// before and after a read); another address raises std::logic_error.
std::string RecordBytes(uint16_t block_address);

// Four hexadecimal digits, as the device's memory map writes an address.
std::string HexAddress(uint16_t address);

// A write of a record the device on the open port did not report, outside a
// whole set (TRun::TWholeSet): a fault of the program, raised before anything
// is sent. The handler reads such a block first.
class TUnreportedBlock : public std::logic_error {
 public:
  explicit TUnreportedBlock(uint16_t block_address);
  uint16_t Address() const { return address_; }

 private:
  uint16_t address_;
};

// Shared by the readers of the other device areas: a read of n data bytes (2..240)
// at address into data, and a write of data (1..240 bytes) at address.
bool ReadDeviceBlock(uint16_t address, uint8_t n, std::string& data);
bool WriteDeviceBlock(uint16_t address, const std::string& data);

}  // namespace devicelink
