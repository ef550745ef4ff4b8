// One command's exchanges with the device, taken as a whole: the run. It is
// bound to the port it started on, it knows whether it has begun to write, and
// it carries what it may do. The exchange asks the run before every request.
//
// - Bound to its port: once the port has been closed or opened again (another
//   port, perhaps another device), none of the run's requests goes out. Only
//   the run that opens the port itself (the connect) takes the new port on.
// - Stopped by the program's close: a run that has not written yet ends at
//   once, so none of its requests goes out any more; a run that writes goes on
//   while the device answers, so a set or a table reaches the device whole, and
//   ends at its first failed exchange.
// - A whole set: only while a run grants it (TWholeSet) do its writes send
//   records this device did not report.
//
// Runs nest only where a command waits in a modal window whose own command
// makes a run of its own; the innermost is the one whose requests go.
#pragma once

#include <cstdint>
#include <vector>

namespace serial {
class TSioComPort;
}

namespace devicelink {

class TRun {
 public:
  TRun();
  ~TRun();
  TRun(const TRun&) = delete;
  TRun& operator=(const TRun&) = delete;

  // The writes of the run send the records of a whole set the operator chose
  // (a file, the defaults), reported by this device or not, while it lives.
  class TWholeSet {
   public:
    explicit TWholeSet(TRun& run) : run_(run), saved_(run.whole_set_) { run.whole_set_ = true; }
    ~TWholeSet() { run_.whole_set_ = saved_; }
    TWholeSet(const TWholeSet&) = delete;
    TWholeSet& operator=(const TWholeSet&) = delete;

   private:
    TRun& run_;
    bool saved_;
  };
  bool WholeSet() const { return whole_set_; }

  // The program closes (see above).
  void Stop() { stop_ = true; }
  bool StopAsked() const { return stop_; }
  // No request of the run goes out any more: stopped, ended at a failure
  // after the stop, or its port is gone. Such a refusal is no failure of the
  // device: no OFFLINE, no message.
  bool Ended() const { return ended_; }
  bool Writing() const { return writing_; }

  // The port the run has just opened is its port from now on.
  void Rebind();

  // Blocks (device addresses) the run wrote without an answer, or that it
  // would have written once it had ended, in their order. A block here may
  // or may not have reached the device.
  const std::vector<uint16_t>& NotSent() const { return not_sent_; }
  // A block the run skipped (a read it depends on failed).
  void AddNotSent(uint16_t address) { not_sent_.push_back(address); }

  // The exchange's side: whether the request may go out now on the port (and
  // the run bound to it when it was not yet), and how it ended.
  bool Admit(const serial::TSioComPort& port, bool write, uint16_t address);
  void Bind(const serial::TSioComPort& port);
  void Completed(bool ok, bool write, uint16_t address);

 private:
  friend void StopRuns();
  TRun* outer_;
  const serial::TSioComPort* port_ = nullptr;
  uint32_t open_count_ = 0;
  bool whole_set_ = false;
  bool stop_ = false;
  bool writing_ = false;
  bool ended_ = false;
  std::vector<uint16_t> not_sent_;
};

// The innermost run open now; nullptr when none is.
TRun* CurrentRun();
// The current run has ended (see TRun::Ended); false without a run.
bool RunEnded();
// Every open run stops: the program closes.
void StopRuns();

}  // namespace devicelink
