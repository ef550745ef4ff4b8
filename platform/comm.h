// Serial ports over termios, poll and the modem ioctls, shaped like the calls the
// serial layer was written for. Failures leave the reason in the last error
// (GetLastError, Windows numbering): 2 no such port, 5 access denied or in use,
// 6 bad descriptor, 87 a setting the port cannot take, 31 a device failure.
// Modem lines and error counters do not exist on pseudo-terminals; their calls
// then answer "unsupported" without setting an error.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace platform {

// Why CommOpen failed, beyond the Windows number: access denied (5) covers both
// a port in use and missing permissions, which the user must be told apart.
enum class CommOpenFailure {
  kNone,
  kNoSuchPort,        // missing, not a tty, or a device node without hardware (2)
  kInUse,             // another opener holds the lock, or the driver is busy (5)
  kPermissionDenied,  // EACCES / EPERM (5)
  kOther,
};

// Opens a tty for exclusive use: O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC and
// flock(LOCK_EX|LOCK_NB). The descriptor, or -1 with the last error and, when
// given, the failure kind set.
int CommOpen(const std::string& path, CommOpenFailure* failure = nullptr);
// Closes a descriptor from CommOpen (releasing its lock); false on failure.
bool CommClose(int fd);

enum class CommParity : uint8_t { kNone, kOdd, kEven, kMark, kSpace };

// The line settings the port can hold. Raw mode is always applied.
struct CommLine {
  uint32_t baud = 9600;
  uint8_t data_bits = 8;  // 5..8
  CommParity parity = CommParity::kNone;
  bool two_stop_bits = false;
  bool parity_check = false;  // check received parity (INPCK)
  bool rtscts = false;        // hardware flow control
  bool xon_output = false;    // stop sending on XOFF (IXON)
  bool xon_input = false;     // send XOFF when the input fills (IXOFF)
  char xon_char = 17;
  char xoff_char = 19;
  bool operator==(const CommLine&) const = default;
};

// Whether a speed has a termios constant.
bool CommBaudSupported(uint32_t baud);
// Applies the settings; false with 87 for a speed or size the port cannot take
// (nothing is changed then). Speed 0 is never applied: it keeps the current speed.
bool CommSetLine(int fd, const CommLine& line);
bool CommGetLine(int fd, CommLine& line);

// Non-blocking transfer: bytes moved (0 when nothing could move now), or -1 with
// the last error set.
ssize_t CommRead(int fd, void* buffer, size_t count);
ssize_t CommWrite(int fd, const void* data, size_t count);

// Suspends or resumes sending, as a received XOFF or XON would.
bool CommSuspendOutput(int fd, bool suspend);

// Discards unsent output and/or unread input in the driver.
bool CommPurge(int fd, bool output, bool input);

// Bytes in the driver's queues; 0 when they cannot be read.
uint32_t CommInputQueued(int fd);
uint32_t CommOutputQueued(int fd);

enum class CommResult { kOk, kUnsupported, kFailed };

// Modem lines as bits.
constexpr uint32_t kCommDTR = 0x01;
constexpr uint32_t kCommRTS = 0x02;
constexpr uint32_t kCommCTS = 0x04;
constexpr uint32_t kCommDSR = 0x08;
constexpr uint32_t kCommDCD = 0x10;
constexpr uint32_t kCommRI = 0x20;

CommResult CommGetModemLines(int fd, uint32_t& lines);
// Raises (on) or drops the given output lines (kCommDTR, kCommRTS).
CommResult CommSetModemLines(int fd, uint32_t lines, bool on);
CommResult CommSetBreak(int fd, bool on);

// Error counters of the driver since it was loaded.
struct CommCounts {
  uint32_t frame = 0;
  uint32_t overrun = 0;
  uint32_t parity = 0;
  uint32_t brk = 0;
  uint32_t buf_overrun = 0;
  bool operator==(const CommCounts&) const = default;
};
CommResult CommGetCounts(int fd, CommCounts& counts);

}  // namespace platform
