#include "tools/flowsim/protocol.h"

namespace flowsim {

std::uint16_t Checksum(std::span<const std::uint8_t> bytes) {
  std::uint16_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint16_t>(sum + b);
  return sum;
}

void AppendChecksum(std::vector<std::uint8_t>& frame) {
  const std::uint16_t sum = Checksum(frame);
  frame.push_back(static_cast<std::uint8_t>(sum >> 8));
  frame.push_back(static_cast<std::uint8_t>(sum));
}

std::size_t FrameParser::Expected() const {
  if (partial_.size() < 4) return 4;
  return partial_[0] == kReadCommand ? 4 : 4 + std::size_t{partial_[3]} + 2;
}

std::vector<Frame> FrameParser::Feed(std::span<const std::uint8_t> bytes, std::int64_t nowMs) {
  Expire(nowMs);
  std::vector<Frame> frames;
  for (std::uint8_t b : bytes) {
    if (partial_.empty() && b != kReadCommand && b != kWriteCommand) {
      ++discarded_;
      continue;
    }
    partial_.push_back(b);
    if (partial_.size() < Expected()) continue;

    Frame f;
    f.kind = partial_[0] == kReadCommand ? Frame::Kind::Read : Frame::Kind::Write;
    f.address = static_cast<std::uint16_t>(partial_[1] << 8 | partial_[2]);
    f.count = partial_[3];
    if (f.kind == Frame::Kind::Write) {
      const std::size_t n = f.count;
      f.data.assign(partial_.begin() + 4, partial_.begin() + 4 + static_cast<std::ptrdiff_t>(n));
      const std::uint16_t sent = static_cast<std::uint16_t>(partial_[4 + n] << 8 | partial_[5 + n]);
      f.checksumOk = sent == Checksum(std::span(partial_).first(4 + n));
    }
    f.raw = std::move(partial_);
    partial_.clear();
    frames.push_back(std::move(f));
  }
  if (!partial_.empty()) lastByteMs_ = nowMs;
  return frames;
}

void FrameParser::Expire(std::int64_t nowMs) {
  if (!partial_.empty() && nowMs - lastByteMs_ >= gapMs_) {
    discarded_ += partial_.size();
    partial_.clear();
  }
}

std::optional<std::int64_t> FrameParser::Deadline() const {
  if (partial_.empty()) return std::nullopt;
  return lastByteMs_ + gapMs_;
}

}  // namespace flowsim
