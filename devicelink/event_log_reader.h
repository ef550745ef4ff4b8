// The device's event log and totalizer archive, and the status of its event
// header. The two paged readers step the progress bar once per exchange; the
// caller shows and hides it.
#pragma once

#include <cstdint>

namespace devicelink {

constexpr uint16_t kEventHeaderAddress = 0x8400;
constexpr uint16_t kEventPagesAddress = 0x8420;  // + 128 per error type
constexpr uint16_t kArchivePointersAddress = 0x8176;
constexpr uint16_t kArchiveAddress = 0x8C20;  // + 256 per circuit + 32 per slot

// The status count of the event header, or -1 when the exchange failed; mask gets
// the status bit mask on success and is left alone otherwise.
int32_t ReadErrorStatus(uint8_t& mask);

// Fills DeviceErrorLog: the header, then the page of each error type, stopping at
// the first failed exchange (the types read before stay updated).
bool ReadErrorLog();

// Fills IntegratorHistory, each circuit newest first, stopping at the first failed
// exchange. A ring pointer above 7 from the device raises std::out_of_range
// before any record is read.
bool ReadIntegratorHistory();

}  // namespace devicelink
