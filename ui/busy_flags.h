// The two flags the frame and its pages share: whether start-up has finished
// and whether a guarded handler runs.
#pragma once

#include <cstdint>

namespace ui {

// 1 once start-up has made the buffers and shown the window.
extern uint8_t FormReady;
// 1 while one of the guarded handlers (refresh and clock timers, page entry,
// notebook click, load, a parameter edit) runs; the others then do nothing.
extern uint8_t CommBusy;

}  // namespace ui
