#include "services/unit_tables.h"

#include <cstddef>
#include <string_view>

#include "devicelink/device_data.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"

namespace services {
namespace {

constexpr std::size_t kSymbolChars = 5;
constexpr std::size_t kTextChars = 8;

std::string UnitText(std::string_view unit) {
  return platform::PadRightChars(" " + std::string(unit), kTextChars);
}

// One row as the tables below read: symbol and text without their padding.
TUnitRow Row(uint8_t medium, uint8_t kind, uint8_t variant, std::string_view symbol,
             uint8_t symbolLength, char decimals, float factor, float offset,
             std::string_view text) {
  TUnitRow row{medium, kind, variant, symbolLength, decimals, {}, factor, offset, {}};
  row.Symbol = platform::PadLeftChars(symbol, kSymbolChars);
  row.Text = UnitText(text);
  return row;
}

TUnitRow User(uint8_t kind, uint8_t variant, std::string_view symbol, uint8_t symbolLength,
              char decimals, float factor, float offset, std::string_view text) {
  return Row(kBothMedia, kind, variant, symbol, symbolLength, decimals, factor, offset, text);
}

TUnitRow Device(uint8_t kind, std::string_view symbol, uint8_t symbolLength, char decimals,
                float factor, std::string_view text) {
  return Row(0, kind, 0, symbol, symbolLength, decimals, factor, 0.0f, text);
}

}  // namespace

// clang-format off
const std::array<TUnitRow, kUserUnitRows> UserUnitTable = {{
    // kind, variant, symbol, symbol length, decimals, factor, offset, text
    User(0, 0, "°C",    2, '2', 1.0f,           0.0f,    "°C"),
    User(0, 1, "°F",    2, '2', 1.8f,           32.0f,   "°F"),
    User(0, 2, "K",     1, '2', 1.0f,           273.15f, "K"),

    User(1, 0, "kPa",   3, '2', 1.0f,           0.0f,    "kPa"),
    User(1, 1, "bar",   3, '2', 0.01f,          0.0f,    "bar"),
    User(1, 2, "mbar",  4, '2', 10.0f,          0.0f,    "mbar"),
    User(1, 3, "psi",   3, '2', 0.1450377f,     0.0f,    "psi"),
    User(1, 4, "mWS",   3, '2', 0.1019716f,     0.0f,    "mWS"),

    User(2, 0, "kg/m3", 5, '4', 1.0f,           0.0f,    "kg/m³"),
    User(2, 1, "kg/l",  4, '4', 0.001f,         0.0f,    "kg/l"),
    User(2, 2, "g/m3",  4, '4', 1000.0f,        0.0f,    "g/m³"),

    User(3, 0, "Nm3/h", 5, '2', 1.0f,           0.0f,    "Nm³/h"),
    User(3, 1, "Nm3/M", 5, '2', 0.016666668f,   0.0f,    "Nm³/min"),
    User(3, 2, "Nm3/s", 5, '2', 0.00027777778f, 0.0f,    "Nm³/s"),
    User(3, 3, "Nl/h",  4, '2', 1000.0f,        0.0f,    "Nl/h"),
    User(3, 4, "Nl/M",  4, '2', 16.666666f,     0.0f,    "Nl/min"),
    User(3, 5, "Nl/s",  4, '2', 0.2777778f,     0.0f,    "Nl/s"),
    User(3, 6, "SCF/h", 5, '2', 38.0441f,       0.0f,    "SCF/h"),
    User(3, 7, "SCF/M", 5, '2', 0.6340683f,     0.0f,    "SCF/min"),
    User(3, 8, "SCF/s", 5, '2', 0.010567806f,   0.0f,    "SCF/s"),

    User(4, 0, "kg/h",  4, '2', 1.0f,           0.0f,    "kg/h"),
    User(4, 1, "kg/M",  4, '2', 0.016666668f,   0.0f,    "kg/min"),
    User(4, 2, "kg/s",  4, '2', 0.00027777778f, 0.0f,    "kg/s"),
    User(4, 3, "g/h",   3, '2', 1000.0f,        0.0f,    "g/h"),
    User(4, 4, "g/M",   3, '2', 16.666666f,     0.0f,    "g/min"),
    User(4, 5, "g/s",   3, '2', 0.2777778f,     0.0f,    "g/s"),
    User(4, 6, "t/h",   3, '2', 0.001f,         0.0f,    "t/h"),
    User(4, 7, "t/M",   3, '2', 1.6666667E-5f,  0.0f,    "t/min"),
    User(4, 8, "t/s",   3, '2', 2.777778E-7f,   0.0f,    "t/s"),
    User(4, 9, "lb/h",  4, '2', 2.2046196f,     0.0f,    "lb/h"),
    User(4, 10, "lb/M", 4, '2', 0.036743663f,   0.0f,    "lb/min"),
    User(4, 11, "lb/s", 4, '2', 0.00061239436f, 0.0f,    "lb/s"),

    User(5, 0, "Nm3",   3, '2', 1.0f,           0.0f,    "Nm³"),
    User(5, 1, "l",     1, '2', 1000.0f,        0.0f,    "Nl"),
    User(5, 2, "SCF",   3, '2', 38.0441f,       0.0f,    "SCF"),

    User(6, 0, "kg",    2, '2', 1.0f,           0.0f,    "kg"),
    User(6, 1, "g",     1, '2', 1000.0f,        0.0f,    "g"),
    User(6, 2, "t",     1, '2', 0.001f,         0.0f,    "t"),
    User(6, 3, "lb",    2, '2', 2.2046196f,     0.0f,    "lb"),

    User(7, 0, "m3/h",  4, '2', 1.0f,           0.0f,    "m³/h"),
    User(7, 1, "m3/M",  4, '2', 0.016666668f,   0.0f,    "m³/min"),
    User(7, 2, "m3/s",  4, '2', 0.00027777778f, 0.0f,    "m³/s"),
    User(7, 3, "l/h",   3, '2', 1000.0f,        0.0f,    "l/h"),
    User(7, 4, "l/M",   3, '2', 16.666666f,     0.0f,    "l/min"),
    User(7, 5, "l/s",   3, '2', 0.2777778f,     0.0f,    "l/s"),
    // Actual cubic feet (35.31467 per m3), not the standard cubic feet of kind 3.
    User(7, 6, "CF/h",  4, '2', 35.31467f,      0.0f,    "CF/h"),
    User(7, 7, "CF/M",  4, '2', 0.5885778f,     0.0f,    "CF/min"),
    User(7, 8, "CF/s",  4, '2', 0.009809630f,   0.0f,    "CF/s"),

    User(8, 0, "kW",    2, '2', 1.0f,           0.0f,    "kW"),
    User(8, 1, "MW",    2, '2', 0.001f,         0.0f,    "MW"),
    User(8, 2, "W",     1, '2', 1000.0f,        0.0f,    "W"),
    User(8, 3, "PS",    2, '2', 1.3596216f,     0.0f,    "PS"),
    User(8, 4, "cal/s", 5, '2', 238.8459f,      0.0f,    "cal/s"),
    User(8, 5, "kcl/h", 5, '2', 859.8452f,      0.0f,    "kcal/h"),

    User(9, 0, "kWh",   3, '2', 1.0f,           0.0f,    "kWh"),
    User(9, 1, "MWh",   3, '2', 0.001f,         0.0f,    "MWh"),
    User(9, 2, "J",     1, '2', 3600000.0f,     0.0f,    "J"),
    User(9, 3, "kJ",    2, '2', 3600.0f,        0.0f,    "kJ"),
    User(9, 4, "MJ",    3, '2', 3.6f,           0.0f,    "MJ"),  // length 3 as the device has it
    User(9, 5, "GJ",    3, '2', 0.0036f,        0.0f,    "GJ"),
    User(9, 6, "cal",   3, '2', 859845.25f,     0.0f,    "cal"),
    User(9, 7, "kcal",  4, '2', 859.8452f,      0.0f,    "kcal"),
    User(9, 8, "Btu",   3, '2', 3412.128f,      0.0f,    "Btu"),

    User(10, 0, "Imp/l", 5, '2', 1.0f,          0.0f,    "Imp/l"),
    User(11, 0, "1/K",   3, '2', 1.0f,          0.0f,    "1/K"),
    User(12, 0, "Wh/m3", 5, '2', 1000.0f,       0.0f,    "Wh/m³"),
    User(13, 0, "mol%",  4, '2', 1.0f,          0.0f,    "mol%"),
    User(14, 0, "J/kgK", 5, '2', 1000.0f,       0.0f,    "J/kgK"),
    User(15, 0, "K",     1, '2', 1.0f,          0.0f,    "K"),
    User(16, 0, "Hz",    2, '2', 1.0f,          0.0f,    "Hz"),
    User(17, 0, "mA",    2, '2', 1.0f,          0.0f,    "mA"),
}};

const std::array<TUnitRow, QuantityKind::Count> GasUnitTable = {{
    // kind, symbol, symbol length, decimals, factor, text
    Device(0,  "°C",    2, '2', 1.0f,    "°C"),
    Device(1,  "kPa",   3, '2', 1.0f,    "kPa"),
    Device(2,  "kg/m³", 5, '4', 1.0f,    "kg/m³"),
    Device(3,  "Nm³/h", 5, '2', 1.0f,    "Nm³/h"),
    Device(4,  "kg/h",  4, '2', 1.0f,    "kg/h"),
    Device(5,  "Nm³",   3, '2', 1.0f,    "Nm³"),
    Device(6,  "kg",    2, '2', 1.0f,    "kg"),
    Device(7,  "m³/h",  4, '2', 1.0f,    "m³/h"),
    Device(8,  "kW",    2, '2', 1.0f,    "kW"),
    Device(9,  "kWh",   3, '2', 1.0f,    "kWh"),
    Device(10, "Imp/l", 5, '2', 1.0f,    "Imp/l"),
    Device(11, "1/K",   3, '2', 1.0f,    "1/K"),
    Device(12, "Wh/m³", 5, '2', 1000.0f, "Wh/m³"),
    Device(13, "mol%",  4, '2', 1.0f,    "mol%"),
    Device(14, "J/kgK", 5, '2', 1000.0f, "J/kgK"),
    Device(15, "K",     1, '2', 1.0f,    "K"),
    Device(16, "Hz",    2, '2', 1.0f,    "Hz"),
    Device(17, "mA",    2, '2', 1.0f,    "mA"),
}};

// As the gas table except the symbols of kinds 2, 7 and 12, which use a plain "3".
const std::array<TUnitRow, QuantityKind::Count> SteamUnitTable = {{
    Device(0,  "°C",    2, '2', 1.0f,    "°C"),
    Device(1,  "kPa",   3, '2', 1.0f,    "kPa"),
    Device(2,  "kg/m3", 5, '4', 1.0f,    "kg/m³"),
    Device(3,  "Nm³/h", 5, '2', 1.0f,    "Nm³/h"),
    Device(4,  "kg/h",  4, '2', 1.0f,    "kg/h"),
    Device(5,  "Nm³",   3, '2', 1.0f,    "Nm³"),
    Device(6,  "kg",    2, '2', 1.0f,    "kg"),
    Device(7,  "m3/h",  4, '2', 1.0f,    "m³/h"),
    Device(8,  "kW",    2, '2', 1.0f,    "kW"),
    Device(9,  "kWh",   3, '2', 1.0f,    "kWh"),
    Device(10, "Imp/l", 5, '2', 1.0f,    "Imp/l"),
    Device(11, "1/K",   3, '2', 1.0f,    "1/K"),
    Device(12, "Wh/m3", 5, '2', 1000.0f, "Wh/m³"),
    Device(13, "mol%",  4, '2', 1.0f,    "mol%"),
    Device(14, "J/kgK", 5, '2', 1000.0f, "J/kgK"),
    Device(15, "K",     1, '2', 1.0f,    "K"),
    Device(16, "Hz",    2, '2', 1.0f,    "Hz"),
    Device(17, "mA",    2, '2', 1.0f,    "mA"),
}};
// clang-format on

const TUnitRow* FindUserUnitRow(uint8_t kind, uint8_t variant) {
  for (const TUnitRow& row : UserUnitTable) {
    const bool medium_ok = row.Medium == kBothMedia || row.Medium == Medium;
    if (medium_ok && row.Kind == kind && row.Variant == variant) return &row;
  }
  return nullptr;
}

devicelink::TUserUnit UserUnitOf(const TUnitRow& row) {
  return {row.Variant, row.SymbolLength, static_cast<uint8_t>(row.Decimals),
          row.Symbol,  row.Factor,       row.Offset};
}

const TUnitRow* FindUnitRow(uint8_t kind) {
  if (kind >= QuantityKind::Count) return nullptr;  // plain number or unknown kind
  if (devicelink::UnitSwitches.Einheiten != 0 && kind < QuantityKind::UserSelectable) {
    return FindUserUnitRow(kind, devicelink::UserUnits.at(kind).Variant);
  }
  const auto& table = Medium == 1 ? SteamUnitTable : GasUnitTable;
  return &table.at(kind);
}

}  // namespace services
