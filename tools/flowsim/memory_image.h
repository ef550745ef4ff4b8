#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace flowsim {

// The device's 64 KiB address space. Numbers are stored most significant byte
// first; addresses wrap at the end of the space like the device's 16-bit pointer.
class MemoryImage {
 public:
  static constexpr std::size_t kSize = 0x10000;

  MemoryImage() { bytes_.fill(0); }

  void Fill(std::uint16_t address, std::size_t count, std::uint8_t value);

  std::uint8_t Get8(std::uint16_t address) const { return bytes_[address]; }
  void Put8(std::uint16_t address, std::uint8_t value) { bytes_[address] = value; }

  std::uint16_t Get16(std::uint16_t address) const;
  void Put16(std::uint16_t address, std::uint16_t value);
  std::uint32_t Get32(std::uint16_t address) const;
  void Put32(std::uint16_t address, std::uint32_t value);
  float GetFloat(std::uint16_t address) const;
  void PutFloat(std::uint16_t address, float value);

  // Single-byte device text; `width` bytes are written, padded with `pad`.
  void PutText(std::uint16_t address, std::string_view text, std::size_t width, char pad = ' ');
  std::string GetText(std::uint16_t address, std::size_t count) const;

  std::vector<std::uint8_t> Read(std::uint16_t address, std::size_t count) const;
  void Write(std::uint16_t address, std::span<const std::uint8_t> data);

 private:
  std::array<std::uint8_t, kSize> bytes_;
};

}  // namespace flowsim
