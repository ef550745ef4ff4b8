// Scopes that put the busy flag, the cursor and the progress bar back however a
// handler ends.
#pragma once

#include "devicelink/window_link.h"
#include "ui/main_window.h"

namespace ui {

class TBusyScope {
 public:
  TBusyScope() { CommBusy = 1; }
  ~TBusyScope() { CommBusy = 0; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;
};

class TCursorScope {
 public:
  TCursorScope() { devicelink::WindowLink().SetCursor(devicelink::TCursorShape::HourGlass); }
  ~TCursorScope() { devicelink::WindowLink().SetCursor(devicelink::TCursorShape::Default); }
  TCursorScope(const TCursorScope&) = delete;
  TCursorScope& operator=(const TCursorScope&) = delete;
};

// Hides the progress bar at the end.
class TProgressScope {
 public:
  TProgressScope() = default;
  ~TProgressScope() { devicelink::WindowLink().SetProgressVisible(false); }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;
};

}  // namespace ui
