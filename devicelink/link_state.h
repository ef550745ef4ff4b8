// State of the device link, kept across exchanges on the UI thread.
#pragma once

#include <cstdint>

namespace devicelink {

// The link is up; while clear every exchange is refused.
extern bool DeviceOnline;
// 0 no trace; 1 only exchanges that needed a repeat or failed; 2+ every exchange.
extern int32_t TraceLevel;
// Length of each wait phase of an exchange, ms; 1500 whenever the port is opened.
extern int32_t TransferTimeout;
// Attempts whose reply was short or failed its checksum; never reset.
extern int32_t ErrorCount;

}  // namespace devicelink
