// Turning values of the device data model into display text, in the unit in force
// for their quantity kind (see unit_tables.h). The decimal separator is "."
// whatever the locale.
#pragma once

#include <cstdint>
#include <string>

#include "devicelink/device_data.h"

namespace services {

// The unit text of the kind's row (8 characters: a blank, the unit, blanks), with
// trim the trailing blanks removed; empty when the kind has no row. Kind 255 gives
// 8 blanks.
std::string GetUnitText(uint8_t kind, bool trim);

// The value in the display unit: fixed notation with 4 decimals (exact halves away
// from zero: 1.28125 shows 1.2813) right-aligned in at least 9 characters, scaled by powers of 1000 into (0.001, 1000) and followed by
// the exponent ("E-3", "E+3", ...) or three blanks; then, when withUnit is 1 and the
// kind is not 255, the unit text (trimmed when trimUnit is not 0).
// A value that is or becomes not finite gives "NAN", without unit.
std::string FormatValue(uint8_t kind, uint8_t withUnit, uint8_t trimUnit, float value);

// "DD.MM.YYYY hh:mm:ss" (year unpadded), or "??.??.???? ??:??:??" when day or month
// is out of range.
std::string DeviceTimeToText(const devicelink::TDeviceClock& clock);

}  // namespace services
