#include "serial/sio_threads.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/comm.h"
#include "platform/main_thread.h"
#include "platform/win_errors.h"
#include "serial/sio_errors.h"
#include "serial/sio_win32_dispatcher.h"

namespace serial {
namespace {

constexpr int32_t kReadBufferSize = 256;
constexpr uint32_t kQueueWaitMs = 50;
constexpr uint32_t kRingRoomWaitMs = 50;
// Safety time-outs: the threads are woken explicitly, these only bound a lost wake.
constexpr int kIdleWaitMs = 1000;
constexpr int kStatusPollMs = 100;

}  // namespace

// ---------------------------------------------------------------------------
// Common

void TSioDispatcherThread::Run() {
  TSioWin32Dispatcher::MarkPortThread(&dispatcher_);
  int32_t result = 0;
  try {
    result = Execute();
  } catch (...) {
    // No caller can catch it here; the UI thread shows it. The port cannot work
    // without this thread, so all of them end as after a device failure.
    std::exception_ptr error = std::current_exception();
    platform::GetMainThread().Post([error] { ShowException(error); });
    if (!dispatcher_.stopping_ && !dispatcher_.device_failed_.exchange(true)) {
      dispatcher_.PostFailureNotice();
    }
    dispatcher_.KillThreads();
    result = 0;
  }
  dispatcher_.ThreadEnded(kind_, result);
  TSioWin32Dispatcher::MarkPortThread(nullptr);
}

void TSioDispatcherThread::SyncEvent(
    uint32_t msg, uint32_t trigger, uint32_t lparam,
    const std::function<void(uint32_t, uint32_t, uint32_t)>& event) {
  sync_msg_ = msg;
  sync_trigger_ = trigger;
  sync_lparam_ = lparam;
  platform::GetMainThread().Send([&] { event(sync_msg_, sync_trigger_, sync_lparam_); }, kInfinite);
}

bool TSioWin32Thread::Killed() const {
  return dispatcher_.kill_threads_;
}

int TSioWin32Thread::WaitForDevice(short events, int timeout_ms) {
  const TWakeFd& wake = dispatcher_.Wake(Kind());
  pollfd fds[2];
  nfds_t n = 0;
  fds[n++] = {wake.Fd(), POLLIN, 0};
  if (events != 0) fds[n++] = {dispatcher_.Fd(), events, 0};
  int r = ::poll(fds, n, timeout_ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  if (fds[0].revents) wake.Drain();
  return n > 1 ? fds[1].revents : 0;
}

// ---------------------------------------------------------------------------
// Dispatch thread

int32_t TDispThread::Execute() {
  TSioWin32Dispatcher& d = dispatcher_;
  d.ThreadStarted(TSioThreadKind::Dispatch);
  do {
    d.InputQueue().WaitForData(kQueueWaitMs);
    if (d.kill_threads_) {
      d.release_after_dispatch_thread_ = true;
      return 0;
    }
    DispatchCycle();
    IdleCycle();
  } while (!d.kill_threads_ && !d.ClosePending());
  d.Event(evStart)->Set();
  d.release_after_dispatch_thread_ = d.ClosePending() || d.kill_threads_;
  return 0;
}

bool TDispThread::RunStatusTriggers() {
  TSioWin32Dispatcher& d = dispatcher_;
  for (;;) {
    if (d.ClosePending()) return false;
    if (!d.CheckStatusTriggers()) return true;
  }
}

bool TDispThread::DispatchCycle() {
  TSioWin32Dispatcher& d = dispatcher_;
  uint32_t events = 0;
  if (TIOBuffer* b = d.InputQueue().Peek()) {
    if (auto* status = dynamic_cast<TStatusBuffer*>(b)) {
      events = status->Status;
      d.InputQueue().Pop();
    } else {
      b->InUse = false;
    }
  }
  d.last_status_event_ = events;
  if (events & (evRing | evRingTrailing)) d.ring_pending_ = true;
  if (events & (evCTS | evDSR | evRLSD | evRing | evRingTrailing)) {
    d.UpdateModemStatus();
    if (!d.Dispatching()) {
      if (!RunStatusTriggers()) return false;
      if (d.global_status_hit_) d.ResetStatusTriggers();
    }
  }
  if (events & (evBreak | evErr)) {
    d.RefreshLineErrors();
    if (!d.Dispatching()) {
      if (!RunStatusTriggers()) return false;
      if (d.global_status_hit_) d.ResetStatusTriggers();
    }
  }
  // A full ring with input waiting: wait for the reader of the ring instead of
  // spinning on the queue.
  if (d.FillReceiveBuffer()) d.WaitForRingRoom(kRingRoomWaitMs);
  if (!d.Dispatching()) {
    d.PollModemStatus();
    if (!RunStatusTriggers()) return false;
    for (;;) {
      if (d.ClosePending()) return false;
      if (!d.CheckReceivedData()) break;
    }
  }
  if (d.global_status_hit_) d.ResetStatusTriggers();
  return true;
}

void TDispThread::IdleCycle() {
  TSioWin32Dispatcher& d = dispatcher_;
  if (d.ClosePending() || d.Dispatching()) return;
  d.global_status_hit_ = false;
  for (;;) {
    bool fired = d.CheckStatusTriggers();
    if (!fired) fired = d.CheckTimerTriggers();
    if (!fired || d.ClosePending()) break;
  }
  if (d.global_status_hit_) d.ResetStatusTriggers();
}

// ---------------------------------------------------------------------------
// Read thread

int32_t TReadThread::Execute() {
  TSioWin32Dispatcher& d = dispatcher_;
  d.ThreadStarted(TSioThreadKind::Read);
  std::unique_ptr<TDataBuffer> spare;
  while (!Killed()) {
    const int revents = WaitForDevice(POLLIN, kIdleWaitMs);
    if (Killed()) break;
    if (revents < 0 || (revents & POLLNVAL)) return ecDeviceRead;
    if (revents == 0) continue;
    bool got = false;
    for (;;) {
      if (!spare) {
        try {
          spare = std::make_unique<TDataBuffer>(kReadBufferSize);
        } catch (...) {
          return ecTapiNoMem;
        }
      }
      ssize_t n = platform::CommRead(d.Fd(), spare->Data.get(), kReadBufferSize);
      if (n < 0) return ecDeviceRead;
      if (n == 0) break;
      spare->Used = static_cast<int32_t>(n);
      d.InputQueue().Push(std::move(spare));
      got = true;
    }
    // A hung-up line (adapter unplugged, the other side of a pty closed) keeps
    // reporting POLLHUP with nothing to read: that is the end of the device.
    if (!got && (revents & (POLLHUP | POLLERR))) return ecDeviceRead;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Write thread

int32_t TWriteThread::Execute() {
  TSioWin32Dispatcher& d = dispatcher_;
  d.ThreadStarted(TSioThreadKind::Write);
  while (!Killed()) {
    if (WaitForDevice(0, kIdleWaitMs) < 0) return ecDeviceWrite;
    if (Killed()) break;
    if (d.Event(evFlush)->Wait(0) == kWaitObject0) d.Event(evStart)->Set();
    if (d.Event(evOutputReady)->Wait(0) == kWaitObject0) {
      int32_t r = WriteOut();
      if (r != 0) return r;
    }
  }
  return 0;
}

int32_t TWriteThread::WriteOut() {
  TSioWin32Dispatcher& d = dispatcher_;
  for (;;) {
    std::vector<uint8_t> block;
    {
      std::lock_guard lock(d.output_lock_);
      const uint32_t size = d.OutputSize();
      uint32_t held;
      if (d.out_full_) {
        held = size;
      } else if (d.out_head_ >= d.out_tail_) {
        held = d.out_head_ - d.out_tail_;
      } else {
        held = d.out_head_ + size - d.out_tail_;
      }
      if (held == 0 || !d.out_ring_) return 0;
      block.resize(held);
      const uint32_t first = std::min(held, size - d.out_tail_);
      std::memcpy(block.data(), d.out_ring_.get() + d.out_tail_, first);
      std::memcpy(block.data() + first, d.out_ring_.get(), held - first);
      // The ring is free for the caller's next block while this one is sent.
      d.out_head_ = d.out_tail_ = 0;
      d.out_full_ = false;
    }
    size_t offset = 0;
    while (offset < block.size()) {
      if (Killed()) return ecDeviceWrite;
      ssize_t n = platform::CommWrite(d.Fd(), block.data() + offset, block.size() - offset);
      if (n < 0) return ecDeviceWrite;
      if (n > 0) {
        offset += static_cast<size_t>(n);
        continue;
      }
      // The line is stalled (flow control): wait for room, a flush or a stop.
      const int revents = WaitForDevice(POLLOUT, kIdleWaitMs);
      if (revents < 0) return ecDeviceWrite;
      if (d.Event(evFlush)->Wait(0) == kWaitObject0) {
        d.Event(evStart)->Set();
        return 0;
      }
      if (revents & (POLLERR | POLLHUP | POLLNVAL)) return ecDeviceWrite;
    }
  }
}

// ---------------------------------------------------------------------------
// Status thread

int32_t TStatusThread::Execute() {
  TSioWin32Dispatcher& d = dispatcher_;
  d.ThreadStarted(TSioThreadKind::Status);
  uint32_t lines = 0;
  bool have_lines = false;
  platform::CommCounts counts;
  bool have_counts = false;
  while (!Killed()) {
    // Nothing to poll on a pseudo-terminal: then only a stop wakes the thread.
    const bool polling = d.modem_supported_ || d.counts_supported_;
    if (WaitForDevice(0, polling ? kStatusPollMs : kIdleWaitMs) < 0) return ecDeviceRead;
    if (Killed()) break;
    const int fd = d.Fd();
    uint32_t events = 0;
    if (d.modem_supported_) {
      uint32_t now = 0;
      switch (platform::CommGetModemLines(fd, now)) {
        case platform::CommResult::kOk: {
          const uint32_t changed = have_lines ? now ^ lines : 0;
          if (changed & platform::kCommCTS) events |= evCTS;
          if (changed & platform::kCommDSR) events |= evDSR;
          if (changed & platform::kCommDCD) events |= evRLSD;
          if (changed & platform::kCommRI) {
            events |= (now & platform::kCommRI) ? evRing : evRingTrailing;
          }
          lines = now;
          have_lines = true;
          break;
        }
        case platform::CommResult::kUnsupported:
          d.modem_supported_ = false;
          break;
        case platform::CommResult::kFailed:
          break;
      }
    }
    if (d.counts_supported_) {
      platform::CommCounts now;
      switch (platform::CommGetCounts(fd, now)) {
        case platform::CommResult::kOk:
          if (have_counts) {
            if (now.frame != counts.frame || now.overrun != counts.overrun ||
                now.parity != counts.parity || now.buf_overrun != counts.buf_overrun) {
              events |= evErr;
            }
            if (now.brk != counts.brk) events |= evBreak;
          }
          counts = now;
          have_counts = true;
          break;
        case platform::CommResult::kUnsupported:
          d.counts_supported_ = false;
          break;
        case platform::CommResult::kFailed:
          break;
      }
    }
    events &= event_mask_;
    if ((events & 0x21F8) == 0) continue;
    try {
      auto b = std::make_unique<TStatusBuffer>();
      b->Status = events;
      d.InputQueue().Push(std::move(b));
    } catch (...) {
      return ecTapiNoMem;
    }
  }
  return 0;
}

}  // namespace serial
