// The saturation table files (".STB"): an ini-format text with one section per
// row, "Row_01" .. "Row_32", each with the keys "T", "p", "rho" and "h",
// written row by row in that key order.
#pragma once

#include <array>
#include <string>

#include "services/table_cells.h"

namespace services {

constexpr int kSatGridRows = 33;  // the heading row and 32 table rows
constexpr int kSatGridColumns = 4;

// The table rows 0..31 (grid rows 1..32), columns T, p, rho, h.
using TSatCells = std::array<std::array<TGridCell, kSatGridColumns>, kSatGridRows - 1>;

// "Row_01" .. "Row_32" for rows 0..31; the four keys of a row.
std::string SatRowSection(int row);
extern const std::array<const char*, kSatGridColumns> kSatKeys;

// The file as it is written: the cells' texts ("T=" for an empty cell),
// Windows-1252, CRLF, no byte-order mark.
std::string SatTableFileContent(const TSatCells& cells);

// Writes the file once, through a temporary file renamed over it. Throws
// platform::FileError.
void WriteSatTableFile(const std::string& path, const TSatCells& cells);

// Reads and checks a whole file: a missing key or an empty value is an empty
// cell, "," stands for "."; every other value must be a number within the
// single's range. Throws TTableFileError, naming the first bad section and key,
// and platform::FileError for a file that cannot be read.
TSatCells ReadSatTableFile(const std::string& path);

}  // namespace services
