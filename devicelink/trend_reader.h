// The device's trend ring copied into TrendStore: the header, then one record per
// device block. A block whose stamp has not changed since its last complete read
// is not transferred again.
#pragma once

#include <cstdint>

namespace devicelink {

constexpr uint16_t kTrendHeaderAddress = 0x0000;
constexpr uint16_t kTrendBlockAddress = 0x0024;
constexpr uint16_t kTrendBlockSize = 728;

// Device address of trend block k (0..43).
constexpr uint16_t TrendBlockAddress(int k) {
  return static_cast<uint16_t>(kTrendBlockAddress + kTrendBlockSize * k);
}

// Ring state, newest index and the further header values. False when the
// exchange failed or there is no trend store (nothing sent then).
bool ReadTrendHeader();

// Brings record k up to date with device block k. True also for an empty or
// invalid block (its record is zeroed). False when an exchange failed or there is
// no trend store. k outside 0..43 raises std::out_of_range.
bool ReadTrendBlock(int k);

}  // namespace devicelink
