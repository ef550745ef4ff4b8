#include "platform/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {
namespace {

std::string Text(const LocalDateTime& t) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return buffer;
}

TEST(ManualClock, StartsAtTheGivenTick) {
  ManualClock clock(1234);
  EXPECT_EQ(clock.TickCount(), 1234u);
  EXPECT_EQ(clock.TickCount(), 1234u) << "no step unless set";
}

TEST(ManualClock, WrapsAt32Bits) {
  ManualClock clock(0xFFFFFFF0u);
  const uint32_t start = clock.TickCount();
  clock.Advance(0x20);
  const uint32_t now = clock.TickCount();
  EXPECT_EQ(now, 0x10u);
  EXPECT_EQ(now - start, 0x20u) << "elapsed time across the wrap, as the waits compute it";
  clock.SetTick(0xFFFFFFFFu);
  clock.Sleep(1);
  EXPECT_EQ(clock.TickCount(), 0u);
}

TEST(ManualClock, StepPerReadAdvancesPolls) {
  ManualClock clock(0xFFFFFFFEu);
  clock.SetStepPerRead(20);
  EXPECT_EQ(clock.TickCount(), 0xFFFFFFFEu);
  EXPECT_EQ(clock.TickCount(), 18u);
  EXPECT_EQ(clock.TickCount(), 38u);
}

TEST(ManualClock, SleepAdvancesAndCounts) {
  ManualClock clock;
  clock.Sleep(50);
  clock.Sleep(0xFFFFFFFFu);
  EXPECT_EQ(clock.TotalSlept(), 50u + 0xFFFFFFFFull) << "the total does not wrap";
  EXPECT_EQ(clock.TickCount(), 49u);
}

struct NowCase {
  LocalDateTime start;
  uint64_t advance_ms;
  const char* expected;
};

TEST(ManualClock, NowFollowsTheTicks) {
  const NowCase cases[] = {
      {{2024, 1, 1, 0, 0, 0, 0}, 0, "2024-01-01 00:00:00.000"},
      {{2024, 1, 1, 0, 0, 0, 0}, 1, "2024-01-01 00:00:00.001"},
      {{2023, 12, 31, 23, 59, 59, 500}, 600, "2024-01-01 00:00:00.100"},  // midnight, new year
      {{2024, 3, 15, 23, 59, 59, 999}, 1, "2024-03-16 00:00:00.000"},     // midnight
      {{2024, 4, 30, 23, 59, 59, 0}, 1000, "2024-05-01 00:00:00.000"},    // 30-day month
      {{2024, 1, 31, 12, 0, 0, 0}, 86400000, "2024-02-01 12:00:00.000"},  // 31-day month
      {{2024, 2, 28, 23, 59, 59, 0}, 1000, "2024-02-29 00:00:00.000"},    // leap day
      {{2024, 2, 29, 23, 59, 59, 0}, 1000, "2024-03-01 00:00:00.000"},
      {{2023, 2, 28, 23, 59, 59, 0}, 1000, "2023-03-01 00:00:00.000"},  // no leap year
      {{2000, 2, 28, 23, 59, 59, 0}, 1000, "2000-02-29 00:00:00.000"},  // 400-year rule
      {{2100, 2, 28, 23, 59, 59, 0}, 1000, "2100-03-01 00:00:00.000"},  // 100-year rule
      {{2024, 1, 1, 0, 0, 0, 0}, 366ull * 86400000, "2025-01-01 00:00:00.000"},
      {{2007, 12, 13, 23, 59, 45, 0}, 15000, "2007-12-14 00:00:00.000"},
  };
  for (const NowCase& c : cases) {
    ManualClock clock;
    clock.SetNow(c.start);
    // Advance in steps below 2^32 ms so that long spans need several calls.
    for (uint64_t left = c.advance_ms; left > 0;) {
      const uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(left, 0xFFFFFFFFu));
      clock.Advance(step);
      left -= step;
    }
    EXPECT_EQ(Text(clock.Now()), c.expected) << Text(c.start) << " + " << c.advance_ms;
  }
}

TEST(ManualClock, NowFollowsSleepAndPolls) {
  ManualClock clock(0xFFFFFF00u);
  clock.SetNow({2024, 2, 28, 23, 59, 59, 0});
  clock.Sleep(500);
  clock.SetStepPerRead(250);
  clock.TickCount();
  clock.TickCount();  // 1000 ms in all, and the tick count wrapped on the way
  EXPECT_EQ(Text(clock.Now()), "2024-02-29 00:00:00.000");
  EXPECT_LT(clock.TickCount(), 0x1000u);
}

TEST(ManualClock, SetNowRestartsFromTheNewTime) {
  ManualClock clock;
  clock.Advance(5000);
  clock.SetNow({2008, 2, 29, 7, 5, 9, 0});
  EXPECT_EQ(Text(clock.Now()), "2008-02-29 07:05:09.000");
  clock.Advance(51000);
  EXPECT_EQ(Text(clock.Now()), "2008-02-29 07:06:00.000");
}

TEST(Clock, InstalledClockIsUsed) {
  ManualClock clock(77);
  SetClock(&clock);
  EXPECT_EQ(&GetClock(), &clock);
  EXPECT_EQ(GetTickCount(), 77u);
  Sleep(3);
  EXPECT_EQ(GetTickCount(), 80u);
  EXPECT_EQ(clock.TotalSlept(), 3u);
  clock.SetNow({2030, 6, 1, 12, 0, 0, 0});
  EXPECT_EQ(Now().year, 2030);
  SetClock(nullptr);
  EXPECT_EQ(&GetClock(), &SystemClock());
}

TEST(Clock, SystemClockRuns) {
  Clock& clock = SystemClock();
  const uint32_t before = clock.TickCount();
  clock.Sleep(20);
  const uint32_t elapsed = clock.TickCount() - before;
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 5000u);
  const LocalDateTime now = clock.Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LT(now.hour, 24);
  EXPECT_LT(now.minute, 60);
  EXPECT_LT(now.second, 61);
  EXPECT_LT(now.millisecond, 1000);
}

TEST(Beep, HookReceivesTheTypes) {
  std::vector<uint32_t> heard;
  SetBeepHook([&](uint32_t type) { heard.push_back(type); });
  Beep(kBeepError);
  Beep(kBeepDefault);
  Beep(kBeepWarning);
  Beep(kBeepQuestion);
  Beep(kBeepInformation);
  SetBeepHook(nullptr);
  Beep(kBeepError);  // without a hook: nothing, and no crash
  EXPECT_EQ(heard, (std::vector<uint32_t>{0x10, 0x00, 0x30, 0x20, 0x40}));
}

TEST(Beep, NewHookReplacesTheOld) {
  int first = 0;
  int second = 0;
  SetBeepHook([&](uint32_t) { ++first; });
  Beep(kBeepDefault);
  SetBeepHook([&](uint32_t) { ++second; });
  Beep(kBeepDefault);
  SetBeepHook(nullptr);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
}

TEST(Beep, HookMayBeepAgainOrReplaceItself) {
  int calls = 0;
  SetBeepHook([&](uint32_t type) {
    ++calls;
    if (type == kBeepError) SetBeepHook(nullptr);  // must not deadlock
  });
  Beep(kBeepError);
  Beep(kBeepError);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace platform
