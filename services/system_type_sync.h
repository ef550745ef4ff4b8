// A change of the device's system type. A type of one circuit (1 or 2) takes
// the second circuit away, so the settings that depend on it are brought into
// line across the device first: every dependent block is read, adjusted and
// written back, and only then the new type. Nothing is written before all reads
// have succeeded, and the type goes to the device only once every dependent
// block has been written.
#pragma once

#include <cstdint>
#include <string>

#include "devicelink/device_data.h"

namespace services {

// The dependent settings brought into line for system type 1 or 2: circuit 2's
// temperature, pressure, flow and pulse output off and nothing shared between
// the circuits; circuit 1's flow mode a differential-pressure mode or 1; the
// trend of circuit 1; the unit switch's first display within 1..7; outputs and
// alarms fed from circuit 1 only; at least 2 transmitters; the extra
// differential-pressure ranges falling (type 1) or equal to the main one (2).
void AdjustForSingleCircuitType(uint8_t type, devicelink::TParameterRecords& records);

// Exchanges of the run for a type of one circuit: 16 reads, 16 writes of the
// dependent blocks, then the system block.
constexpr int kSystemTypeSyncExchanges = 33;

struct TSystemTypeChange {
  enum class Outcome {
    Unchanged,    // the same type: nothing sent
    Offline,      // only the record changed
    Written,      // the device has the new type
    ReadFailed,   // nothing written; the record keeps the old type
    WriteFailed,  // a dependent block could not be written; the device keeps its old
                  // type, blocks written before it are changed; the record keeps the
                  // old type
    SystemWriteFailed,  // the system block could not be written; as after any failed
                        // edit the record keeps the new type
  };
  Outcome outcome = Outcome::Unchanged;
  int failed_exchange = -1;  // 0..32 in the run's order, -1 when none failed
  std::string failed_block;  // the command that failed, e.g. "ReadTempParams(1)"
};

// Sets SystemParams.Kind to type and, when online and the type differs, sends
// it: with the resynchronisation above for types 1 and 2 (progress to 33, a
// 50 ms pause after every write), else the system block alone. On a failed
// read or dependent write Kind goes back to the old type and every record not
// written is as the device has it.
TSystemTypeChange ChangeSystemType(uint8_t type);

}  // namespace services
