#include "devicelink/link_state.h"

namespace devicelink {

bool DeviceOnline = false;
int32_t TraceLevel = 0;
int32_t TransferTimeout = 1500;
int32_t ErrorCount = 0;

}  // namespace devicelink
