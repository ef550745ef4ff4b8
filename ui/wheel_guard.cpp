#include "ui/wheel_guard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QTabBar>

namespace ui {

TWheelGuard::TWheelGuard(QObject* parent) : QObject(parent) {
  qApp->installEventFilter(this);
}

bool TWheelGuard::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Wheel) return QObject::eventFilter(watched, event);
  if (qobject_cast<QComboBox*>(watched) == nullptr && qobject_cast<QTabBar*>(watched) == nullptr &&
      qobject_cast<QAbstractSpinBox*>(watched) == nullptr) {
    return QObject::eventFilter(watched, event);
  }
  // Ignored and not delivered: the application passes it on to the parent, so
  // a page around the control still scrolls.
  event->ignore();
  return true;
}

}  // namespace ui
