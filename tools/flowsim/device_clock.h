#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace flowsim {

// A calendar date and time as the device keeps it: local time, no time zone.
struct CivilTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

bool IsValidCivilTime(const CivilTime& time);

// Seconds since 1970-01-01 00:00:00 of the same (zone-less) calendar.
std::int64_t SecondsFromCivil(const CivilTime& time);
CivilTime CivilFromSeconds(std::int64_t seconds);

CivilTime LocalTimeNow();

// The two-digit year of device records: 80..99 are 1980..1999, 0..79 are 2000..2079.
int FullYearFromTwoDigits(int twoDigits);

// The clock area: one decimal digit per byte, units before tens, in the order
// second, minute, hour, day, month, year within the century.
std::array<std::uint8_t, 12> EncodeClockDigits(const CivilTime& time);
// Takes the low four bits of each byte; nullopt when the digits name no real time.
std::optional<CivilTime> DecodeClockDigits(std::span<const std::uint8_t, 12> digits);

}  // namespace flowsim
