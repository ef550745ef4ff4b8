// The device side of one parameter edit: when online, write the changed block,
// wait, read it back, counting the exchanges on the progress bar. Offline
// nothing is sent and the progress bar stays hidden: the edit changes only the
// record. A failed exchange is not reported here (the online label shows it);
// the run goes on with its next exchange, as the record keeps the edited value.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace services {

// One step of an edit run.
struct TEditStep {
  enum class Kind { Write, Read, Pause, Step };
  Kind kind;
  std::function<bool()> exchange;  // Write and Read
  uint32_t ms = 0;                 // Pause
  bool counted = true;             // Write and Read: a progress step follows
};

inline TEditStep WriteStep(std::function<bool()> write) {
  return {TEditStep::Kind::Write, std::move(write)};
}
// A write that the progress bar does not count (a block written ahead of the
// edited one).
inline TEditStep UncountedWriteStep(std::function<bool()> write) {
  return {TEditStep::Kind::Write, std::move(write), 0, false};
}
inline TEditStep ReadStep(std::function<bool()> read) {
  return {TEditStep::Kind::Read, std::move(read)};
}
inline TEditStep PauseStep(uint32_t ms) {
  return {TEditStep::Kind::Pause, nullptr, ms};
}
// A progress step without an exchange.
inline TEditStep ProgressStep() {
  return {TEditStep::Kind::Step, nullptr};
}

// What a run did: whether it ran at all (online) and whether every exchange
// succeeded; failed_step is the index of the first failed step, -1 when none.
struct TEditResult {
  bool ran = false;
  bool ok = true;
  int failed_step = -1;
};

// The pause between a write and its read-back, ms.
constexpr uint32_t kEditPauseMs = 50;

// Runs the steps when online. The progress bar starts at progress_max (by
// default the number of counted writes, reads and progress steps) and is hidden
// at the end, however the run ends.
TEditResult RunEditSteps(const std::vector<TEditStep>& steps, int progress_max = -1);

// The usual edit: write the block, pause, read it back (two progress steps).
TEditResult WriteAndReadBack(const std::function<bool()>& write, const std::function<bool()>& read);

// Several blocks of one edit: every write followed by a pause, then every
// read-back, in the given orders.
TEditResult WriteAndReadBack(std::initializer_list<std::function<bool()>> writes,
                             std::initializer_list<std::function<bool()>> reads);

// A write whose block the device does not give back: write, pause, two steps.
TEditResult WriteWithoutReadBack(const std::function<bool()>& write);

// Status-bar texts of an edit that sent nothing: a record the device did not
// report could not be read from it; or it was read, and the page now shows
// other values than those the operator acted on.
constexpr uint16_t kNotSentUnread = 24;
constexpr uint16_t kNotSentReadAnew = 25;

// Before a rule sends a block the operator did not edit (one of the other
// circuit): true when the record holds what the device last reported, read since
// the port was opened or read now by read; false when that read failed, and then
// nothing may be sent from the record and status panel 0 says why. Offline
// nothing is read or sent: true.
bool ReportedOrRead(uint16_t block_address, const std::function<bool()>& read);

// How an operator's event on a page stands to what the device reported.
enum class TActedOn {
  kDeviceValues,  // the page's records hold what the device reported: go on
  kUnread,        // a record could not be read from the device: nothing is sent
  kReadAnew,      // read now, the device holds other values than those shown
  kEnded,         // the run ended during the read (the program closes)
};
// An event on a page acts on the device's values only: online, when a block
// of the page is not reported by the device on the open port, read_page reads
// (and shows) the page, and the event may go on only when every block is then
// reported and its record is what it was before the read, byte for byte. What
// is compared are the records, never what the widgets show. Status panel 0
// says why when the event may not go on. Offline: kDeviceValues.
TActedOn ActedOnDeviceValues(const std::vector<uint16_t>& blocks,
                             const std::function<void()>& read_page);

}  // namespace services
