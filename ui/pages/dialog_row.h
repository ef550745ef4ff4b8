// The quantity kind and limits the value dialog takes for one edit.
#pragma once

#include <cstdint>

namespace ui {

struct TDialogRow {
  uint8_t quantity;  // quantity kind, 255 a plain number
  float min;         // device units
  float max;
};

}  // namespace ui
