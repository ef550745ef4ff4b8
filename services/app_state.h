// The two program-wide selectors. Together they pick the text module; Medium also
// picks the unit table and the parameter defaults.
#pragma once

#include <cstdint>

namespace services {

// 0 gas, 1 steam/energy. Set from the settings file, by device identification and
// from the medium kind of the circuit being shown or printed.
extern int32_t Medium;

// 0 German, 1 English. Set from the settings file and by the language menu.
extern int32_t Language;

// Serial port of the device as COM number - 1 (0..7) and index into the baud table
// (0..7); from the settings file, changed by the settings dialog.
extern int32_t PortIndex;
// The ports the settings can hold: COM1 to COM8.
constexpr int32_t kPortChoices = 8;
extern int32_t BaudIndex;

}  // namespace services
