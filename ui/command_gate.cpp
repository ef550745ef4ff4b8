#include "ui/command_gate.h"

#include <QMetaObject>

#include <algorithm>

#include "devicelink/device_run.h"
#include "ui/busy_flags.h"

namespace ui {

TCommandGate::TCommandGate(QObject* parent) : QObject(parent) {
  setObjectName("CommandGate");
  SetModalGuard(this);
}

TCommandGate::~TCommandGate() {
  SetModalGuard(nullptr);
}

bool TCommandGate::Command(const void* key, std::function<void()> body) {
  if (closing_) return false;
  // Chosen when nothing runs, it runs now; what was kept (a page change
  // settling) follows it.
  if (!Busy()) {
    Drop(key);
    Run(body);
    return true;
  }
  return Later(key, std::move(body));
}

bool TCommandGate::Later(const void* key, std::function<void()> body) {
  if (closing_) return false;
  if (!Keeps(key)) kept_.emplace_back(key, std::move(body));
  ResumeLater();
  return true;
}

bool TCommandGate::Keeps(const void* key) const {
  return std::any_of(kept_.begin(), kept_.end(), [key](const auto& e) { return e.first == key; });
}

void TCommandGate::Drop(const void* key) {
  std::erase_if(kept_, [key](const auto& e) { return e.first == key; });
}

void TCommandGate::Tick(const std::function<void()>& body) {
  if (closing_ || Busy()) return;
  Run(body);
}

void TCommandGate::DialogCommand(const std::function<void()>& body) {
  if (closing_ || modals_.empty() || modals_.back().depth != depth_) return;
  Run(body);
}

void TCommandGate::RunNow(const std::function<void()>& body) {
  Run(body);
}

void TCommandGate::Post(std::function<void()> call) {
  if (closing_) return;
  QMetaObject::invokeMethod(
      this,
      [this, call = std::move(call)] {
        if (!closing_) call();
      },
      Qt::QueuedConnection);
}

void TCommandGate::Run(const std::function<void()>& body) {
  const bool outermost = depth_ == 0;
  ++depth_;
  CommBusy = 1;
  if (outermost && !closing_ && begins_) begins_();
  {
    devicelink::TRun run;
    if (closing_) run.Stop();
    try {
      body();
    } catch (...) {
      if (error_handler_) error_handler_(std::current_exception());
    }
    if (outermost && !closing_ && ended_hook_) {
      try {
        ended_hook_();
      } catch (...) {
        if (error_handler_) error_handler_(std::current_exception());
      }
    }
    // A write run the close ended (or that failed after it): what it may not
    // have sent is reported when the program ends.
    if (run.StopAsked()) {
      for (uint16_t address : run.NotSent()) {
        if (std::find(not_sent_at_close_.begin(), not_sent_at_close_.end(), address) ==
            not_sent_at_close_.end()) {
          not_sent_at_close_.push_back(address);
        }
      }
    }
  }
  --depth_;
  CommBusy = depth_ > 0 ? 1 : 0;
  AfterRun();
}

void TCommandGate::AfterRun() {
  if (closing_) {
    if (depth_ == 0) {
      if (ended_) {
        // Once, after the command's own scopes have closed.
        QMetaObject::invokeMethod(this, std::exchange(ended_, nullptr), Qt::QueuedConnection);
      }
    } else {
      DismissWaitedModal();
    }
    return;
  }
  ResumeLater();
}

void TCommandGate::ResumeLater() {
  if (closing_ || kept_.empty() || run_posted_ || Busy()) return;
  run_posted_ = true;
  QMetaObject::invokeMethod(this, &TCommandGate::RunNext, Qt::QueuedConnection);
}

void TCommandGate::RunNext() {
  run_posted_ = false;
  if (closing_ || kept_.empty() || Busy()) return;
  std::function<void()> command = std::move(kept_.front().second);
  kept_.erase(kept_.begin());
  Run(command);
}

void TCommandGate::Close(std::function<void()> ended) {
  if (closing_) return;
  closing_ = true;
  kept_.clear();
  devicelink::StopRuns();
  if (depth_ == 0) {
    if (ended) ended();
    return;
  }
  ended_ = std::move(ended);
  DismissWaitedModal();
}

void TCommandGate::ModalBegins(std::function<void()> dismiss) {
  // Once the close is asked only the report of what was not sent opens, and
  // it stays until the operator has read it.
  modals_.push_back({depth_, ++modal_ids_, std::move(dismiss)});
}

void TCommandGate::ModalEnds() {
  if (!modals_.empty()) modals_.pop_back();
  // Kept while a window of no command was open: they run now.
  ResumeLater();
}

// The modal window a command waits on, with nothing running inside it, is
// closed as Cancel would close it; its command then ends as after a Cancel.
// Posted, so it finds the window's event loop running; the window may be gone
// by then, and then nothing is left to close.
void TCommandGate::DismissWaitedModal() {
  if (modals_.empty() || modals_.back().depth != depth_) return;
  const uint64_t id = modals_.back().id;
  QMetaObject::invokeMethod(
      this,
      [this, id] {
        std::function<void()> dismiss;
        for (const TModal& m : modals_) {
          if (m.id == id) dismiss = m.dismiss;
        }
        if (dismiss) dismiss();
      },
      Qt::QueuedConnection);
}

}  // namespace ui
