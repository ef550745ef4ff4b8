// Numbers on the wire: most significant byte first. A value is read from the
// start of a byte string (the reply's data bytes); a string too short for it is
// an error, never a read past its end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "devicelink/device_data.h"

namespace devicelink {

uint32_t BytesToU32(std::string_view bytes);
uint16_t BytesToU16(std::string_view bytes);
// Erased memory (FF FF FF FF) and the two infinities read as 0; every other
// pattern, other NaNs included, is taken as it is.
float BytesToSingle(std::string_view bytes);
// |value| < 1e-9 is sent as 0; above 9.9999e9 or NaN as the largest value the
// device shows (0x50150297); there is no lower clamp.
std::string SingleToBytes(float value);

// Year byte: 80..99 are 1980..1999, 0..79 are 2000..2079 (and 100.. go on from 2000).
struct TBlockDate {
  uint16_t Year = 0;
  uint8_t Month = 0;
  uint8_t Day = 0;
  uint8_t Hour = 0;
  uint8_t Minute = 0;
  uint8_t Second = 0;
};
uint16_t DecodeBlockYear(uint8_t year_byte);
// Six bytes year, month, day, hour, minute, second.
TBlockDate DecodeBlockDate(std::string_view bytes);
TDeviceClock BlockDateToClock(const TBlockDate& date);

// The device clock keeps one decimal digit per byte.
inline uint8_t ClockDigitFromByte(uint8_t b) { return b & 0x0F; }
inline uint8_t ClockDigitToByte(uint8_t digit) { return digit; }

}  // namespace devicelink
