// The mouse wheel turned over a choice list, a spin box or a notebook's tab bar
// changes nothing: those controls write to the device (or show a page without
// its refresh) on every change, and a notch taken while scrolling past them is
// no choice of the operator's. A choice is made by a click in the open list or
// by the keyboard; the wheel over such a control goes to the control around it.
#pragma once

#include <QObject>

namespace ui {

class TWheelGuard : public QObject {
 public:
  // Watches every widget of the application while it lives.
  explicit TWheelGuard(QObject* parent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace ui
