// Buffers that the port threads hand to the dispatch thread (received data, line
// events) and the entries of the dispatch log, and the locked first-in, first-out
// queue that carries them.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "serial/sio_event.h"

namespace serial {

class TIOBuffer {
 public:
  virtual ~TIOBuffer() = default;
  // Set while a reader holds the buffer through Peek.
  std::atomic<bool> InUse{false};
  // What the queue adds to its byte count: the capacity, not the bytes filled.
  int32_t Size = 0;
};

class TDataBuffer : public TIOBuffer {
 public:
  // Zero-filled block of size bytes; raises "Insufficient memory to allocate I/O
  // buffer." when it cannot be had.
  explicit TDataBuffer(int32_t size);
  std::unique_ptr<uint8_t[]> Data;
  int32_t Used = 0;  // bytes filled
  int32_t Read = 0;  // bytes already taken; Read <= Used <= Size
};

class TStatusBuffer : public TIOBuffer {
 public:
  TStatusBuffer() = default;
  uint32_t Status = 0;  // event mask seen by the status thread
};

class TLogBuffer : public TIOBuffer {
 public:
  TLogBuffer(uint8_t type, uint16_t subtype, uint32_t time, uint32_t data, const void* payload,
             int32_t size);
  uint8_t Type;
  uint16_t Subtype;
  uint32_t Time;  // milliseconds since the device was opened
  uint32_t Data;
  std::unique_ptr<uint8_t[]> Payload;  // null when Size is 0
};

class TIOQueue {
 public:
  TIOQueue() = default;
  ~TIOQueue();
  TIOQueue(const TIOQueue&) = delete;
  TIOQueue& operator=(const TIOQueue&) = delete;

  // Takes ownership; wakes one waiter.
  void Push(std::unique_ptr<TIOBuffer> buffer);
  // The first buffer, marked in use and left in the queue; null when the queue is
  // empty or the first buffer is already held. The holder clears InUse to release
  // it, or removes it with Pop.
  TIOBuffer* Peek();
  // Removes the first buffer and hands it over; null when empty.
  std::unique_ptr<TIOBuffer> Pop();
  // kWaitObject0 at once when buffers are queued, else waits for a Push.
  uint32_t WaitForData(uint32_t timeout_ms);
  // Frees every buffer that nobody holds; held ones stay where they are.
  void Clear();

  int32_t BytesQueued() const;
  int32_t Count() const;

 private:
  mutable std::mutex lock_;
  TSioEvent event_{false, false};
  std::deque<std::unique_ptr<TIOBuffer>> list_;
  int32_t bytes_queued_ = 0;
};

}  // namespace serial
