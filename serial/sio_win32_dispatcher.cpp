#include "serial/sio_win32_dispatcher.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "platform/main_thread.h"
#include "platform/port_names.h"
#include "platform/win_errors.h"
#include "serial/sio_errors.h"
#include "serial/sio_misc.h"
#include "serial/sio_threads.h"

namespace serial {
namespace {

constexpr uint32_t kStartWaitMs = 3000;
constexpr uint32_t kFlushAckWaitMs = 5000;
// How long a close waits for a dispatch thread that is delivering a trigger.
constexpr int kDispatchStopMs = 2 * 36 * 55;

// The dispatcher whose port thread the calling thread is, if any.
thread_local const TSioWin32Dispatcher* t_port_thread_of = nullptr;

constexpr TSioThreadKind kKinds[] = {TSioThreadKind::Read, TSioThreadKind::Dispatch,
                                     TSioThreadKind::Write, TSioThreadKind::Status};

}  // namespace

void TSioWin32Dispatcher::MarkPortThread(const TSioWin32Dispatcher* d) {
  t_port_thread_of = d;
}

void PumpOneMessage() {
  platform::MainThread& ui = platform::GetMainThread();
  if (ui.IsUiThread()) ui.ProcessMessages();
}

// ---------------------------------------------------------------------------
// Wake descriptors

bool TWakeFd::Create() {
  Close();
  fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd_ < 0) {
    platform::SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

void TWakeFd::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void TWakeFd::Signal() const {
  if (fd_ < 0) return;
  uint64_t one = 1;
  // A full counter already wakes the reader; nothing to do about a failure.
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void TWakeFd::Drain() const {
  if (fd_ < 0) return;
  uint64_t value;
  [[maybe_unused]] ssize_t n = ::read(fd_, &value, sizeof value);
}

// ---------------------------------------------------------------------------
// Construction

TSioWin32Dispatcher::TSioWin32Dispatcher(TSioBaseComponent* owner) : TSioBaseDispatcher(owner) {}

TSioWin32Dispatcher::~TSioWin32Dispatcher() {
  ShutdownDispatcher();
  StopAndJoin(true);
  CloseDescriptor();
}

bool TSioWin32Dispatcher::OnPortThread() const {
  return t_port_thread_of == this;
}

// ---------------------------------------------------------------------------
// Opening and closing

int32_t TSioWin32Dispatcher::OpenDeviceHandle(const std::string& name, uint32_t, uint32_t) {
  open_failure_ = platform::CommOpenFailure::kNone;
  device_path_ = platform::PortDevicePath(name);
  int fd = platform::CommOpen(device_path_, &open_failure_);
  if (fd < 0) return -1;
  fd_ = fd;
  modem_supported_ = true;
  counts_supported_ = true;
  {
    std::lock_guard lock(output_lock_);
    reported_counts_ = {};
    if (platform::CommGetCounts(fd, reported_counts_) == platform::CommResult::kUnsupported) {
      counts_supported_ = false;
    }
  }
  platform::CommLine line;
  std::lock_guard lock(shadow_lock_);
  shadow_ = TDCB{};
  shadow_.Flags = dcbBinary | dcbTXContinueOnXoff | dcbDtrEnable | dcbRtsEnable;
  if (platform::CommGetLine(fd, line)) {
    shadow_.BaudRate = line.baud;
    shadow_.ByteSize = line.data_bits;
  }
  platform::SetLastError(0);
  return fd;
}

bool TSioWin32Dispatcher::SetupDevice(uint32_t, uint32_t) {
  // The tty driver sizes its own queues; only a descriptor is needed.
  if (Fd() < 0) {
    platform::SetLastError(platform::kErrorInvalidHandle);
    return false;
  }
  return true;
}

void TSioWin32Dispatcher::CloseDescriptor() {
  int fd = fd_.exchange(-1);
  if (fd >= 0) platform::CommClose(fd);
  SetDeviceHandle(-1);
}

void TSioWin32Dispatcher::KillThreads() {
  kill_threads_ = true;
  for (auto& w : wake_) w.Signal();
  ring_room_.notify_all();
  // The dispatch thread waits on the input queue: an empty line event wakes it
  // (the queue frees it).
  try {
    InputQueue().Push(std::make_unique<TStatusBuffer>());
  } catch (...) {
    // It then notices the stop within one queue wait.
  }
}

void TSioWin32Dispatcher::WaitGone(TSioThreadKind kind, int deadline_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
  while (ThreadPresent(kind)) {
    if (deadline_ms >= 0 && std::chrono::steady_clock::now() >= deadline) return;
    PumpOneMessage();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void TSioWin32Dispatcher::JoinSlot(TSioThreadKind kind) {
  Slot& s = slots_[static_cast<int>(kind)];
  if (s.thread.joinable()) s.thread.join();
  s.object.reset();
}

void TSioWin32Dispatcher::StopAndJoin(bool wait_for_dispatch) {
  if (OnPortThread()) {
    // A thread cannot join itself; the closing thread does it.
    KillThreads();
    return;
  }
  stopping_ = true;
  KillThreads();
  // Status, write and read thread in this order, each gone before the next.
  WaitGone(TSioThreadKind::Status, -1);
  JoinSlot(TSioThreadKind::Status);
  if (TSioEvent* flush = Event(evFlush)) flush->Set();
  Wake(TSioThreadKind::Write).Signal();
  WaitGone(TSioThreadKind::Write, -1);
  JoinSlot(TSioThreadKind::Write);
  Wake(TSioThreadKind::Read).Signal();
  if (TSioEvent* start = Event(evStart)) start->Reset();
  WaitGone(TSioThreadKind::Read, -1);
  JoinSlot(TSioThreadKind::Read);

  Slot& d = slots_[static_cast<int>(TSioThreadKind::Dispatch)];
  if (d.thread.joinable()) {
    const bool delivering_to_us = ui_delivery_depth_ > 0 && platform::GetMainThread().IsUiThread();
    if (!wait_for_dispatch || delivering_to_us) {
      // It waits for the handler we are in; it is joined when the close completes.
      if (!delivering_to_us) WaitGone(TSioThreadKind::Dispatch, kDispatchStopMs);
      if (ThreadPresent(TSioThreadKind::Dispatch)) return;
    }
    WaitGone(TSioThreadKind::Dispatch, -1);
    JoinSlot(TSioThreadKind::Dispatch);
  }
  for (auto& w : wake_) w.Close();
}

int32_t TSioWin32Dispatcher::CloseDeviceHandle() {
  {
    std::lock_guard lock(line_lock_);
    if (handle_closing_) return 0;
    handle_closing_ = true;
  }
  struct Clear {
    TSioWin32Dispatcher& d;
    ~Clear() {
      std::lock_guard lock(d.line_lock_);
      d.handle_closing_ = false;
    }
  } clear{*this};

  StopAndJoin(false);
  // The dispatch thread may still read line state through the descriptor; it
  // is closed once that thread is joined as well.
  if (slots_[static_cast<int>(TSioThreadKind::Dispatch)].thread.joinable()) return 0;
  CloseDescriptor();
  return 0;
}

void TSioWin32Dispatcher::StopThreads() {
  StopAndJoin(true);
  if (!OnPortThread()) CloseDescriptor();
}

void TSioWin32Dispatcher::ReleaseBuffers() {
  // The dispatch thread ends a failed or closing port by calling this; other
  // threads and the port's callers may still be using the rings then. Only the
  // closing thread frees them, after joining every thread.
  if (OnPortThread()) return;
  StopThreads();
  TSioBaseDispatcher::ReleaseBuffers();
}

void TSioWin32Dispatcher::StartThreads() {
  std::lock_guard lock(line_lock_);
  if (ThreadsRunning()) throw std::runtime_error("Dispatcher already started.");
  for (TSioThreadKind k : kKinds) JoinSlot(k);  // threads that ended on a failure
  SetThreadsRunning(true);
  kill_threads_ = false;
  stopping_ = false;
  device_failed_ = false;
  for (TSioThreadKind k : kKinds) {
    if (k != TSioThreadKind::Dispatch && !Wake(k).Create()) {
      throw std::system_error(errno, std::generic_category(), "Cannot create a wake event");
    }
  }
  for (TSioThreadKind kind : kKinds) {
    Slot& s = slots_[static_cast<int>(kind)];
    switch (kind) {
      case TSioThreadKind::Read:
        s.object = std::make_unique<TReadThread>(*this);
        break;
      case TSioThreadKind::Dispatch:
        s.object = std::make_unique<TDispThread>(*this);
        break;
      case TSioThreadKind::Write:
        s.object = std::make_unique<TWriteThread>(*this);
        break;
      case TSioThreadKind::Status:
        s.object = std::make_unique<TStatusThread>(*this);
        break;
    }
    MarkThreadCreated(kind);
    try {
      s.thread = std::thread([obj = s.object.get()] { obj->Run(); });
    } catch (...) {
      // Count it as started and ended, so nothing waits for it; stop the rest.
      ThreadStarted(kind);
      ThreadFinished(kind, 0);
      KillThreads();
      throw;
    }
    // Not an error when it times out: start-up goes on.
    Event(evStart)->Wait(kStartWaitMs);
  }
}

void TSioWin32Dispatcher::ThreadEnded(TSioThreadKind kind, int32_t result) {
  if (stopping_) {
    // Whatever a thread saw while being stopped is not a device failure.
    result = 0;
  } else if (result == ecDeviceRead || result == ecDeviceWrite || result == ecTapiNoMem) {
    if (!device_failed_.exchange(true)) PostFailureNotice();
    KillThreads();
  }
  ThreadFinished(kind, result);
}

void TSioWin32Dispatcher::PostFailureNotice() {
  // The port may be closed or gone by the time the call runs: it finds its
  // dispatcher through the list, as the port's own deferred close does.
  TSioBaseComponent* owner = Owner();
  const int32_t handle = Handle();
  platform::GetMainThread().Post([owner, handle] {
    LockPortList();
    TSioBaseDispatcher* d = LookupDispatcher(handle);
    const bool current = d != nullptr && d->Owner() == owner;
    UnlockPortList();
    if (current && owner != nullptr) owner->DeviceFailureNotice();
  });
}

void TSioWin32Dispatcher::ApplyThreadPriorities() {
  // Port threads run at normal priority; raising it needs privileges the
  // program does not have, and RS485 direction switching is the driver's job.
}

// ---------------------------------------------------------------------------
// Line settings

int32_t TSioWin32Dispatcher::GetDeviceState(TDCB& dcb) {
  int fd = Fd();
  if (fd < 0) return -1;
  platform::CommLine line;
  if (!platform::CommGetLine(fd, line)) return -1;
  std::lock_guard lock(shadow_lock_);
  dcb = shadow_;
  if (line.baud != 0) dcb.BaudRate = line.baud;
  dcb.ByteSize = line.data_bits;
  dcb.Parity = static_cast<uint8_t>(line.parity);
  if (!line.two_stop_bits) {
    dcb.StopBits = kOneStopBit;
  } else if (dcb.StopBits == kOneStopBit) {
    dcb.StopBits = dcb.ByteSize == 5 ? kOne5StopBits : kTwoStopBits;
  }
  const bool shadow_rtscts =
      (dcb.Flags & dcbOutxCtsFlow) != 0 || (dcb.Flags & dcbRtsControlMask) == dcbRtsHandshake;
  if (line.rtscts && !shadow_rtscts) {
    dcb.Flags = (dcb.Flags & ~dcbRtsControlMask) | dcbRtsHandshake | dcbOutxCtsFlow;
  } else if (!line.rtscts && shadow_rtscts) {
    dcb.Flags &= ~dcbOutxCtsFlow;
    if ((dcb.Flags & dcbRtsControlMask) == dcbRtsHandshake) {
      dcb.Flags = (dcb.Flags & ~dcbRtsControlMask) | dcbRtsEnable;
    }
  }
  dcb.Flags = line.xon_output ? dcb.Flags | dcbOutX : dcb.Flags & ~dcbOutX;
  dcb.Flags = line.xon_input ? dcb.Flags | dcbInX : dcb.Flags & ~dcbInX;
  dcb.Flags = line.parity_check ? dcb.Flags | dcbParity : dcb.Flags & ~dcbParity;
  dcb.XonChar = line.xon_char;
  dcb.XoffChar = line.xoff_char;
  return 0;
}

int32_t TSioWin32Dispatcher::SetDeviceState(const TDCB& dcb) {
  int fd = Fd();
  if (fd < 0) {
    platform::SetLastError(platform::kErrorInvalidHandle);
    return -static_cast<int32_t>(platform::kErrorInvalidHandle);
  }
  platform::CommLine line;
  line.baud = ActualBaud(dcb.BaudRate);
  line.data_bits = dcb.ByteSize;
  if (dcb.Parity > kSpaceParity) {
    platform::SetLastError(platform::kErrorInvalidParameter);
    return -static_cast<int32_t>(platform::kErrorInvalidParameter);
  }
  line.parity = static_cast<platform::CommParity>(dcb.Parity);
  line.two_stop_bits = dcb.StopBits != kOneStopBit;
  line.parity_check = (dcb.Flags & dcbParity) != 0;
  line.rtscts =
      (dcb.Flags & dcbOutxCtsFlow) != 0 || (dcb.Flags & dcbRtsControlMask) == dcbRtsHandshake;
  line.xon_output = (dcb.Flags & dcbOutX) != 0;
  line.xon_input = (dcb.Flags & dcbInX) != 0;
  line.xon_char = dcb.XonChar;
  line.xoff_char = dcb.XoffChar;
  if (!platform::CommSetLine(fd, line)) return -static_cast<int32_t>(platform::GetLastError());
  std::lock_guard lock(shadow_lock_);
  shadow_ = dcb;
  if (line.baud != 0) shadow_.BaudRate = line.baud;
  return 0;
}

int32_t TSioWin32Dispatcher::EscapeLine(int32_t function) {
  int fd = Fd();
  if (fd < 0) return 0;
  switch (function) {
    case 1:  // stop sending as after an XOFF
    case 2:
      platform::CommSuspendOutput(fd, function == 1);
      break;
    case escSetRts:
    case escClrRts:
      platform::CommSetModemLines(fd, platform::kCommRTS, function == escSetRts);
      break;
    case escSetDtr:
    case escClrDtr:
      platform::CommSetModemLines(fd, platform::kCommDTR, function == escSetDtr);
      break;
    case 8:
    case 9:
      platform::CommSetBreak(fd, function == 8);
      break;
    default:
      break;
  }
  return 0;
}

bool TSioWin32Dispatcher::GetDeviceModemStatus(uint32_t& lines) {
  lines = 0;
  int fd = Fd();
  if (fd < 0 || !modem_supported_) return false;
  uint32_t bits = 0;
  switch (platform::CommGetModemLines(fd, bits)) {
    case platform::CommResult::kOk:
      break;
    case platform::CommResult::kUnsupported:
      modem_supported_ = false;
      return false;
    case platform::CommResult::kFailed:
      return false;
  }
  if (bits & platform::kCommCTS) lines |= msCTS;
  if (bits & platform::kCommDSR) lines |= msDSR;
  if (bits & platform::kCommRI) lines |= msRI;
  if (bits & platform::kCommDCD) lines |= msDCD;
  return true;
}

int32_t TSioWin32Dispatcher::GetDeviceErrors(TComStat& stat) {
  std::lock_guard lock(output_lock_);
  int32_t bits = 0;
  int fd = Fd();
  stat.Flags = 0;
  stat.InQueue = fd >= 0 ? platform::CommInputQueued(fd) : 0;
  if (fd >= 0 && counts_supported_) {
    platform::CommCounts now;
    platform::CommResult r = platform::CommGetCounts(fd, now);
    if (r == platform::CommResult::kOk) {
      if (now.buf_overrun != reported_counts_.buf_overrun) bits |= ceRxOver;
      if (now.overrun != reported_counts_.overrun) bits |= ceOverrun;
      if (now.parity != reported_counts_.parity) bits |= ceRxParity;
      if (now.frame != reported_counts_.frame) bits |= ceFrame;
      if (now.brk != reported_counts_.brk) bits |= ceBreak;
      reported_counts_ = now;
    } else if (r == platform::CommResult::kUnsupported) {
      counts_supported_ = false;
    }
  }
  stat.OutQueue = static_cast<uint32_t>(OutputBytesUsed());
  return bits;
}

int32_t TSioWin32Dispatcher::GetDeviceEventMask(int32_t) {
  return 0;
}

bool TSioWin32Dispatcher::QueryDeviceExtra(int32_t& value) {
  value = 0;
  return true;
}

int32_t TSioWin32Dispatcher::YieldDevice() {
  std::this_thread::yield();
  return 0;
}

// ---------------------------------------------------------------------------
// Input

int32_t TSioWin32Dispatcher::ReadDevice(uint8_t* buffer, int32_t count) {
  int32_t left = count;
  while (left > 0) {
    TIOBuffer* b = InputQueue().Peek();
    if (!b) break;
    auto* data = dynamic_cast<TDataBuffer*>(b);
    if (!data) {
      // Line events are not passed over; the dispatch cycle takes them.
      b->InUse = false;
      break;
    }
    int32_t k = std::min(left, data->Used - data->Read);
    std::memcpy(buffer + (count - left), data->Data.get() + data->Read, static_cast<size_t>(k));
    data->Read += k;
    left -= k;
    if (data->Read >= data->Used) {
      InputQueue().Pop();
    } else {
      data->InUse = false;
    }
  }
  return count - left;
}

int32_t TSioWin32Dispatcher::InputBytesQueued() {
  TIOBuffer* b = InputQueue().Peek();
  if (!b) return 0;
  int32_t n = 0;
  if (auto* data = dynamic_cast<TDataBuffer*>(b)) n = data->Used - data->Read;
  b->InUse = false;
  return n;
}

// ---------------------------------------------------------------------------
// Output

int32_t TSioWin32Dispatcher::WriteDevice(const uint8_t* data, int32_t count) {
  if (count <= 0) return 0;
  {
    std::lock_guard lock(output_lock_);
    const uint32_t size = OutputSize();
    if (!out_ring_ || size == 0) return 0;
    const uint32_t n = static_cast<uint32_t>(count);
    const uint32_t room_to_end = size - out_head_;
    if (n > room_to_end) {
      std::memcpy(out_ring_.get() + out_head_, data, room_to_end);
      std::memcpy(out_ring_.get(), data + room_to_end, n - room_to_end);
      out_head_ = n - room_to_end;
    } else {
      std::memcpy(out_ring_.get() + out_head_, data, n);
      out_head_ = out_head_ + n == size ? 0 : out_head_ + n;
    }
  }
  if (TSioEvent* ready = Event(evOutputReady)) ready->Set();
  Wake(TSioThreadKind::Write).Signal();
  return count;
}

int32_t TSioWin32Dispatcher::OutputBytesUsed() {
  std::lock_guard lock(output_lock_);
  const uint32_t size = OutputSize();
  if (out_full_) return static_cast<int32_t>(size);
  if (out_head_ >= out_tail_) return static_cast<int32_t>(out_head_ - out_tail_);
  return static_cast<int32_t>(out_head_ + size - out_tail_);
}

int32_t TSioWin32Dispatcher::FlushDevice(int32_t which) {
  int fd = Fd();
  if (which == 0) {
    if (!ThreadPresent(TSioThreadKind::Write)) return 0;
    {
      std::lock_guard lock(output_lock_);
      out_full_ = false;
      out_head_ = out_tail_ = 0;
    }
    bool ok = fd >= 0 && platform::CommPurge(fd, true, false);
    if (TSioEvent* start = Event(evStart)) start->Reset();
    if (TSioEvent* flush = Event(evFlush)) flush->Set();
    Wake(TSioThreadKind::Write).Signal();
    // Goes on without the writer's acknowledgement when it does not come, or
    // at once when the writer is ending.
    if (TSioEvent* start = Event(evStart)) {
      for (uint32_t waited = 0; waited < kFlushAckWaitMs && !kill_threads_; waited += 50) {
        if (start->Wait(50) == kWaitObject0) break;
      }
    }
    return ok ? 1 : 0;
  }
  if (which == 1) {
    bool ok = fd >= 0 && platform::CommPurge(fd, false, true);
    InputQueue().Clear();
    return ok ? 1 : 0;
  }
  return 0;
}

}  // namespace serial
