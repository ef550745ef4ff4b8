// Event objects for the port threads: auto-reset (a wait consumes the signal) or
// manual-reset (stays signalled until Reset). One thread can wait for any of
// several events, as the write thread waits for output or a flush.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace serial {

// Wait outcomes, numbered as the port threads compare them.
constexpr uint32_t kWaitObject0 = 0;  // kWaitObject0 + i: event i of a WaitForAny
constexpr uint32_t kWaitAbandoned = 0x80;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
constexpr uint32_t kInfinite = 0xFFFFFFFF;

class TSioEvent {
 public:
  explicit TSioEvent(bool manual_reset = false, bool signalled = false);
  TSioEvent(const TSioEvent&) = delete;
  TSioEvent& operator=(const TSioEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // kWaitObject0 or kWaitTimeout; kInfinite waits without limit.
  uint32_t Wait(uint32_t timeout_ms);
  // kWaitObject0 + index of the first signalled event (an auto-reset one is
  // consumed), or kWaitTimeout.
  static uint32_t WaitForAny(std::initializer_list<TSioEvent*> events, uint32_t timeout_ms);

 private:
  struct Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool woken = false;
  };
  bool TryConsume();
  void AddWaiter(Waiter* w);
  void RemoveWaiter(Waiter* w);

  const bool manual_reset_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_;
  std::vector<Waiter*> waiters_;
};

}  // namespace serial
