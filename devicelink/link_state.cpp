#include "devicelink/link_state.h"

namespace devicelink {

bool DeviceOnline = false;
int32_t TraceLevel = 0;
int32_t TransferTimeout = 1500;
int32_t ErrorCount = 0;

namespace {
// Runs and the stop live on the UI thread, as every exchange does.
int g_stoppable_runs = 0;
bool g_stop_requested = false;
}  // namespace

TStoppableRun::TStoppableRun() {
  ++g_stoppable_runs;
}

TStoppableRun::~TStoppableRun() {
  --g_stoppable_runs;
}

void RequestStop() {
  g_stop_requested = true;
}

void ClearStop() {
  g_stop_requested = false;
}

bool StopRequested() {
  return g_stop_requested;
}

bool Stopping() {
  return g_stop_requested && g_stoppable_runs > 0;
}

}  // namespace devicelink
