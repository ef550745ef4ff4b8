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

bool CountsAsPresent(uint32_t error) {
  return CountBusyPorts && error == platform::kErrorAccessDenied;
}

}  // namespace

bool IsPortPresent(uint32_t n) {
  if (n == 0) return false;
  const std::string name = "\\\\.\\COM" + std::to_string(n);
  platform::SetLastError(0);
  if (ProbeThroughDispatcher) {
    TSioWin32Dispatcher probe(nullptr);
    if (probe.OpenDeviceHandle(name, kProbeQueueSize, kProbeQueueSize) >= 0) {
      probe.CloseDeviceHandle();
      return true;
    }
    return CountsAsPresent(platform::GetLastError());
  }
  const int fd = platform::CommOpen(platform::PortDevicePath(name));
  if (fd >= 0) {
    platform::CommClose(fd);
    return true;
  }
  return CountsAsPresent(platform::GetLastError());
}

TComSelection::TComSelection(const TPortProbe& probe) {
  for (uint32_t n = 1; n <= kMaxSelectablePort; ++n) {
    if (probe(n)) entries_.push_back("COM" + std::to_string(n));
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
