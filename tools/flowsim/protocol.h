#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace flowsim {

inline constexpr std::uint8_t kReadCommand = 0xB0;
inline constexpr std::uint8_t kWriteCommand = 0xA0;
// A write is answered with one byte: this one when stored, kRejectByte when refused.
inline constexpr std::uint8_t kAcceptByte = 0x06;
inline constexpr std::uint8_t kRejectByte = 0xE0;

// Arithmetic sum of the bytes, kept to 16 bits.
std::uint16_t Checksum(std::span<const std::uint8_t> bytes);
void AppendChecksum(std::vector<std::uint8_t>& frame);

struct Frame {
  enum class Kind { Read, Write };
  Kind kind = Kind::Read;
  std::uint16_t address = 0;
  std::uint8_t count = 0;          // N: data bytes asked for or carried
  std::vector<std::uint8_t> data;  // write data
  bool checksumOk = true;          // writes only; reads carry no checksum
  std::vector<std::uint8_t> raw;   // the frame as received
};

// Cuts a byte stream into request frames. Bytes that cannot start a frame are
// dropped, so the parser falls back into step at the next command byte; a frame
// left half-received for longer than the gap is dropped (the sender has given
// up on it and will start afresh).
class FrameParser {
 public:
  explicit FrameParser(std::int64_t gapMs = 100) : gapMs_(gapMs) {}

  // Frames completed by `bytes`, received at `nowMs`.
  std::vector<Frame> Feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs);
  // Drops a half-received frame once the line has been quiet for the gap.
  void Expire(std::int64_t nowMs);
  // When Expire would drop the frame in progress; nullopt when idle.
  std::optional<std::int64_t> Deadline() const;

  std::size_t DiscardedBytes() const { return discarded_; }

 private:
  std::size_t Expected() const;

  std::int64_t gapMs_;
  std::vector<std::uint8_t> partial_;
  std::int64_t lastByteMs_ = 0;
  std::size_t discarded_ = 0;
};

}  // namespace flowsim
