// A stand-in device on a pseudo-terminal that answers each request with bytes a
// test chooses, for replies no real device would give (extra bytes, chosen
// checksums, exact sensor values).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/devicelink/link_fixture.h"

namespace devicelink::testing {

class ScriptedPeer {
 public:
  // Gets the request bytes, returns the reply to send (empty: no answer).
  using Handler = std::function<std::string(const std::string& request)>;

  explicit ScriptedPeer(Handler handler) : handler_(std::move(handler)) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slave_path_ = ::ptsname(master_);
    // Keep one slave open so the master never sees a hang-up between opens.
    slave_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    ::tcgetattr(slave_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
    stop_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedPeer() {
    uint64_t one = 1;
    (void)!::write(stop_, &one, sizeof one);
    thread_.join();
    ::close(stop_);
    ::close(slave_);
    ::close(master_);
  }
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  const std::string& SlavePath() const { return slave_path_; }
  std::vector<std::string> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void Serve() {
    std::string pending;
    for (;;) {
      pollfd fds[2] = {{master_, POLLIN, 0}, {stop_, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) continue;
      char buf[512];
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      pending.append(buf, static_cast<size_t>(n));
      for (;;) {
        size_t need = FrameLength(pending);
        if (need == 0 || pending.size() < need) break;
        std::string request = pending.substr(0, need);
        pending.erase(0, need);
        {
          std::lock_guard lock(mutex_);
          requests_.push_back(request);
        }
        std::string reply = handler_(request);
        if (!reply.empty()) (void)!::write(master_, reply.data(), reply.size());
      }
    }
  }
  static size_t FrameLength(const std::string& s) {
    if (s.size() < 4) return 0;
    if (static_cast<uint8_t>(s[0]) == 0xA0) return 6 + static_cast<uint8_t>(s[3]);
    return 4;
  }

  Handler handler_;
  int master_ = -1;
  int slave_ = -1;
  int stop_ = -1;
  std::string slave_path_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
};

// The reply a device gives to a read request: echo, data, sum of both.
inline std::string ReadReply(const std::string& request, const std::string& data) {
  std::string reply = request.substr(0, 4) + data;
  uint32_t sum = 0;
  for (char c : reply) sum += static_cast<uint8_t>(c);
  reply.push_back(static_cast<char>((sum >> 8) & 0xFF));
  reply.push_back(static_cast<char>(sum & 0xFF));
  return reply;
}

// The link test with the scripted peer in place of the simulated device.
class ScriptedLinkTest : public LinkTest {
 protected:
  void Serve(ScriptedPeer::Handler handler) {
    peer_ = std::make_unique<ScriptedPeer>(std::move(handler));
    port_->SetOpen(false);
    link_.reset();
    link_ = std::make_unique<flowsim::PortLink>(home_.DataFolder() + "/ports", 1,
                                                peer_->SlavePath());
  }
  std::unique_ptr<ScriptedPeer> peer_;
};

}  // namespace devicelink::testing
