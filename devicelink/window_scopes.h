// Scopes that put the cursor and the progress bar back however a command ends.
// Shared by the services and the windows, so a command that calls another
// restores exactly what it changed.
#pragma once

#include "devicelink/window_link.h"

namespace devicelink {

// The hourglass while any scope is open; the normal cursor once the outermost
// one closes, so a nested command does not end the outer one's hourglass.
class TCursorScope {
 public:
  TCursorScope();
  ~TCursorScope();
  TCursorScope(const TCursorScope&) = delete;
  TCursorScope& operator=(const TCursorScope&) = delete;
};

// Hides the progress bar at the end.
class TProgressScope {
 public:
  TProgressScope() = default;
  ~TProgressScope() { WindowLink().SetProgressVisible(false); }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;
};

}  // namespace devicelink
