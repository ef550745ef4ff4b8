// The device layer under the dispatcher for a serial port on this system: a tty
// opened for exclusive use, worked by four threads (read, dispatch, write,
// status). Received bytes and line events reach the dispatch thread through the
// input queue; bytes to send go through the output ring to the write thread.
//
// Buffers (rings, queues) live until the dispatcher is destroyed or the
// closing thread has joined every port thread: after a device failure the
// threads end by themselves while the port still reads as open, and nothing may
// be freed under a caller's feet then.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm.h"
#include "serial/sio_dispatcher.h"

namespace serial {

class TSioDispatcherThread;

// An eventfd that wakes one port thread out of its poll.
class TWakeFd {
 public:
  TWakeFd() = default;
  ~TWakeFd() { Close(); }
  TWakeFd(const TWakeFd&) = delete;
  TWakeFd& operator=(const TWakeFd&) = delete;
  // False with the last error set when no descriptor can be had.
  bool Create();
  void Close();
  int Fd() const { return fd_; }
  void Signal() const;
  void Drain() const;

 private:
  int fd_ = -1;
};

class TSioWin32Dispatcher : public TSioBaseDispatcher {
 public:
  explicit TSioWin32Dispatcher(TSioBaseComponent* owner);
  ~TSioWin32Dispatcher() override;

  // ---- Device slots.
  int32_t EscapeLine(int32_t function) override;
  int32_t FlushDevice(int32_t which) override;
  int32_t GetDeviceErrors(TComStat& stat) override;
  int32_t GetDeviceEventMask(int32_t mask) override;
  int32_t GetDeviceState(TDCB& dcb) override;
  int32_t ReadDevice(uint8_t* buffer, int32_t count) override;
  int32_t SetDeviceState(const TDCB& dcb) override;
  int32_t WriteDevice(const uint8_t* data, int32_t count) override;
  bool QueryDeviceExtra(int32_t& value) override;
  bool SetupDevice(uint32_t input_size, uint32_t output_size) override;
  void ReleaseBuffers() override;
  void StartThreads() override;
  void StopThreads() override;
  int32_t OutputBytesUsed() override;
  int32_t InputBytesQueued() override;
  int32_t OpenDeviceHandle(const std::string& name, uint32_t input_size,
                           uint32_t output_size) override;
  int32_t CloseDeviceHandle() override;
  int32_t YieldDevice() override;
  bool GetDeviceModemStatus(uint32_t& lines) override;
  void ApplyThreadPriorities() override;

  // ---- State.
  // A port thread ended on a device failure (read, write, no memory); the
  // threads are gone, the buffers are kept.
  bool DeviceFailed() const { return device_failed_; }
  // Why the last OpenDeviceHandle failed.
  platform::CommOpenFailure OpenFailure() const { return open_failure_; }
  // The path the device name resolved to.
  const std::string& DevicePath() const { return device_path_; }
  // The window procedure of the port runs a delivery from the dispatch thread,
  // which waits for it: a close from inside must not wait for that thread.
  void NoteUiDelivery(bool entering) { ui_delivery_depth_ += entering ? 1 : -1; }

 private:
  friend class TSioDispatcherThread;
  friend class TDispThread;
  friend class TSioWin32Thread;
  friend class TReadThread;
  friend class TWriteThread;
  friend class TStatusThread;

  struct Slot {
    std::unique_ptr<TSioDispatcherThread> object;
    std::thread thread;
  };

  // Stops every thread (signals them) and, unless called on a port thread,
  // joins them; the dispatch thread is left running when it is delivering to the
  // calling UI thread and cannot end before that returns.
  void StopAndJoin(bool wait_for_dispatch);
  void KillThreads();
  void WaitGone(TSioThreadKind kind, int deadline_ms);
  void JoinSlot(TSioThreadKind kind);
  void CloseDescriptor();
  void ThreadEnded(TSioThreadKind kind, int32_t result);
  // Tells the owning port on the UI thread that the device failed.
  void PostFailureNotice();
  bool OnPortThread() const;
  // Marks the calling thread as a port thread of d (null: of none).
  static void MarkPortThread(const TSioWin32Dispatcher* d);
  int Fd() const { return fd_.load(); }
  TWakeFd& Wake(TSioThreadKind kind) { return wake_[static_cast<int>(kind)]; }

  std::atomic<int> fd_{-1};
  std::string device_path_;
  platform::CommOpenFailure open_failure_ = platform::CommOpenFailure::kNone;
  std::array<Slot, 4> slots_;
  std::array<TWakeFd, 4> wake_;
  std::atomic<bool> device_failed_{false};
  std::atomic<bool> stopping_{false};
  bool handle_closing_ = false;  // line lock
  std::atomic<int> ui_delivery_depth_{0};

  // Line settings the tty cannot hold (line-control bits, limits), kept as set.
  std::mutex shadow_lock_;
  TDCB shadow_;
  std::atomic<bool> modem_supported_{true};
  std::atomic<bool> counts_supported_{true};
  platform::CommCounts reported_counts_;  // output lock: what GetDeviceErrors last saw
};

// Processes one round of pending UI-thread messages (callers loop on it until the
// condition they wait for holds).
void PumpOneMessage();

}  // namespace serial
