// Quantity kinds and the three constant unit tables that give each kind its
// display unit, plus the rule that picks the row in force for a kind.
//
// Values are held in the device's own unit; the display value is
// value * Factor + Offset of the row in force.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "devicelink/device_data.h"

namespace services {

// What a number measures; the index of its row in the gas and steam tables and of
// its entry in devicelink::UserUnits.
namespace QuantityKind {
constexpr uint8_t Temperature = 0;          // degC
constexpr uint8_t Pressure = 1;             // kPa
constexpr uint8_t Density = 2;              // kg/m3
constexpr uint8_t StandardVolumeFlow = 3;   // Nm3/h
constexpr uint8_t MassFlow = 4;             // kg/h
constexpr uint8_t TotalStandardVolume = 5;  // Nm3
constexpr uint8_t TotalMass = 6;            // kg
constexpr uint8_t OperatingVolumeFlow = 7;  // m3/h
constexpr uint8_t Power = 8;                // kW
constexpr uint8_t Energy = 9;               // kWh
constexpr uint8_t PulsesPerLitre = 10;      // Imp/l
constexpr uint8_t PerKelvin = 11;           // 1/K
constexpr uint8_t CalorificValue = 12;      // shown in Wh/m3 (device value * 1000)
constexpr uint8_t MolarFraction = 13;       // mol%
constexpr uint8_t SpecificHeat = 14;        // shown in J/kgK (device value * 1000)
constexpr uint8_t Kelvin = 15;              // K, no conversion
constexpr uint8_t Frequency = 16;           // Hz
constexpr uint8_t Current = 17;             // mA
constexpr uint8_t PlainNumber = 255;        // no conversion, no unit

constexpr uint8_t Count = 18;           // kinds 0..17
constexpr uint8_t UserSelectable = 10;  // kinds below this may have a user unit
}  // namespace QuantityKind

constexpr uint8_t kBothMedia = 255;  // TUnitRow::Medium of a row valid for gas and steam

struct TUnitRow {
  uint8_t Medium = 0;        // 0 gas, 1 steam, kBothMedia
  uint8_t Kind = 0;          // QuantityKind 0..17
  uint8_t Variant = 0;       // unit within its kind; 0 is the device unit
  uint8_t SymbolLength = 0;  // characters of the symbol as the device uses it
  char Decimals = '2';       // ASCII digit for the device display
  std::string Symbol;        // device display symbol, 5 characters, leading blanks
  float Factor = 1;
  float Offset = 0;
  std::string Text;  // the program's unit text, 8 characters: blank, unit, blanks
};

constexpr std::size_t kUserUnitRows = 71;

// Units the operator can choose for kinds 0..9 (one row, the device unit, for each
// of kinds 10..17), grouped by kind, variants in order.
extern const std::array<TUnitRow, kUserUnitRows> UserUnitTable;
// Device units, row index = kind.
extern const std::array<TUnitRow, QuantityKind::Count> GasUnitTable;
extern const std::array<TUnitRow, QuantityKind::Count> SteamUnitTable;

// The row in force for a kind: with user units switched on (UnitSwitches.Einheiten)
// and kind < 10, the user-table row of the variant chosen in UserUnits[kind]; otherwise
// the gas or steam row of the kind, by Medium (1 steam, anything else gas).
// nullptr when there is none: a chosen variant without a row, kind 255 (plain
// number) or a kind above 17.
const TUnitRow* FindUnitRow(uint8_t kind);

// The user-table row of kind and variant valid for the current Medium; nullptr when
// the table has none.
const TUnitRow* FindUserUnitRow(uint8_t kind, uint8_t variant);

// The entry of devicelink::UserUnits that selects the row: its variant, and the
// symbol, symbol length, decimals, factor and offset the device displays it with.
devicelink::TUserUnit UserUnitOf(const TUnitRow& row);

}  // namespace services
