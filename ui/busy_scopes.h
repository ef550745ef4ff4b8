// The busy flag of the guarded handlers, put back however a handler ends.
#pragma once

#include <cstdint>

#include "devicelink/window_scopes.h"
#include "ui/main_window.h"

namespace ui {

// Sets CommBusy and restores the value it found, so scopes nest.
class TBusyScope {
 public:
  TBusyScope() : saved_(CommBusy) { CommBusy = 1; }
  ~TBusyScope() { CommBusy = saved_; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  uint8_t saved_;
};

}  // namespace ui
