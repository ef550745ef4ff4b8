// The replacement global allocation functions that feed the leak tracker. Linked
// into the program only (and into the test program that checks them), never into
// a sanitizer build, whose allocator must stay its own.
//
// Everything used here is constant-initialised: these functions run before main
// and after every static object of the program has been destroyed.

#include <cstdint>
#include <cstdlib>
#include <new>

#include "memdiag/leak_report.h"
#include "memdiag/leak_tracker.h"

namespace {

// Set while this thread is inside the tracker: whatever the tracker itself
// allocates goes straight to the C library.
constinit thread_local bool t_in_tracker = false;

class TInTracker {
 public:
  TInTracker() : saved_(t_in_tracker) { t_in_tracker = true; }
  ~TInTracker() { t_in_tracker = saved_; }
  TInTracker(const TInTracker&) = delete;
  TInTracker& operator=(const TInTracker&) = delete;

 private:
  bool saved_;
};

void* Allocate(std::size_t size, uintptr_t caller) {
  for (;;) {
    void* block = nullptr;
    memdiag::TLeakTracker* tracker = memdiag::ProcessTracker();
    const bool tracked = tracker && !t_in_tracker && tracker->Active();
    if (tracked) {
      TInTracker in;
      block = tracker->TrackedGetMem(size, caller);
    } else {
      block = std::malloc(size ? size : 1);
    }
    if (block) return block;
    std::new_handler handler = std::get_new_handler();
    if (!handler && tracked) throw memdiag::EMemDiagOutOfMemory();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateNothrow(std::size_t size, uintptr_t caller) noexcept {
  try {
    return Allocate(size, caller);
  } catch (...) {
    return nullptr;
  }
}

// Decided by the block's header for the whole run: a block of the tracker goes back
// to the tracker even after tracking has stopped.
void Release(void* block, uintptr_t caller) noexcept {
  if (!block) return;
  memdiag::TLeakTracker* tracker = memdiag::ProcessTracker();
  if (tracker && tracker->IsTracked(block)) {
    TInTracker in;
    tracker->TrackedFreeMem(block, caller);
    return;
  }
  std::free(block);
}

// Over-aligned blocks are passed through untracked.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  if (size > SIZE_MAX - align) throw std::bad_alloc();
  const std::size_t rounded = size == 0 ? align : (size + align - 1) / align * align;
  for (;;) {
    if (void* block = std::aligned_alloc(align, rounded)) return block;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}

void* AllocateAlignedNothrow(std::size_t size, std::align_val_t alignment) noexcept {
  try {
    return AllocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

[[gnu::constructor]] void NoteHooksLinked() {
  memdiag::NoteHooksLinked();
}

// A destructor function of the executable runs after the destructors of every
// static object, so the report lists only what the program really left behind.
[[gnu::destructor]] void WriteReportAtEnd() {
  memdiag::FinishLeakTracking();
}

}  // namespace

// The return address into the code that called the allocation function.
#define CALLER reinterpret_cast<uintptr_t>(__builtin_return_address(0))

void* operator new(std::size_t size) {
  return Allocate(size, CALLER);
}
void* operator new[](std::size_t size) {
  return Allocate(size, CALLER);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateNothrow(size, CALLER);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateNothrow(size, CALLER);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAlignedNothrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAlignedNothrow(size, alignment);
}

void operator delete(void* block) noexcept {
  Release(block, CALLER);
}
void operator delete[](void* block) noexcept {
  Release(block, CALLER);
}
void operator delete(void* block, std::size_t) noexcept {
  Release(block, CALLER);
}
void operator delete[](void* block, std::size_t) noexcept {
  Release(block, CALLER);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Release(block, CALLER);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Release(block, CALLER);
}
void operator delete(void* block, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(block);
}
