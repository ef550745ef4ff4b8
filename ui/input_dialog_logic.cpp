#include "ui/input_dialog_logic.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "services/param_ini_file.h"

namespace ui {

float ToDisplayUnit(float device_value, const services::TUnitRow* row) {
  if (row == nullptr) return device_value;
  const float product = device_value * row->Factor;
  const float sum = product + row->Offset;
  return sum;
}

float ToDeviceUnit(float display_value, const services::TUnitRow* row) {
  if (row == nullptr) return display_value;
  const float difference = display_value - row->Offset;
  const float quotient = difference / row->Factor;
  return quotient;
}

std::string InputValueText(float value, bool integer_only, int precision) {
  if (!integer_only || !std::isfinite(value)) return services::FloatToGeneral(value, precision);
  const double whole = std::trunc(static_cast<double>(value));
  if (whole == 0) return "0";  // -0.5 truncates to -0, which is shown as 0
  char buf[64];                // a float's largest integer has 39 digits
  const auto res = std::to_chars(buf, buf + sizeof buf, whole, std::chars_format::fixed, 0);
  return std::string(buf, res.ptr);
}

namespace {

// The text with "," read as ".".
std::string WithPoint(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  return s;
}

}  // namespace

double ParseInputNumber(std::string_view text) {
  const std::string s = WithPoint(text);
  double v = 0;
  const char* const begin = s.data();
  const auto res = std::from_chars(begin, begin + s.size(), v, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    const double sign = s.front() == '-' ? -1.0 : 1.0;
    const std::string_view parsed(begin, static_cast<size_t>(res.ptr - begin));
    const size_t e = parsed.find_first_of("Ee");
    const bool tiny = e != std::string_view::npos && e + 1 < parsed.size() && parsed[e + 1] == '-';
    return sign * (tiny ? std::numeric_limits<double>::denorm_min()
                        : std::numeric_limits<double>::infinity());
  }
  if (res.ec != std::errc() || !std::isfinite(v)) return 0;  // no digits, or "inf"/"nan"
  return v;
}

bool IsCompleteNumber(std::string_view text) {
  const std::string s = WithPoint(text);
  double v = 0;
  const char* const begin = s.data();
  const char* const end = begin + s.size();
  const auto res = std::from_chars(begin, end, v, std::chars_format::general);
  if (res.ptr != end) return false;
  if (res.ec == std::errc::result_out_of_range) return true;  // clamped on OK
  return res.ec == std::errc() && std::isfinite(v);
}

std::optional<char> FilterInputKey(std::string_view text, bool all_selected, char key,
                                   int precision) {
  char c = key;
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c == ',') c = '.';
  const auto length = static_cast<long long>(text.size());
  const bool empty = text.empty();
  const bool has_point = text.find('.') != std::string_view::npos;
  bool accepted = false;
  if (c == '\b' || c == '0') {
    accepted = true;
  } else if (c >= '1' && c <= '9') {
    if (all_selected || length <= 4) {
      accepted = true;
    } else if (text.front() == '-') {
      accepted = length <= 5 || (has_point && length < precision + 2);
    } else if (text.substr(0, 2) == "0.") {
      // Zeros right after "0." are not significant: each one allows one more.
      const size_t first_other = text.find_first_not_of('0', 2);
      const auto zeros = static_cast<long long>(
          (first_other == std::string_view::npos ? text.size() : first_other) - 2);
      accepted = length <= precision + 1 + zeros;
    } else {
      accepted = has_point && length < precision + 1;
    }
  } else if (c == '.') {
    accepted = !empty && !all_selected && !has_point;
  } else if (c == '-') {
    accepted = all_selected || empty || text.back() == 'E';
  } else if (c == 'E') {
    accepted = !empty && !all_selected && text.find('E') == std::string_view::npos;
  }
  if (!accepted) return std::nullopt;
  return c;
}

TInputEntry ReadInputEntry(std::string_view text, float display_min, float display_max) {
  double v = ParseInputNumber(text);
  bool beep = false;
  if (v != 0 && v > -1e-9 && v < 1e-9) {
    v = 0;
    beep = true;
  }
  if (v > display_max) {
    v = display_max;
    beep = true;
  } else if (v < display_min) {
    v = display_min;
    beep = true;
  }
  return {static_cast<float>(v), beep};
}

bool KeepsShownValue(float display_value, float display_min, float display_max,
                     bool integer_only) {
  // NaN fails both comparisons: it is never kept.
  if (!(display_value >= display_min && display_value <= display_max)) return false;
  return !integer_only || std::trunc(display_value) == display_value;
}

TInputEntry ReadUnchangedEntry(float display_value, std::string_view shown_text,
                               float display_min, float display_max) {
  TInputEntry entry = ReadInputEntry(shown_text, display_min, display_max);
  if (display_value < display_min || display_value > display_max) entry.beep = true;
  return entry;
}

}  // namespace ui
