#pragma once

#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

#include "tools/flowsim/simulator.h"

namespace flowsim::test {

// A simulator on a hand-moved clock, started at a fixed device time.
struct ManualClock {
  std::int64_t ms = 1'000'000;
};

inline std::unique_ptr<FlowSimulator> MakeSimulator(ManualClock& clock, DeviceSetup setup = {},
                                                    CivilTime start = CivilTime{2024, 3, 14, 10, 20,
                                                                                30}) {
  SimulatorOptions options;
  options.setup = setup;
  options.startTime = start;
  return std::make_unique<FlowSimulator>(options, [&clock] { return clock.ms; });
}

inline std::vector<std::uint8_t> ReadFrame(std::uint16_t address, std::uint8_t count) {
  return {0xB0, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), count};
}

inline std::vector<std::uint8_t> WriteFrame(std::uint16_t address,
                                            const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> f;
  f.reserve(data.size() + 6);
  f.push_back(0xA0);
  f.push_back(static_cast<std::uint8_t>(address >> 8));
  f.push_back(static_cast<std::uint8_t>(address));
  f.push_back(static_cast<std::uint8_t>(data.size()));
  for (std::uint8_t b : data) f.push_back(b);
  unsigned sum = 0;
  for (auto b : f) sum += b;
  f.push_back(static_cast<std::uint8_t>(sum >> 8));
  f.push_back(static_cast<std::uint8_t>(sum));
  return f;
}

// The one reply to a frame, or an empty vector when there was none.
inline std::vector<std::uint8_t> Exchange(FlowSimulator& sim,
                                          const std::vector<std::uint8_t>& frame) {
  const auto replies = sim.Receive(frame);
  return replies.size() == 1 ? replies[0].bytes : std::vector<std::uint8_t>{};
}

inline bool ChecksumFits(const std::vector<std::uint8_t>& reply) {
  if (reply.size() < 2) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i + 2 < reply.size(); ++i) sum += reply[i];
  return reply[reply.size() - 2] == ((sum >> 8) & 0xFF) && reply.back() == (sum & 0xFF);
}

inline float FloatAt(const std::vector<std::uint8_t>& b, std::size_t i) {
  const std::uint32_t bits = std::uint32_t{b[i]} << 24 | std::uint32_t{b[i + 1]} << 16 |
                             std::uint32_t{b[i + 2]} << 8 | b[i + 3];
  return std::bit_cast<float>(bits);
}

}  // namespace flowsim::test
