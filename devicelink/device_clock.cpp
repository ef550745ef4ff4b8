#include "devicelink/device_clock.h"

#include <chrono>
#include <string>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/wire_values.h"
#include "platform/clock.h"

namespace devicelink {
namespace {

constexpr uint8_t kClockReadBytes = 16;
constexpr double kMsPerDay = 86400000.0;

// Days since 1970-01-01 of a calendar date and time that exists.
double DaysOf(int year, int month, int day, int hour, int minute, int second, int ms) {
  using namespace std::chrono;
  const sys_days date{year_month_day{std::chrono::year{year},
                                     std::chrono::month{static_cast<unsigned>(month)},
                                     std::chrono::day{static_cast<unsigned>(day)}}};
  const double whole = static_cast<double>(date.time_since_epoch().count());
  const double part = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + ms;
  return whole + part / kMsPerDay;
}

bool DateExists(int year, int month, int day) {
  return std::chrono::year_month_day{std::chrono::year{year},
                                     std::chrono::month{static_cast<unsigned>(month)},
                                     std::chrono::day{static_cast<unsigned>(day)}}
      .ok();
}

uint8_t TwoDigits(const std::string& data, size_t units) {
  return static_cast<uint8_t>(ClockDigitFromByte(static_cast<uint8_t>(data.at(units + 1))) * 10 +
                              ClockDigitFromByte(static_cast<uint8_t>(data.at(units))));
}

}  // namespace

bool ReadDeviceClock() {
  std::string data;
  if (!ReadDeviceBlock(kDeviceClockAddress, kClockReadBytes, data)) {
    DeviceClock = TDeviceClock{};
    return false;
  }
  TDeviceClock c;
  c.Second = TwoDigits(data, 0);
  c.Minute = TwoDigits(data, 2);
  c.Hour = TwoDigits(data, 4);
  c.Day = TwoDigits(data, 6);
  c.Month = TwoDigits(data, 8);
  c.Year = DecodeBlockYear(TwoDigits(data, 10));
  DeviceClock = c;

  const platform::LocalDateTime now = platform::Now();
  const double pc =
      DaysOf(now.year, now.month, now.day, now.hour, now.minute, now.second, now.millisecond);
  const bool valid = c.Second <= 59 && c.Minute <= 59 && c.Hour <= 23 && c.Day >= 1 &&
                     c.Day <= 31 && c.Month >= 1 && c.Month <= 12;
  double device = pc;
  if (valid && DateExists(c.Year, c.Month, c.Day)) {
    device = DaysOf(c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second, 0);
  }
  ClockOffset = device - pc;
  return true;
}

bool WriteDeviceClock() {
  const platform::LocalDateTime now = platform::Now();
  const int year = now.year % 100;
  std::string data;
  for (int field : {now.second, now.minute, now.hour, now.day, now.month, year}) {
    data.push_back(static_cast<char>(ClockDigitToByte(static_cast<uint8_t>(field % 10))));
    data.push_back(static_cast<char>(ClockDigitToByte(static_cast<uint8_t>(field / 10))));
  }
  return WriteDeviceBlock(kDeviceClockAddress, data);
}

}  // namespace devicelink
