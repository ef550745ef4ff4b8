// What the circuit parameter pages show and how their lines are edited, without
// widgets: the choice lists made from a text block, the combo entry of a device
// code, the list lines of each group, and the edit row of each line (quantity
// kind, limits, the stored field and the rule that follows a change).
//
// The list builders read the text module of the current Medium and the records
// of the device data model; c is the circuit (0 or 1).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "services/text_modules.h"

namespace ui {

// Medium also selects the text module: a loader that fetches from the other
// module puts it back however it ends.
class TMediumKeeper {
 public:
  TMediumKeeper();
  ~TMediumKeeper();
  TMediumKeeper(const TMediumKeeper&) = delete;
  TMediumKeeper& operator=(const TMediumKeeper&) = delete;

 private:
  int32_t saved_;
};

// ---- Choice lists

using services::ListFrom;

// The entries of the twin combos of circuits 1 and 2.
struct TTwinChoices {
  std::vector<std::string> circuit1;
  std::vector<std::string> circuit2;
};

// Temperature modes from s1; the last entry takes the other circuit's
// temperature and names it (" 2" on circuit 1, " 1" on circuit 2). A block
// whose strings run to s15 ends there.
TTwinChoices TemperatureChoiceLists(const services::TextBlock& t);
// Pressure modes from s1; s4, the other circuit's pressure, named likewise.
TTwinChoices PressureChoiceLists(const services::TextBlock& t);

// ---- Combo entries from the records (-1: no entry)

constexpr int kTemperatureModes = 6;  // entry 6 takes the other circuit's temperature
constexpr int kPressureModes = 3;     // entry 3 takes the other circuit's pressure
constexpr uint8_t kTakesOther = 2;    // Eq: this circuit uses the other's measurement
constexpr uint8_t kLentToOther = 1;   // Eq: the other circuit uses this one's
constexpr uint8_t kLastMediumKind = 15;
constexpr uint8_t kFirstSteamKind = 9;
constexpr uint8_t kGasComposition = 6;  // medium kind checked by the gas calculation

int TemperatureChoiceIndex(const devicelink::TTemperatureSettings& t);
int PressureChoiceIndex(const devicelink::TPressureSettings& p);
// Pulse sources 0..2 have entries; other codes none.
int PulseChoiceIndex(const devicelink::TPulseSettings& p);
// The Medium of a medium kind: 0 gas (0..8), 1 steam (9..15), none above.
std::optional<int32_t> MediumOfKind(uint8_t kind);

// Entry i of a temperature or pressure combo with n own modes: the entries
// from n on take the other circuit's measurement.
constexpr bool TakesOtherCircuit(int i, int n) {
  return i >= n;
}

// A mode chosen in a temperature or pressure combo (entry i of n own modes).
// True when the choice takes the other circuit's measurement, whose block is
// then written first.
template <class Record>
bool ApplyModeChoice(std::array<Record, 2>& records, int c, int i, int n) {
  Record& r = records.at(static_cast<size_t>(c));
  if (!TakesOtherCircuit(i, n)) {
    r.Kind = static_cast<uint8_t>(i);
    // A circuit whose measurement is lent to the other one stays marked.
    if (r.Eq != kLentToOther) r.Eq = 0;
    return false;
  }
  r.Eq = kTakesOther;
  records.at(static_cast<size_t>(1 - c)).Eq = kLentToOther;
  return true;
}

// ---- List lines

// Label padded to 18 characters, then the value with its unit.
std::string ParameterLine(const std::string& label, uint8_t kind, float value);
// The result of the gas check kept in the medium block.
std::string GasCheckLine(uint8_t code);
// The maximum input frequency: right-aligned to 4 digits, then the unit.
std::string MaxFreqText(uint16_t hz);

std::vector<std::string> TemperatureLines(int c);
std::vector<std::string> PressureLines(int c);
// Lines of the medium kind in the module of the current Medium (kinds above 15
// have none).
std::vector<std::string> MediumLines(int c);
std::vector<std::string> FlowLines(int c);
std::vector<std::string> PulseLines(int c);

struct TSupplyShow {
  std::optional<std::string> caption;  // none: the caption stays
  std::vector<std::string> lines;
};
TSupplyShow SupplyLines(int c);

// ---- Edit rows

// One editable line: what the value dialog shows and what OK stores.
struct TEditRow {
  uint8_t quantity = 255;
  float min = 0;
  float max = 0;
  float value = 0;
  // Stores the entered value and applies the line's rule.
  std::function<void(float)> store;
};

// A dialog limit read from a record: a value that is not a finite
// non-negative number counts as 0.
float RecordLimit(float value);

// The row of a list line (line -1: none selected); none when the line opens no
// dialog.
std::optional<TEditRow> TemperatureEditRow(int c, int line);
std::optional<TEditRow> PressureEditRow(int c, int line);
std::optional<TEditRow> FlowEditRow(int c, int line);
std::optional<TEditRow> PulseEditRow(int c);
std::optional<TEditRow> SupplyEditRow(int c, int line);

// What a double-click on a medium line does.
struct TMediumAction {
  enum class Kind { None, Value, PropertyTable, SaturationTable };
  Kind kind = Kind::None;
  TEditRow row;   // Value
  int table = 0;  // PropertyTable: which of the device's two tables
};
TMediumAction MediumEditAction(int c, int line);

// After Desdp of circuit 1 was entered: the other ranges of the transmitters by
// system type (1: none above Desdp; 2: all equal to it).
void ApplyRangeRule(devicelink::TDpSettings& dp, uint8_t system_type);

}  // namespace ui
