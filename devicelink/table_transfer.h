// The device's two property tables and its saturation table, moved to and from
// the PC copies TableData and UserSatTable in several frames, with a pause after
// each frame and the progress bar counting them.
#pragma once

#include <cstdint>

namespace devicelink {

constexpr uint16_t kPropertyTableAddress[2] = {0x9780, 0x9BC0};
constexpr uint16_t kSatTableAddress = 0x9580;

// table 0 or 1. False at once, without traffic or progress bar, for another table
// number or when there is no table buffer. A failed frame ends the transfer with
// False; the frames before it stay transferred.
bool ReadTable(int32_t table);
bool WriteTable(int32_t table);

// ReadUserSatTable clears UserSatTable first, so rows not read are zero.
bool ReadUserSatTable();
bool WriteUserSatTable();

}  // namespace devicelink
