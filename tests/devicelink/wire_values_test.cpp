#include "devicelink/wire_values.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace devicelink {
namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

struct SingleFromBytesCase {
  std::string bytes;
  uint32_t expected_pattern;  // bit pattern of the result
};

TEST(WireValues, BytesToSingleMapsErasedAndInfiniteToZero) {
  const SingleFromBytesCase cases[] = {
      {Bytes({0xFF, 0xFF, 0xFF, 0xFF}), 0x00000000},  // erased memory
      {Bytes({0x7F, 0x80, 0x00, 0x00}), 0x00000000},  // +inf
      {Bytes({0xFF, 0x80, 0x00, 0x00}), 0x00000000},  // -inf
      {Bytes({0x7F, 0xC0, 0x00, 0x00}), 0x7FC00000},  // quiet NaN passes through
      {Bytes({0xFF, 0xFF, 0xFF, 0xFE}), 0xFFFFFFFE},  // another NaN passes through
      {Bytes({0x3F, 0x80, 0x00, 0x00}), 0x3F800000},  // 1.0
      {Bytes({0xC3, 0x88, 0x93, 0x33}), 0xC3889333},  // -273.15
      {Bytes({0x3F, 0x80, 0x00, 0x00, 0x12}), 0x3F800000},  // bytes past the fourth ignored
  };
  for (const auto& c : cases) {
    float v = BytesToSingle(c.bytes);
    EXPECT_EQ(std::bit_cast<uint32_t>(v), c.expected_pattern) << std::hex << c.expected_pattern;
  }
  EXPECT_TRUE(std::isnan(BytesToSingle(Bytes({0x7F, 0xC0, 0, 0}))));
  EXPECT_EQ(BytesToSingle(Bytes({0x3F, 0x80, 0, 0})), 1.0f);
}

TEST(WireValues, SingleToBytesClamps) {
  struct Case {
    float value;
    std::string bytes;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {5e-10f, Bytes({0, 0, 0, 0})},
      {-5e-10f, Bytes({0, 0, 0, 0})},
      {-0.0f, Bytes({0, 0, 0, 0})},
      {1e-9f, Bytes({0x30, 0x89, 0x70, 0x5F})},   // not clamped: the pattern of 1e-9
      {-1e-9f, Bytes({0xB0, 0x89, 0x70, 0x5F})},
      {1e10f, Bytes({0x50, 0x15, 0x02, 0x97})},
      {inf, Bytes({0x50, 0x15, 0x02, 0x97})},
      {nan, Bytes({0x50, 0x15, 0x02, 0x97})},
      {9.9999e9f, Bytes({0x50, 0x15, 0x02, 0x97})},  // the clamp value itself
      {-1e10f, Bytes({0xD0, 0x15, 0x02, 0xF9})},      // no lower clamp
      {-inf, Bytes({0xFF, 0x80, 0x00, 0x00})},
      {1.0f, Bytes({0x3F, 0x80, 0x00, 0x00})},
      {100.0f, Bytes({0x42, 0xC8, 0x00, 0x00})},
  };
  for (const auto& c : cases) {
    std::string out = SingleToBytes(c.value);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out, c.bytes) << c.value;
  }
}

TEST(WireValues, IntegersAreBigEndianAndShortInputIsAnError) {
  EXPECT_EQ(BytesToU16(Bytes({0x12, 0x34})), 0x1234);
  EXPECT_EQ(BytesToU16(Bytes({0xFF, 0xFE, 0x99})), 0xFFFE);
  EXPECT_EQ(BytesToU32(Bytes({0xFF, 0xFF, 0xFF, 0xFF})), 4294967295u);
  EXPECT_EQ(BytesToU32(Bytes({0x01, 0x02, 0x03, 0x04})), 0x01020304u);
  EXPECT_THROW(BytesToU16(Bytes({0x12})), std::out_of_range);
  EXPECT_THROW(BytesToU32(Bytes({1, 2, 3})), std::out_of_range);
  EXPECT_THROW(BytesToSingle(""), std::out_of_range);
  EXPECT_THROW(DecodeBlockDate(Bytes({1, 2, 3, 4, 5})), std::out_of_range);
}

TEST(WireValues, BlockDateYearRule) {
  const std::pair<int, int> cases[] = {{79, 2079}, {80, 1980}, {99, 1999}, {0, 2000},
                                       {105, 2005}, {24, 2024}, {255, 2155}};
  for (auto [byte, year] : cases) {
    EXPECT_EQ(DecodeBlockDate(Bytes({byte, 1, 2, 3, 4, 5})).Year, year) << byte;
  }
  TBlockDate d = DecodeBlockDate(Bytes({24, 12, 31, 23, 59, 58}));
  EXPECT_EQ(BlockDateToClock(d), (TDeviceClock{2024, 12, 31, 23, 59, 58}));
}

TEST(WireValues, ClockDigitsUseLowNibble) {
  EXPECT_EQ(ClockDigitFromByte(0x37), 7);
  EXPECT_EQ(ClockDigitFromByte(0xF9), 9);
  EXPECT_EQ(ClockDigitFromByte(0x0C), 12);  // a tens digit above 9 is taken as it is
  EXPECT_EQ(ClockDigitToByte(5), 5);
}

}  // namespace
}  // namespace devicelink
