// The four threads of an open port. Each runs Execute on its own std::thread and
// ends with ThreadFinished(kind, result): 0, -161 (device read error), -160
// (device write error) or -13868 (no memory for a buffer). They are joined and
// freed by the closing thread, never by themselves.
#pragma once

#include <cstdint>
#include <functional>

#include "serial/sio_dispatcher.h"

namespace serial {

class TSioWin32Dispatcher;

class TSioDispatcherThread {
 public:
  TSioDispatcherThread(TSioWin32Dispatcher& dispatcher, TSioThreadKind kind)
      : dispatcher_(dispatcher), kind_(kind) {}
  virtual ~TSioDispatcherThread() = default;
  TSioDispatcherThread(const TSioDispatcherThread&) = delete;
  TSioDispatcherThread& operator=(const TSioDispatcherThread&) = delete;

  // The thread's body: Execute, then ThreadFinished. An exception escaping
  // Execute is handed to the UI thread's exception display.
  void Run();
  TSioThreadKind Kind() const { return kind_; }

  // Runs event(msg, trigger, lparam) on the UI thread and waits for it.
  void SyncEvent(uint32_t msg, uint32_t trigger, uint32_t lparam,
                 const std::function<void(uint32_t, uint32_t, uint32_t)>& event);

 protected:
  virtual int32_t Execute() = 0;
  TSioWin32Dispatcher& dispatcher_;

 private:
  const TSioThreadKind kind_;
  uint32_t sync_msg_ = 0;
  uint32_t sync_trigger_ = 0;
  uint32_t sync_lparam_ = 0;
};

// The dispatch thread: moves input into the receive ring and checks triggers.
class TDispThread : public TSioDispatcherThread {
 public:
  explicit TDispThread(TSioWin32Dispatcher& d)
      : TSioDispatcherThread(d, TSioThreadKind::Dispatch) {}

 protected:
  int32_t Execute() override;

 private:
  // False when the cycle ended early because a close is pending.
  bool DispatchCycle();
  void IdleCycle();
  // CheckStatusTriggers until false; false when a close became pending.
  bool RunStatusTriggers();
};

// Base of the threads that work the tty.
class TSioWin32Thread : public TSioDispatcherThread {
 public:
  using TSioDispatcherThread::TSioDispatcherThread;

 protected:
  // Waits for the tty (events; 0 waits for the wake descriptor alone) or the
  // thread's wake descriptor, which it drains; the poll revents of the tty, 0 on
  // a wake or time-out, -1 when poll failed.
  int WaitForDevice(short events, int timeout_ms);
  bool Killed() const;
};

class TReadThread : public TSioWin32Thread {
 public:
  explicit TReadThread(TSioWin32Dispatcher& d) : TSioWin32Thread(d, TSioThreadKind::Read) {}

 protected:
  int32_t Execute() override;
};

class TWriteThread : public TSioWin32Thread {
 public:
  explicit TWriteThread(TSioWin32Dispatcher& d) : TSioWin32Thread(d, TSioThreadKind::Write) {}

 protected:
  int32_t Execute() override;

 private:
  // Sends what the output ring holds, one block per round, until it is empty;
  // a flush abandons the block in hand.
  int32_t WriteOut();
};

// Linux has no wakeable wait for line events: the status thread polls the modem
// lines and the error counters and queues a status buffer when they change.
class TStatusThread : public TSioWin32Thread {
 public:
  explicit TStatusThread(TSioWin32Dispatcher& d) : TSioWin32Thread(d, TSioThreadKind::Status) {}

 protected:
  int32_t Execute() override;

 private:
  uint32_t event_mask_ = 0x1F9;
};

// Line events the status thread reports.
constexpr uint32_t evRxChar = 0x001, evCTS = 0x008, evDSR = 0x010, evRLSD = 0x020, evBreak = 0x040,
                   evErr = 0x080, evRing = 0x100, evRingTrailing = 0x2000;

}  // namespace serial
