#include "ui/command_queue.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>

namespace ui {
namespace {

// How soon the queue looks again while something runs outside a handler (an
// exchange of a modal dialog, say), whose end calls no Resume.
constexpr int kRetryMs = 50;

}  // namespace

TCommandQueue::TCommandQueue(QObject* parent, std::function<bool()> busy)
    : QObject(parent), busy_(std::move(busy)), retry_(new QTimer(this)) {
  setObjectName("CommandQueue");
  retry_->setSingleShot(true);
  retry_->setInterval(kRetryMs);
  connect(retry_, &QTimer::timeout, this, &TCommandQueue::Resume);
}

void TCommandQueue::Keep(const void* key, std::function<void()> command) {
  if (closing_ || Keeps(key)) return;
  kept_.emplace_back(key, std::move(command));
  Resume();
}

bool TCommandQueue::Keeps(const void* key) const {
  return std::any_of(kept_.begin(), kept_.end(), [key](const auto& e) { return e.first == key; });
}

void TCommandQueue::Drop(const void* key) {
  std::erase_if(kept_, [key](const auto& e) { return e.first == key; });
}

void TCommandQueue::Post(std::function<void()> call) {
  if (closing_) return;
  QMetaObject::invokeMethod(
      this,
      [this, call = std::move(call)] {
        if (!closing_) call();
      },
      Qt::QueuedConnection);
}

void TCommandQueue::Resume() {
  if (closing_ || kept_.empty() || run_posted_) return;
  if (busy_()) {
    if (!retry_->isActive()) retry_->start();
    return;
  }
  run_posted_ = true;
  QMetaObject::invokeMethod(this, &TCommandQueue::RunNext, Qt::QueuedConnection);
}

void TCommandQueue::RunNext() {
  run_posted_ = false;
  if (closing_ || kept_.empty()) return;
  // Something started meanwhile: the command waits for its end.
  if (busy_()) {
    Resume();
    return;
  }
  std::function<void()> command = std::move(kept_.front().second);
  kept_.erase(kept_.begin());
  command();
  Resume();
}

void TCommandQueue::Close() {
  closing_ = true;
  kept_.clear();
  retry_->stop();
}

}  // namespace ui
