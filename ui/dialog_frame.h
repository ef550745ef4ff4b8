// The frame of the program's fixed dialogs.
#pragma once

#include <QDialog>
#include <QLayout>

namespace ui {

// Title bar with system menu and close button, no minimise or maximise, and a
// size the operator cannot change: window managers offer maximise for any window
// that can be resized. A dialog laid out by a layout takes the size its contents
// need; one placed by hand keeps the size it has.
inline void UseDialogFrame(QDialog& dialog) {
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  if (QLayout* layout = dialog.layout()) {
    layout->setSizeConstraint(QLayout::SetFixedSize);
  } else {
    dialog.setFixedSize(dialog.size());
  }
}

}  // namespace ui
