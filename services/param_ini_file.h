// The ini file of parameter sets, with the strict number reading its values need,
// and the 7-significant-digit general format its floats are written in.
//
// Numbers are read and written with "." whatever the locale; a "," in place of the
// first "." is accepted on reading, as files edited by hand often hold one.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace services {

// A value of a parameter file that is not a number or does not fit its field.
class TParameterFileError : public std::runtime_error {
 public:
  enum class Kind { kConversion, kRange };
  TParameterFileError(Kind kind, std::string_view section, std::string_view key,
                      std::string_view value);

  Kind ErrorKind() const { return kind_; }
  const std::string& Section() const { return section_; }
  const std::string& Key() const { return key_; }
  const std::string& Value() const { return value_; }

 private:
  Kind kind_;
  std::string section_;
  std::string key_;
  std::string value_;
};

// The general format with `digits` significant digits (1..17, outside taken as the
// nearer end): fixed notation without trailing zeros while the rounded value is at
// least 0.00001 in magnitude and has at most `digits` digits before the point, else
// a mantissa without trailing zeros, "E", a "-" only for negative exponents and the
// exponent without leading zeros ("1E8", "1.2345E-6").
// 0 gives "0"; not-a-number gives "NAN", infinities "INF" / "-INF" (which only the
// readers of singles take back, see SingleNonNumber).
// Floats are widened to double first, so 0.1f writes "0.1" with 7 digits. Exact
// halves round away from zero (1.2578125 writes "1.257813").
std::string FloatToGeneral(double value, int digits);
// FloatToGeneral(value, 7), the format of the parameter files.
std::string FloatToGeneral7(double value);

// The text as a number: one "," may stand for the first "."; blanks around it and
// one leading "+" are allowed; nothing else ("nan", "inf", hexadecimal, a second
// sign, trailing text and values beyond the range of double are not numbers).
// False when it is not one.
bool ParseParameterNumber(std::string_view text, double* value);

// The texts FloatToGeneral writes for a single that is no number: "NAN", "INF",
// "+INF" or "-INF" in any case, blanks around it allowed. A NaN comes back as the
// one quiet NaN whatever pattern it was saved from (the device gets every NaN
// alike). nullopt for any other text.
std::optional<float> SingleNonNumber(std::string_view text);

class TParamIniFile : public platform::TIniFile {
 public:
  using platform::TIniFile::TIniFile;

  // The key as a number (the default text when the key is missing), see
  // ParseParameterNumber. Throws TParameterFileError (kConversion).
  double ReadFloatValue(std::string_view section, std::string_view key,
                        std::string_view default_value) const;

  // ReadFloatValue fitted to a field: integers take the value truncated toward zero
  // and must lie within their type; a single must lie within the float range or be
  // one of the SingleNonNumber texts, so that every saved set loads back.
  // Throw TParameterFileError (kRange) otherwise.
  uint8_t ReadByteValue(std::string_view section, std::string_view key,
                        std::string_view default_value) const;
  uint16_t ReadWordValue(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  int32_t ReadIntValue(std::string_view section, std::string_view key,
                       std::string_view default_value) const;
  float ReadSingleValue(std::string_view section, std::string_view key,
                        std::string_view default_value) const;

 private:
  // Truncated value within lo..hi.
  double ReadTruncated(std::string_view section, std::string_view key,
                       std::string_view default_value, double lo, double hi) const;
};

}  // namespace services
