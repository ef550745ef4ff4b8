#include "tools/flowsim/memory_image.h"

#include <bit>

namespace flowsim {

namespace {
std::uint16_t At(std::uint16_t address, std::size_t offset) {
  return static_cast<std::uint16_t>(address + offset);
}
}  // namespace

void MemoryImage::Fill(std::uint16_t address, std::size_t count, std::uint8_t value) {
  for (std::size_t i = 0; i < count; ++i) bytes_[At(address, i)] = value;
}

std::uint16_t MemoryImage::Get16(std::uint16_t address) const {
  return static_cast<std::uint16_t>(bytes_[address] << 8 | bytes_[At(address, 1)]);
}

void MemoryImage::Put16(std::uint16_t address, std::uint16_t value) {
  bytes_[address] = static_cast<std::uint8_t>(value >> 8);
  bytes_[At(address, 1)] = static_cast<std::uint8_t>(value);
}

std::uint32_t MemoryImage::Get32(std::uint16_t address) const {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | bytes_[At(address, i)];
  return value;
}

void MemoryImage::Put32(std::uint16_t address, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes_[At(address, i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  }
}

float MemoryImage::GetFloat(std::uint16_t address) const {
  return std::bit_cast<float>(Get32(address));
}

void MemoryImage::PutFloat(std::uint16_t address, float value) {
  Put32(address, std::bit_cast<std::uint32_t>(value));
}

void MemoryImage::PutText(std::uint16_t address, std::string_view text, std::size_t width,
                          char pad) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes_[At(address, i)] = static_cast<std::uint8_t>(i < text.size() ? text[i] : pad);
  }
}

std::string MemoryImage::GetText(std::uint16_t address, std::size_t count) const {
  std::string text(count, '\0');
  for (std::size_t i = 0; i < count; ++i) text[i] = static_cast<char>(bytes_[At(address, i)]);
  return text;
}

std::vector<std::uint8_t> MemoryImage::Read(std::uint16_t address, std::size_t count) const {
  std::vector<std::uint8_t> data(count);
  for (std::size_t i = 0; i < count; ++i) data[i] = bytes_[At(address, i)];
  return data;
}

void MemoryImage::Write(std::uint16_t address, std::span<const std::uint8_t> data) {
  for (std::size_t i = 0; i < data.size(); ++i) bytes_[At(address, i)] = data[i];
}

}  // namespace flowsim
