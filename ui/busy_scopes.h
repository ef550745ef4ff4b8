// The blocked input of a window during a long run, put back however a
// handler ends.
#pragma once

#include <QObject>

#include "devicelink/window_scopes.h"

namespace ui {

// While it lives, the operator's mouse and keyboard input to the window (its
// menus, tabs and controls) is dropped: a long run that keeps the window alive
// by processing messages cannot be interleaved with a click. Timers, painting
// and other windows go on; nothing is disabled, so nothing needs restoring.
class TInputBlockScope : public QObject {
 public:
  explicit TInputBlockScope(QWidget* window);
  ~TInputBlockScope() override;
  TInputBlockScope(const TInputBlockScope&) = delete;
  TInputBlockScope& operator=(const TInputBlockScope&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
};

}  // namespace ui
