#include "services/value_format.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/text_encoding.h"
#include "services/decimal_text.h"
#include "services/unit_tables.h"

namespace services {
namespace {

constexpr std::size_t kValueField = 9;

// Fixed notation, 4 decimals, "." as separator whatever the locale; widening to
// double keeps the float's value exactly.
std::string Fixed4(float value) {
  return DecimalText(value, std::chars_format::fixed, 4);
}

std::string Decimal(int value) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

}  // namespace

std::string GetUnitText(uint8_t kind, bool trim) {
  if (kind == QuantityKind::PlainNumber) return std::string(8, ' ');
  const TUnitRow* row = FindUnitRow(kind);
  if (row == nullptr) return {};
  std::string text = row->Text;
  if (trim) {
    const auto last = text.find_last_not_of(' ');
    text.erase(last == std::string::npos ? 0 : last + 1);
  }
  return text;
}

std::string FormatValue(uint8_t kind, uint8_t withUnit, uint8_t trimUnit, float value) {
  // Every step in float: the device works in single precision and the displayed
  // digits must match it. Infinity would never leave the scaling loops, so every
  // non-finite value reads as NAN.
  if (!std::isfinite(value)) return "NAN";
  if (kind != QuantityKind::PlainNumber) {
    if (const TUnitRow* row = FindUnitRow(kind)) {
      value = value * row->Factor;
      value = value + row->Offset;
      if (!std::isfinite(value)) return "NAN";
    }
  }

  // Scale the magnitude; -0.0 counts as not negative and shows without sign.
  const bool negative = value < 0.0f;
  value = std::fabs(value);
  int exponent = 0;
  while (value <= 0.001f && value > 0.0f) {
    value = value * 1000.0f;
    exponent -= 3;
  }
  while (value >= 1000.0f) {
    value = value / 1000.0f;
    exponent += 3;
  }
  if (negative) value = -value;

  std::string text = Fixed4(value);
  if (text.size() < kValueField) text.insert(0, kValueField - text.size(), ' ');
  if (exponent < 0) {
    text += "E" + Decimal(exponent);
  } else if (exponent == 0) {
    text += "   ";
  } else {
    text += "E+" + Decimal(exponent);
  }
  if (withUnit == 1 && kind != QuantityKind::PlainNumber) {
    text += GetUnitText(kind, trimUnit != 0);
  }
  return text;
}

std::string DeviceTimeToText(const devicelink::TDeviceClock& clock) {
  if (clock.Day == 0 || clock.Day >= 32 || clock.Month == 0 || clock.Month >= 13) {
    return "??.??.???? ??:??:??";
  }
  return platform::ZeroPad(clock.Day, 2) + "." + platform::ZeroPad(clock.Month, 2) + "." +
         Decimal(clock.Year) + " " + platform::ZeroPad(clock.Hour, 2) + ":" +
         platform::ZeroPad(clock.Minute, 2) + ":" + platform::ZeroPad(clock.Second, 2);
}

}  // namespace services
