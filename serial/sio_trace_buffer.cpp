#include "serial/sio_trace_buffer.h"

#include "serial/sio_errors.h"
#include "serial/sio_misc.h"

namespace serial {
namespace {

constexpr int kTraceColumns = 78;

// One byte as the trace file shows it: printable as itself, else bracketed in
// hexadecimal or decimal. With hex a blank is bracketed too, so it can be seen.
std::string TraceItem(uint8_t b, bool hex, bool all_hex) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const uint8_t first_plain = hex ? 33 : 32;
  if (!all_hex && b >= first_plain && b <= '~') return std::string(1, static_cast<char>(b));
  if (all_hex || hex) return {'[', kHex[b >> 4], kHex[b & 0x0F], ']'};
  return "[" + std::to_string(b) + "]";
}

std::string TraceHeading(uint8_t kind) {
  if (kind == 'R') return "Receive: ";
  if (kind == 'T') return "Transmit: ";
  return std::string("Special-") + static_cast<char>(kind) + ": ";
}

}  // namespace

int32_t TSioTraceBuffer::InitTracing(uint32_t size) {
  std::lock_guard lock(lock_);
  if (buffer_.empty()) {
    if (size > kMaxTraceSize) return ecBadArgument;
    // A size of 0 keeps nothing.
    buffer_.assign(static_cast<size_t>(size) * 2, 0);
    size_ = size;
  }
  pos_ = 0;
  wrapped_ = false;
  on_ = true;
  return 0;
}

void TSioTraceBuffer::ClearTracing() {
  std::lock_guard lock(lock_);
  pos_ = 0;
  wrapped_ = false;
}

void TSioTraceBuffer::AbortTracing() {
  std::lock_guard lock(lock_);
  on_ = false;
  buffer_.clear();
  buffer_.shrink_to_fit();
  size_ = pos_ = 0;
  wrapped_ = false;
}

void TSioTraceBuffer::StartTracing() {
  std::lock_guard lock(lock_);
  if (!buffer_.empty()) on_ = true;
}

void TSioTraceBuffer::Add(char kind, const uint8_t* bytes, size_t count) {
  std::lock_guard lock(lock_);
  if (!on_ || buffer_.empty()) return;
  for (size_t i = 0; i < count; ++i) {
    buffer_[pos_ * 2] = static_cast<uint8_t>(kind);
    buffer_[pos_ * 2 + 1] = bytes[i];
    if (++pos_ >= size_) {
      pos_ = 0;
      wrapped_ = true;
    }
  }
}

int32_t TSioTraceBuffer::DumpTrace(const std::string& file_name, bool hex, bool all_hex) {
  return WriteTraceFile(file_name, false, hex, all_hex);
}

int32_t TSioTraceBuffer::AppendTrace(const std::string& file_name, bool hex, bool all_hex) {
  return WriteTraceFile(file_name, true, hex, all_hex);
}

int32_t TSioTraceBuffer::WriteTraceFile(const std::string& file_name, bool append, bool hex,
                                        bool all_hex) {
  uint32_t size;
  int io;
  {
    std::unique_lock lock(lock_);
    if (buffer_.empty()) return 0;
    const uint32_t first = wrapped_ ? pos_ : 0;
    const uint32_t count = wrapped_ ? size_ : pos_;
    if (count == 0) return 0;
    TTextFile f;
    AssignTextFile(f, file_name);
    io = append && FileExistsZ(file_name.c_str()) ? f.Append() : f.Rewrite();
    if (io != 0) {
      f.Close();
      lock.unlock();
      AbortTracing();
      return -io;
    }
    int column = 0;
    int previous = -1;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t at = (first + i) % size_;
      const uint8_t kind = buffer_[at * 2];
      if (kind != previous) {
        // Each change of direction starts a headed group after an empty line.
        if (previous != -1) f.WriteLn();
        f.WriteLn();
        f.Write(TraceHeading(kind));
        column = 0;
        previous = kind;
      }
      const std::string item = TraceItem(buffer_[at * 2 + 1], hex, all_hex);
      const int width = static_cast<int>(item.size());
      column += width;
      if (column > kTraceColumns) {
        f.WriteLn();
        column = width;
      }
      f.Write(item);
    }
    io = f.Close();
    size = size_;
  }
  // Tracing goes on with an empty buffer, written or not.
  InitTracing(size);
  return -io;
}

}  // namespace serial
