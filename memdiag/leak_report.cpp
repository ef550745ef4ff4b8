#include "memdiag/leak_report.h"

#include <spawn.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace memdiag {
namespace {

void WriteLine(std::ostream& out, const std::string& text) {
  out << text << "\r\n";
}

const char* KindText(uint8_t) {
  return "User allocated memory (GetMem)";
}

void WriteLeakDetails(const TLeak& leak, const TDebugInfo& info, std::ostream& out,
                      const char* label = "Leak #") {
  WriteLine(out, label + std::to_string(leak.Identifier) + " " + KindText(leak.Kind));
  WriteLine(out, "\tSize: " + std::to_string(leak.Size));
  WriteLine(out, "\t" + std::to_string(leak.Occurrences) +
                     (leak.Occurrences < 2 ? " Occurence" : " Occurences"));
  WriteLine(out, info.CallStackText(leak.CallStack, "\t"));
}

void WriteLeakLine(const TLeak& leak, std::ostream& out) {
  WriteLine(out, std::string("* ") + KindText(leak.Kind) + " (Leak #" +
                     std::to_string(leak.Identifier) + ") Size: " + std::to_string(leak.Size));
}

bool HeldByLibraries(const TCallStack& stack, const TDebugInfo& info) {
  if (stack[0] == 0) return false;
  for (uintptr_t address : stack) {
    if (address == 0) break;
    if (info.IsProgramCode(address)) return false;
  }
  return true;
}

bool SameLeak(const TLeak& leak, const TTrackedBlockHeader& h) {
  return leak.Kind == h.Kind && leak.Size == h.Size && leak.CallStack == h.CallStack;
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// The desktop's viewer for the file, started with an argument vector (no shell
// ever sees the name) and left running when the program ends.
void OpenInViewer(const std::string& name) {
  std::string program = "xdg-open";
  std::string argument = name;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ);
  if (rc != 0) std::fprintf(stderr, "memdiag: cannot start xdg-open: %s\n", std::strerror(rc));
}

}  // namespace

bool CollectLeaks(const TLeakTracker& tracker, TBlockOwner owner, std::vector<TLeak>& leaks,
                  std::vector<uint32_t>& chronological, size_t maximum) {
  bool limit_reached = false;
  const TDebugInfo& info = tracker.DebugInfo();
  tracker.VisitBlocks([&](const TTrackedBlockHeader& h) {
    if (HeldByLibraries(h.CallStack, info) != (owner == TBlockOwner::Libraries)) return true;
    auto same = std::find_if(leaks.begin(), leaks.end(),
                             [&h](const TLeak& leak) { return SameLeak(leak, h); });
    if (same != leaks.end()) {
      ++same->Occurrences;
      chronological.push_back(same->Identifier);
      return true;
    }
    if (leaks.size() >= maximum) {
      limit_reached = true;
      return false;
    }
    const auto id = static_cast<uint32_t>(leaks.size());
    leaks.push_back(TLeak{h.Kind, h.Size, h.CallStack, 1, id});
    chronological.push_back(id);
    return true;
  });
  return limit_reached;
}

bool CollectDamagedBlocks(const TLeakTracker& tracker, std::vector<TDamagedBlock>& blocks,
                          size_t maximum_count, size_t maximum_size) {
  bool limit_reached = false;
  tracker.VisitKeptBlocks([&](const TTrackedBlockHeader& h) {
    if (h.Size == 0 || h.Size > maximum_size) return true;
    // The whole released area: a write at its first or last byte counts too.
    const auto* user = reinterpret_cast<const uint8_t*>(&h + 1);
    if (IsFilledWith(user, h.Size, tracker.FillByte)) return true;
    if (blocks.size() >= maximum_count) {
      limit_reached = true;
      return false;
    }
    blocks.push_back(TDamagedBlock{h.CallStack, h.ReleaseAddress});
    return true;
  });
  bool lost = false;
  const std::vector<TDamagedBlock> gone = tracker.DamagedReleasedBlocks(lost);
  for (auto it = gone.rbegin(); it != gone.rend() && !limit_reached; ++it) {
    if (blocks.size() >= maximum_count) {
      limit_reached = true;
    } else {
      blocks.push_back(*it);
    }
  }
  return limit_reached || lost;
}

std::vector<TLeak> TopLeaks(const std::vector<TLeak>& leaks) {
  std::vector<TLeak> top = leaks;
  std::stable_sort(top.begin(), top.end(), [](const TLeak& a, const TLeak& b) {
    return a.Total() != b.Total() ? a.Total() > b.Total() : a.Identifier < b.Identifier;
  });
  if (top.size() > 10) top.resize(10);
  return top;
}

size_t WriteLeakReport(TLeakTracker& tracker, std::ostream& out) {
  tracker.InitializeLeakTracker();
  tracker.StopLeakTracking();
  // The modules loaded now, those loaded late in the run (plugins) included.
  if (!tracker.ProgramFile().empty()) tracker.DebugInfo().LoadProcessModules();
  const TDebugInfo& info = tracker.DebugInfo();

  WriteLine(out, tracker.ReportHeaderText());

  std::vector<TLeak> leaks;
  std::vector<uint32_t> chronological;
  const bool leak_limit = CollectLeaks(tracker, leaks, chronological, tracker.MaxLeaks);

  WriteLine(out, "TOP 10 Leaks: begin");
  for (const TLeak& leak : TopLeaks(leaks)) WriteLeakDetails(leak, info, out);
  WriteLine(out, "TOP 10 Leaks: end\r\n");

  uint64_t sum = 0;
  for (uint32_t id : chronological) sum += leaks[id].Size;
  WriteLine(out, leak_limit
                     ? "Total leak not accurate due to MaxLeak constant reached, but at least " +
                           std::to_string(sum) + " bytes\r\n"
                     : "Total leak: " + std::to_string(sum) + " bytes\r\n");

  WriteLine(out, "\r\n*** MEMDIAG: Blocks STILL allocated ***\r\n");
  for (const TLeak& leak : leaks) WriteLeakDetails(leak, info, out);
  WriteLine(out, "*** MEMDIAG: End of allocated blocks ***\r\n");

  // Collected newest first, written oldest first.
  WriteLine(out, "\r\n*** MEMDIAG: Chronological leak information ***\r\n");
  for (auto it = chronological.rbegin(); it != chronological.rend(); ++it) {
    WriteLeakLine(leaks[*it], out);
  }
  WriteLine(out, "\r\n*** MEMDIAG: End of chronological leak information ***\r\n");

  std::vector<TDamagedBlock> damaged;
  const bool bad_limit =
      CollectDamagedBlocks(tracker, damaged, tracker.MaxBadBlocks, tracker.MaxBadBlockSize);
  WriteLine(out, "\r\n*** MEMDIAG: Blocks written to after destruction ***\r\n");
  const std::string count = std::to_string(damaged.size());
  WriteLine(out, bad_limit ? "\tNumber of bad blocks not accurate  due to MaxLeak constant "
                             "reached, but at least " +
                                 count + "\r\n"
                           : "\tBad blocks count: " + count + "\r\n");
  for (const TDamagedBlock& block : damaged) {
    WriteLine(out, "\t* Destroyed block damaged");
    WriteLine(out, "\t\tCall stack at allocation time:");
    out << info.CallStackText(block.CallStack, "\t\t\t");
    WriteLine(out, "\t\tDestroyed at: " + info.LocationText(block.ReleaseAddress));
  }
  WriteLine(out, "\r\n*** MEMDIAG: End of blocks written to after destruction ***\r\n");

  // What libraries allocated and still hold at the end, for reference only.
  std::vector<TLeak> held;
  std::vector<uint32_t> held_blocks;
  const bool held_limit =
      CollectLeaks(tracker, TBlockOwner::Libraries, held, held_blocks, tracker.MaxLeaks);
  uint64_t held_sum = 0;
  for (uint32_t id : held_blocks) held_sum += held[id].Size;
  WriteLine(out, "\r\n*** MEMDIAG: Blocks held by libraries, no leaks of the program ***\r\n");
  for (const TLeak& block : held) WriteLeakDetails(block, info, out, "Held #");
  WriteLine(out, (held_limit ? "Held by libraries, at least " : "Held by libraries: ") +
                     std::to_string(held_sum) + " bytes\r\n");
  WriteLine(out, "*** MEMDIAG: End of blocks held by libraries ***\r\n");
  return leaks.size();
}

long WriteLeakReportFile(TLeakTracker& tracker, const std::string& name, std::string& error) {
  const std::string temp = name + ".$$$";
  size_t leaks = 0;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = temp + ": " + std::strerror(errno);
      return -1;
    }
    leaks = WriteLeakReport(tracker, out);
    out.close();
    if (!out) {
      error = temp + ": " + std::strerror(errno);
      std::remove(temp.c_str());
      return -1;
    }
  }
  if (std::rename(temp.c_str(), name.c_str()) != 0) {
    error = name + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return -1;
  }
  return static_cast<long>(leaks);
}

void FinishLeakTracking() {
  TLeakTracker* tracker = ProcessTracker();
  if (!tracker || !tracker->Active()) return;
  tracker->StopLeakTracking();
  std::string error;
  const long leaks = WriteLeakReportFile(*tracker, tracker->MemDiagLogFileName, error);
  if (leaks < 0) {
    std::fprintf(stderr, "memdiag: leak report not written: %s\n", error.c_str());
    return;
  }
  if (leaks > 0 && tracker->ShowReport && HasDisplay()) OpenInViewer(tracker->MemDiagLogFileName);
}

}  // namespace memdiag
