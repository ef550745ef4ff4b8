// A device layer without hardware or threads: received data is queued by the
// test, written bytes land in the output ring, and every slot call is recorded.
#pragma once

#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_errors.h"
#include "serial/sio_dispatcher.h"

namespace serial::testing {

class FakeDevice : public TSioBaseDispatcher {
 public:
  explicit FakeDevice(TSioBaseComponent* owner = nullptr) : TSioBaseDispatcher(owner) {
    device_dcb.BaudRate = 19200;
    device_dcb.ByteSize = 8;
    device_dcb.Flags = dcbBinary | dcbTXContinueOnXoff;
  }
  ~FakeDevice() override { ShutdownDispatcher(); }

  // ---- What the test controls and sees.
  std::deque<std::string> input;  // received chunks, like the read thread's buffers
  // Results of the next reads: a value is returned as it is, nullopt reads normally.
  std::deque<std::optional<int32_t>> read_script;
  std::vector<int32_t> read_requests;  // counts asked of ReadDevice
  int event_mask_calls = 0;
  int32_t write_limit = -1;  // bytes a write takes; -1 all
  int32_t write_result = 0;  // used when write_limit is 0
  std::string written;       // everything WriteDevice took
  TDCB device_dcb;
  int set_state_calls = 0;
  int32_t set_state_result = 0;
  std::vector<int32_t> escapes;
  int32_t escape_result = 0;
  uint32_t modem_lines = 0;
  int32_t error_bits = 0;
  int pending_output_polls = 0;  // polls that still see output before it drains
  int32_t open_result = 3;
  uint32_t open_error = 0;
  bool setup_ok = true;
  int start_threads_calls = 0;
  int flush_calls[2] = {0, 0};

  void SetRing(uint32_t write, uint32_t read, bool full) {
    std::lock_guard lock(ring_lock_);
    ring_write_ = write;
    ring_read_ = read;
    ring_full_ = full;
  }
  uint32_t RingWrite() {
    std::lock_guard lock(ring_lock_);
    return ring_write_;
  }
  uint32_t RingRead() {
    std::lock_guard lock(ring_lock_);
    return ring_read_;
  }
  bool RingFull() {
    std::lock_guard lock(ring_lock_);
    return ring_full_;
  }
  uint8_t RingByte(uint32_t at) {
    std::lock_guard lock(ring_lock_);
    return ring_[at];
  }
  void FillRingAt(uint32_t at, const std::string& bytes) {
    std::lock_guard lock(ring_lock_);
    for (size_t i = 0; i < bytes.size(); ++i) {
      ring_[(at + i) % kReceiveRingSize] = static_cast<uint8_t>(bytes[i]);
    }
  }
  void SetRingPending() { ring_pending_ = true; }
  bool OutputFull() {
    std::lock_guard lock(output_lock_);
    return out_full_;
  }
  size_t QueuedInput() const {
    size_t n = 0;
    for (const auto& c : input) n += c.size();
    return n;
  }

  // ---- Slots.
  int32_t EscapeLine(int32_t function) override {
    escapes.push_back(function);
    return escape_result;
  }
  int32_t FlushDevice(int32_t which) override {
    if (which == 0) {
      ++flush_calls[0];
      std::lock_guard lock(output_lock_);
      out_head_ = out_tail_ = 0;
      out_full_ = false;
    } else if (which == 1) {
      ++flush_calls[1];
      input.clear();
    }
    return 0;
  }
  int32_t GetDeviceErrors(TComStat& stat) override {
    stat.OutQueue = static_cast<uint32_t>(OutputBytesUsed());
    if (pending_output_polls > 0) {
      --pending_output_polls;
      stat.OutQueue += 1;
    }
    return error_bits;
  }
  int32_t GetDeviceEventMask(int32_t) override {
    ++event_mask_calls;
    return 0;
  }
  int32_t GetDeviceState(TDCB& dcb) override {
    dcb = device_dcb;
    return 0;
  }
  int32_t ReadDevice(uint8_t* buffer, int32_t count) override {
    read_requests.push_back(count);
    if (!read_script.empty()) {
      std::optional<int32_t> r = read_script.front();
      read_script.pop_front();
      if (r) return *r;
    }
    int32_t left = count;
    while (left > 0 && !input.empty()) {
      std::string& chunk = input.front();
      int32_t k = std::min<int32_t>(left, static_cast<int32_t>(chunk.size()));
      std::memcpy(buffer + (count - left), chunk.data(), k);
      chunk.erase(0, k);
      if (chunk.empty()) input.pop_front();
      left -= k;
    }
    return count - left;
  }
  int32_t SetDeviceState(const TDCB& dcb) override {
    ++set_state_calls;
    if (set_state_result == 0) device_dcb = dcb;
    return set_state_result;
  }
  int32_t WriteDevice(const uint8_t* data, int32_t count) override {
    std::lock_guard lock(output_lock_);
    int32_t n = write_limit < 0 ? count : std::min(count, write_limit);
    if (n == 0) return write_result;
    uint32_t size = OutputSize();
    for (int32_t i = 0; i < n; ++i) {
      out_ring_[out_head_] = data[i];
      out_head_ = (out_head_ + 1) % size;
    }
    written.append(reinterpret_cast<const char*>(data), n);
    return n;
  }
  bool QueryDeviceExtra(int32_t& value) override {
    value = 0;
    return true;
  }
  bool SetupDevice(uint32_t, uint32_t) override {
    if (!setup_ok) platform::SetLastError(open_error);
    return setup_ok;
  }
  void StartThreads() override {
    ++start_threads_calls;
    SetThreadsRunning(false);
  }
  void StopThreads() override {}
  int32_t OutputBytesUsed() override {
    std::lock_guard lock(output_lock_);
    uint32_t size = OutputSize();
    if (out_full_) return static_cast<int32_t>(size);
    if (out_head_ >= out_tail_) return static_cast<int32_t>(out_head_ - out_tail_);
    return static_cast<int32_t>(out_head_ + size - out_tail_);
  }
  // Like the device layer: the unread bytes of the first queued buffer.
  int32_t InputBytesQueued() override {
    return input.empty() ? 0 : static_cast<int32_t>(input.front().size());
  }
  int32_t OpenDeviceHandle(const std::string&, uint32_t, uint32_t) override {
    if (open_result < 0) platform::SetLastError(open_error);
    return open_result;
  }
  int32_t CloseDeviceHandle() override {
    SetDeviceHandle(-1);
    return 0;
  }
  int32_t YieldDevice() override { return 0; }
  bool GetDeviceModemStatus(uint32_t& lines) override {
    lines = modem_lines;
    return true;
  }
};

}  // namespace serial::testing
