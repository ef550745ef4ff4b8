// The requests the simulated device received, decoded for the traffic tests:
// "W 8100/32" is a write of 32 bytes at 0x8100, "R ..." a read.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

#include "tests/devicelink/request_trace.h"

namespace ui::testing {

struct TraceLine {
  bool write = false;
  uint16_t address = 0;
  uint8_t count = 0;
  int64_t time_ms = 0;
  std::vector<uint8_t> data;  // what a write carries
  QString Text() const {
    return QString("%1 %2/%3")
        .arg(write ? 'W' : 'R')
        .arg(address, 4, 16, QChar('0'))
        .arg(count)
        .toUpper();
  }
};

inline std::vector<TraceLine> Trace(const std::vector<flowsim::RequestRecord>& requests) {
  std::vector<TraceLine> lines;
  for (const testing_trace::TTracedRequest& r : testing_trace::DecodeRequests(requests)) {
    lines.push_back({r.kind == 'W', r.address, static_cast<uint8_t>(r.count), r.time_ms, r.data});
  }
  return lines;
}

inline QStringList TraceText(const std::vector<TraceLine>& lines) {
  QStringList out;
  for (const TraceLine& l : lines) out << l.Text();
  return out;
}

}  // namespace ui::testing
