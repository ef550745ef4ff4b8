#include "serial/sio_com_select.h"

#include <charconv>

#include "platform/comm.h"
#include "platform/port_names.h"
#include "platform/win_errors.h"
#include "serial/sio_win32_dispatcher.h"

namespace serial {

bool ProbeThroughDispatcher = true;
bool CountBusyPorts = true;

namespace {

constexpr uint32_t kProbeQueueSize = 64;

TPortState StateOfFailure(uint32_t error, platform::CommOpenFailure failure) {
  if (error != platform::kErrorAccessDenied) return TPortState::kAbsent;
  // Access denied is also what a port in use answers; missing permissions are
  // told apart, as no choice of this user can open such a port.
  if (failure == platform::CommOpenFailure::kPermissionDenied) return TPortState::kNoPermission;
  return CountBusyPorts ? TPortState::kPresent : TPortState::kAbsent;
}

}  // namespace

TPortState ProbePort(uint32_t n) {
  if (n == 0) return TPortState::kAbsent;
  const std::string name = "\\\\.\\COM" + std::to_string(n);
  platform::SetLastError(0);
  if (ProbeThroughDispatcher) {
    TSioWin32Dispatcher probe(nullptr);
    if (probe.OpenDeviceHandle(name, kProbeQueueSize, kProbeQueueSize) >= 0) {
      probe.CloseDeviceHandle();
      return TPortState::kPresent;
    }
    return StateOfFailure(platform::GetLastError(), probe.OpenFailure());
  }
  platform::CommOpenFailure failure = platform::CommOpenFailure::kNone;
  const int fd = platform::CommOpen(platform::PortDevicePath(name), &failure);
  if (fd >= 0) {
    platform::CommClose(fd);
    return TPortState::kPresent;
  }
  return StateOfFailure(platform::GetLastError(), failure);
}

bool IsPortPresent(uint32_t n) {
  return ProbePort(n) == TPortState::kPresent;
}

TComSelection::TComSelection(const TPortProbe& probe, uint32_t last) {
  for (uint32_t n = 1; n <= last && n <= kMaxSelectablePort; ++n) {
    const TPortState state = probe(n);
    if (state == TPortState::kPresent) entries_.push_back("COM" + std::to_string(n));
    if (state == TPortState::kNoPermission) refused_.push_back(static_cast<uint16_t>(n));
  }
  Select(0);
}

void TComSelection::Select(int index) {
  selected_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
}

uint16_t TComSelection::SelectedComNumber() const {
  return selected_ >= 0 ? ComNumberOfEntry(entries_[static_cast<size_t>(selected_)]) : 0;
}

uint16_t ComNumberOfEntry(const std::string& entry) {
  if (entry.size() < 4 || entry.compare(0, 3, "COM") != 0) return 0;
  uint16_t n = 0;
  const char* end = entry.data() + entry.size();
  const auto [ptr, ec] = std::from_chars(entry.data() + 3, end, n);
  return ec == std::errc() && ptr == end ? n : 0;
}

}  // namespace serial
