#include "tools/flowsim/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <system_error>

namespace flowsim {

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

PtyDevice::~PtyDevice() {
  Stop();
}

void PtyDevice::Start() {
  if (Running()) return;
  try {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) ThrowErrno("posix_openpt");
    if (::grantpt(master_) != 0) ThrowErrno("grantpt");
    if (::unlockpt(master_) != 0) ThrowErrno("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) ThrowErrno("ptsname_r");
    slavePath_ = name;
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) ThrowErrno("fcntl");

    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) ThrowErrno("open pty slave");
    // Binary frames: no echo, no line editing, no character translation.
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) ThrowErrno("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0) ThrowErrno("tcsetattr");

    stop_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop_ < 0) ThrowErrno("eventfd");
  } catch (...) {
    CloseFd(stop_);
    CloseFd(slave_);
    CloseFd(master_);
    slavePath_.clear();
    throw;
  }
  thread_ = std::thread([this] { Serve(); });
}

void PtyDevice::Stop() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_, &one, sizeof one);
    thread_.join();
  }
  CloseFd(stop_);
  CloseFd(slave_);
  CloseFd(master_);
}

bool PtyDevice::Sleep(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    // Rounded up: waking early would cut a delay short.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    pollfd p{stop_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r > 0) return false;
  }
}

bool PtyDevice::WriteAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(master_, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return true;  // nobody to hear it: drop the reply
    // The client is not reading; give it a second, then drop the rest.
    pollfd p[2] = {{master_, POLLOUT, 0}, {stop_, POLLIN, 0}};
    const int r = ::poll(p, 2, 1000);
    if (r <= 0) return true;
    if (p[1].revents & POLLIN) return false;
  }
  return true;
}

bool PtyDevice::Send(const Reply& reply) {
  if (reply.bytes.empty()) return true;
  if (reply.delayMs > 0 && !Sleep(reply.delayMs)) return false;
  if (reply.paceBaud <= 0) return WriteAll(reply.bytes.data(), reply.bytes.size());
  // Ten bits a byte: each byte leaves when the line would have finished the one before.
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const double byteMicros = 10.0 * 1e6 / reply.paceBaud;
  for (std::size_t i = 0; i < reply.bytes.size(); ++i) {
    const auto due = start + std::chrono::microseconds(static_cast<std::int64_t>(byteMicros * i));
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
    if (wait.count() > 0 && !Sleep(static_cast<int>(wait.count()))) return false;
    if (!WriteAll(&reply.bytes[i], 1)) return false;
  }
  // The last byte takes its own time on the line, too.
  const auto end =
      start + std::chrono::microseconds(static_cast<std::int64_t>(byteMicros * reply.bytes.size()));
  const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
  return rest.count() <= 0 || Sleep(static_cast<int>(rest.count()));
}

void PtyDevice::Serve() {
  std::uint8_t buffer[512];
  for (;;) {
    int timeout = -1;
    if (const auto deadline = simulator_.PartialFrameDeadline()) {
      // The deadline is in the simulator's time; with an injected clock it may
      // not move, so look again at least every 100 ms.
      const std::int64_t left = *deadline - FlowSimulator::SteadyMilliseconds();
      timeout = static_cast<int>(std::clamp<std::int64_t>(left, 1, 100));
    }
    pollfd p[2] = {{master_, POLLIN, 0}, {stop_, POLLIN, 0}};
    const int r = ::poll(p, 2, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || (p[1].revents & POLLIN)) return;
    if (r == 0) {
      simulator_.Poll();
      continue;
    }
    if (p[0].revents & POLLIN) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        for (const Reply& reply : simulator_.Receive(
                 std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)))) {
          if (!Send(reply)) return;
        }
      }
    } else if (p[0].revents & (POLLHUP | POLLERR)) {
      // Cannot happen while our slave descriptor is open; do not spin if it does.
      if (!Sleep(50)) return;
    }
  }
}

}  // namespace flowsim
