// What the trend settings, system and correction factor pages compute, without
// widgets: the interval and system-type choices, how the system type shapes the
// page, the two current-loop limit sets, the manual presets' kinds, limits and
// lines, and the limits of the factor dialogs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "services/text_modules.h"
#include "ui/pages/dialog_row.h"

namespace ui {

constexpr int kTrendIntervalCount = 12;
constexpr int kSystemTypeCount = 4;
constexpr int kPresetCount = 8;
constexpr int kCorrectionRows = 8;

// Minutes of interval choice index; nullopt outside the list.
std::optional<uint8_t> TrendIntervalMinutes(int index);
// The choice of an interval in minutes; -1 for one the list does not offer.
int TrendIntervalIndex(uint8_t minutes);

// System type of choice index (types 0, 1, 2, 4); nullopt outside the list.
std::optional<uint8_t> SystemTypeOfIndex(int index);
// The choice of a system type; -1 for a type the list does not offer.
int SystemIndexOfType(uint8_t type);
// Whether the device allows type t: every bit of t is set in its mask.
bool SystemTypeAllowed(uint8_t kind_mask, uint8_t type);
// One circuit with two to four differential-pressure transmitters: the
// resynchronisation of the device's dependent settings is needed.
bool IsSingleCircuitType(uint8_t type);

// How the system page shows a system type.
struct TSystemTypeView {
  int choice;             // Combosystem entry
  bool transmitters;      // AnzahlMU enabled
  bool factor;            // ed_SystemFaktor enabled and showing the factor
};
// nullopt for a type the page does not know: the page keeps what it shows.
std::optional<TSystemTypeView> SystemTypeViewOf(uint8_t type);

// The AnzahlMU choice of a number of transmitters (2 -> 0, 3 -> 1); -1 none.
int TransmitterIndexOf(uint8_t anzahl);
// The number of transmitters of a choice; nullopt outside the list.
std::optional<uint8_t> TransmittersOfIndex(int index);

// The fixed current-loop limit sets: 0 after NAMUR (21.0 mA high), 1 the
// industry's (22.6 mA high); nullopt outside.
std::optional<devicelink::TLimitValues> LimitSetOf(int index);
// The set a device's limits belong to, by the high limit (units of 16 mA).
int LimitSetIndexOf(float u_max);

// Presets 0..7: temperature (in kelvin), pressure, flow, mass flow of circuit
// 1, then the same of circuit 2. The flow is standard volume flow for gas and
// power for steam (medium 1).
uint8_t PresetKind(int index, int medium);
std::optional<TDialogRow> PresetDialogRow(int index, int medium);
// A preset of 0 is off; any other value replaces the measured one.
bool AnyPresetActive(const std::array<float, 8>& presets);
// Line i: label i (labels[1..8]) padded to one more than the longest label,
// then the preset with its unit.
std::vector<std::string> PresetLines(const std::array<float, 8>& presets,
                                     const services::TextBlock& labels, int medium);

TDialogRow SystemFactorDialog();
TDialogRow CorrectionFactorDialog();

}  // namespace ui
