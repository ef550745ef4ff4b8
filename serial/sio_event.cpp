#include "serial/sio_event.h"

#include <algorithm>
#include <chrono>

namespace serial {

TSioEvent::TSioEvent(bool manual_reset, bool signalled)
    : manual_reset_(manual_reset), signalled_(signalled) {}

void TSioEvent::Set() {
  std::vector<Waiter*> waiters;
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    waiters = waiters_;
    if (manual_reset_) {
      cv_.notify_all();
    } else {
      cv_.notify_one();
    }
    // The waiters cannot unregister while we hold mutex_, so wake them here.
    for (Waiter* w : waiters) {
      std::lock_guard wl(w->mutex);
      w->woken = true;
      w->cv.notify_one();
    }
  }
}

void TSioEvent::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool TSioEvent::IsSet() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

bool TSioEvent::TryConsume() {
  std::lock_guard lock(mutex_);
  if (!signalled_) return false;
  if (!manual_reset_) signalled_ = false;
  return true;
}

uint32_t TSioEvent::Wait(uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  auto ready = [this] { return signalled_; };
  if (timeout_ms == kInfinite) {
    cv_.wait(lock, ready);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return kWaitTimeout;
  }
  if (!manual_reset_) signalled_ = false;
  return kWaitObject0;
}

void TSioEvent::AddWaiter(Waiter* w) {
  std::lock_guard lock(mutex_);
  waiters_.push_back(w);
}

void TSioEvent::RemoveWaiter(Waiter* w) {
  std::lock_guard lock(mutex_);
  waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), w), waiters_.end());
}

uint32_t TSioEvent::WaitForAny(std::initializer_list<TSioEvent*> events, uint32_t timeout_ms) {
  Waiter waiter;
  for (TSioEvent* e : events) e->AddWaiter(&waiter);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  uint32_t result = kWaitTimeout;
  for (;;) {
    {
      // Clear before looking, so a Set after the look still wakes us.
      std::lock_guard wl(waiter.mutex);
      waiter.woken = false;
    }
    uint32_t index = 0;
    bool found = false;
    for (TSioEvent* e : events) {
      if (e->TryConsume()) {
        found = true;
        break;
      }
      ++index;
    }
    if (found) {
      result = kWaitObject0 + index;
      break;
    }
    std::unique_lock wl(waiter.mutex);
    if (timeout_ms == kInfinite) {
      waiter.cv.wait(wl, [&] { return waiter.woken; });
    } else if (!waiter.cv.wait_until(wl, deadline, [&] { return waiter.woken; })) {
      break;
    }
  }
  for (TSioEvent* e : events) e->RemoveWaiter(&waiter);
  return result;
}

}  // namespace serial
