// The two flags the frame and its pages share: whether start-up has finished
// and whether a guarded handler runs.
#pragma once

#include <cstdint>

namespace ui {

// 1 once start-up has made the buffers and shown the window.
extern uint8_t FormReady;
// 1 while a command runs (see command_gate.h, which alone sets it).
extern uint8_t CommBusy;

}  // namespace ui
