#include "tools/flowsim/protocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace flowsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ChecksumTest, SumsAllBytesIntoSixteenBits) {
  Bytes frame = {0xA0, 0x81, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04};
  AppendChecksum(frame);
  EXPECT_EQ(frame, (Bytes{0xA0, 0x81, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04, 0x01, 0x2F}));
  EXPECT_EQ(Checksum(Bytes(300, 0xFF)), static_cast<std::uint16_t>(300 * 0xFF));
}

struct ParseCase {
  const char* name;
  std::vector<Bytes> chunks;  // fed one after the other at the same time
  std::size_t frames;
  std::size_t discarded;
  bool lastChecksumOk;
  friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }
};

class FrameParserTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FrameParserTest, CutsStreamIntoFrames) {
  const ParseCase& c = GetParam();
  FrameParser parser;
  std::vector<Frame> frames;
  for (const Bytes& chunk : c.chunks) {
    for (Frame& f : parser.Feed(chunk, 0)) frames.push_back(std::move(f));
  }
  ASSERT_EQ(frames.size(), c.frames);
  EXPECT_EQ(parser.DiscardedBytes(), c.discarded);
  if (!frames.empty()) {
    EXPECT_EQ(frames.back().checksumOk, c.lastChecksumOk);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, FrameParserTest,
    ::testing::Values(
        ParseCase{"read", {{0xB0, 0x80, 0xB0, 0x08}}, 1, 0, true},
        ParseCase{"read_in_pieces", {{0xB0}, {0x80, 0xB0}, {0x08}}, 1, 0, true},
        ParseCase{"garbage_then_read", {{0x00, 0x55, 0xFF, 0xB0, 0x80, 0xB0, 0x08}}, 1, 3, true},
        ParseCase{"two_frames_one_chunk",
                  {{0xB0, 0x80, 0xB0, 0x08, 0xA0, 0x81, 0x00, 0x04, 1, 2, 3, 4, 0x01, 0x2F}},
                  2,
                  0,
                  true},
        ParseCase{
            "write_bad_checksum", {{0xA0, 0x81, 0x00, 0x04, 1, 2, 3, 4, 0x01, 0x30}}, 1, 0, false},
        ParseCase{"write_zero_length", {{0xA0, 0x81, 0x00, 0x00, 0x01, 0x21}}, 1, 0, true},
        ParseCase{"incomplete_write", {{0xA0, 0x81, 0x00, 0x04, 1, 2}}, 0, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameParserTest, DecodesFields) {
  FrameParser parser;
  const auto frames = parser.Feed(Bytes{0xA0, 0x81, 0x00, 0x04, 1, 2, 3, 4, 0x01, 0x2F}, 0);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].kind, Frame::Kind::Write);
  EXPECT_EQ(frames[0].address, 0x8100);
  EXPECT_EQ(frames[0].count, 4);
  EXPECT_EQ(frames[0].data, (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(frames[0].raw.size(), 10u);
}

TEST(FrameParserTest, DropsHalfFrameAfterQuietGap) {
  FrameParser parser(100);
  EXPECT_TRUE(parser.Feed(Bytes{0xA0, 0x81, 0x00, 0x20, 1, 2}, 1000).empty());
  EXPECT_EQ(parser.Deadline(), 1100);
  // Within the gap the frame goes on.
  parser.Expire(1099);
  EXPECT_TRUE(parser.Deadline().has_value());
  // After it, the sender has given up; a fresh request is parsed on its own.
  const auto frames = parser.Feed(Bytes{0xB0, 0x80, 0xB0, 0x08}, 1100);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].kind, Frame::Kind::Read);
  EXPECT_EQ(parser.DiscardedBytes(), 6u);
  EXPECT_FALSE(parser.Deadline().has_value());
}

}  // namespace
}  // namespace flowsim
