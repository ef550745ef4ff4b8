#include "services/param_ini_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

#include "platform/text_encoding.h"
#include "services/decimal_text.h"

namespace services {
namespace {

std::string ErrorText(TParameterFileError::Kind kind, std::string_view section,
                      std::string_view key, std::string_view value) {
  std::string text = "Parameter file: \"" + platform::QuotedExcerpt(value) + "\" is ";
  text += kind == TParameterFileError::Kind::kConversion ? "not a valid number" : "out of range";
  text += " (section \"" + std::string(section) + "\", key \"" + std::string(key) + "\")";
  return text;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

TParameterFileError::TParameterFileError(Kind kind, std::string_view section, std::string_view key,
                                         std::string_view value)
    : std::runtime_error(ErrorText(kind, section, key, value)),
      kind_(kind),
      section_(section),
      key_(key),
      value_(value) {}

std::string FloatToGeneral(double value, int digits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";  // also -0
  // 17 digits already hold every double exactly.
  digits = digits < 1 ? 1 : digits > 17 ? 17 : digits;

  // Scientific with digits - 1 decimals gives the rounded digits, carries included.
  const std::string scientific = DecimalText(value, std::chars_format::scientific, digits - 1);
  std::string_view s(scientific);  // "-d.dddddde-XX"
  std::string out;
  if (s.front() == '-') {
    out = "-";
    s.remove_prefix(1);
  }
  const size_t e = s.find('e');
  std::string mantissa(1, s.front());
  if (e > 1) mantissa += s.substr(2, e - 2);  // one digit has no point
  std::string_view exp_text = s.substr(e + 1);
  if (exp_text.front() == '+') exp_text.remove_prefix(1);
  int exp = 0;
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exp);
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
  const int count = static_cast<int>(mantissa.size());

  // exp >= -5: at least 0.00001; exp < digits: at most that many digits before the point.
  if (exp >= -5 && exp < digits) {
    if (exp < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exp - 1), '0');
      out += mantissa;
    } else {
      const int before = exp + 1;
      if (count <= before) {
        out += mantissa;
        out.append(static_cast<size_t>(before - count), '0');
      } else {
        out += mantissa.substr(0, static_cast<size_t>(before));
        out += '.';
        out += mantissa.substr(static_cast<size_t>(before));
      }
    }
  } else {
    out += mantissa.front();
    if (count > 1) {
      out += '.';
      out += mantissa.substr(1);
    }
    out += 'E';
    out += std::to_string(exp);
  }
  return out;
}

std::string FloatToGeneral7(double value) {
  return FloatToGeneral(value, 7);
}

bool ParseParameterNumber(std::string_view text, double* value) {
  std::string s(TrimBlanks(text));
  if (const size_t comma = s.find(','); comma != std::string::npos) s[comma] = '.';
  // A hand-edited file may write "+5"; from_chars takes no "+", so it is dropped
  // here, once, and a sign after it is still refused.
  size_t start = 0;
  if (!s.empty() && s.front() == '+') {
    start = 1;
    if (s.size() > 1 && (s[1] == '-' || s[1] == '+')) return false;
  }
  // from_chars takes no blanks and, with the general format, no hexadecimal; it does
  // take "inf", "infinity" and "nan" in any format, hence the finite test.
  double v = 0;
  const auto res =
      std::from_chars(s.data() + start, s.data() + s.size(), v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

std::optional<float> SingleNonNumber(std::string_view text) {
  const std::string_view t = TrimBlanks(text);
  const auto is = [&t](std::string_view name) {
    return std::equal(t.begin(), t.end(), name.begin(), name.end(), [](char a, char b) {
      return std::toupper(static_cast<unsigned char>(a)) == b;
    });
  };
  if (is("NAN")) return std::numeric_limits<float>::quiet_NaN();
  if (is("INF") || is("+INF")) return std::numeric_limits<float>::infinity();
  if (is("-INF")) return -std::numeric_limits<float>::infinity();
  return std::nullopt;
}

double TParamIniFile::ReadFloatValue(std::string_view section, std::string_view key,
                                     std::string_view default_value) const {
  const std::string text = ReadString(section, key, default_value);
  double v = 0;
  if (!ParseParameterNumber(text, &v)) {
    throw TParameterFileError(TParameterFileError::Kind::kConversion, section, key, text);
  }
  return v;
}

double TParamIniFile::ReadTruncated(std::string_view section, std::string_view key,
                                    std::string_view default_value, double lo, double hi) const {
  const double t = std::trunc(ReadFloatValue(section, key, default_value));
  if (t < lo || t > hi) {
    throw TParameterFileError(TParameterFileError::Kind::kRange, section, key,
                              ReadString(section, key, default_value));
  }
  return t;
}

uint8_t TParamIniFile::ReadByteValue(std::string_view section, std::string_view key,
                                     std::string_view default_value) const {
  return static_cast<uint8_t>(ReadTruncated(section, key, default_value, 0, 255));
}

uint16_t TParamIniFile::ReadWordValue(std::string_view section, std::string_view key,
                                      std::string_view default_value) const {
  return static_cast<uint16_t>(ReadTruncated(section, key, default_value, 0, 65535));
}

int32_t TParamIniFile::ReadIntValue(std::string_view section, std::string_view key,
                                    std::string_view default_value) const {
  return static_cast<int32_t>(ReadTruncated(section, key, default_value,
                                            std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max()));
}

float TParamIniFile::ReadSingleValue(std::string_view section, std::string_view key,
                                     std::string_view default_value) const {
  if (const std::optional<float> special = SingleNonNumber(ReadString(section, key, default_value)))
    return *special;
  const double v = ReadFloatValue(section, key, default_value);
  constexpr double kMax = std::numeric_limits<float>::max();
  if (std::abs(v) <= kMax) return static_cast<float>(v);
  // Up to half a unit above the largest float still rounds to it; beyond that the
  // conversion would be undefined, not infinity.
  const double limit = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
  if (std::abs(v) < limit)
    return v < 0 ? -std::numeric_limits<float>::max() : std::numeric_limits<float>::max();
  throw TParameterFileError(TParameterFileError::Kind::kRange, section, key,
                            ReadString(section, key, default_value));
}

}  // namespace services
