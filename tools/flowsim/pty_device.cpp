#include "tools/flowsim/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <time.h>
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

double PtyDevice::ServeCpuSeconds() {
  if (!thread_.joinable()) return 0;
  clockid_t id;
  timespec t{};
  if (::pthread_getcpuclockid(thread_.native_handle(), &id) != 0 || ::clock_gettime(id, &t) != 0) {
    return 0;
  }
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

bool PtyDevice::Sleep(int ms) {
  return SleepUntil(Clock::now() + std::chrono::milliseconds(ms));
}

bool PtyDevice::SleepUntil(Clock::time_point end) {
  for (;;) {
    // Microsecond waits: line timing at 115200 baud is 87 us a byte, and a wait
    // that wakes early or late by a millisecond would show in every exchange.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(end - Clock::now());
    if (left.count() <= 0) return true;
    const timespec t{static_cast<time_t>(left.count() / 1000000000),
                     static_cast<long>(left.count() % 1000000000)};
    pollfd p{stop_, POLLIN, 0};
    const int r = ::ppoll(&p, 1, &t, nullptr);
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
  // Ten bits a byte: a byte is there for the other side once its stop bit is.
  const auto start = Clock::now();
  const double byteNanos = 10.0 * 1e9 / reply.paceBaud;
  for (std::size_t i = 0; i < reply.bytes.size(); ++i) {
    const auto due = start + std::chrono::nanoseconds(static_cast<std::int64_t>(byteNanos * (i + 1)));
    if (!SleepUntil(due)) return false;
    if (!WriteAll(&reply.bytes[i], 1)) return false;
  }
  return true;
}

bool PtyDevice::Receive(const std::uint8_t* bytes, std::size_t size) {
  const int baud = simulator_.PacingBaud();
  if (baud <= 0) {
    for (const Reply& reply : simulator_.Receive(std::span<const std::uint8_t>(bytes, size))) {
      if (!Send(reply)) return false;
    }
    return true;
  }
  // The bytes cross the line one after the other; the device sees each only
  // once its stop bit is in, so a request is complete one line time after it
  // left the other side, not as soon as the terminal handed it over.
  const auto byteTime = std::chrono::nanoseconds(static_cast<std::int64_t>(10.0 * 1e9 / baud));
  inputFree_ = std::max(inputFree_, Clock::now());
  for (std::size_t i = 0; i < size; ++i) {
    inputFree_ += byteTime;
    if (!SleepUntil(inputFree_)) return false;
    for (const Reply& reply : simulator_.Receive(std::span<const std::uint8_t>(bytes + i, 1))) {
      if (!Send(reply)) return false;
    }
  }
  return true;
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
      if (n > 0 && !Receive(buffer, static_cast<std::size_t>(n))) return;
    } else if (p[0].revents & (POLLHUP | POLLERR)) {
      // Cannot happen while our slave descriptor is open; do not spin if it does.
      if (!Sleep(50)) return;
    }
  }
}

}  // namespace flowsim
