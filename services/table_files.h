// The property table files (".KTB", ".DTB", ".ETB"): an ini-format text with the
// temperature axis under "Temperatur" (keys "0".."17"), the pressure axis under
// "Druck" ("0".."13") and the values under "Werte", keyed "j - i" for
// temperature j and pressure i, written in that order, values row by row.
#pragma once

#include <array>
#include <string>

#include "services/table_cells.h"

namespace services {

constexpr int kPropertyGridRows = 19;     // the pressure axis row and 18 temperatures
constexpr int kPropertyGridColumns = 15;  // the temperature axis column and 14 pressures

// The cells as the grid lays them out, [row][column]: row 0 the pressure axis
// (pressure i in column i + 1), column 0 the temperature axis (temperature j in
// row j + 1), cell [j + 1][i + 1] the value for temperature j and pressure i.
// The corner cell [0][0] is not part of the table.
using TPropertyCells = std::array<std::array<TGridCell, kPropertyGridColumns>, kPropertyGridRows>;

// "j - i", the key of the value for temperature j and pressure i.
std::string PropertyValueKey(int temperature, int pressure);

// The file as it is written: the cells' texts, Windows-1252, CRLF, no byte-order mark.
std::string PropertyTableFileContent(const TPropertyCells& cells);

// Writes the file once, through a temporary file renamed over it. Throws
// platform::FileError.
void WritePropertyTableFile(const std::string& path, const TPropertyCells& cells);

// Reads and checks a whole file: a missing key reads as "0", an empty value as an
// empty cell, "," stands for "."; axis values must be whole numbers 0..65535,
// values numbers within the single's range. The texts come back in the grid's
// own form. Throws TTableFileError, naming the first bad section and key, and
// platform::FileError for a file that cannot be read.
TPropertyCells ReadPropertyTableFile(const std::string& path);

}  // namespace services
