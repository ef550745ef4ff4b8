// The trace of an open port: the last bytes taken from the receive ring ('R')
// and handed to the device ('T') as (kind, byte) pairs in a ring of fixed size,
// written to a text file on demand.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace serial {

constexpr uint32_t kMaxTraceSize = 4000000;

class TSioTraceBuffer {
 public:
  // With a buffer: empties it. Without: makes one of size entries; a size above
  // kMaxTraceSize gives ecBadArgument and tracing stays off. Then tracing is on.
  int32_t InitTracing(uint32_t size);
  void ClearTracing();
  // Off, and the buffer freed.
  void AbortTracing();
  // On again after StopTracing, when there is a buffer.
  void StartTracing();
  void StopTracing() { on_ = false; }
  bool TracingOn() const { return on_; }
  // Records count bytes of one kind while tracing is on.
  void Add(char kind, const uint8_t* bytes, size_t count);
  // Writes the entries, oldest first, rewriting or appending to the file. 0, or
  // the negated I/O error (the buffer is freed then). Either way the buffer is
  // empty afterwards and tracing goes on.
  int32_t DumpTrace(const std::string& file_name, bool hex, bool all_hex);
  int32_t AppendTrace(const std::string& file_name, bool hex, bool all_hex);

 private:
  int32_t WriteTraceFile(const std::string& file_name, bool append, bool hex, bool all_hex);
  mutable std::mutex lock_;
  std::atomic<bool> on_{false};
  std::vector<uint8_t> buffer_;  // kind, byte per entry
  uint32_t size_ = 0;            // entries
  uint32_t pos_ = 0;             // the next entry
  bool wrapped_ = false;         // the ring has come round
};

}  // namespace serial
