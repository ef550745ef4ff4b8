#include "memdiag/leak_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>

#include "memdiag/leak_report.h"
#include "tests/memdiag/tracker_fixture.h"

namespace memdiag::testing {
namespace {

size_t DamagedCount(const TLeakTracker& tracker) {
  std::vector<TDamagedBlock> blocks;
  CollectDamagedBlocks(tracker, blocks, 1000, 4000);
  return blocks.size();
}

size_t Count(const std::vector<void*>& v, void* p) {
  return static_cast<size_t>(std::count(v.begin(), v.end(), p));
}

TEST_F(TrackerTest, ReleaseCases) {
  struct Case {
    const char* name;
    size_t size;
    size_t max_kept;
    // Runs between the allocation and the release; the last release is the caller's.
    std::function<void(TLeakTracker&, unsigned char*)> before;
    std::function<void(TLeakTracker&, unsigned char*)> after;
    bool returned;     // went back to the heap underneath at its release
    std::string note;  // expected in the report header; empty for none
    size_t damaged;
  };
  const auto nothing = [](TLeakTracker&, unsigned char*) {};
  const Case cases[] = {
      {"double free", 10, 1000, nothing,
       [](TLeakTracker& t, unsigned char* p) { t.TrackedFreeMem(p, kReleaser); }, false,
       "\r\nException: second release of block attempt, allocated at (no debug info) Find "
       "error: 00401234 - Already freed at (no debug info) Find error: 00405678\r\n",
       0},
      {"one byte overrun", 10, 1000, [](TLeakTracker&, unsigned char* p) { p[10] = 0; }, nothing,
       false,
       "\r\nException: memory damaged beyond block allocated space, allocated at (no debug "
       "info) Find error: 00401234\r\n",
       0},
      {"kept at the limit", 1000, 1000, nothing, nothing, false, "", 0},
      {"returned above the limit", 2000, 1000, nothing, nothing, true, "", 0},
      {"nothing kept by default", 10, 0, nothing, nothing, true, "", 0},
      {"write at the first byte after release", 10, 1000, nothing,
       [](TLeakTracker&, unsigned char* p) { p[0] = 1; }, false, "", 1},
      {"write at the last byte after release", 10, 1000, nothing,
       [](TLeakTracker&, unsigned char* p) { p[9] = 1; }, false, "", 1},
      {"kept block of 4000 bytes examined", 4000, 5000, nothing,
       [](TLeakTracker&, unsigned char* p) { p[2000] = 1; }, false, "", 1},
      {"kept block of 4001 bytes not examined", 4001, 5000, nothing,
       [](TLeakTracker&, unsigned char* p) { p[2000] = 1; }, false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    tracker_->MaxKeptFreedBlockSize = c.max_kept;
    tracker_->FillByte = 0xCC;
    tracker_->StartLeakTracking();
    unsigned char* p = Get(c.size);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0x55, c.size);
    c.before(*tracker_, p);
    Free(p);
    EXPECT_EQ(Count(TestHeap::released, HeaderOf(p)), c.returned ? 1u : 0u);
    if (!c.returned) {
      EXPECT_TRUE(tracker_->IsTracked(p));
      EXPECT_TRUE(IsFilledWith(p, c.size, 0xCC));
      c.after(*tracker_, p);
      EXPECT_EQ(Count(TestHeap::released, HeaderOf(p)), 0u);
    }
    EXPECT_EQ(tracker_->ReportHeaderText(), "MemDiag version 1.00\r\n" + c.note);
    EXPECT_EQ(DamagedCount(*tracker_), c.damaged);
    Finish();
  }
}

TEST_F(TrackerTest, KeptBlocksStayWithinTheQuarantineBudget) {
  tracker_->MaxKeptFreedBlockSize = 1000;
  tracker_->FillByte = 0xCC;
  tracker_->StartLeakTracking();
  // Written after its release, then pushed out of the quarantine by the newer ones.
  unsigned char* early = Get(40);
  Free(early);
  early[39] = 1;
  const size_t budget = TLeakTracker::kQuarantineBudget;
  unsigned char* last = nullptr;
  for (int i = 0; i < 1'000'000; ++i) {
    last = Get(1 + static_cast<size_t>(i) % 1000);
    Free(last);
  }
  // The tracker's own memory: the quarantine and the one block being released.
  EXPECT_LE(TestHeap::peak_bytes, budget + 1000 + TLeakTracker::kOverhead);
  EXPECT_LE(tracker_->KeptBytes(), budget);
  EXPECT_GT(tracker_->KeptBytes(), budget - 1000 - TLeakTracker::kOverhead);
  ASSERT_FALSE(TestHeap::released.empty());
  EXPECT_EQ(TestHeap::released.front(), HeaderOf(early)) << "the oldest goes back first";
  // Damage inside the quarantine, and the damage seen when the early one left it.
  last[0] = 2;
  std::vector<TDamagedBlock> damaged;
  EXPECT_FALSE(CollectDamagedBlocks(*tracker_, damaged, 1000, 4000));
  ASSERT_EQ(damaged.size(), 2u);
  for (const TDamagedBlock& d : damaged) {
    EXPECT_EQ(d.CallStack[0], 0x401234u);
    EXPECT_EQ(d.ReleaseAddress, 0x405678u);
  }
  // A second release of a block still kept is still caught.
  Free(last);
  EXPECT_NE(tracker_->ReportHeaderText().find("second release of block attempt"),
            std::string::npos);
}

TEST_F(TrackerTest, BlocksOfAnyoneElseGoToTheManagerUnderneath) {
  tracker_->MaxKeptFreedBlockSize = 1000;
  void* before_tracking = TestHeap::Get(10);
  tracker_->StartLeakTracking();
  // Words in front of foreign blocks that must not pass for the marker: the fixed
  // marker word of old, and the marker of some other header.
  unsigned char* tracked = Get(10);
  uintptr_t other_marker;
  std::memcpy(&other_marker, tracked - sizeof other_marker, sizeof other_marker);
  for (uintptr_t word : {uintptr_t{0}, uintptr_t{0xFFFFFFFF}, ~uintptr_t{0}, other_marker}) {
    void* foreign = TestHeap::Get(10);
    std::memcpy(static_cast<unsigned char*>(foreign) - sizeof word, &word, sizeof word);
    EXPECT_FALSE(tracker_->IsTracked(foreign));
    TestHeap::released.clear();
    Free(foreign);
    EXPECT_EQ(TestHeap::released, std::vector<void*>{foreign});
  }
  EXPECT_EQ(tracker_->AllocationSiteOf(before_tracking), 0u);
  EXPECT_EQ(tracker_->AllocationSiteOf(tracked), 0x401234u);
  Free(before_tracking);
  EXPECT_EQ(Count(TestHeap::released, before_tracking), 1u);
  Free(tracked);
}

TEST_F(TrackerTest, AfterTrackingStopsTrackedBlocksStillGoBackWhole) {
  tracker_->MaxKeptFreedBlockSize = 1000;
  tracker_->StartLeakTracking();
  unsigned char* live = Get(10);
  unsigned char* kept = Get(20);
  Free(kept);
  std::ostringstream report;
  WriteLeakReport(*tracker_, report);
  EXPECT_FALSE(tracker_->Active());
  // The manager underneath gets the block it gave out, never the user pointer.
  Free(live);
  EXPECT_EQ(Count(TestHeap::released, HeaderOf(live)), 1u);
  EXPECT_EQ(Count(TestHeap::released, live), 0u);
  // Allocations after the end are not tracked.
  void* late = tracker_->TrackedGetMem(10, kCaller);
  ASSERT_NE(late, nullptr);
  Free(late);
  EXPECT_TRUE(tracker_->IsTracked(kept));
}

TEST_F(TrackerTest, SizeThatCannotCarryTheHeaderIsRefused) {
  tracker_->StartLeakTracking();
  for (size_t size : {SIZE_MAX, SIZE_MAX - TLeakTracker::kOverhead + 1}) {
    EXPECT_EQ(tracker_->TrackedGetMem(size, kCaller), nullptr);
  }
  EXPECT_EQ(TestHeap::gets, 0u);
}

TEST_F(TrackerTest, CallStackStartsAtTheAllocatingCode) {
  tracker_->StartLeakTracking();
  unsigned char* found = Get(1);
  // An unwinder that never reaches the caller: the caller alone is known.
  unsigned char* alone = Get(1, 0x409001);
  std::vector<TLeak> leaks;
  std::vector<uint32_t> chronological;
  CollectLeaks(*tracker_, leaks, chronological, 1000);
  ASSERT_EQ(leaks.size(), 2u);
  EXPECT_EQ(leaks[1].CallStack[0], 0x401234u);
  EXPECT_EQ(leaks[1].CallStack[1], 0x402000u);
  EXPECT_EQ(leaks[1].CallStack[2], 0x403000u);
  EXPECT_EQ(leaks[1].CallStack[3], 0u);
  EXPECT_EQ(leaks[0].CallStack[0], 0x409000u);
  EXPECT_EQ(leaks[0].CallStack[1], 0u);
  Free(found);
  Free(alone);
}

}  // namespace
}  // namespace memdiag::testing
