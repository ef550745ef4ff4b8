// State of the device link, kept across exchanges on the UI thread.
#pragma once

#include <cstdint>

namespace devicelink {

// The link is up; while clear every exchange is refused.
extern bool DeviceOnline;
// 0 no trace; 1 only exchanges that needed a repeat or failed; 2+ every exchange.
extern int32_t TraceLevel;
// Length of each wait phase of an exchange, ms; 1500 whenever the port is opened.
extern int32_t TransferTimeout;
// Attempts whose reply was short or failed its checksum; never reset.
extern int32_t ErrorCount;

// A run of reads the program's close need not wait for (the bulk read, the
// trend read, the event log, a table received, a page read): once a stop is
// asked for, every exchange inside such a run is refused, so the run ends at its
// next exchange. A write run takes none: a set, a table or an edit reaches the
// device whole, and the close waits for its end.
class TStoppableRun {
 public:
  TStoppableRun();
  ~TStoppableRun();
  TStoppableRun(const TStoppableRun&) = delete;
  TStoppableRun& operator=(const TStoppableRun&) = delete;
};

// The program is closing (RequestStop), or no longer (ClearStop).
void RequestStop();
void ClearStop();
bool StopRequested();
// A stop is asked for and a stoppable run is open: its exchanges are refused.
// Such a refusal is no failure of the device: no OFFLINE, no message, no log line.
bool Stopping();

}  // namespace devicelink
