// The port selection without widgets: which of the ports COM1 to COM50 are
// present, and the choice the selection dialog offers among them.
//
// Probing opens each port and closes it at once. On a real adapter opening the
// tty raises DTR and RTS for that moment; a device that reacts to those lines
// sees it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace serial {

constexpr uint32_t kMaxSelectablePort = 50;

// Probe through the device layer (else through the system call directly), and
// count a port in use or not accessible as present. Both on by default.
extern bool ProbeThroughDispatcher;
extern bool CountBusyPorts;

// What a probe found at a port number.
enum class TPortState {
  kAbsent,
  kPresent,       // it opens, or (CountBusyPorts) another opener holds it
  kNoPermission,  // it exists, but this user may not open it
};

// Opens port n for a moment. Port 0 is never present.
TPortState ProbePort(uint32_t n);
// Whether port n can be used: it opens, or it exists but is held by another
// opener. A port this user may not open cannot be used.
bool IsPortPresent(uint32_t n);

using TPortProbe = std::function<TPortState(uint32_t n)>;

// The list of the selection dialog, "COM1" up to "COM<last>" as the probe finds
// them, in ascending order, with the first entry chosen; the ports refused for
// permission are kept apart, so they are not offered as if usable.
class TComSelection {
 public:
  explicit TComSelection(const TPortProbe& probe = ProbePort, uint32_t last = kMaxSelectablePort);

  const std::vector<std::string>& Entries() const { return entries_; }
  // The numbers of the ports left out because this user may not open them.
  const std::vector<uint16_t>& Refused() const { return refused_; }
  // -1 with an empty list.
  int Selected() const { return selected_; }
  // An index outside the list chooses nothing.
  void Select(int index);
  // OK needs a chosen entry.
  bool CanConfirm() const { return selected_ >= 0; }
  // The number of the chosen entry (COM7 gives 7); 0 when none is chosen.
  uint16_t SelectedComNumber() const;
  // What the port gets from the dialog: the chosen number when it was left with
  // OK on a chosen entry, else 0, which makes the open fail with ENoPortSelected.
  uint16_t Answer(bool ok) const { return ok ? SelectedComNumber() : 0; }

 private:
  std::vector<std::string> entries_;
  std::vector<uint16_t> refused_;
  int selected_ = -1;
};

// The number of an entry "COMn", 0 for any other text.
uint16_t ComNumberOfEntry(const std::string& entry);

}  // namespace serial
