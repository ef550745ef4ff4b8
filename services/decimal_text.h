// Decimal text of a number rounded the way a technician reads a display: to the
// nearest, exact halves away from zero (1.28125 to 4 decimals is 1.2813).
// std::to_chars alone takes exact halves to the even digit.
#pragma once

#include <charconv>
#include <string>

namespace services {

// A finite value as std::to_chars writes it in fixed or scientific notation with
// `decimals` digits after the point (0..1000), rounded on the value's exact decimal
// expansion with halves away from zero.
std::string DecimalText(double value, std::chars_format format, int decimals);

}  // namespace services
