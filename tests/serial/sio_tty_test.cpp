// The port over pseudo-terminals: line settings, transfer, flushes, a line that
// hangs up, open failures and what an open or a failed open leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "pty_fixture.h"
#include "serial/sio_port.h"
#include "serial/sio_win32_dispatcher.h"

namespace serial::testing {
namespace {

double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::string Pattern(size_t n, uint8_t first) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i * 7);
  return s;
}

class TtyPortTest : public PtyPortTest {
 protected:
  void SetUp() override {
    PtyPortTest::SetUp();
    Link(1, pty.SlaveName());
    port.SetComNumber(1);
  }
  std::string ReadAll(uint16_t count) {
    EXPECT_TRUE(WaitFor(ui, [&] { return port.BytesAvailable() >= count; }))
        << port.BytesAvailable() << " of " << count;
    std::vector<uint8_t> buf(count);
    port.ReadBlock(buf, count);
    return std::string(buf.begin(), buf.end());
  }

  PtyPair pty;
  TSioComPort port;
};

TEST_F(TtyPortTest, OpensByNumberWithTheLineVisibleFromTheOtherSide) {
  port.SetOpen(true);
  ASSERT_TRUE(port.Open());
  termios t = pty.Settings();
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

  // Changes while open reach the line at once.
  port.SetBaud(115200);
  port.SetStopBits(2);
  port.SetHWFlowOptions({hwfUseRTS, hwfRequireCTS});
  port.SetSWFlowOptions(swfBoth);
  t = pty.Settings();
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  port.SetHWFlowOptions({});
  port.SetSWFlowOptions(swfNone);
  t = pty.Settings();
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

  // A speed the line cannot take is refused and leaves the line as it was.
  EXPECT_THROW(port.SetBaud(14400), EInOutError);
  t = pty.Settings();
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));
}

TEST_F(TtyPortTest, MovesBytesBothWaysInOrder) {
  port.SetOpen(true);
  port.WriteText(std::string("\x00\x01\xFF\r\n", 5));
  EXPECT_EQ(pty.Read(5), std::string("\x00\x01\xFF\r\n", 5));

  pty.Write(std::string("\x11\x13\x00zz", 5));
  EXPECT_EQ(ReadAll(5), std::string("\x11\x13\x00zz", 5));

  // Blocks queued faster than the line takes them arrive whole and in order.
  std::string sent;
  for (int i = 0; i < 8; ++i) {
    std::string block = Pattern(900, static_cast<uint8_t>(i * 31));
    ASSERT_TRUE(WaitFor(ui, [&] { return port.BytesPending() + block.size() <= 4096; }));
    port.WriteText(block);
    sent += block;
  }
  EXPECT_EQ(pty.Read(sent.size()), sent);
  EXPECT_TRUE(WaitFor(ui, [&] { return port.BytesPending() == 0; }));

  // A read asks for what it can hold; too much for the destination writes nothing.
  pty.Write("abc");
  ASSERT_TRUE(WaitFor(ui, [&] { return port.BytesAvailable() == 3; }));
  std::vector<uint8_t> small(2, 0xEE);
  EXPECT_THROW(port.ReadBlock(small, 3), std::length_error);
  EXPECT_EQ(small, std::vector<uint8_t>(2, 0xEE));
  EXPECT_EQ(port.BytesAvailable(), 3);
}

// Records what the dispatch thread finds at the head of the input queue.
class RecordingDispatcher : public TSioWin32Dispatcher {
 public:
  using TSioWin32Dispatcher::TSioWin32Dispatcher;
  int32_t InputBytesQueued() override {
    int32_t n = TSioWin32Dispatcher::InputBytesQueued();
    if (n > 0) {
      std::lock_guard lock(mutex);
      seen.push_back(n);
    }
    return n;
  }
  std::vector<int32_t> Seen() {
    std::lock_guard lock(mutex);
    return seen;
  }
  std::mutex mutex;
  std::vector<int32_t> seen;
};

TEST_F(TtyPortTest, ABurstIsQueuedIn256ByteBuffers) {
  RecordingDispatcher* d = nullptr;
  port.SetDispatcherFactory([&](TSioCustomComPort& p) {
    auto r = std::make_unique<RecordingDispatcher>(&p);
    d = r.get();
    return r;
  });
  port.SetOpen(true);
  std::string burst = Pattern(300, 1);
  pty.Write(burst);
  EXPECT_EQ(ReadAll(300), burst);
  EXPECT_EQ(d->Seen(), (std::vector<int32_t>{256, 44}));
}

// A byte read as soon as the count shows it, while the dispatch thread may be in
// the middle of announcing it: every byte comes exactly once and in order, with
// no receiver of the announcements (as the program runs) and with one that reads
// nothing itself.
TEST_F(TtyPortTest, EveryByteIsDeliveredOnceWhateverTheTiming) {
  constexpr int kBytes = 3000;
  for (bool with_receiver : {false, true}) {
    SCOPED_TRACE(with_receiver);
    int announced = 0;
    port.SetOnTriggerAvail(with_receiver ? TTriggerAvailEvent([&](TSioCustomComPort*, uint16_t) {
      ++announced;
    })
                                         : TTriggerAvailEvent());
    port.SetOpen(true);
    std::string got;
    for (int i = 0; i < kBytes; ++i) {
      pty.Write(std::string(1, static_cast<char>(i % 251)));
      const auto start = std::chrono::steady_clock::now();
      while (port.BytesAvailable() == 0) {
        if (with_receiver) ui.ProcessMessages();
        ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << i;
        std::this_thread::yield();
      }
      uint8_t b = 0;
      port.ReadBlock({&b, 1}, 1);
      got.push_back(static_cast<char>(b));
      if (got.back() != static_cast<char>(i % 251)) break;
    }
    // Nothing comes again after the last byte either.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ui.ProcessMessages();
    EXPECT_EQ(port.BytesAvailable(), 0);
    ASSERT_EQ(got.size(), static_cast<size_t>(kBytes));
    for (int i = 0; i < kBytes; ++i) {
      ASSERT_EQ(static_cast<uint8_t>(got[i]), i % 251) << "byte " << i;
    }
    if (with_receiver) {
      EXPECT_GT(announced, 0);
    }
    port.SetOpen(false);
  }
}

TEST_F(TtyPortTest, FlushOutDropsWhatAStalledLineHasNotTaken) {
  port.SetOpen(true);
  // The other side stops our output, as flow control would.
  int peer = ::open(pty.SlaveName().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(peer, 0);
  ASSERT_EQ(::tcflow(peer, TCOOFF), 0);

  port.WriteText(std::string(100, 'A'));  // the writer takes it and stalls
  ASSERT_TRUE(WaitFor(ui, [&] { return port.BytesPending() == 0; }));
  port.WriteText(std::string(50, 'B'));  // stays in the ring behind it
  EXPECT_EQ(port.BytesPending(), 50);
  port.FlushOutBuffer();
  EXPECT_EQ(port.BytesPending(), 0);

  ASSERT_EQ(::tcflow(peer, TCOON), 0);
  port.WriteText("C");
  EXPECT_EQ(pty.Read(1), "C");
  EXPECT_EQ(pty.Drain(), "");
  ::close(peer);

  // Flush in: what arrived is gone, what comes next is read.
  pty.Write("xyz");
  ASSERT_TRUE(WaitFor(ui, [&] { return port.BytesAvailable() == 3; }));
  port.FlushInBuffer();
  EXPECT_EQ(port.BytesAvailable(), 0);
  pty.Write("Q");
  EXPECT_EQ(ReadAll(1), "Q");
}

TEST_F(TtyPortTest, AHungUpLineEndsTheThreadsQuietlyAndTheClosedPortStaysSafe) {
  int notices = 0;
  port.OnDeviceFailure = [&](TSioCustomComPort* sender) {
    EXPECT_EQ(sender, &port);
    EXPECT_TRUE(platform::GetMainThread().IsUiThread());
    ++notices;
  };
  port.SetOpen(true);
  pty.Write("12");
  ASSERT_TRUE(WaitFor(ui, [&] { return port.BytesAvailable() == 2; }));
  const int tasks = CountEntries("/proc/self/task");
  const auto unplugged = std::chrono::steady_clock::now();
  pty.HangUp();  // the adapter is unplugged
  // The owner hears of it at once, once.
  ASSERT_TRUE(WaitFor(ui, [&] { return notices == 1; }, 1000));
  EXPECT_LT(std::chrono::steady_clock::now() - unplugged, std::chrono::milliseconds(500));
  EXPECT_TRUE(port.DeviceFailed());
  ASSERT_TRUE(WaitFor(ui, [&] { return !port.Dispatcher()->ThreadsRunning(); }));
  // The threads have ended, not only said so.
  EXPECT_TRUE(WaitFor(ui, [&] { return CountEntries("/proc/self/task") <= tasks - 4; }));

  // Nothing spins.
  const double before = ProcessCpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_LT(ProcessCpuSeconds() - before, 0.2);

  // The port still reads as open; its data operations do nothing.
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.BytesAvailable(), 0);
  EXPECT_EQ(port.BytesPending(), 0);
  port.WriteText("harmless");
  port.FlushOutBuffer();
  port.FlushInBuffer();
  std::vector<uint8_t> buf(2);
  EXPECT_THROW(port.ReadBlock(buf, 2), EBufferIsEmpty);
  EXPECT_EQ(port.LineError(), 10);  // the failure shows as a line error once
  port.SetOpen(false);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.Dispatcher(), nullptr);
  ui.ProcessMessages();
  EXPECT_EQ(notices, 1);
  EXPECT_TRUE(shown.empty()) << shown.front();
}

TEST_F(TtyPortTest, OpenFailuresNameTheirCause) {
  // Held by another opener (another program's lock).
  TSioComPort other;
  other.SetComNumber(1);
  other.SetOpen(true);
  EXPECT_THROW(port.SetOpen(true), EAlreadyOpen);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.Dispatcher(), nullptr);
  other.SetOpen(false);
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  port.SetOpen(false);

  platform::testing::WriteBytes(home.Temp() / "plain", "not a tty");
  Link(2, home.Temp() / "missing");
  Link(3, home.Temp() / "plain");
  for (uint16_t n : {2, 3}) {
    TSioComPort p;
    p.SetComNumber(n);
    EXPECT_THROW(p.SetOpen(true), EBadId) << n;
    EXPECT_FALSE(p.Open());
  }
  // Without a number and without a selection dialog.
  TSioComPort none;
  EXPECT_THROW(none.SetOpen(true), ENoPortSelected);
  none.SetPromptForPort(false);
  EXPECT_THROW(none.SetOpen(true), ENoPortSelected);
}

TEST_F(TtyPortTest, ThePortSelectionDialogChoosesTheNumber) {
  TSioComPort p;
  int shown_dialogs = 0;
  SetPortSelectionDialog([&](uint16_t& n) {
    ++shown_dialogs;
    n = 1;
    return true;
  });
  p.SetOpen(true);
  EXPECT_TRUE(p.Open());
  EXPECT_EQ(p.ComNumber(), 1);
  p.SetOpen(false);
  TSioComPort q;
  SetPortSelectionDialog([&](uint16_t&) { return false; });
  EXPECT_THROW(q.SetOpen(true), ENoPortSelected);
  SetPortSelectionDialog(nullptr);
  EXPECT_EQ(shown_dialogs, 1);
}

// Root is never denied: then the open runs in a child that has become "nobody".
TEST_F(TtyPortTest, PermissionDeniedTellsTheUserAboutTheDialoutGroup) {
  auto check = [&] {
    try {
      port.SetOpen(true);
    } catch (const EInOutError& e) {
      return std::string(e.what()).find("\"dialout\"") != std::string::npos && !port.Open();
    } catch (...) {
    }
    return false;
  };
  ExpectRefusedToOtherUser(pty, check);
}

TEST_F(TtyPortTest, OpensAndFailedOpensLeaveNoDescriptorOrThreadBehind) {
  platform::testing::WriteBytes(home.Temp() / "plain", "x");
  Link(2, home.Temp() / "missing");
  Link(3, home.Temp() / "plain");
  port.SetOpen(true);  // warm up what the first open allocates once
  port.SetOpen(false);
  const int fds = CountEntries("/proc/self/fd");
  const int tasks = CountEntries("/proc/self/task");
  for (int i = 0; i < 50; ++i) {
    port.SetOpen(true);
    ASSERT_TRUE(port.Open());
    port.WriteText("x");
    ASSERT_EQ(pty.Read(1), "x");
    port.SetOpen(false);
  }
  TSioComPort holder;
  holder.SetComNumber(1);
  holder.SetOpen(true);
  const int fds_held = CountEntries("/proc/self/fd");
  for (int i = 0; i < 50; ++i) {
    TSioComPort p;
    p.SetComNumber(static_cast<uint16_t>(1 + i % 3));  // in use, missing, not a tty
    EXPECT_ANY_THROW(p.SetOpen(true));
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds_held);
  holder.SetOpen(false);
  // A speed the line cannot take fails after the device was opened.
  port.SetBaud(14400);
  for (int i = 0; i < 10; ++i) EXPECT_THROW(port.SetOpen(true), EInOutError);
  EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
  EXPECT_EQ(CountEntries("/proc/self/task"), tasks);
}

TEST_F(TtyPortTest, ChangingTheNumberWhileOpenMovesToTheOtherPort) {
  PtyPair second;
  Link(2, second.SlaveName());
  port.SetOpen(true);
  auto* d = port.Dispatcher();
  const int32_t trigger = d->AddTimerTrigger();
  ASSERT_GT(trigger, 0);
  port.LogName = home.Temp() / "serial.log";
  port.SetLogging(tlOn);
  port.AddLogText("before");
  port.SetComNumber(2);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), 2);
  EXPECT_EQ(port.Logging(), tlOn);
  EXPECT_TRUE(port.Dispatcher()->LoggingOn());
  // The log was started afresh; the trigger came along.
  while (auto b = port.Dispatcher()->LogQueue().Pop()) {
    EXPECT_NE(dynamic_cast<TLogBuffer&>(*b).Type, ltUser);
  }
  EXPECT_EQ(port.Dispatcher()->SetTimerTrigger(trigger, 1, false), 0);
  port.WriteText("2");
  EXPECT_EQ(second.Read(1), "2");
  // The first port is free again.
  TSioComPort first;
  first.SetComNumber(1);
  first.SetOpen(true);
  EXPECT_TRUE(first.Open());
}

}  // namespace
}  // namespace serial::testing
