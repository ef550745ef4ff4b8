#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/flowsim/device_clock.h"
#include "tools/flowsim/live_process.h"
#include "tools/flowsim/memory_image.h"
#include "tools/flowsim/presets.h"
#include "tools/flowsim/protocol.h"

namespace flowsim {

enum class FaultKind {
  NoAnswer,     // the frame is handled, the reply is lost
  ShortReply,   // only the first half of the reply is sent
  LateReply,    // the reply is sent after a delay
  BadChecksum,  // read replies: the checksum's low byte is wrong
  Reject,       // the reply is the reject byte alone; a write is not stored
  WrongEcho,    // read replies: the echo names the next address (checksum fits)
};

const char* FaultName(FaultKind kind);

// A fault count that never runs out.
inline constexpr int kEveryFrame = -1;

struct SimulatorOptions {
  DeviceSetup setup;
  std::optional<std::string> password;  // nullopt: password off
  int paceBaud = 0;                     // 0: bytes cross the line at once
  int turnaroundMs = 0;                 // the device's pause between request and reply
  std::optional<CivilTime> startTime;   // device clock at start; default: local time
};

// One reply to send, after `delayMs` (turnaround, and a late reply's delay), at
// `paceBaud` (0: unpaced). Empty bytes: nothing.
struct Reply {
  std::vector<std::uint8_t> bytes;
  int delayMs = 0;
  int paceBaud = 0;
};

struct RequestRecord {
  std::int64_t timeMs = 0;  // from the simulator's time source
  std::chrono::system_clock::time_point wallTime;
  std::vector<std::uint8_t> request;
  std::vector<std::uint8_t> reply;  // as sent, faults applied
  std::optional<FaultKind> fault;
  int delayMs = 0;
};

// The flow computer: its memory, its process and clock, and the frame engine.
// Every public member may be called from any thread.
class FlowSimulator {
 public:
  using TimeSource = std::function<std::int64_t()>;  // monotonic milliseconds
  using Observer = std::function<void(const RequestRecord&)>;

  static std::int64_t SteadyMilliseconds();

  explicit FlowSimulator(SimulatorOptions options = {}, TimeSource now = &SteadyMilliseconds);

  // Bytes from the line; one reply per frame they complete.
  std::vector<Reply> Receive(std::span<const std::uint8_t> bytes);
  // Drops a half-received frame once the line has been quiet long enough.
  void Poll();
  std::optional<std::int64_t> PartialFrameDeadline() const;
  std::size_t DiscardedBytes() const;

  // The fault applies to the next `count` frames it can affect (kEveryFrame: all).
  // `delayMs` is the delay of LateReply. BadChecksum and WrongEcho affect reads
  // only. The At variant matches frames whose address range covers `address`.
  // Several pending faults: the one injected first wins.
  void InjectFault(FaultKind kind, int count, int delayMs = 2000);
  void InjectFaultAt(FaultKind kind, std::uint16_t address, int count, int delayMs = 2000);
  void ClearFaults();
  std::size_t PendingFaults() const;

  // Line pacing at `baud` (10 bits a byte), both directions; 0 switches it off.
  void SetPacing(int baud);
  int PacingBaud() const;
  // The pause the device takes after a request's last byte before its reply.
  void SetTurnaround(int ms);
  int Turnaround() const;

  // The device's password is kept filled with '-' to 8 characters.
  void EnablePassword(std::string_view text);
  void DisablePassword();

  std::vector<RequestRecord> Requests() const;
  std::size_t RequestCount() const;
  void ClearRequests();
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
  // Called after every request, outside the simulator's lock.
  void SetObserver(Observer observer);

  // Device memory, brought up to the present time first. WriteMemory writes
  // anywhere (a test may give the device another identification); live values
  // are recomputed on the next update, a write of the clock area sets the clock.
  std::vector<std::uint8_t> ReadMemory(std::uint16_t address, std::size_t count);
  void WriteMemory(std::uint16_t address, std::span<const std::uint8_t> data);
  CivilTime DeviceTime();
  bool ClockRunning();
  void SetDeviceTime(const CivilTime& time);

  // The device takes its next trend sample now. It goes into the newest block of
  // the trend ring; when that block is full (or holds no valid stamp) the next
  // block is started, stamped with the device time and the trend interval, and
  // the header names it the newest; starting over at block 0 marks the ring as
  // wrapped (state 2).
  void RecordTrendSample();

  const SimulatorOptions& options() const { return options_; }

  // Measured values and the password block are the device's own; frames
  // cannot change them (such writes are accepted and ignored, as the device
  // would overwrite them on its next cycle anyway).
  static bool IsReadOnly(std::uint16_t address);

 private:
  struct PendingFault {
    FaultKind kind;
    std::optional<std::uint16_t> address;
    int remaining;
    int delayMs;
  };

  void UpdateLocked(std::int64_t nowMs);
  void StoreLocked(std::uint16_t address, std::span<const std::uint8_t> data);
  void PutPasswordLocked(std::optional<std::string_view> text);
  std::optional<PendingFault> TakeFaultLocked(const Frame& frame);
  Reply HandleLocked(const Frame& frame, std::int64_t nowMs, RequestRecord& record);

  const SimulatorOptions options_;
  const TimeSource now_;

  mutable std::mutex mutex_;
  mutable std::condition_variable requestAdded_;
  MemoryImage image_;
  FrameParser parser_;
  std::array<LiveProcess, 2> processes_;
  std::int64_t startMs_;
  std::int64_t clockBaseSeconds_ = 0;  // device time at clockBaseMs_
  std::int64_t clockBaseMs_ = 0;
  bool clockRunning_ = true;
  int paceBaud_ = 0;
  int turnaroundMs_ = 0;
  std::vector<PendingFault> faults_;
  std::vector<RequestRecord> requests_;
  Observer observer_;
};

}  // namespace flowsim
