// Field-by-field decoding and encoding of device blocks, in the device's byte
// order. Reading past the end of a block is an error, never a read of other memory.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "devicelink/wire_values.h"

namespace devicelink {

class TBlockReader {
 public:
  explicit TBlockReader(std::string_view data) : data_(data) {}
  uint8_t Byte() { return static_cast<uint8_t>(Take(1)[0]); }
  uint16_t Word() { return BytesToU16(Take(2)); }
  uint32_t DWord() { return BytesToU32(Take(4)); }
  float Single() { return BytesToSingle(Take(4)); }
  // k raw device bytes.
  std::string Bytes(size_t k) { return std::string(Take(k)); }
  void Skip(size_t k) { Take(k); }
  size_t Left() const { return data_.size() - pos_; }

 private:
  std::string_view Take(size_t k) {
    if (k > Left()) throw std::out_of_range("device block shorter than its fields");
    std::string_view s = data_.substr(pos_, k);
    pos_ += k;
    return s;
  }
  std::string_view data_;
  size_t pos_ = 0;
};

class TBlockWriter {
 public:
  TBlockWriter& Byte(uint8_t b) {
    data_.push_back(static_cast<char>(b));
    return *this;
  }
  TBlockWriter& Word(uint16_t w) {
    data_.push_back(static_cast<char>(w >> 8));
    data_.push_back(static_cast<char>(w & 0xFF));
    return *this;
  }
  TBlockWriter& Single(float v) {
    data_ += SingleToBytes(v);
    return *this;
  }
  TBlockWriter& Bytes(std::string_view raw) {
    data_ += raw;
    return *this;
  }
  const std::string& Data() const { return data_; }

 private:
  std::string data_;
};

}  // namespace devicelink
