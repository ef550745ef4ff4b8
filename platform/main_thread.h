// The user-interface thread as the lower layers see it. Serial threads never touch
// windows: they post (or send) calls that the UI thread runs between its messages.
// The desktop installs an implementation over its event loop; tests use
// QueueMainThread and drain it themselves.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

class MainThread {
 public:
  virtual ~MainThread() = default;
  // Queues fn to run on the UI thread; returns at once.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs fn on the UI thread and waits for it up to timeout_ms. Called on the UI
  // thread, fn runs at once. False when it did not run in time; it then never runs.
  virtual bool Send(std::function<void()> fn, uint32_t timeout_ms) = 0;
  // Runs the calls and messages that are pending now, once, on the calling (UI) thread.
  virtual void ProcessMessages() = 0;
  virtual bool IsUiThread() const = 0;
};

// The installed implementation; a process-wide QueueMainThread owned by the
// calling thread of the first use when none was installed.
MainThread& GetMainThread();
// Installs an implementation (not owned); nullptr returns to the default.
void SetMainThread(MainThread* main_thread);

inline void ProcessMessages() { GetMainThread().ProcessMessages(); }

// Plain queue: the UI thread is the thread that created it.
class QueueMainThread : public MainThread {
 public:
  QueueMainThread();
  ~QueueMainThread() override;
  QueueMainThread(const QueueMainThread&) = delete;
  QueueMainThread& operator=(const QueueMainThread&) = delete;

  void Post(std::function<void()> fn) override;
  bool Send(std::function<void()> fn, uint32_t timeout_ms) override;
  void ProcessMessages() override;
  bool IsUiThread() const override;

  // Number of calls waiting.
  size_t Pending() const;
  // Processes messages until pred() holds or timeout_ms passed (real time); for tests.
  bool RunUntil(const std::function<bool()>& pred, uint32_t timeout_ms);

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace platform
