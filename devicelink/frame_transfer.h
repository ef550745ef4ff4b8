// One request/response exchange with the flow computer: frame and checksum the
// request, flush the port, send, wait for the reply in two time-out phases, check
// it, retry, count errors, trace to the day's file and show the link state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace serial {
class TSioComPort;
}

namespace devicelink {

constexpr uint8_t kReadRequest = 0xB0;
constexpr uint8_t kWriteRequest = 0xA0;
constexpr uint8_t kRejectByte = 0xE0;
// Longest message, and the reply buffer of one attempt.
constexpr size_t kMaxMessage = 255;

// The main window's port, through which every exchange goes (not owned).
void SetComPort(serial::TSioComPort* port);
serial::TSioComPort* ComPort();

// message: the request on entry, the first `expected` reply bytes on success (for a
// read: echo, data, checksum). For a read the caller passes N + 4 and the checksum
// bytes are added here; for a write the caller passes 1 and the checksum is
// appended to the request here. False when offline (nothing sent), when another
// exchange is already waiting (nothing sent), when the run it belongs to may
// not send it (nothing sent, see TRun), or after four failed attempts.
bool TransferFrame(std::string& message, size_t maxLength, int32_t expected);

// True while an exchange waits for its reply (a handler running inside that wait
// sees it).
bool ExchangeRunning();

// Adds the 16-bit sum of all bytes (high byte first), within maxLength.
void AppendChecksum(std::string& message, size_t maxLength);

// Waits more than ms milliseconds while processing window messages; returns at
// once when the tick counter wraps.
void DelayMs(uint32_t ms);

// True offline; online, true only when the identification reads as one of the two
// known models.
bool CheckDeviceIdent();

// The two model identifications.
constexpr const char* kSteamIdent = "MV-HTX7 ";
constexpr const char* kGasIdent = "MV-NGX7 ";

}  // namespace devicelink
