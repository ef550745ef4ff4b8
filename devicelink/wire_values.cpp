#include "devicelink/wire_values.h"

#include <bit>
#include <cmath>
#include <stdexcept>

namespace devicelink {
namespace {

void Need(std::string_view bytes, size_t n, const char* what) {
  if (bytes.size() < n) {
    throw std::out_of_range(std::string(what) + ": " + std::to_string(bytes.size()) +
                            " bytes where " + std::to_string(n) + " are needed");
  }
}

uint32_t Byte(std::string_view bytes, size_t i) { return static_cast<uint8_t>(bytes[i]); }

}  // namespace

uint32_t BytesToU32(std::string_view bytes) {
  Need(bytes, 4, "BytesToU32");
  return Byte(bytes, 0) << 24 | Byte(bytes, 1) << 16 | Byte(bytes, 2) << 8 | Byte(bytes, 3);
}

uint16_t BytesToU16(std::string_view bytes) {
  Need(bytes, 2, "BytesToU16");
  return static_cast<uint16_t>(Byte(bytes, 0) << 8 | Byte(bytes, 1));
}

float BytesToSingle(std::string_view bytes) {
  Need(bytes, 4, "BytesToSingle");
  uint32_t pattern = BytesToU32(bytes);
  if (pattern == 0xFFFFFFFFu || pattern == 0x7F800000u || pattern == 0xFF800000u) return 0.0f;
  return std::bit_cast<float>(pattern);
}

std::string SingleToBytes(float value) {
  uint32_t pattern;
  if (std::isnan(value) || value > 9.9999e9f) {
    pattern = 0x50150297u;
  } else if (value > -1e-9f && value < 1e-9f) {
    pattern = 0;
  } else {
    pattern = std::bit_cast<uint32_t>(value);
  }
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(pattern >> (24 - 8 * i));
  return out;
}

uint16_t DecodeBlockYear(uint8_t year_byte) {
  uint16_t year = static_cast<uint16_t>(year_byte + 1900);
  if (year < 1980) year += 100;
  return year;
}

TBlockDate DecodeBlockDate(std::string_view bytes) {
  Need(bytes, 6, "DecodeBlockDate");
  TBlockDate d;
  d.Year = DecodeBlockYear(static_cast<uint8_t>(bytes[0]));
  d.Month = static_cast<uint8_t>(bytes[1]);
  d.Day = static_cast<uint8_t>(bytes[2]);
  d.Hour = static_cast<uint8_t>(bytes[3]);
  d.Minute = static_cast<uint8_t>(bytes[4]);
  d.Second = static_cast<uint8_t>(bytes[5]);
  return d;
}

TDeviceClock BlockDateToClock(const TBlockDate& date) {
  return {date.Year, date.Month, date.Day, date.Hour, date.Minute, date.Second};
}

}  // namespace devicelink
