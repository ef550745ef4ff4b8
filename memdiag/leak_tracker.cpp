#include "memdiag/leak_tracker.h"

#include <execinfo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

namespace memdiag {
namespace {

// Address-derived, with high bits no allocator's own bookkeeping word carries.
constexpr uintptr_t kMarkerKey = 0xA5C3'96E1'FFFF'FFFFu;

uintptr_t MarkerFor(const TTrackedBlockHeader* h) {
  return reinterpret_cast<uintptr_t>(h) ^ kMarkerKey;
}

TTrackedBlockHeader* HeaderOf(const void* block) {
  return reinterpret_cast<TTrackedBlockHeader*>(reinterpret_cast<uintptr_t>(block) -
                                                TLeakTracker::kHeaderSize);
}

uint8_t* UserData(TTrackedBlockHeader* h) {
  return reinterpret_cast<uint8_t*>(h) + TLeakTracker::kHeaderSize;
}

// Our own frames above the allocating code are few; these spare entries cover them.
constexpr int kSpareFrames = 8;

}  // namespace

bool IsFilledWith(const uint8_t* bytes, size_t n, uint8_t value) {
  return std::all_of(bytes, bytes + n, [value](uint8_t b) { return b == value; });
}

TLeakTracker::TLeakTracker(TPreviousManager previous, TStackCapture capture,
                           std::string program_file)
    : previous_(previous), capture_(capture), program_file_(std::move(program_file)) {}

TLeakTracker::~TLeakTracker() {
  for (TTrackedBlockHeader* h : {last_, kept_newest_}) {
    while (h) {
      TTrackedBlockHeader* older = h->Previous;
      h->Marker = 0;
      previous_.FreeMem(h);
      h = older;
    }
  }
}

void TLeakTracker::InitializeLeakTracker() {
  if (initialized_) return;
  if (!program_file_.empty()) {
    debug_info_.ComputeCodeBase();
    debug_info_.LoadDebugInfo(program_file_);
  }
  // The first capture may load and set up the unwinder, allocating on the way.
  uintptr_t frames[4];
  capture_(frames, 4);
  initialized_ = true;
}

void TLeakTracker::StartLeakTracking() {
  if (Active()) return;
  InitializeLeakTracker();
  active_.store(true, std::memory_order_release);
}

void TLeakTracker::StopLeakTracking() {
  active_.store(false, std::memory_order_release);
}

void TLeakTracker::CaptureCallStack(TCallStack& stack, uintptr_t caller) const {
  stack.fill(0);
  uintptr_t frames[kCallStackDepth + kSpareFrames];
  const int n = std::clamp(capture_(frames, kCallStackDepth + kSpareFrames), 0,
                           kCallStackDepth + kSpareFrames);
  // The stack starts at the allocating code, whatever of ours was inlined above it.
  const uintptr_t* first = std::find(frames, frames + n, caller);
  if (first == frames + n) {
    stack[0] = caller - 1;
    return;
  }
  // A return address minus one lies inside the call instruction.
  for (int k = 0; k < kCallStackDepth && first + k < frames + n && first[k] != 0; ++k) {
    stack[k] = first[k] - 1;
  }
}

void TLeakTracker::LinkBlock(TTrackedBlockHeader* h) {
  std::lock_guard<std::mutex> lock(list_lock_);
  h->Previous = last_;
  h->Next = nullptr;
  if (last_) last_->Next = h;
  last_ = h;
}

void TLeakTracker::UnlinkBlock(TTrackedBlockHeader* h) {
  if (h->Previous) h->Previous->Next = h->Next;
  if (h->Next) {
    h->Next->Previous = h->Previous;
  } else {
    last_ = h->Previous;
  }
  h->Previous = h->Next = nullptr;
}

void TLeakTracker::Keep(TTrackedBlockHeader* h) {
  UnlinkBlock(h);
  h->Previous = kept_newest_;
  if (kept_newest_) {
    kept_newest_->Next = h;
  } else {
    kept_oldest_ = h;
  }
  kept_newest_ = h;
  kept_bytes_ += h->Size + kOverhead;
  while (kept_bytes_ > QuarantineBudget && kept_oldest_ != h) ReleaseOldestKept();
}

void TLeakTracker::ReleaseOldestKept() {
  TTrackedBlockHeader* h = kept_oldest_;
  kept_oldest_ = h->Next;
  if (kept_oldest_) {
    kept_oldest_->Previous = nullptr;
  } else {
    kept_newest_ = nullptr;
  }
  kept_bytes_ -= h->Size + kOverhead;
  // Its last chance to show a write after its release.
  if (h->Size <= MaxBadBlockSize && !IsFilledWith(UserData(h), h->Size, FillByte)) {
    if (damaged_.size() < MaxBadBlocks) {
      try {
        damaged_.push_back(TDamagedBlock{h->CallStack, h->ReleaseAddress});
      } catch (const std::bad_alloc&) {
        damaged_lost_ = true;
      }
    } else {
      damaged_lost_ = true;
    }
  }
  h->Marker = 0;
  previous_.FreeMem(h);
}

size_t TLeakTracker::KeptBytes() const {
  std::lock_guard<std::mutex> lock(list_lock_);
  return kept_bytes_;
}

std::vector<TDamagedBlock> TLeakTracker::DamagedReleasedBlocks(bool& lost) const {
  std::lock_guard<std::mutex> lock(list_lock_);
  lost = damaged_lost_;
  return damaged_;
}

void* TLeakTracker::TrackedGetMem(size_t size, uintptr_t caller) {
  if (size > SIZE_MAX - kOverhead) return nullptr;
  void* raw = previous_.GetMem(size + kOverhead);
  if (!raw) return nullptr;
  auto* h = new (raw) TTrackedBlockHeader{};
  h->Kind = kMemoryBlock;
  CaptureCallStack(h->CallStack, caller);
  h->Size = size;
  h->StampIndex = -1;
  std::memcpy(UserData(h) + size, &kGuardWord, sizeof kGuardWord);
  h->Marker = MarkerFor(h);
  LinkBlock(h);
  return UserData(h);
}

bool TLeakTracker::IsTracked(const void* block) const {
  if (!block) return false;
  uintptr_t word;
  std::memcpy(&word, reinterpret_cast<const uint8_t*>(block) - sizeof word, sizeof word);
  return word == MarkerFor(HeaderOf(block));
}

uintptr_t TLeakTracker::AllocationSiteOf(const void* block) const {
  return IsTracked(block) ? HeaderOf(block)->CallStack[0] : 0;
}

void TLeakTracker::TrackedFreeMem(void* block, uintptr_t caller) {
  if (!block) return;
  if (!IsTracked(block)) {
    previous_.FreeMem(block);
    return;
  }
  TTrackedBlockHeader* h = HeaderOf(block);
  std::optional<TNote> note;
  bool give_back = false;
  {
    std::lock_guard<std::mutex> lock(list_lock_);
    if (h->Released) {
      note = TNote{true, h->CallStack[0], h->ReleaseAddress};
    } else {
      uint32_t guard;
      std::memcpy(&guard, UserData(h) + h->Size, sizeof guard);
      if (guard != kGuardWord) note = TNote{false, h->CallStack[0], 0};
      // Once tracking has stopped every block really goes back, so that nothing
      // of ours ever reaches a manager that did not allocate it.
      if (Active() && MaxKeptFreedBlockSize > 0 && h->Size <= MaxKeptFreedBlockSize) {
        h->Released = true;
        h->ReleaseAddress = caller - 1;
        std::memset(block, FillByte, h->Size);
        Keep(h);
      } else {
        UnlinkBlock(h);
        h->Marker = 0;
        give_back = true;
      }
    }
  }
  if (note) AddNote(*note);
  if (give_back) previous_.FreeMem(h);
}

void TLeakTracker::AddNote(const TNote& note) {
  std::lock_guard<std::mutex> lock(notes_lock_);
  try {
    notes_.push_back(note);
  } catch (const std::bad_alloc&) {
    // A release never fails; the note is lost.
  }
}

std::string TLeakTracker::ReportHeaderText() const {
  std::vector<TNote> notes;
  {
    std::lock_guard<std::mutex> lock(notes_lock_);
    notes = notes_;
  }
  std::string text = "MemDiag version 1.00\r\n";
  for (const TNote& n : notes) {
    if (n.SecondRelease) {
      text += "\r\nException: second release of block attempt, allocated at " +
              debug_info_.LocationText(n.AllocatedAt) + " - Already freed at " +
              debug_info_.LocationText(n.ReleasedAt) + "\r\n";
    } else {
      text += "\r\nException: memory damaged beyond block allocated space, allocated at " +
              debug_info_.LocationText(n.AllocatedAt) + "\r\n";
    }
  }
  return text;
}

namespace {

void* SystemGetMem(size_t size) {
  return std::malloc(size);
}

void SystemFreeMem(void* block) {
  std::free(block);
}

int SystemCapture(uintptr_t* frames, int max_frames) {
  void* buffer[kCallStackDepth + kSpareFrames];
  const int n = backtrace(buffer, std::min<int>(max_frames, std::size(buffer)));
  for (int i = 0; i < n; ++i) frames[i] = reinterpret_cast<uintptr_t>(buffer[i]);
  return n;
}

// Constant-initialised, never destroyed: the allocation functions use the tracker
// before main and after every static object is gone.
alignas(TLeakTracker) constinit unsigned char g_storage[sizeof(TLeakTracker)] = {};
constinit std::atomic<TLeakTracker*> g_tracker{nullptr};
constinit std::atomic<bool> g_hooks_linked{false};

// The program file's name with "_MemDiag.log" in place of its extension.
std::string DefaultLogFileName() {
  std::error_code ec;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "vandrel2_MemDiag.log";
  program.replace_extension();
  return program.string() + "_MemDiag.log";
}

}  // namespace

TLeakTracker* ProcessTracker() {
  return g_tracker.load(std::memory_order_acquire);
}

void NoteHooksLinked() {
  g_hooks_linked.store(true, std::memory_order_release);
}

void StartFromSettings(const std::string& report_name, uint32_t max_kept_freed_block_size) {
  if (!g_hooks_linked.load(std::memory_order_acquire)) {
    std::fputs("memdiag: this build has no leak tracker (the sanitizers bring their own)\n",
               stderr);
    return;
  }
  TLeakTracker* tracker = ProcessTracker();
  if (!tracker) {
    tracker = new (g_storage)
        TLeakTracker({SystemGetMem, SystemFreeMem}, SystemCapture, "/proc/self/exe");
    tracker->MemDiagLogFileName = DefaultLogFileName();
    g_tracker.store(tracker, std::memory_order_release);
  }
  if (tracker->Active()) return;
  if (!report_name.empty()) tracker->MemDiagLogFileName = report_name;
  tracker->MaxKeptFreedBlockSize = max_kept_freed_block_size;
  tracker->StartLeakTracking();
}

}  // namespace memdiag
