// Time and sound for the whole program: a 32-bit millisecond tick count that wraps
// like the one the device link's waits were written for, sleeping, the local
// date-time, and the system beep. Tests install their own Clock to control time.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace platform {

struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, wrapping at 2^32.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  virtual LocalDateTime Now() = 0;
};

// The clock of the operating system (steady clock for ticks, local time zone).
Clock& SystemClock();

// The clock in use; SystemClock() unless a test installed another.
Clock& GetClock();
// Installs a clock (not owned); nullptr restores the system clock.
void SetClock(Clock* clock);

inline uint32_t GetTickCount() { return GetClock().TickCount(); }
inline void Sleep(uint32_t ms) { GetClock().Sleep(ms); }
inline LocalDateTime Now() { return GetClock().Now(); }

// Beep types as the message-beep call knows them.
constexpr uint32_t kBeepDefault = 0x00;
constexpr uint32_t kBeepError = 0x10;
constexpr uint32_t kBeepQuestion = 0x20;
constexpr uint32_t kBeepWarning = 0x30;
constexpr uint32_t kBeepInformation = 0x40;

using BeepHook = std::function<void(uint32_t type)>;
// The desktop installs a hook that plays the sound; without one a beep does nothing.
void SetBeepHook(BeepHook hook);
void Beep(uint32_t type);

// A clock a test moves by hand: Sleep advances it instead of waiting, and every
// TickCount() call can advance it by a fixed step so that polling loops progress.
// Now() follows the ticks: it is the set date-time plus the ticks since it was set.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint32_t start_tick = 0) : tick_(start_tick) {}
  uint32_t TickCount() override;
  void Sleep(uint32_t ms) override;
  LocalDateTime Now() override;

  void Advance(uint32_t ms);
  void SetTick(uint32_t tick);
  void SetStepPerRead(uint32_t ms);
  void SetNow(const LocalDateTime& now);
  uint64_t TotalSlept() const;

 private:
  mutable std::mutex mutex_;
  uint32_t tick_;
  uint32_t step_ = 0;
  uint64_t slept_ = 0;
  uint64_t since_now_ = 0;
  LocalDateTime now_{2024, 1, 1, 0, 0, 0, 0};
};

}  // namespace platform
