#include "platform/comm.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win_errors.h"

namespace platform {
namespace {

struct BaudPair {
  uint32_t baud;
  speed_t code;
};

constexpr BaudPair kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(uint32_t baud, speed_t& code) {
  for (const auto& p : kBauds) {
    if (p.baud == baud) {
      code = p.code;
      return true;
    }
  }
  return false;
}

uint32_t SpeedValue(speed_t code) {
  for (const auto& p : kBauds) {
    if (p.code == code) return p.baud;
  }
  return 0;
}

// Pseudo-terminals and some adapters have no modem lines or counters.
bool IsUnsupported(int err) {
  return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP;
}

}  // namespace

int CommOpen(const std::string& path, CommOpenFailure* failure) {
  CommOpenFailure kind = CommOpenFailure::kNone;
  auto fail = [&](CommOpenFailure k, uint32_t win_error) {
    SetLastError(win_error);
    if (failure) *failure = k;
    return -1;
  };
  if (failure) *failure = kind;
  if (path.empty()) return fail(CommOpenFailure::kNoSuchPort, kErrorFileNotFound);

  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    switch (err) {
      case EACCES:
      case EPERM:
        return fail(CommOpenFailure::kPermissionDenied, kErrorAccessDenied);
      case EBUSY:
        return fail(CommOpenFailure::kInUse, kErrorAccessDenied);
      case ENOENT:
      case ENOTDIR:
      case ENXIO:
      case ENODEV:
      case EIO:  // a serial device node without a UART behind it
        return fail(CommOpenFailure::kNoSuchPort, kErrorFileNotFound);
      default:
        return fail(CommOpenFailure::kOther, WinErrorFromErrno(err));
    }
  }
  if (!::isatty(fd)) {
    ::close(fd);
    return fail(CommOpenFailure::kNoSuchPort, kErrorFileNotFound);
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return fail(CommOpenFailure::kInUse, kErrorAccessDenied);
    return fail(CommOpenFailure::kOther, WinErrorFromErrno(err));
  }
  SetLastError(kErrorSuccess);
  return fd;
}

bool CommClose(int fd) {
  if (fd < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  // The descriptor is gone after close whatever it returns (EINTR included).
  if (::close(fd) != 0 && errno != EINTR) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool CommBaudSupported(uint32_t baud) {
  speed_t code;
  return SpeedCode(baud, code);
}

bool CommSetLine(int fd, const CommLine& line) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  speed_t speed = ::cfgetospeed(&t);
  if (line.baud != 0 && !SpeedCode(line.baud, speed)) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  if (speed == B0) speed = B9600;  // B0 would hang the line up
  tcflag_t size;
  switch (line.data_bits) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      SetLastError(kErrorInvalidParameter);
      return false;
  }

  ::cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | HUPCL);
  t.c_cflag |= size | CREAD | CLOCAL;
  switch (line.parity) {
    case CommParity::kNone:
      break;
    case CommParity::kOdd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case CommParity::kEven:
      t.c_cflag |= PARENB;
      break;
    case CommParity::kMark:
      t.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case CommParity::kSpace:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (line.two_stop_bits) t.c_cflag |= CSTOPB;
  if (line.rtscts) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
  if (line.parity_check) t.c_iflag |= INPCK;
  if (line.xon_output) t.c_iflag |= IXON;
  if (line.xon_input) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(line.xon_char);
  t.c_cc[VSTOP] = static_cast<cc_t>(line.xoff_char);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool CommGetLine(int fd, CommLine& line) {
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  line.baud = SpeedValue(::cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      line.data_bits = 5;
      break;
    case CS6:
      line.data_bits = 6;
      break;
    case CS7:
      line.data_bits = 7;
      break;
    default:
      line.data_bits = 8;
      break;
  }
  if (!(t.c_cflag & PARENB)) {
    line.parity = CommParity::kNone;
  } else if (t.c_cflag & CMSPAR) {
    line.parity = (t.c_cflag & PARODD) ? CommParity::kMark : CommParity::kSpace;
  } else {
    line.parity = (t.c_cflag & PARODD) ? CommParity::kOdd : CommParity::kEven;
  }
  line.two_stop_bits = (t.c_cflag & CSTOPB) != 0;
  line.parity_check = (t.c_iflag & INPCK) != 0;
  line.rtscts = (t.c_cflag & CRTSCTS) != 0;
  line.xon_output = (t.c_iflag & IXON) != 0;
  line.xon_input = (t.c_iflag & IXOFF) != 0;
  line.xon_char = static_cast<char>(t.c_cc[VSTART]);
  line.xoff_char = static_cast<char>(t.c_cc[VSTOP]);
  return true;
}

ssize_t CommRead(int fd, void* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::read(fd, buffer, count);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    SetLastErrorFromErrno(errno);
    return -1;
  }
}

ssize_t CommWrite(int fd, const void* data, size_t count) {
  for (;;) {
    ssize_t n = ::write(fd, data, count);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    SetLastErrorFromErrno(errno);
    return -1;
  }
}

bool CommSuspendOutput(int fd, bool suspend) {
  if (::tcflow(fd, suspend ? TCOOFF : TCOON) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool CommPurge(int fd, bool output, bool input) {
  int which;
  if (output && input) {
    which = TCIOFLUSH;
  } else if (output) {
    which = TCOFLUSH;
  } else if (input) {
    which = TCIFLUSH;
  } else {
    return true;
  }
  if (::tcflush(fd, which) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

uint32_t CommInputQueued(int fd) {
  int n = 0;
  if (::ioctl(fd, TIOCINQ, &n) != 0 || n < 0) return 0;
  return static_cast<uint32_t>(n);
}

uint32_t CommOutputQueued(int fd) {
  int n = 0;
  if (::ioctl(fd, TIOCOUTQ, &n) != 0 || n < 0) return 0;
  return static_cast<uint32_t>(n);
}

CommResult CommGetModemLines(int fd, uint32_t& lines) {
  int bits = 0;
  lines = 0;
  if (::ioctl(fd, TIOCMGET, &bits) != 0) {
    if (IsUnsupported(errno)) return CommResult::kUnsupported;
    SetLastErrorFromErrno(errno);
    return CommResult::kFailed;
  }
  if (bits & TIOCM_DTR) lines |= kCommDTR;
  if (bits & TIOCM_RTS) lines |= kCommRTS;
  if (bits & TIOCM_CTS) lines |= kCommCTS;
  if (bits & TIOCM_DSR) lines |= kCommDSR;
  if (bits & TIOCM_CAR) lines |= kCommDCD;
  if (bits & TIOCM_RNG) lines |= kCommRI;
  return CommResult::kOk;
}

CommResult CommSetModemLines(int fd, uint32_t lines, bool on) {
  int bits = 0;
  if (lines & kCommDTR) bits |= TIOCM_DTR;
  if (lines & kCommRTS) bits |= TIOCM_RTS;
  if (bits == 0) return CommResult::kOk;
  if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
    if (IsUnsupported(errno)) return CommResult::kUnsupported;
    SetLastErrorFromErrno(errno);
    return CommResult::kFailed;
  }
  return CommResult::kOk;
}

CommResult CommSetBreak(int fd, bool on) {
  if (::ioctl(fd, on ? TIOCSBRK : TIOCCBRK) != 0) {
    if (IsUnsupported(errno)) return CommResult::kUnsupported;
    SetLastErrorFromErrno(errno);
    return CommResult::kFailed;
  }
  return CommResult::kOk;
}

CommResult CommGetCounts(int fd, CommCounts& counts) {
  serial_icounter_struct ic{};
  counts = CommCounts{};
  if (::ioctl(fd, TIOCGICOUNT, &ic) != 0) {
    if (IsUnsupported(errno)) return CommResult::kUnsupported;
    SetLastErrorFromErrno(errno);
    return CommResult::kFailed;
  }
  counts.frame = static_cast<uint32_t>(ic.frame);
  counts.overrun = static_cast<uint32_t>(ic.overrun);
  counts.parity = static_cast<uint32_t>(ic.parity);
  counts.brk = static_cast<uint32_t>(ic.brk);
  counts.buf_overrun = static_cast<uint32_t>(ic.buf_overrun);
  return CommResult::kOk;
}

}  // namespace platform
