#include "ui/qt_main_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace ui {

namespace {

// A call sent from another thread: it runs once, unless the sender gave up first.
struct SentCall {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool started = false;
  bool abandoned = false;
  bool done = false;
};

}  // namespace

TQtMainThread::TQtMainThread() = default;

void TQtMainThread::Post(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  QMetaObject::invokeMethod(
      app,
      [fn = std::move(fn)]() {
        // Nothing may leave a queued call into the event loop.
        try {
          fn();
        } catch (...) {
        }
      },
      Qt::QueuedConnection);
}

bool TQtMainThread::Send(std::function<void()> fn, uint32_t timeout_ms) {
  if (IsUiThread()) {
    fn();
    return true;
  }
  auto call = std::make_shared<SentCall>();
  Post([call, fn = std::move(fn)]() {
    {
      std::lock_guard<std::mutex> lock(call->mutex);
      if (call->abandoned) return;
      call->started = true;
    }
    try {
      fn();
    } catch (...) {
    }
    std::lock_guard<std::mutex> lock(call->mutex);
    call->done = true;
    call->done_signal.notify_all();
  });
  std::unique_lock<std::mutex> lock(call->mutex);
  if (call->done_signal.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                 [&] { return call->done; })) {
    return true;
  }
  if (call->started) {
    // Running now: it cannot be taken back, so wait for its end.
    call->done_signal.wait(lock, [&] { return call->done; });
    return true;
  }
  call->abandoned = true;
  return false;
}

void TQtMainThread::ProcessMessages() {
  if (QCoreApplication::instance() == nullptr || !IsUiThread()) return;
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TQtMainThread::IsUiThread() const {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace ui
