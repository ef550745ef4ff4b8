#include "devicelink/frame_transfer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/device_run.h"
#include "devicelink/link_state.h"
#include "devicelink/window_link.h"
#include "devicelink/window_scopes.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/main_thread.h"
#include "platform/text_encoding.h"
#include "serial/sio_port.h"

namespace devicelink {
namespace {

constexpr int kAttempts = 4;
constexpr uint32_t kPollMs = 20;
constexpr uint32_t kGapMs = 50;
constexpr uint32_t kRetryPauseMs = 50;
constexpr uint32_t kTraceLogSize = 100000;
// An exchange that waits longer shows the hourglass until it ends.
constexpr uint32_t kSignAfterMs = 500;

serial::TSioComPort* g_port = nullptr;
bool g_in_exchange = false;

// Tick comparison that survives the 32-bit wrap.
bool After(uint32_t t, uint32_t deadline) {
  return static_cast<int32_t>(t - deadline) > 0;
}

std::string TraceFileName() {
  const platform::LocalDateTime today = platform::Now();
  std::string folder = platform::LocalDataFolder();
  if (!folder.empty()) platform::EnsureFolder(folder);
  return folder + "/" + platform::ZeroPad(today.year, 4) + "-" + platform::ZeroPad(today.month, 2) +
         "-" + platform::ZeroPad(today.day, 2) + "-rs232.log";
}

std::string HexBytes(const uint8_t* bytes, size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

uint16_t Sum(const uint8_t* bytes, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += bytes[i];
  return static_cast<uint16_t>(sum);
}

// Marks the one exchange that may use the port; released on every way out.
class ExchangeGuard {
 public:
  ExchangeGuard() { g_in_exchange = true; }
  ~ExchangeGuard() { g_in_exchange = false; }
  ExchangeGuard(const ExchangeGuard&) = delete;
  ExchangeGuard& operator=(const ExchangeGuard&) = delete;
};

// The port's device went away (an adapter unplugged): the link is down at once,
// not after the next exchange's time-outs, and the port is closed so that a
// connect opens it afresh.
void DeviceLost(serial::TSioCustomComPort* sender) {
  if (sender == nullptr || sender != g_port) return;
  const bool was_online = DeviceOnline;
  DeviceOnline = false;
  try {
    sender->SetOpen(false);
  } catch (const std::exception&) {
    // The close completes whatever its log writing reports.
  }
  WindowLink().SetOnlineLabel("OFFLINE", kColourRed);
  if (was_online) WindowLink().LinkLost();
}

}  // namespace

void SetComPort(serial::TSioComPort* port) {
  if (g_port != nullptr && g_port != port) g_port->OnDeviceFailure = nullptr;
  g_port = port;
  if (port != nullptr) port->OnDeviceFailure = DeviceLost;
}

serial::TSioComPort* ComPort() {
  return g_port;
}

void AppendChecksum(std::string& message, size_t maxLength) {
  uint16_t sum = Sum(reinterpret_cast<const uint8_t*>(message.data()), message.size());
  if (message.size() < maxLength) message.push_back(static_cast<char>(sum >> 8));
  if (message.size() < maxLength) message.push_back(static_cast<char>(sum & 0xFF));
}

void DelayMs(uint32_t ms) {
  const uint32_t start = platform::GetTickCount();
  for (;;) {
    const uint32_t now = platform::GetTickCount();
    if (now < start || now - start > ms) return;
    platform::ProcessMessages();
    platform::Sleep(10);
  }
}

bool ExchangeRunning() {
  return g_in_exchange;
}

bool TransferFrame(std::string& message, size_t maxLength, int32_t expected) {
  // A handler that runs while another exchange waits must not flush that
  // exchange's reply away or take it as its own.
  if (!DeviceOnline || g_in_exchange || g_port == nullptr || message.empty()) {
    return false;
  }
  serial::TSioComPort& port = *g_port;
  const uint8_t command = static_cast<uint8_t>(message[0]);
  const bool write = command == kWriteRequest;
  const uint16_t address =
      message.size() >= 3
          ? static_cast<uint16_t>(static_cast<uint8_t>(message[1]) << 8 | static_cast<uint8_t>(message[2]))
          : 0;
  // The run decides whether its request may still go out: not after the
  // close ended it, never to a port other than the one it began on.
  TRun* run = CurrentRun();
  if (run != nullptr && !run->Admit(port, write, address)) return false;
  ExchangeGuard guard;

  // A device that failed is down, as if the port were closed; its notice may
  // still be on its way.
  if (port.Open() && port.DeviceFailed()) {
    DeviceLost(&port);
    if (run != nullptr) run->Completed(false, write, address);
    return false;
  }
  if (!port.Open()) port.SetOpen(true);
  if (run != nullptr) run->Bind(port);
  // Gone from under the exchange (closed by a handler, or the device failed):
  // no further waiting.
  const auto lost = [&port] { return !port.Open() || port.DeviceFailed(); };
  // A device that does not answer keeps the window waiting for seconds: the
  // operator sees that it waits.
  const uint32_t started = platform::GetTickCount();
  std::optional<TCursorScope> hourglass;
  const auto poll = [&] {
    platform::Sleep(kPollMs);
    platform::ProcessMessages();
    if (!hourglass && platform::GetTickCount() - started > kSignAfterMs) hourglass.emplace();
  };

  if (command == kWriteRequest) {
    AppendChecksum(message, maxLength);
  } else if (command == kReadRequest) {
    expected += 2;
  }
  if (expected < 1 || static_cast<size_t>(expected) > kMaxMessage) return false;
  if (command == kReadRequest && message.size() < 4) return false;

  const bool tracing = TraceLevel > 0;
  auto log = [&](const std::string& text) {
    if (tracing) port.AddLogText(text);
  };
  if (tracing) {
    port.LogName = TraceFileName();
    port.SetLogSize(kTraceLogSize);
    port.LogHex = true;
    port.LogAllHex = true;
    port.SetLogging(serial::tlOn);
  }

  // The request as sent: a read reply must echo its first four bytes.
  const std::string request = message;
  const int32_t snapshot = ErrorCount;
  std::array<uint8_t, kMaxMessage> reply{};
  const uint32_t timeout = static_cast<uint32_t>(TransferTimeout < 0 ? 0 : TransferTimeout);
  bool success = false;
  int succeeded_at = 0;
  for (int attempt = 1; attempt <= kAttempts && !success; ++attempt) {
    if (attempt > 1) DelayMs(kRetryPauseMs);
    // Closed meanwhile by a handler (a disconnect): never reopen it behind the
    // operator's back; the exchange has failed.
    if (lost()) break;

    log("FlushOutBuffer");
    port.FlushOutBuffer();
    platform::ProcessMessages();
    if (lost()) break;
    log("FlushInBuffer");
    port.FlushInBuffer();
    platform::ProcessMessages();
    if (lost()) break;
    log("Transmit " + std::to_string(message.size()) + " Zeichen...");
    port.WriteText(message);

    // Send wait.
    uint32_t t0 = platform::GetTickCount();
    uint32_t deadline = t0 + timeout;
    uint32_t t;
    do {
      poll();
      t = platform::GetTickCount();
    } while (port.BytesPending() != 0 && !After(t, deadline) && !lost());
    if (lost()) break;
    log("...until");
    if (After(t, deadline)) {
      log("Error Timeout_1 " + std::to_string(t - t0) + "ms (" + std::to_string(timeout) + "ms)");
      continue;
    }

    // Receive wait: the first byte within the time-out, then until 50 ms pass
    // without a new one.
    log("repeat warte auf " + std::to_string(expected) + " zeichen...");
    uint32_t count = port.BytesAvailable();
    t0 = platform::GetTickCount();
    deadline = t0 + timeout;
    do {
      poll();
      t = platform::GetTickCount();
      const uint32_t now_available = port.BytesAvailable();
      if (now_available > count) {
        count = now_available;
        deadline = t + kGapMs;
      }
    } while (port.BytesAvailable() < static_cast<uint32_t>(expected) && !After(t, deadline) &&
             !lost());
    if (lost()) break;
    log("...until " + std::to_string(port.BytesAvailable()) + " Zeichen empfangen");
    if (After(t, deadline)) {
      log("Error Timeout_2 " + std::to_string(t - t0) + "ms (" + std::to_string(timeout) + "ms)");
      continue;
    }

    reply.fill(0);
    uint32_t received = port.BytesAvailable();
    const uint32_t arrived = received;
    if (received > 0) {
      // Never more than the reply buffer holds; what does not fit is dropped.
      const uint32_t take =
          received < reply.size() ? received : static_cast<uint32_t>(reply.size());
      port.ReadBlock(std::span<uint8_t>(reply), take);
      if (take < received) port.FlushInBuffer();
      received = take;
    }

    if (received < static_cast<uint32_t>(expected)) {
      log("zuwenig Zeichen empfangen " + std::to_string(received) + " von " +
          std::to_string(expected));
      ++ErrorCount;
      continue;
    }
    if (command == kReadRequest) {
      const uint16_t stated = static_cast<uint16_t>(reply[expected - 2] << 8 | reply[expected - 1]);
      if (stated != Sum(reply.data(), static_cast<size_t>(expected) - 2)) {
        log("Error Pr\xC3\xBC"
            "fsumme " +
            std::to_string(received) + " von " + std::to_string(expected) + " zeichen");
        ++ErrorCount;
      } else if (!std::equal(request.begin(), request.begin() + 4, reply.begin(),
                             [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; })) {
        // A late reply to an earlier request (another block, or a write's data):
        // taking it would put another block's bytes into this one's record.
        log("Error Echo " + HexBytes(reply.data(), 4) + " statt " +
            HexBytes(reinterpret_cast<const uint8_t*>(request.data()), 4));
        ++ErrorCount;
      } else {
        success = true;
        succeeded_at = attempt;
      }
    } else if (command == kWriteRequest && reply[0] == kRejectByte) {
      log("Error Buff[1] = 224");
    } else if (command == kWriteRequest && arrived != 1) {
      // The acknowledgement is one byte; more is a late reply to an earlier
      // request, which tells nothing of whether this write was stored.
      log("zuviel Zeichen empfangen " + std::to_string(arrived) + " von " +
          std::to_string(expected));
      ++ErrorCount;
    } else {
      success = true;
      succeeded_at = attempt;
    }
  }
  const bool first_attempt = succeeded_at == 1;

  if (tracing) {
    port.SetLogging(first_attempt && TraceLevel == 1 ? serial::tlOff : serial::tlAppend);
  }

  bool result = success;
  if (success) {
    message.assign(reinterpret_cast<const char*>(reply.data()),
                   static_cast<size_t>(expected) < maxLength ? expected : maxLength);
  } else {
    if (ErrorCount - snapshot >= 3) platform::Beep(platform::kBeepInformation);
    message.clear();
  }

  if (port.Open() && port.DeviceFailed()) DeviceLost(&port);
  if (!port.Open()) {
    result = false;
    DeviceOnline = false;
  }
  if (DeviceOnline && result) {
    WindowLink().SetOnlineLabel("ONLINE", kColourGreen);
  } else {
    WindowLink().SetOnlineLabel("OFFLINE", kColourRed);
  }
  if (run != nullptr) run->Completed(result, write, address);
  return result;
}

bool CheckDeviceIdent() {
  if (!DeviceOnline) return true;
  return ReadDeviceIdent() && (DeviceIdent == kSteamIdent || DeviceIdent == kGasIdent);
}

}  // namespace devicelink
