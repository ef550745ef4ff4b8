// Where a port name of the form "\\.\COMn" lives on this system: the link comN in
// the folder ports/ of the local data folder when it exists (a user links it to
// /dev/ttyUSB0 or a /dev/serial/by-id/... name; the simulator links its
// pseudo-terminal there), else the n-th built-in serial port /dev/ttyS<n-1>.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// <LocalDataFolder>/ports
std::string PortsFolder();
// <LocalDataFolder>/ports/comN
std::string PortLinkPath(uint32_t n);

// n of "\\.\COMn" or "COMn" (letters in any case), n >= 1; nullopt otherwise.
std::optional<uint32_t> ComPortNumber(const std::string& name);

// The path to open for a port name. A name that is not a COM name is taken as a
// path as it stands; COM0 and other "\\.\" names give an empty path.
std::string PortDevicePath(const std::string& name);

}  // namespace platform
