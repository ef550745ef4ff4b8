// The reply handling of a device exchange on any bytes the line may bring: each
// poll of the exchange finds the next piece of the input in the port. A read
// that succeeds holds its own echo, its data and a fitting checksum; a write
// that succeeds was acknowledged by one byte other than the reject byte.
//
// Input: byte 0 bit 0 write (else read), byte 1 the data length (1..240), then
// pieces, each a length byte and that many bytes, one piece per poll.
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "serial/sio_port.h"
#include "tests/serial/fake_device.h"

namespace {

// A line that takes what is written at once and brings one piece of the input
// each time the exchange waits.
class ScriptedLine : public serial::testing::FakeDevice {
 public:
  using FakeDevice::FakeDevice;
  std::vector<std::string> pieces;
  size_t next = 0;

  void Poll() {
    {
      std::lock_guard lock(output_lock_);
      out_head_ = out_tail_ = 0;
      out_full_ = false;
    }
    if (next < pieces.size()) input.push_back(pieces[next++]);
    // Into the ring until it is full; an empty piece brings nothing.
    while (!input.empty() && !FillReceiveBuffer()) {
      if (!input.empty() && input.front().empty()) input.pop_front();
    }
  }
};

class PollClock : public platform::Clock {
 public:
  uint32_t TickCount() override { return tick_; }
  void Sleep(uint32_t ms) override {
    tick_ += ms;
    if (line) line->Poll();
  }
  platform::LocalDateTime Now() override { return {2024, 1, 1, 0, 0, 0, 0}; }
  ScriptedLine* line = nullptr;

 private:
  uint32_t tick_ = 0;
};

struct Setup {
  platform::QueueMainThread ui;
  PollClock clock;
  serial::TSioComPort port;
  ScriptedLine* line = nullptr;

  Setup() {
    platform::SetMainThread(&ui);
    platform::SetClock(&clock);
    port.SetDispatcherFactory([this](serial::TSioCustomComPort& p) {
      auto d = std::make_unique<ScriptedLine>(&p);
      line = d.get();
      return d;
    });
    port.SetComNumber(1);
    port.SetOpen(true);
    clock.line = line;
    devicelink::SetComPort(&port);
    devicelink::TransferTimeout = 100;
    devicelink::TraceLevel = 0;
  }
};

uint16_t Sum(const std::string& s, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += static_cast<uint8_t>(s[i]);
  return static_cast<uint16_t>(sum);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup* setup = new Setup;  // lives for the process, as libFuzzer never returns
  if (size < 2) return 0;
  const bool write = data[0] & 1;
  const uint8_t n = static_cast<uint8_t>(data[1] % 240 + 1);
  ScriptedLine& line = *setup->line;
  line.pieces.clear();
  line.next = 0;
  for (size_t at = 2; at < size;) {
    const size_t length = std::min<size_t>(data[at], size - at - 1);
    line.pieces.emplace_back(reinterpret_cast<const char*>(data + at + 1), length);
    at += 1 + length;
  }
  setup->port.FlushInBuffer();
  devicelink::DeviceOnline = true;

  const std::string request = {static_cast<char>(write ? devicelink::kWriteRequest
                                                      : devicelink::kReadRequest),
                               '\x81', '\x00', static_cast<char>(n)};
  std::string message = write ? request + std::string(n, '\x5A') : request;
  const int32_t errors = devicelink::ErrorCount;
  const bool ok = devicelink::TransferFrame(message, 255, write ? 1 : n + 4);
  if (devicelink::ErrorCount < errors || devicelink::ErrorCount - errors > 4) std::abort();
  if (!ok) {
    if (!message.empty() && devicelink::ErrorCount - errors >= 3) std::abort();
    return 0;
  }
  if (write) {
    if (message.size() != 1 || static_cast<uint8_t>(message[0]) == devicelink::kRejectByte) {
      std::abort();
    }
    return 0;
  }
  const size_t total = static_cast<size_t>(n) + 6;
  if (message.size() != total || message.compare(0, 4, request) != 0) std::abort();
  const uint16_t stated = static_cast<uint16_t>(static_cast<uint8_t>(message[total - 2]) << 8 |
                                                static_cast<uint8_t>(message[total - 1]));
  if (stated != Sum(message, total - 2)) std::abort();
  return 0;
}
