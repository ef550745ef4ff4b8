#include "ui/busy_flags.h"

namespace ui {

uint8_t FormReady = 0;
uint8_t CommBusy = 0;

}  // namespace ui
