// One read and, where the device allows it, one write command per device memory
// block. A read stores into its record only after the whole reply passed its
// checks; a write sends the record as it stands. Circuit, alarm, output, preset
// and user-unit indexes outside their records raise std::out_of_range.
#pragma once

#include <cstdint>
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

// Whether a parameter record of the set in force (TempParams[1], GasCommon, ...)
// holds what the device on the open port reported. Another address raises
// std::logic_error.
bool Reported(const void* record);

// While one is open, the writes send records the device did not report: a whole
// parameter set the operator chose (a file, the defaults). Outside it a write of
// a record the device did not report raises std::logic_error and sends nothing.
class TWholeSetWrite {
 public:
  TWholeSetWrite();
  ~TWholeSetWrite();
  TWholeSetWrite(const TWholeSetWrite&) = delete;
  TWholeSetWrite& operator=(const TWholeSetWrite&) = delete;
};

// Shared by the readers of the other device areas: a read of n data bytes (2..240)
// at address into data, and a write of data (1..240 bytes) at address.
bool ReadDeviceBlock(uint16_t address, uint8_t n, std::string& data);
bool WriteDeviceBlock(uint16_t address, const std::string& data);

}  // namespace devicelink
