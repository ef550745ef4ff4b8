#include "devicelink/device_run.h"

#include <stdexcept>

#include "serial/sio_port.h"

namespace devicelink {
namespace {
// Runs live on the UI thread, as every exchange does.
TRun* g_innermost = nullptr;
}  // namespace

TRun::TRun() : outer_(g_innermost) {
  // A run inside a stopped one (a modal window's command during the close)
  // is stopped from its start.
  if (outer_ != nullptr) stop_ = outer_->stop_;
  g_innermost = this;
}

TRun::~TRun() {
  // Runs end in the order they began; anything else is a fault of the program,
  // and the list is left as it is rather than pointing at a run that is gone.
  if (g_innermost == this) g_innermost = outer_;
}

void TRun::Rebind() {
  port_ = nullptr;
}

void TRun::Bind(const serial::TSioComPort& port) {
  if (port_ != nullptr) return;
  port_ = &port;
  open_count_ = port.OpenCount();
}

bool TRun::Admit(const serial::TSioComPort& port, bool write, uint16_t address) {
  if (!ended_ && port_ != nullptr &&
      (port_ != &port || !port.Open() || port.OpenCount() != open_count_)) {
    ended_ = true;
  }
  if (!ended_ && stop_ && !writing_) ended_ = true;
  if (ended_) {
    if (write && writing_) not_sent_.push_back(address);
    return false;
  }
  if (write) writing_ = true;
  return true;
}

void TRun::Completed(bool ok, bool write, uint16_t address) {
  if (ok) return;
  if (write) not_sent_.push_back(address);
  if (stop_) ended_ = true;
}

TRun* CurrentRun() {
  return g_innermost;
}

bool RunEnded() {
  return g_innermost != nullptr && g_innermost->Ended();
}

void StopRuns() {
  for (TRun* run = g_innermost; run != nullptr; run = run->outer_) run->Stop();
}

}  // namespace devicelink
