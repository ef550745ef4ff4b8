#include "platform/clock.h"

#include <sys/prctl.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

namespace platform {
namespace {

class OsClock : public Clock {
 public:
  uint32_t TickCount() override {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now().time_since_epoch())
                  .count();
    return static_cast<uint32_t>(ms);
  }
  void Sleep(uint32_t ms) override {
    // The device link polls every 20 ms; the system's default timer slack would
    // add up to 50 us to every poll, so each thread that sleeps here asks for less.
    static thread_local const bool tight = ::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL) == 0;
    (void)tight;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  LocalDateTime Now() override {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
              1000;
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
            tm.tm_min,         tm.tm_sec,     static_cast<int>(ms)};
  }
};

std::atomic<Clock*> g_clock{nullptr};
std::mutex g_beep_mutex;
BeepHook g_beep_hook;

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

LocalDateTime AddMilliseconds(const LocalDateTime& base, uint64_t add) {
  std::chrono::sys_days day{std::chrono::days{DaysFromCivil(base.year, base.month, base.day)}};
  auto total = std::chrono::milliseconds(((base.hour * 60LL + base.minute) * 60 + base.second) * 1000 +
                                         base.millisecond) +
               std::chrono::milliseconds(add);
  auto days = std::chrono::floor<std::chrono::days>(total);
  std::chrono::year_month_day ymd{day + days};
  auto rest = (total - days).count();
  LocalDateTime r;
  r.year = static_cast<int>(ymd.year());
  r.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  r.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  r.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  r.second = static_cast<int>(rest % 60);
  rest /= 60;
  r.minute = static_cast<int>(rest % 60);
  r.hour = static_cast<int>(rest / 60);
  return r;
}

}  // namespace

Clock& SystemClock() {
  static OsClock clock;
  return clock;
}

Clock& GetClock() {
  Clock* c = g_clock.load(std::memory_order_acquire);
  return c ? *c : SystemClock();
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

void SetBeepHook(BeepHook hook) {
  std::lock_guard lock(g_beep_mutex);
  g_beep_hook = std::move(hook);
}

void Beep(uint32_t type) {
  BeepHook hook;
  {
    std::lock_guard lock(g_beep_mutex);
    hook = g_beep_hook;
  }
  if (hook) hook(type);
}

uint32_t ManualClock::TickCount() {
  std::lock_guard lock(mutex_);
  uint32_t t = tick_;
  tick_ += step_;
  since_now_ += step_;
  return t;
}

void ManualClock::Sleep(uint32_t ms) {
  std::lock_guard lock(mutex_);
  tick_ += ms;
  since_now_ += ms;
  slept_ += ms;
}

LocalDateTime ManualClock::Now() {
  std::lock_guard lock(mutex_);
  return AddMilliseconds(now_, since_now_);
}

void ManualClock::Advance(uint32_t ms) {
  std::lock_guard lock(mutex_);
  tick_ += ms;
  since_now_ += ms;
}

void ManualClock::SetTick(uint32_t tick) {
  std::lock_guard lock(mutex_);
  tick_ = tick;
}

void ManualClock::SetStepPerRead(uint32_t ms) {
  std::lock_guard lock(mutex_);
  step_ = ms;
}

void ManualClock::SetNow(const LocalDateTime& now) {
  std::lock_guard lock(mutex_);
  now_ = now;
  since_now_ = 0;
}

uint64_t ManualClock::TotalSlept() const {
  std::lock_guard lock(mutex_);
  return slept_;
}

}  // namespace platform
