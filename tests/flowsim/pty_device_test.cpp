#include "tools/flowsim/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sim_fixture.h"
#include "tools/flowsim/port_link.h"

extern char** environ;

namespace flowsim {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/flowsim_test_XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// A minimal serial client, as a program would open the port.
class RawClient {
 public:
  explicit RawClient(const fs::path& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B9600);
    ::tcsetattr(fd_, TCSANOW, &tio);
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  void Send(const Bytes& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Collects up to `want` bytes, stopping `quietMs` after the last one arrived.
  Bytes Receive(std::size_t want, int firstMs = 2000, int quietMs = 100) {
    Bytes got;
    int wait = firstMs;
    while (got.size() < want) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, wait) <= 0) break;
      std::uint8_t buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
      wait = quietMs;
    }
    return got;
  }

 private:
  int fd_ = -1;
};

class PtyDeviceTest : public ::testing::Test {
 protected:
  FlowSimulator sim{SimulatorOptions{}};
  PtyDevice device{sim};
  TempFolder folder;
};

TEST_F(PtyDeviceTest, AnswersFramesThroughTheLinkedPort) {
  device.Start();
  PortLink link(folder.path() / "ports", 3, device.SlavePath());
  EXPECT_EQ(link.path(), folder.path() / "ports" / "com3");
  EXPECT_EQ(fs::read_symlink(link.path()), device.SlavePath());

  RawClient client(link.path());
  ASSERT_TRUE(client.ok());
  client.Send(test::ReadFrame(0x80B0, 8));
  const Bytes reply = client.Receive(14);
  ASSERT_EQ(reply.size(), 14u);
  EXPECT_EQ(std::string(reply.begin() + 4, reply.begin() + 12), "MV-NGX7 ");
  EXPECT_TRUE(test::ChecksumFits(reply));

  // Binary data crosses unmangled: CR, LF, XON/XOFF, DEL and 0xFF bytes.
  const Bytes awkward = {0x0D, 0x0A, 0x11, 0x13, 0x7F, 0xFF, 0x03, 0x04};
  client.Send(test::WriteFrame(0x9120, awkward));
  EXPECT_EQ(client.Receive(1), Bytes{kAcceptByte});
  client.Send(test::ReadFrame(0x9120, 8));
  const Bytes back = client.Receive(14);
  ASSERT_EQ(back.size(), 14u);
  EXPECT_EQ(Bytes(back.begin() + 4, back.begin() + 12), awkward);
  EXPECT_EQ(sim.RequestCount(), 3u);
}

TEST_F(PtyDeviceTest, ServesClientAfterClient) {
  device.Start();
  for (int round = 0; round < 2; ++round) {
    RawClient client(device.SlavePath());
    ASSERT_TRUE(client.ok());
    client.Send(test::ReadFrame(0xA000, 16));
    EXPECT_EQ(client.Receive(22).size(), 22u) << "round " << round;
  }
  // While no client is open the server waits quietly.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(device.Running());
  device.Stop();
  EXPECT_FALSE(device.Running());
}

// Both directions take their line time: the device sees a request only once its
// last byte is in, takes its turnaround, and each reply byte arrives once its
// stop bit would have.
TEST_F(PtyDeviceTest, PacesBothDirectionsAtTheBaudRateAfterTheTurnaround) {
  sim.SetPacing(9600);
  sim.SetTurnaround(20);
  device.Start();
  RawClient client(device.SlavePath());
  ASSERT_TRUE(client.ok());
  const auto start = Clock::now();
  client.Send(test::ReadFrame(0x8420, 128));
  const Bytes first = client.Receive(1);
  const double first_ms =
      std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const Bytes rest = client.Receive(133);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  ASSERT_EQ(first.size() + rest.size(), 134u);
  // 4 request bytes, 20 ms, then the first reply byte: 5 bytes of 1.04 ms each.
  EXPECT_GE(first_ms, 5 * 10000.0 / 9600 + 20);
  EXPECT_LT(first_ms, 200);
  // 138 bytes and the turnaround: 163.75 ms.
  EXPECT_GE(ms, 138 * 10000.0 / 9600 + 20);
  EXPECT_LT(ms, 1000);
}

TEST_F(PtyDeviceTest, LateAndMissingReplies) {
  device.Start();
  RawClient client(device.SlavePath());
  ASSERT_TRUE(client.ok());
  sim.InjectFault(FaultKind::NoAnswer, 1);
  client.Send(test::ReadFrame(0x80B0, 8));
  EXPECT_TRUE(client.Receive(14, 200).empty());
  sim.InjectFault(FaultKind::LateReply, 1, 150);
  const auto start = Clock::now();
  client.Send(test::ReadFrame(0x80B0, 8));
  EXPECT_EQ(client.Receive(14).size(), 14u);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
}

TEST_F(PtyDeviceTest, StopEndsAWaitingLateReply) {
  device.Start();
  RawClient client(device.SlavePath());
  sim.InjectFault(FaultKind::LateReply, 1, 60'000);
  client.Send(test::ReadFrame(0x80B0, 8));
  ASSERT_TRUE(sim.WaitForRequests(1, std::chrono::seconds(2)));
  const auto start = Clock::now();
  device.Stop();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST(PortLinkTest, ReplacesOnlyDanglingLinks) {
  TempFolder folder;
  const fs::path com1 = folder.path() / "com1";

  fs::create_symlink(folder.path() / "gone", com1);
  {
    PortLink link(folder.path(), 1, "/dev/null");
    EXPECT_EQ(fs::read_symlink(com1), "/dev/null");
    // A link to a real port is the user's and stays.
    EXPECT_THROW(PortLink(folder.path(), 1, "/dev/zero"), std::runtime_error);
    EXPECT_EQ(fs::read_symlink(com1), "/dev/null");
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(com1)));

  // A link to a pseudo-terminal that exists (a reused number) is replaced.
  FlowSimulator sim;
  PtyDevice device(sim);
  device.Start();
  fs::create_symlink(device.SlavePath(), com1);
  {
    PortLink link(folder.path(), 1, "/dev/null");
    EXPECT_EQ(fs::read_symlink(com1), "/dev/null");
  }

  std::ofstream(com1) << "a file";
  EXPECT_THROW(PortLink(folder.path(), 1, "/dev/null"), std::runtime_error);
  EXPECT_TRUE(fs::is_regular_file(com1));
}

TEST(PortLinkTest, LeavesALinkSomebodyElseReplaced) {
  TempFolder folder;
  const fs::path com2 = folder.path() / "com2";
  {
    PortLink link(folder.path(), 2, "/dev/null");
    fs::remove(com2);
    fs::create_symlink("/dev/zero", com2);
  }
  EXPECT_EQ(fs::read_symlink(com2), "/dev/zero");
}

class EnvironmentTest : public ::testing::Test {
 protected:
  void Set(const char* name, const char* value) {
    if (const char* old = std::getenv(name))
      saved_.emplace_back(name, std::string(old));
    else
      saved_.emplace_back(name, std::nullopt);
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~EnvironmentTest() override {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        ::unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(EnvironmentTest, PortsFolderFollowsTheDataFolder) {
  Set("HOME", "/home/op");
  Set("XDG_DATA_HOME", "/data");
  EXPECT_EQ(DefaultPortsFolder(), fs::path("/data/vandrel2/ports"));
  Set("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(DefaultPortsFolder(), fs::path("/home/op/.local/share/vandrel2/ports"));
  Set("XDG_DATA_HOME", "relative");  // not absolute: ignored
  EXPECT_EQ(DefaultPortsFolder(), fs::path("/home/op/.local/share/vandrel2/ports"));
}

#ifdef FLOWSIM_EXECUTABLE
TEST(FlowsimExecutableTest, LinksItsPortUntilStopped) {
  TempFolder folder;
  const fs::path link = folder.path() / "vandrel2" / "ports" / "com4";
  const std::string xdg = "XDG_DATA_HOME=" + folder.path().string();
  const std::string home = "HOME=" + folder.path().string();
  char* env[] = {const_cast<char*>(xdg.c_str()), const_cast<char*>(home.c_str()), nullptr};
  const char* argv[] = {FLOWSIM_EXECUTABLE, "--steam", "--port", "4", nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, FLOWSIM_EXECUTABLE, &actions, nullptr, const_cast<char**>(argv), env),
            0);
  posix_spawn_file_actions_destroy(&actions);

  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!fs::is_symlink(fs::symlink_status(link)) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  {
    RawClient client(link);
    ASSERT_TRUE(client.ok());
    client.Send(test::ReadFrame(0x80B0, 8));
    const Bytes reply = client.Receive(14);
    ASSERT_EQ(reply.size(), 14u);
    EXPECT_EQ(std::string(reply.begin() + 4, reply.begin() + 12), "MV-HTX7 ");
  }
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}
#endif

}  // namespace
}  // namespace flowsim
