#include "platform/main_thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::atomic<MainThread*> g_main_thread{nullptr};

// A sent call: whoever moves it out of kPending first decides whether it runs.
struct SentCall {
  enum State { kPending, kRunning, kDone, kCancelled };
  std::mutex mutex;
  std::condition_variable done;
  State state = kPending;
};

}  // namespace

MainThread& GetMainThread() {
  MainThread* m = g_main_thread.load(std::memory_order_acquire);
  if (m) return *m;
  static QueueMainThread fallback;
  return fallback;
}

void SetMainThread(MainThread* main_thread) {
  g_main_thread.store(main_thread, std::memory_order_release);
}

struct QueueMainThread::Impl {
  std::thread::id ui_thread = std::this_thread::get_id();
  mutable std::mutex mutex;
  // Numbered so that a nested ProcessMessages (a call that waits and pumps) keeps
  // the order of posting, and "pending now" has a clear meaning.
  struct Call {
    uint64_t seq;
    std::function<void()> fn;
  };
  std::deque<Call> queue;
  uint64_t next_seq = 0;
};

QueueMainThread::QueueMainThread() : impl_(new Impl) {}

QueueMainThread::~QueueMainThread() { delete impl_; }

void QueueMainThread::Post(std::function<void()> fn) {
  std::lock_guard lock(impl_->mutex);
  impl_->queue.push_back({impl_->next_seq++, std::move(fn)});
}

bool QueueMainThread::Send(std::function<void()> fn, uint32_t timeout_ms) {
  if (IsUiThread()) {
    fn();
    return true;
  }
  auto call = std::make_shared<SentCall>();
  Post([call, fn = std::move(fn)] {
    {
      std::lock_guard lock(call->mutex);
      if (call->state != SentCall::kPending) return;
      call->state = SentCall::kRunning;
    }
    // Done even when fn throws, or the sender would wait for ever.
    struct Finish {
      SentCall& call;
      ~Finish() {
        std::lock_guard lock(call.mutex);
        call.state = SentCall::kDone;
        call.done.notify_all();
      }
    } finish{*call};
    fn();
  });
  std::unique_lock lock(call->mutex);
  bool finished = call->done.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return call->state == SentCall::kDone;
  });
  if (finished) return true;
  if (call->state == SentCall::kPending) {
    call->state = SentCall::kCancelled;
    return false;
  }
  // Already running on the UI thread: it must finish before fn's captures may go.
  call->done.wait(lock, [&] { return call->state == SentCall::kDone; });
  return true;
}

void QueueMainThread::ProcessMessages() {
  uint64_t end;
  {
    std::lock_guard lock(impl_->mutex);
    end = impl_->next_seq;
  }
  // One call at a time from the front: calls a nested pump ran are gone, and calls
  // after one that throws stay queued.
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard lock(impl_->mutex);
      if (impl_->queue.empty() || impl_->queue.front().seq >= end) return;
      fn = std::move(impl_->queue.front().fn);
      impl_->queue.pop_front();
    }
    fn();
  }
}

bool QueueMainThread::IsUiThread() const { return std::this_thread::get_id() == impl_->ui_thread; }

size_t QueueMainThread::Pending() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->queue.size();
}

bool QueueMainThread::RunUntil(const std::function<bool()>& pred, uint32_t timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    ProcessMessages();
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace platform
