#include "tools/flowsim/device_clock.h"

#include <ctime>

namespace flowsim {

namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

bool IsValidCivilTime(const CivilTime& t) {
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) &&
         t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
         t.second <= 59;
}

std::int64_t SecondsFromCivil(const CivilTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime CivilFromSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

CivilTime LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                   local.tm_hour,        local.tm_min,     local.tm_sec};
}

int FullYearFromTwoDigits(int twoDigits) {
  return twoDigits >= 80 ? 1900 + twoDigits : 2000 + twoDigits;
}

std::array<std::uint8_t, 12> EncodeClockDigits(const CivilTime& t) {
  const int fields[6] = {t.second, t.minute, t.hour, t.day, t.month, t.year % 100};
  std::array<std::uint8_t, 12> digits{};
  for (int i = 0; i < 6; ++i) {
    digits[2 * i] = static_cast<std::uint8_t>(fields[i] % 10);
    digits[2 * i + 1] = static_cast<std::uint8_t>(fields[i] / 10 % 10);
  }
  return digits;
}

std::optional<CivilTime> DecodeClockDigits(std::span<const std::uint8_t, 12> digits) {
  int fields[6];
  for (int i = 0; i < 6; ++i) {
    const int units = digits[2 * i] & 0x0F;
    const int tens = digits[2 * i + 1] & 0x0F;
    if (units > 9 || tens > 9) return std::nullopt;
    fields[i] = tens * 10 + units;
  }
  const CivilTime t{
      FullYearFromTwoDigits(fields[5]), fields[4], fields[3], fields[2], fields[1], fields[0]};
  if (!IsValidCivilTime(t)) return std::nullopt;
  return t;
}

}  // namespace flowsim
