#include "platform/comm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "platform/win_errors.h"
#include "tests/platform/temp_folder.h"

namespace platform {
namespace {

// A pseudo-terminal: the master stays here, the slave is what the port opens.
struct Pty {
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ::grantpt(master);
    ::unlockpt(master);
    char name[128];
    ::ptsname_r(master, name, sizeof name);
    slave = name;
  }
  ~Pty() { ::close(master); }
  int master;
  std::string slave;
};

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) CommClose(fd);
  }
};

TEST(CommOpen, TakesATtyExclusivelyAndNamesEachFailure) {
  Pty pty;
  testing::TempFolder tmp;
  testing::WriteBytes(tmp / "file", "x");

  CommOpenFailure why = CommOpenFailure::kOther;
  Fd first{CommOpen(pty.slave, &why)};
  ASSERT_GE(first.fd, 0);
  EXPECT_EQ(why, CommOpenFailure::kNone);
  EXPECT_TRUE(::fcntl(first.fd, F_GETFD) & FD_CLOEXEC);
  EXPECT_TRUE(::fcntl(first.fd, F_GETFL) & O_NONBLOCK);

  struct Case {
    std::string path;
    CommOpenFailure failure;
    uint32_t error;
  } cases[] = {
      {pty.slave, CommOpenFailure::kInUse, kErrorAccessDenied},  // the lock above
      {tmp / "file", CommOpenFailure::kNoSuchPort, kErrorFileNotFound},
      {tmp / "missing", CommOpenFailure::kNoSuchPort, kErrorFileNotFound},
      {"", CommOpenFailure::kNoSuchPort, kErrorFileNotFound},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(CommOpen(c.path, &why), -1) << c.path;
    EXPECT_EQ(why, c.failure) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
  // Closing releases the lock.
  CommClose(first.fd);
  first.fd = -1;
  Fd again{CommOpen(pty.slave, &why)};
  EXPECT_GE(again.fd, 0);
}

// The slave belongs to the user who made it (mode 0620); root is never denied,
// so as root the open runs in a child that has become "nobody".
TEST(CommOpen, PermissionDeniedIsToldApartFromInUse) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Pty pty;
  auto denied = [&] {
    CommOpenFailure why = CommOpenFailure::kNone;
    return CommOpen(pty.slave, &why) == -1 && why == CommOpenFailure::kPermissionDenied &&
           GetLastError() == kErrorAccessDenied;
  };
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(pty.slave.c_str(), 0), 0);
    EXPECT_TRUE(denied());
    return;
  }
  EXPECT_EXIT(
      {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        ::_exit(denied() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// Pseudo-terminals always run 8 data bits without parity; what they keep of the
// settings is checked from the other side.
TEST(CommLine, SettingsReachTheOtherSideInRawMode) {
  Pty pty;
  Fd port{CommOpen(pty.slave)};
  ASSERT_GE(port.fd, 0);
  CommLine two_stop{9600};
  two_stop.two_stop_bits = true;
  CommLine rtscts{115200};
  rtscts.rtscts = true;
  rtscts.parity_check = true;
  CommLine xon{38400};
  xon.xon_output = xon.xon_input = true;
  xon.xon_char = 'Q';
  xon.xoff_char = 'S';
  struct Case {
    CommLine line;
    speed_t speed;
    tcflag_t cflags;  // of CSTOPB|CRTSCTS
    tcflag_t iflags;  // of IXON|IXOFF|INPCK
  } cases[] = {
      {{19200}, B19200, 0, 0},
      {two_stop, B9600, CSTOPB, 0},
      {rtscts, B115200, CRTSCTS, INPCK},
      {xon, B38400, 0, IXON | IXOFF},
      {{2400}, B2400, 0, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(CommSetLine(port.fd, c.line)) << c.line.baud;
    termios t{};
    ASSERT_EQ(::tcgetattr(pty.master, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), c.speed);
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), c.cflags) << c.line.baud;
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), c.iflags) << c.line.baud;
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | ISTRIP), 0u);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_EQ(t.c_cc[VSTART], static_cast<cc_t>(c.line.xon_char));
    EXPECT_EQ(t.c_cc[VSTOP], static_cast<cc_t>(c.line.xoff_char));
    CommLine back;
    ASSERT_TRUE(CommGetLine(port.fd, back));
    EXPECT_EQ(back, c.line);
  }
}

TEST(CommLine, RefusesWhatItCannotSetAndKeepsTheSpeedForZero) {
  Pty pty;
  Fd port{CommOpen(pty.slave)};
  ASSERT_TRUE(CommSetLine(port.fd, {19200, 8}));
  for (CommLine bad : {CommLine{14400, 8}, CommLine{56000, 8}, CommLine{9600, 9}}) {
    SetLastError(0);
    EXPECT_FALSE(CommSetLine(port.fd, bad)) << bad.baud;
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  }
  CommLine now;
  ASSERT_TRUE(CommGetLine(port.fd, now));
  EXPECT_EQ(now.baud, 19200u);  // nothing changed
  CommLine keep{0};
  keep.two_stop_bits = true;
  ASSERT_TRUE(CommSetLine(port.fd, keep));
  ASSERT_TRUE(CommGetLine(port.fd, now));
  EXPECT_EQ(now.baud, 19200u);
  EXPECT_TRUE(now.two_stop_bits);
  EXPECT_FALSE(CommBaudSupported(0));
  EXPECT_TRUE(CommBaudSupported(115200));
}

TEST(CommTransfer, NonBlockingBothWaysAndPurge) {
  Pty pty;
  Fd port{CommOpen(pty.slave)};
  ASSERT_TRUE(CommSetLine(port.fd, {19200, 8}));
  char buf[16];
  EXPECT_EQ(CommRead(port.fd, buf, sizeof buf), 0);  // nothing there: no wait
  EXPECT_EQ(CommWrite(port.fd, "ping", 4), 4);
  char got[8] = {};
  for (int i = 0; i < 500 && ::read(pty.master, got, 4) <= 0; ++i) ::usleep(1000);
  EXPECT_EQ(std::string(got, 4), "ping");
  ASSERT_EQ(::write(pty.master, "pong", 4), 4);
  ssize_t n = 0;
  for (int i = 0; i < 500 && (n = CommRead(port.fd, buf, sizeof buf)) == 0; ++i) ::usleep(1000);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), "pong");

  ASSERT_EQ(::write(pty.master, "junk", 4), 4);
  for (int i = 0; i < 500 && CommInputQueued(port.fd) < 4; ++i) ::usleep(1000);
  EXPECT_EQ(CommInputQueued(port.fd), 4u);
  EXPECT_TRUE(CommPurge(port.fd, false, true));
  EXPECT_EQ(CommInputQueued(port.fd), 0u);
  EXPECT_EQ(CommRead(port.fd, buf, sizeof buf), 0);

  // The other side gone: the line is hung up, reads find nothing, writes fail.
  ::close(pty.master);
  pty.master = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  pollfd p{port.fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  EXPECT_EQ(CommRead(port.fd, buf, sizeof buf), 0);
  EXPECT_EQ(CommWrite(port.fd, "x", 1), -1);
  EXPECT_EQ(GetLastError(), kErrorGenFailure);
}

TEST(CommModem, PseudoTerminalsHaveNoLinesAndSayItQuietly) {
  Pty pty;
  Fd port{CommOpen(pty.slave)};
  SetLastError(0);
  uint32_t lines = 0xFF;
  CommCounts counts;
  EXPECT_EQ(CommGetModemLines(port.fd, lines), CommResult::kUnsupported);
  EXPECT_EQ(lines, 0u);
  EXPECT_EQ(CommSetModemLines(port.fd, kCommDTR | kCommRTS, true), CommResult::kUnsupported);
  EXPECT_EQ(CommGetCounts(port.fd, counts), CommResult::kUnsupported);
  EXPECT_EQ(GetLastError(), 0u);
  // A closed descriptor is a failure, not "unsupported".
  EXPECT_EQ(CommGetModemLines(-1, lines), CommResult::kFailed);
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

}  // namespace
}  // namespace platform
