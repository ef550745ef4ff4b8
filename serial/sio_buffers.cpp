#include "serial/sio_buffers.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace serial {

TDataBuffer::TDataBuffer(int32_t size) {
  Size = size;
  try {
    Data.reset(new uint8_t[size > 0 ? size : 0]());
  } catch (const std::bad_alloc&) {
    throw std::runtime_error("Insufficient memory to allocate I/O buffer.");
  }
}

TLogBuffer::TLogBuffer(uint8_t type, uint16_t subtype, uint32_t time, uint32_t data,
                       const void* payload, int32_t size)
    : Type(type), Subtype(subtype), Time(time), Data(data) {
  Size = size > 0 ? size : 0;
  if (Size > 0) {
    Payload.reset(new uint8_t[Size]);
    std::memcpy(Payload.get(), payload, Size);
  }
}

TIOQueue::~TIOQueue() {
  std::lock_guard lock(lock_);
  list_.clear();
}

void TIOQueue::Push(std::unique_ptr<TIOBuffer> buffer) {
  {
    std::lock_guard lock(lock_);
    bytes_queued_ += buffer->Size;
    list_.push_back(std::move(buffer));
  }
  event_.Set();
}

TIOBuffer* TIOQueue::Peek() {
  std::lock_guard lock(lock_);
  if (list_.empty() || list_.front()->InUse) return nullptr;
  list_.front()->InUse = true;
  return list_.front().get();
}

std::unique_ptr<TIOBuffer> TIOQueue::Pop() {
  std::lock_guard lock(lock_);
  if (list_.empty()) return nullptr;
  std::unique_ptr<TIOBuffer> b = std::move(list_.front());
  list_.pop_front();
  bytes_queued_ -= b->Size;
  return b;
}

uint32_t TIOQueue::WaitForData(uint32_t timeout_ms) {
  {
    std::lock_guard lock(lock_);
    if (!list_.empty()) return kWaitObject0;
  }
  return event_.Wait(timeout_ms);
}

void TIOQueue::Clear() {
  std::lock_guard lock(lock_);
  for (auto it = list_.begin(); it != list_.end();) {
    if ((*it)->InUse) {
      ++it;
    } else {
      bytes_queued_ -= (*it)->Size;
      it = list_.erase(it);
    }
  }
}

int32_t TIOQueue::BytesQueued() const {
  std::lock_guard lock(lock_);
  return bytes_queued_;
}

int32_t TIOQueue::Count() const {
  std::lock_guard lock(lock_);
  return static_cast<int32_t>(list_.size());
}

}  // namespace serial
