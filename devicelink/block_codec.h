// Field-by-field decoding and encoding of device blocks, in the device's byte
// order. Reading past the end of a block is an error, never a read of other memory.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "devicelink/wire_values.h"
#include "platform/text_encoding.h"

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

// The two visitors of a block layout, a function template that names a record's
// fields in the device's order, so that reading and writing a block follow one
// description: the reader fills the fields from the data bytes of a block, the
// writer appends them to the data of a write.
class TFieldReader {
 public:
  explicit TFieldReader(std::string_view data) : r_(data) {}
  void Byte(uint8_t& v) { v = r_.Byte(); }
  void Word(uint16_t& v) { v = r_.Word(); }
  void DWord(uint32_t& v) { v = r_.DWord(); }
  void Single(float& v) { v = r_.Single(); }
  void Text(std::string& v, size_t k) { v = platform::Cp1252ToUtf8(r_.Bytes(k)); }
  void Spare(size_t k) { r_.Skip(k); }
  // The device measures in kelvin; what is left of 0 degC after the subtraction is
  // rounding noise.
  void Kelvin(float& celsius) {
    const float c = static_cast<float>(static_cast<double>(r_.Single()) - 273.15);
    celsius = c > -0.001f && c < 0.001f ? 0.0f : c;
  }
  size_t Left() const { return r_.Left(); }

 private:
  TBlockReader r_;
};

class TFieldWriter {
 public:
  void Byte(uint8_t v) { w_.Byte(v); }
  void Word(uint16_t v) { w_.Word(v); }
  void Single(float v) { w_.Single(v); }
  // Exactly k single-byte characters, right-aligned as the unit symbols are.
  void Text(const std::string& v, size_t k) {
    std::string bytes = platform::Utf8ToCp1252(v);
    if (bytes.size() < k) bytes.insert(0, k - bytes.size(), ' ');
    bytes.resize(k);
    w_.Bytes(bytes);
  }
  // Spare bytes go to the device as zeros.
  void Spare(size_t k) {
    for (size_t i = 0; i < k; ++i) w_.Byte(0);
  }
  const std::string& Data() const { return w_.Data(); }

 private:
  TBlockWriter w_;
};

// For layouts: R is the record type T, const when writing.
template <class R, class T>
concept RecordOf = std::same_as<std::remove_const_t<R>, T>;

// For layouts: R is a std::array of E, const when writing.
template <class R, class E>
concept ArrayOf = requires { std::tuple_size<std::remove_const_t<R>>::value; } &&
                  std::same_as<typename std::remove_const_t<R>::value_type, E>;

}  // namespace devicelink
