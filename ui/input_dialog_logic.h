// What the value input dialog computes, free of Qt so that it can be checked case by
// case: the unit conversion, the texts it shows, its key filter and the reading of
// the entry on OK.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "services/unit_tables.h"

namespace ui {

// device * Factor + Offset, the product and the sum each rounded to float as the
// value formatter does; the value itself without a row.
float ToDisplayUnit(float device_value, const services::TUnitRow* row);
// (display - Offset) / Factor, the difference and the quotient each rounded to float.
float ToDeviceUnit(float display_value, const services::TUnitRow* row);

// The value as the dialog shows it: truncated toward zero when integer_only (never
// "-0"), else the general format with `precision` significant digits.
std::string InputValueText(float value, bool integer_only, int precision);

// The longest prefix of the text that is a number, 0 when there is none: "-" and "."
// give 0, "12E" and "12E-" give 12. A "," counts as ".". An exponent beyond the
// range of double gives an infinity of the mantissa's sign, one below it the
// smallest non-zero value of that sign (so both are noticed as out of range).
// "nan" and "inf" are not numbers.
double ParseInputNumber(std::string_view text);

// Whether the whole text is a number ("," counting as "."): "", "-", "12E" and
// "12E-" are not, "12." and "1E999" are.
bool IsCompleteNumber(std::string_view text);

// The character that a key typed into the entry puts there, or none when it is
// refused. `text` is the whole text before the key, `all_selected` whether all of it
// is selected (true for an empty text). '\b' is backspace.
std::optional<char> FilterInputKey(std::string_view text, bool all_selected, char key,
                                   int precision);

struct TInputEntry {
  float display_value;  // the entry, clamped, in the display unit
  bool beep;            // it was clamped or taken as 0
};

// The entry as OK takes it: parsed, taken as 0 when nearer to 0 than 1e-9, and
// clamped to display_min..display_max.
TInputEntry ReadInputEntry(std::string_view text, float display_min, float display_max);

// Whether OK on the text as activation showed it hands the value back untouched
// (so that OK does not round it): only a value the operator could have entered,
// inside the limits and whole when integer_only. Any other is read from its
// text like a typed entry (see ReadUnchangedEntry).
bool KeepsShownValue(float display_value, float display_min, float display_max,
                     bool integer_only);

// OK on the shown text of a value that is not kept: the text read as a typed
// entry, clamped, with the beep also where the value lay outside the limits but
// its rounded text does not.
TInputEntry ReadUnchangedEntry(float display_value, std::string_view shown_text,
                               float display_min, float display_max);

}  // namespace ui
