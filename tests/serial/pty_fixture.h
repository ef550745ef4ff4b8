// A pseudo-terminal pair standing in for a serial line, and a fixture with a
// private data folder whose ports/ folder links comN to such pairs, a UI-thread
// queue the test drains, and a record of the exceptions shown.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <dirent.h>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/folders.h"
#include "platform/main_thread.h"
#include "platform/port_names.h"
#include "serial/sio_errors.h"
#include "tests/services/home_scope.h"

namespace serial::testing {

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname");
    slave_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~PtyPair() { HangUp(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int Master() const { return master_; }
  const std::string& SlaveName() const { return slave_; }
  void HangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  }
  // Reads until count bytes came or timeout_ms passed without reaching it.
  std::string Read(size_t count, int timeout_ms = 5000) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
        char buf[4096];
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
      }
    }
    return got;
  }
  // What arrives within quiet_ms.
  std::string Drain(int quiet_ms = 200) { return Read(1u << 20, quiet_ms); }
  // The line settings as the other side sees them.
  termios Settings() const {
    termios t{};
    ::tcgetattr(master_, &t);
    return t;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

inline int CountEntries(const char* dir) {
  int n = 0;
  if (DIR* d = ::opendir(dir)) {
    while (dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') ++n;
    }
    ::closedir(d);
  }
  return n - (std::string(dir) == "/proc/self/fd" ? 1 : 0);  // the directory's own
}

// Waits (really) until pred holds, processing UI messages; false on time-out.
inline bool WaitFor(platform::QueueMainThread& ui, const std::function<bool()>& pred,
                    uint32_t timeout_ms = 5000) {
  return ui.RunUntil(pred, timeout_ms);
}

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMainThread(&ui);
    SetExceptionDisplay([this](std::exception_ptr e) {
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& x) {
        shown.push_back(x.what());
      } catch (...) {
        shown.push_back("?");
      }
    });
    ASSERT_TRUE(platform::EnsureFolder(platform::PortsFolder()));
  }
  void TearDown() override {
    ui.ProcessMessages();
    SetExceptionDisplay(nullptr);
    platform::SetMainThread(nullptr);
  }
  // Links comN to a path.
  void Link(uint16_t n, const std::string& target) {
    std::string link = platform::PortLinkPath(n);
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << link;
  }

  // Runs check() as a user who may not open the pty: as that user in a child
  // process when the test runs as root (root may open anything), else with the
  // pty's permissions taken away.
  void ExpectRefusedToOtherUser(PtyPair& pty, const std::function<bool()>& check) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (::geteuid() != 0) {
      ASSERT_EQ(::chmod(pty.SlaveName().c_str(), 0), 0);
      EXPECT_TRUE(check());
      return;
    }
    EXPECT_EXIT(
        {
          // The link must stay reachable for the other user.
          for (std::string dir = platform::PortsFolder(); dir.size() > 1;
               dir = dir.substr(0, dir.rfind('/'))) {
            ::chmod(dir.c_str(), 0755);
            if (dir == home.Temp().Path()) break;
          }
          if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
          ::_exit(check() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
  }

  services::testing::HomeScope home;
  platform::QueueMainThread ui;
  std::vector<std::string> shown;
};

}  // namespace serial::testing
