// The requests the simulated device received, decoded for traffic tests: read
// or write, address, data byte count, time and the data a write carries, so a
// test compares readable lines such as "W 8100 32" instead of raw frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/flowsim/protocol.h"
#include "tools/flowsim/simulator.h"

namespace testing_trace {

struct TTracedRequest {
  char kind = '?';  // 'R' read, 'W' write
  uint16_t address = 0;
  int count = 0;
  int64_t time_ms = 0;
  std::vector<uint8_t> data;  // write data
};

// Frames too short to name an address are left out.
inline std::vector<TTracedRequest> DecodeRequests(const std::vector<flowsim::RequestRecord>& records) {
  std::vector<TTracedRequest> out;
  for (const flowsim::RequestRecord& r : records) {
    if (r.request.size() < 4) continue;
    TTracedRequest t;
    t.kind = r.request[0] == flowsim::kReadCommand    ? 'R'
             : r.request[0] == flowsim::kWriteCommand ? 'W'
                                                       : '?';
    t.address = static_cast<uint16_t>(r.request[1] << 8 | r.request[2]);
    t.count = r.request[3];
    if (t.kind == 'W' && r.request.size() >= 4u + static_cast<size_t>(t.count)) {
      t.data.assign(r.request.begin() + 4, r.request.begin() + 4 + t.count);
    }
    t.time_ms = r.timeMs;
    out.push_back(std::move(t));
  }
  return out;
}

// "R 8100 32" for each request.
inline std::vector<std::string> TraceLines(const std::vector<TTracedRequest>& requests) {
  std::vector<std::string> lines;
  for (const TTracedRequest& t : requests) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%c %04X %d", t.kind, t.address, t.count);
    lines.emplace_back(buffer);
  }
  return lines;
}

inline int CountWrites(const std::vector<TTracedRequest>& requests) {
  int n = 0;
  for (const TTracedRequest& t : requests) n += t.kind == 'W';
  return n;
}

}  // namespace testing_trace
