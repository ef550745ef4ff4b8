// The leak tracker: while it is active every block allocated through it carries a
// header with its call stack and sits in the list of live blocks; released small
// blocks are kept a while, filled and watched for later writes, in a quarantine of
// bounded size; second releases and overruns are noted for the report. The allocator underneath and the stack capture are injected, so the
// tracker runs in tests without replacing the global allocation functions.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "memdiag/debug_info.h"
#include "memdiag/tracked_block.h"

namespace memdiag {

// The memory manager in force before tracking. The tracker reads the word just
// before any pointer it is asked to release, so every block of this manager must
// have at least one readable word in front of it (the C library's does).
struct TPreviousManager {
  void* (*GetMem)(size_t size);
  void (*FreeMem)(void* block);
};

// Fills frames with the return addresses of the calling frames, innermost first;
// the number filled.
using TStackCapture = int (*)(uintptr_t* frames, int max_frames);

// A kept block that was found written to after its release.
struct TDamagedBlock {
  TCallStack CallStack;
  uintptr_t ReleaseAddress;
};

class TLeakTracker {
 public:
  static constexpr size_t kHeaderSize = sizeof(TTrackedBlockHeader);
  static constexpr size_t kOverhead = kHeaderSize + sizeof(kGuardWord);
  // What the kept released blocks may take, headers included. Kept for the whole
  // run they would grow without bound (gigabytes a day); a few MiB hold the blocks
  // of the last seconds, which is where a write after release comes from.
  static constexpr size_t kQuarantineBudget = 4u << 20;

  // program_file: where the debug information and the symbols are read; empty for none.
  TLeakTracker(TPreviousManager previous, TStackCapture capture, std::string program_file = {});
  // Returns every block still in the list to the previous manager.
  ~TLeakTracker();
  TLeakTracker(const TLeakTracker&) = delete;
  TLeakTracker& operator=(const TLeakTracker&) = delete;

  // Once: code base and debug information of the program file, one stack capture
  // so that its lazy set-up has happened before any tracked allocation.
  void InitializeLeakTracker();
  void StartLeakTracking();
  void StopLeakTracking();
  bool Active() const { return active_.load(std::memory_order_acquire); }

  // size usable bytes; nullptr when the previous manager has none or the size
  // cannot carry the header. caller: the return address into the allocating code.
  void* TrackedGetMem(size_t size, uintptr_t caller);
  // Releases any block: one of this tracker by its header, any other through the
  // previous manager. caller: the return address into the releasing code.
  void TrackedFreeMem(void* block, uintptr_t caller);

  // The block was handed out by this tracker and is still in its list.
  bool IsTracked(const void* block) const;
  // Entry 0 of the block's call stack; 0 for a block not tracked.
  uintptr_t AllocationSiteOf(const void* block) const;

  // "MemDiag version 1.00\r\n" followed by the notes of second releases and
  // overruns, in the order they happened.
  std::string ReportHeaderText() const;

  // Calls visit for every live block, newest first, while holding the list lock,
  // until it returns false. visit must not release tracked blocks.
  template <typename Visit>
  void VisitBlocks(Visit&& visit) const {
    std::lock_guard<std::mutex> lock(list_lock_);
    for (const TTrackedBlockHeader* h = last_; h; h = h->Previous) {
      if (!visit(*h)) break;
    }
  }
  // The same for the kept released blocks in the quarantine, newest first.
  template <typename Visit>
  void VisitKeptBlocks(Visit&& visit) const {
    std::lock_guard<std::mutex> lock(list_lock_);
    for (const TTrackedBlockHeader* h = kept_newest_; h; h = h->Previous) {
      if (!visit(*h)) break;
    }
  }

  // Bytes the quarantine holds now, headers included.
  size_t KeptBytes() const;
  // Blocks that left the quarantine written to after their release, oldest first,
  // at most MaxBadBlocks; true in lost when more were found.
  std::vector<TDamagedBlock> DamagedReleasedBlocks(bool& lost) const;

  // Where the debug information is read; empty for none (then neither are the
  // modules of the process).
  const std::string& ProgramFile() const { return program_file_; }
  const TDebugInfo& DebugInfo() const { return debug_info_; }
  TDebugInfo& DebugInfo() { return debug_info_; }

  // Settings; set them before tracking starts.
  size_t MaxKeptFreedBlockSize = 0;  // released blocks up to this size are kept (0: none)
  size_t QuarantineBudget = kQuarantineBudget;
  uint8_t FillByte = 0;              // written over kept blocks
  bool ShowReport = true;            // open a report that lists leaks in the viewer
  std::string MemDiagLogFileName;    // the report file
  size_t MaxLeaks = 1000;            // distinct leaks the report collects
  size_t MaxBadBlocks = 1000;        // damaged kept blocks the report collects
  size_t MaxBadBlockSize = 4000;     // larger kept blocks are not examined

 private:
  struct TNote {
    bool SecondRelease;  // else an overrun
    uintptr_t AllocatedAt;
    uintptr_t ReleasedAt;
  };
  void CaptureCallStack(TCallStack& stack, uintptr_t caller) const;
  void LinkBlock(TTrackedBlockHeader* h);
  void UnlinkBlock(TTrackedBlockHeader* h);
  // Both with the list lock held.
  void Keep(TTrackedBlockHeader* h);
  void ReleaseOldestKept();
  void AddNote(const TNote& note);

  TPreviousManager previous_;
  TStackCapture capture_;
  std::string program_file_;
  TDebugInfo debug_info_;
  bool initialized_ = false;
  std::atomic<bool> active_{false};
  mutable std::mutex list_lock_;
  TTrackedBlockHeader* last_ = nullptr;  // newest live block
  TTrackedBlockHeader* kept_oldest_ = nullptr;
  TTrackedBlockHeader* kept_newest_ = nullptr;
  size_t kept_bytes_ = 0;
  std::vector<TDamagedBlock> damaged_;  // found when they left the quarantine
  bool damaged_lost_ = false;
  mutable std::mutex notes_lock_;
  std::vector<TNote> notes_;
};

// The tracker found no memory for a block and its header.
class EMemDiagOutOfMemory : public std::bad_alloc {
 public:
  const char* what() const noexcept override {
    return "MemDiag is not able to allocate memory, due to system resource lack";
  }
};

// True when every byte of the n bytes is value.
bool IsFilledWith(const uint8_t* bytes, size_t n, uint8_t value);

// The tracker of the process, behind the replacement allocation functions; nullptr
// until tracking was first started. It is never destroyed, so it outlives every
// static object of the program.
TLeakTracker* ProcessTracker();

// The start the settings file asks for: report name, largest kept block, start.
// Without the replacement allocation functions in the program it says so on
// stderr and starts nothing.
void StartFromSettings(const std::string& report_name, uint32_t max_kept_freed_block_size);

// Called by the replacement allocation functions when they are part of the program.
void NoteHooksLinked();

// At program end, after every static object is gone: when tracking is active, stop
// it, write the report file and, when it lists leaks, open it in the viewer.
void FinishLeakTracking();

}  // namespace memdiag
