// What the device link shows in the main window: the online label and the
// progress bar of the status bar, and the busy cursor. The main window installs
// its implementation; without one these calls do nothing (headless use, tests
// that do not look at the window).
#pragma once

#include <cstdint>
#include <string>

namespace devicelink {

// Font colours of the online label, as colour values (0x00BBGGRR).
constexpr uint32_t kColourGreen = 0x008000;
constexpr uint32_t kColourRed = 0x0000FF;

enum class TCursorShape { Default, HourGlass };

class TWindowLink {
 public:
  virtual ~TWindowLink() = default;
  // Label_Online: caption and font colour.
  virtual void SetOnlineLabel(const std::string& caption, uint32_t colour) = 0;
  // Zeitmesser, the progress bar in the status bar.
  virtual void SetProgressVisible(bool visible) = 0;
  virtual void SetProgressMax(int max) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual int ProgressPosition() const = 0;
  virtual void SetCursor(TCursorShape shape) = 0;
  // The device of an online link went away (an adapter unplugged). The values
  // shown stay as they were read; the window says since when they are old.
  virtual void LinkLost() {}
};

// The installed implementation, or one that ignores everything.
TWindowLink& WindowLink();
// Installs an implementation (not owned); nullptr returns to the silent default.
void SetWindowLink(TWindowLink* link);

}  // namespace devicelink
