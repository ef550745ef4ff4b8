#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "tools/flowsim/simulator.h"

namespace flowsim {

// Serves a simulator on a pseudo-terminal: the client opens SlavePath() like a
// serial port. One slave descriptor stays open here, so the master neither
// reads EIO nor reports a hang-up while no client has the port open.
class PtyDevice {
 public:
  explicit PtyDevice(FlowSimulator& simulator) : simulator_(simulator) {}
  ~PtyDevice();
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  // Creates the terminal and starts serving; throws std::system_error.
  void Start();
  // Stops serving and closes the terminal; replies still waiting are dropped.
  void Stop();

  bool Running() const { return thread_.joinable(); }
  // Processor time the serving thread has used, in seconds (0 when not running),
  // so that a measurement in the same process can leave the device's share out.
  double ServeCpuSeconds();
  const std::string& SlavePath() const { return slavePath_; }

 private:
  using Clock = std::chrono::steady_clock;

  void Serve();
  // Waits up to `ms`, or until `end`; false when stopped meanwhile.
  bool Sleep(int ms);
  bool SleepUntil(Clock::time_point end);
  // Bytes from the line, at the line's pace when pacing is on.
  bool Receive(const std::uint8_t* bytes, std::size_t size);
  bool Send(const Reply& reply);
  bool WriteAll(const std::uint8_t* data, std::size_t size);

  FlowSimulator& simulator_;
  int master_ = -1;
  int slave_ = -1;
  int stop_ = -1;  // eventfd
  std::string slavePath_;
  std::thread thread_;
  Clock::time_point inputFree_{};  // when the line has delivered the last byte read
};

}  // namespace flowsim
