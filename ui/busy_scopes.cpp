#include "ui/busy_scopes.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace ui {

TInputBlockScope::TInputBlockScope(QWidget* window) : window_(window) {
  qApp->installEventFilter(this);
}

TInputBlockScope::~TInputBlockScope() {
  qApp->removeEventFilter(this);
}

bool TInputBlockScope::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
      break;
    case QEvent::ShortcutOverride:
      // Accepted, the key is the widget's: no menu or command shortcut fires.
      break;
    default:
      return QObject::eventFilter(watched, event);
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != window_) return QObject::eventFilter(watched, event);
  event->accept();
  return true;
}

}  // namespace ui
