#pragma once

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
  const std::string& SlavePath() const { return slavePath_; }

 private:
  void Serve();
  // Waits up to `ms`; false when stopped meanwhile.
  bool Sleep(int ms);
  bool Send(const Reply& reply);
  bool WriteAll(const std::uint8_t* data, std::size_t size);

  FlowSimulator& simulator_;
  int master_ = -1;
  int slave_ = -1;
  int stop_ = -1;  // eventfd
  std::string slavePath_;
  std::thread thread_;
};

}  // namespace flowsim
