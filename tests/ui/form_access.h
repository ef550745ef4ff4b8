// The window tests and the screenshot program look at the controls of the main
// window's form by their names.
#pragma once

#include "ui/main_window.h"
#include "ui_main_window.h"

namespace ui {

inline Ui::Tfrm_Main& FormOf(const Tfrm_Main& window) {
  return *window.form_;
}

}  // namespace ui
