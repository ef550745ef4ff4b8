// A leak tracker over a recording heap and a scripted call stack, so the tests see
// every block handed to or returned by the manager underneath.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "memdiag/leak_tracker.h"

namespace memdiag::testing {

// The manager underneath: every block has 16 readable bytes in front of it, as the
// C library's blocks do, and a release of a block it never gave out fails the test.
struct TestHeap {
  static inline std::map<void*, size_t> live;  // block, size
  static inline std::vector<void*> released;
  static inline size_t gets = 0;
  static inline size_t bytes = 0, peak_bytes = 0;  // of the live blocks

  static void* Get(size_t size) {
    ++gets;
    auto* raw = static_cast<unsigned char*>(std::calloc(1, size + 16));
    if (!raw) return nullptr;
    live.emplace(raw + 16, size);
    bytes += size;
    peak_bytes = std::max(peak_bytes, bytes);
    return raw + 16;
  }
  static void Free(void* block) {
    released.push_back(block);
    auto it = live.find(block);
    if (it == live.end()) {
      ADD_FAILURE() << "released a block the heap never gave out: " << block;
      return;
    }
    bytes -= it->second;
    live.erase(it);
    std::free(static_cast<unsigned char*>(block) - 16);
  }
  static void Reset() {
    live.clear();
    released.clear();
    gets = 0;
    bytes = peak_bytes = 0;
  }
};

// Return addresses as the unwinder gives them: first our own frames, then the
// allocating code (the caller passed to the tracker), then its callers.
struct ScriptedStack {
  static inline std::vector<uintptr_t> frames;
  static int Capture(uintptr_t* out, int max) {
    int n = 0;
    for (uintptr_t f : frames) {
      if (n == max) break;
      out[n++] = f;
    }
    return n;
  }
};

constexpr uintptr_t kCaller = 0x401235;    // entry 0 becomes 0x401234
constexpr uintptr_t kReleaser = 0x405679;  // release address 0x405678

class TrackerTest : public ::testing::Test {
 protected:
  void SetUp() override { Fresh(); }
  void TearDown() override { Finish(); }
  // A new tracker over an empty heap.
  void Fresh() {
    TestHeap::Reset();
    ScriptedStack::frames = {0x7000001, 0x7000002, kCaller, 0x402001, 0x403001};
    tracker_ = std::make_unique<TLeakTracker>(TPreviousManager{TestHeap::Get, TestHeap::Free},
                                              ScriptedStack::Capture);
  }
  // Ends the tracker, which returns every block it still holds, each once.
  void Finish() {
    tracker_.reset();
    EXPECT_TRUE(TestHeap::live.empty()) << "the tracker kept blocks after its end";
  }
  unsigned char* Get(size_t size, uintptr_t caller = kCaller) {
    return static_cast<unsigned char*>(tracker_->TrackedGetMem(size, caller));
  }
  void Free(void* block) { tracker_->TrackedFreeMem(block, kReleaser); }
  static void* HeaderOf(void* block) {
    return static_cast<unsigned char*>(block) - TLeakTracker::kHeaderSize;
  }

  std::unique_ptr<TLeakTracker> tracker_;
};

}  // namespace memdiag::testing
