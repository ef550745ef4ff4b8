// The leak report written at program end: the ten largest leaks, every block still
// allocated grouped into leaks, their chronology, and the kept blocks written to
// after their release.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "memdiag/leak_tracker.h"

namespace memdiag {

// Live blocks of the same kind, size and call stack, copied out of the list.
struct TLeak {
  uint8_t Kind;
  size_t Size;
  TCallStack CallStack;
  uint32_t Occurrences;
  uint32_t Identifier;  // index in the leak list
  uint64_t Total() const { return uint64_t{Size} * Occurrences; }
};

// Whose live blocks a collection takes: the program's (some entry of the call
// stack lies in the program's own code), or those whose whole call stack lies in
// libraries, which the program never asked for (Qt's, the C library's) and which
// are no leaks of the program.
enum class TBlockOwner { Program, Libraries };

// Groups the owner's live blocks, newest first, into leaks; chronological receives
// the leak identifier of every block collected, newest first. True when a block
// was left out because the list already held the maximum of distinct leaks.
bool CollectLeaks(const TLeakTracker& tracker, TBlockOwner owner, std::vector<TLeak>& leaks,
                  std::vector<uint32_t>& chronological, size_t maximum);
inline bool CollectLeaks(const TLeakTracker& tracker, std::vector<TLeak>& leaks,
                         std::vector<uint32_t>& chronological, size_t maximum) {
  return CollectLeaks(tracker, TBlockOwner::Program, leaks, chronological, maximum);
}

// Released blocks of 1 to maximum_size bytes with any byte that is no longer the
// fill byte, newest first: those in the quarantine, then those found when they
// left it. True when one was left out because maximum_count were listed.
bool CollectDamagedBlocks(const TLeakTracker& tracker, std::vector<TDamagedBlock>& blocks,
                          size_t maximum_count, size_t maximum_size);

// The ten largest totals, larger first; equal totals in identifier order.
std::vector<TLeak> TopLeaks(const std::vector<TLeak>& leaks);

// Stops tracking and writes the report; the number of distinct leaks of the
// program (the blocks held by libraries are listed after them, and not counted).
size_t WriteLeakReport(TLeakTracker& tracker, std::ostream& out);

// Writes the report to name + ".$$$" and renames it over name, so that a report
// is either whole or not there. The number of leaks; -1 with a message in error
// when the file could not be written (nothing is left behind then).
long WriteLeakReportFile(TLeakTracker& tracker, const std::string& name, std::string& error);

}  // namespace memdiag
