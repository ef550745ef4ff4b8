#include "services/app_window.h"

#include <atomic>
#include <stdexcept>

namespace services {
namespace {
std::atomic<TAppWindow*> g_window{nullptr};
}  // namespace

TAppWindow& AppWindow() {
  TAppWindow* w = g_window.load(std::memory_order_acquire);
  if (w == nullptr) throw std::logic_error("no main window installed");
  return *w;
}

void SetAppWindow(TAppWindow* window) { g_window.store(window, std::memory_order_release); }

bool HasAppWindow() { return g_window.load(std::memory_order_acquire) != nullptr; }

}  // namespace services
