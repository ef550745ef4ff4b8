#include "services/decimal_text.h"

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace services {
namespace {

// A double has at most 1074 digits after the point in fixed notation (fewer in
// scientific), so this many show it exactly and to_chars rounds nothing.
constexpr int kExactDecimals = 1100;

// Adds one unit in the last digit of the digits and points in text[from..]; true
// when the carry ran out of the first digit (all nines).
bool AddOneUnit(std::string& text, size_t from) {
  for (size_t i = text.size(); i > from; --i) {
    char& c = text[i - 1];
    if (c == '.') continue;
    if (c != '9') {
      ++c;
      return false;
    }
    c = '0';
  }
  return true;
}

}  // namespace

std::string DecimalText(double value, std::chars_format format, int decimals) {
  if (decimals < 0 || decimals > 1000) throw std::invalid_argument("decimals out of range");
  if (format != std::chars_format::fixed && format != std::chars_format::scientific) {
    throw std::invalid_argument("only fixed or scientific notation");
  }
  std::array<char, 1500> buf;  // sign, 309 digits before the point, point, decimals
  const auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, format, kExactDecimals);
  if (res.ec != std::errc{}) throw std::invalid_argument("number cannot be written");
  const std::string_view exact(buf.data(), static_cast<size_t>(res.ptr - buf.data()));

  const size_t e = format == std::chars_format::scientific ? exact.find('e') : exact.size();
  const std::string_view mantissa = exact.substr(0, e);
  const size_t point = mantissa.find('.');
  const size_t cut = point + 1 + static_cast<size_t>(decimals);  // first digit dropped
  std::string text(mantissa.substr(0, decimals == 0 ? point : cut));
  const size_t first_digit = text.front() == '-' ? 1 : 0;
  int exp10 = 0;
  if (e != exact.size()) exp10 = std::atoi(std::string(exact.substr(e + 1)).c_str());

  // The digits are exact: a dropped part starting with 5 is at least one half.
  if (mantissa.at(cut) >= '5' && AddOneUnit(text, first_digit)) {
    if (format == std::chars_format::scientific) {
      // 9.99 became 0.00: the mantissa is 1.00 one power of ten up.
      text[first_digit] = '1';
      ++exp10;
    } else {
      text.insert(first_digit, 1, '1');
    }
  }
  if (format == std::chars_format::scientific) {
    const int magnitude = std::abs(exp10);
    text += exp10 < 0 ? "e-" : "e+";
    if (magnitude < 10) text += '0';
    text += std::to_string(magnitude);
  }
  return text;
}

}  // namespace services
