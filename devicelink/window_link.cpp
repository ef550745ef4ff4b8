#include "devicelink/window_link.h"

#include <atomic>

namespace devicelink {
namespace {

class SilentWindowLink : public TWindowLink {
 public:
  void SetOnlineLabel(const std::string&, uint32_t) override {}
  void SetProgressVisible(bool) override {}
  void SetProgressMax(int) override {}
  void SetProgressPosition(int position) override { position_ = position; }
  int ProgressPosition() const override { return position_; }
  void SetCursor(TCursorShape) override {}

 private:
  int position_ = 0;
};

std::atomic<TWindowLink*> g_link{nullptr};

}  // namespace

TWindowLink& WindowLink() {
  static SilentWindowLink silent;
  TWindowLink* link = g_link.load(std::memory_order_acquire);
  return link ? *link : silent;
}

void SetWindowLink(TWindowLink* link) { g_link.store(link, std::memory_order_release); }

}  // namespace devicelink

#include "devicelink/window_scopes.h"

namespace devicelink {
namespace {
// Cursor scopes are opened on the UI thread only.
int g_cursor_depth = 0;
}  // namespace

TCursorScope::TCursorScope() {
  if (g_cursor_depth++ == 0) WindowLink().SetCursor(TCursorShape::HourGlass);
}

TCursorScope::~TCursorScope() {
  if (--g_cursor_depth == 0) WindowLink().SetCursor(TCursorShape::Default);
}

}  // namespace devicelink
