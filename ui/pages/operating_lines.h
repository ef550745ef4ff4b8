// The lines of the operating pages, built from the device data model and the
// text module: labels padded to their column, values in the display unit.
// No widgets here, so the layout can be checked line by line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// "%6d:%2.2d:%2.2d    hms" of an operating time in seconds.
std::string OperatingTimeText(uint32_t seconds);

// Index of an analog-output source code into the two source text blocks (codes
// below 32 only).
int OutputSourceTextIndex(uint8_t code);

// True for a single-circuit device or a system type of one circuit.
bool IsSingleCircuitSystem();

// Circuit list of circuit c (0 or 1) up to the flow-mode and steam lines.
std::vector<std::string> MeasuredValueLines(int c);
// The status lines that follow, from the device's error status (count, mask).
std::vector<std::string> StatusLines(int32_t count, uint8_t mask);
// The error-log page from DeviceErrorLog. A present error's word stands in the
// column of a past one's suffix, whatever the length of the word between the
// come and go times.
std::vector<std::string> ErrorLogLines();
// The totalizer list of circuit c from IntegratorHistory.
std::vector<std::string> IntegratorLines(int c);

// The device clock moved on by the PC clock: now plus ClockOffset (days),
// milliseconds dropped.
struct TClockFields {
  int year, month, day, hour, minute, second;
};
TClockFields AdvanceClock(int year, int month, int day, int hour, int minute, int second,
                          int millisecond, double offset_days);

}  // namespace ui
