// Bringing the device link up: (re)opening the program's port at a COM number and
// baud index, and identifying the device at start.
#pragma once

#include <array>
#include <cstdint>

#include "services/port_failure.h"
#include "services/program_texts.h"

namespace services {

// Baud rate of each baud index.
extern const std::array<int32_t, 8> BaudRates;

// Closes the port when open (then waits 150 ms), sets the time-out, number and
// baud rate (an index outside the table keeps the rate), opens the port after
// another 150 ms and sets DeviceOnline from the result. A port number that does
// not exist shows the port's selection dialog, when one is installed, and the
// port chosen there and opened becomes the configured PortIndex; a port that
// cannot be opened leaves the program offline without a message, and its reason
// in PortFailure().
void OpenComPort(uint32_t comNumber, uint32_t baudIndex);

// Why the last OpenComPort could not open the port; kind kNone when it could.
const TPortFailure& PortFailure();

// At start, when the settings said online: opens the configured port, reads the
// identification and picks the medium; an unknown device, no answer or an active
// device password leave the program offline. Sets the online label either way.
void IdentifyDevice();

// True when the last IdentifyDevice left the program offline because the
// device's password is in force (or its password block could not be read).
bool DeviceLocked();

// The text that says so in status panel 0.
constexpr uint16_t kDeviceLockedText = 50;

// True when the last IdentifyDevice left the program offline because the device
// answered with an identification of neither model; the note kUnknownDeviceText
// (a program text) says so in status panel 0.
bool UnknownDevice();
inline constexpr uint16_t kUnknownDeviceText = text_id::kUnknownDevice;

}  // namespace services
