// The device's real-time clock: one decimal digit per byte, units before tens.
#pragma once

#include <cstdint>

namespace devicelink {

constexpr uint16_t kDeviceClockAddress = 0xA000;

// Fills DeviceClock with the fields as read (even invalid ones) and ClockOffset
// with device time minus PC time in days; an invalid or non-existent device date
// counts as the PC's present time (offset 0). A failed exchange clears DeviceClock,
// keeps ClockOffset and gives False.
bool ReadDeviceClock();

// Sets the device clock to the PC's present local time; DeviceClock and
// ClockOffset are left for the caller's read-back.
bool WriteDeviceClock();

}  // namespace devicelink
