// The main-thread hook over the Qt event loop: posted calls become queued calls on
// the application object, ProcessMessages is one round of the event loop.
#pragma once

#include "platform/main_thread.h"

namespace ui {

class TQtMainThread : public platform::MainThread {
 public:
  // Needs the application object; its thread is the UI thread.
  TQtMainThread();
  void Post(std::function<void()> fn) override;
  bool Send(std::function<void()> fn, uint32_t timeout_ms) override;
  void ProcessMessages() override;
  bool IsUiThread() const override;
};

}  // namespace ui
