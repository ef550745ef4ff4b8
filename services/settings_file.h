// The settings file vandrel2.ini in the local data folder: port, baud rate, online
// mode, language, medium and the two diagnostic switches.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
class TIniFile;
}

namespace services {

// "Debug"/"MemDiag" as read at start (non-zero: leak tracking on) and the name of
// the tracker's report chosen then. Never written back.
extern int32_t MemDiagSwitch;
extern std::string MemDiagLogName;

// Starts the leak tracker with its report name and the largest released block it
// keeps for checking. The program installs it; without one "MemDiag" starts nothing.
using TMemDiagStarter = void (*)(const std::string& report_name,
                                 uint32_t max_kept_freed_block_size);
void SetMemDiagStarter(TMemDiagStarter starter);

// Full name of the settings file; empty when the local data folder cannot be made.
std::string SettingsFileName();

// Reads every key (writing missing ones with their defaults) and applies the range
// rules. A file that cannot be read or written leaves the defaults in force; one
// that is no settings file, or holds no setting at all, is reported, left as it
// is, and (the latter) written whole at the close.
void ReadSettings();

// Writes the five keys the program changes during a run; every other key stays.
// An unwritable file gives a warning that says why, and nothing is written.
void WriteSettings();

// The key's integer value; a missing key is first written with the default, a value
// that is not an integer reads as the default.
int32_t ReadIntWithDefault(platform::TIniFile& ini, const std::string& section,
                           const std::string& key, int32_t default_value);

}  // namespace services
