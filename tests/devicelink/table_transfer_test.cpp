#include "devicelink/table_transfer.h"

#include <gtest/gtest.h>

#include <bit>

#include "tests/devicelink/link_fixture.h"
#include "tools/flowsim/device_map.h"

namespace devicelink {
namespace {

using testing::LinkTest;

uint16_t Address(const flowsim::RequestRecord& r) {
  return static_cast<uint16_t>(r.request.at(1) << 8 | r.request.at(2));
}

float FloatAt(const std::vector<uint8_t>& b, size_t i) {
  return std::bit_cast<float>(
      static_cast<uint32_t>(b.at(i) << 24 | b.at(i + 1) << 16 | b.at(i + 2) << 8 | b.at(i + 3)));
}

class TableTransferTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    TableData = std::make_unique<TPropertyTable>();
  }
  void TearDown() override {
    TableData.reset();
    LinkTest::TearDown();
  }

  // The pause after each frame shows between the frames the device saw.
  void ExpectGapsOfAtLeast(int64_t ms) {
    const auto requests = Requests();
    for (size_t i = 1; i < requests.size(); ++i) {
      EXPECT_GE(requests[i].timeMs - requests[i - 1].timeMs, ms) << i;
    }
  }
};

TEST_F(TableTransferTest, UnknownTableOrNoBufferSendsNothing) {
  EXPECT_FALSE(ReadTable(2));
  EXPECT_FALSE(WriteTable(2));
  EXPECT_FALSE(ReadTable(-1));
  TableData.reset();
  EXPECT_FALSE(ReadTable(0));
  EXPECT_FALSE(WriteTable(1));
  EXPECT_EQ(sim_->RequestCount(), 0u);
  EXPECT_TRUE(window_.progress_events.empty());
}

TEST_F(TableTransferTest, ReadTableFillsAxesAndRows) {
  const uint16_t base = flowsim::map::kPropertyTable1;
  sim_->WriteMemory(base + 28, Bytes({0x01, 0x11}));
  ASSERT_TRUE(ReadTable(1));

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 20u);
  EXPECT_EQ(requests[0].request, Bytes({0xB0, 0x9B, 0xC0, 28}));
  EXPECT_EQ(requests[1].request, Bytes({0xB0, 0x9B, 0xDC, 36}));
  for (int r = 0; r < 18; ++r) {
    EXPECT_EQ(Address(requests[2 + r]), base + 64 + 56 * r);
    EXPECT_EQ(requests[2 + r].request[3], 56);
  }
  const auto memory = sim_->ReadMemory(base, 1072);
  for (int c = 0; c < 14; ++c)
    EXPECT_EQ(TableData->Pressures[c], memory[2 * c] << 8 | memory[2 * c + 1]);
  EXPECT_EQ(TableData->Temperatures[0], 273);
  EXPECT_EQ(TableData->Temperatures[17], memory[28 + 34] << 8 | memory[28 + 35]);
  for (int r : {0, 17}) {
    for (int c : {0, 13}) EXPECT_EQ(TableData->Values[r][c], FloatAt(memory, 64 + 56 * r + 4 * c));
  }
  EXPECT_EQ(window_.progress_events, (std::vector<std::string>{"max 20", "show", "hide"}));
  EXPECT_EQ(window_.progress_position, 20);
  ExpectGapsOfAtLeast(50);
}

TEST_F(TableTransferTest, WriteTableFramesOnTheWire) {
  for (int c = 0; c < 14; ++c) TableData->Pressures[c] = static_cast<uint16_t>(100 * (c + 1));
  for (int r = 0; r < 18; ++r) {
    TableData->Temperatures[r] = static_cast<uint16_t>(273 + 10 * r);
    for (int c = 0; c < 14; ++c) TableData->Values[r][c] = 0.5f * r + 0.01f * c;
  }
  ASSERT_TRUE(WriteTable(1));

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 20u);
  const auto& first = requests.front().request;
  ASSERT_EQ(first.size(), 4u + 28 + 2);
  EXPECT_EQ(std::vector<uint8_t>(first.begin(), first.begin() + 6),
            Bytes({0xA0, 0x9B, 0xC0, 0x1C, 0x00, 0x64}));
  const auto& last = requests.back().request;
  EXPECT_EQ(std::vector<uint8_t>(last.begin(), last.begin() + 4), Bytes({0xA0, 0x9F, 0xB8, 56}));
  EXPECT_EQ(last.size(), 4u + 56 + 2);
  EXPECT_EQ(FloatAt(last, 4 + 4 * 13), 0.5f * 17 + 0.01f * 13);

  // What the device holds now reads back as what was written.
  const TPropertyTable sent = *TableData;
  *TableData = TPropertyTable{};
  window_.progress_events.clear();
  ASSERT_TRUE(ReadTable(1));
  EXPECT_EQ(TableData->Pressures, sent.Pressures);
  EXPECT_EQ(TableData->Temperatures, sent.Temperatures);
  EXPECT_EQ(TableData->Values, sent.Values);
}

TEST_F(TableTransferTest, WriteTableStopsAtARejectedFrame) {
  TransferTimeout = 60;
  sim_->InjectFaultAt(flowsim::FaultKind::Reject, flowsim::map::kPropertyTable0 + 64 + 56,
                      flowsim::kEveryFrame);
  EXPECT_FALSE(WriteTable(0));
  EXPECT_EQ(sim_->RequestCount(), 3u + 4);  // the rejected frame was tried four times
  EXPECT_EQ(window_.progress_events.back(), "hide");
  EXPECT_EQ(window_.progress_position, 3);
}

TEST_F(TableTransferTest, SaturationReadFailingInItsThirdFrame) {
  TransferTimeout = 60;
  for (TSatRow& row : UserSatTable) row = {1, 2, 3, 4};
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kSaturationTable + 256,
                      flowsim::kEveryFrame);
  EXPECT_FALSE(ReadUserSatTable());
  const auto memory = sim_->ReadMemory(flowsim::map::kSaturationTable, 512);
  for (int i = 0; i < 32; ++i) {
    const TSatRow& row = UserSatTable[i];
    if (i < 16) {
      EXPECT_EQ(row.T, FloatAt(memory, 16 * i)) << i;
      EXPECT_EQ(row.h, FloatAt(memory, 16 * i + 12)) << i;
      EXPECT_NE(row.T, 0.0f);
    } else {
      EXPECT_EQ(row.T + row.p + row.rho + row.h, 0.0f) << i;
    }
  }
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u + 4);
  EXPECT_EQ(requests[1].request, Bytes({0xB0, 0x96, 0x00, 128}));
  EXPECT_EQ(window_.progress_events, (std::vector<std::string>{"max 4", "show", "hide"}));
}

TEST_F(TableTransferTest, SaturationWriteInSixteenFrames) {
  for (int i = 0; i < 32; ++i) UserSatTable[i] = {373.15f + i, 100.0f + i, 0.5f * i, 2676.0f + i};
  ASSERT_TRUE(WriteUserSatTable());
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(Address(requests[i]), flowsim::map::kSaturationTable + 32 * i);
    EXPECT_EQ(requests[i].request.size(), 4u + 32 + 2);
  }
  const auto memory = sim_->ReadMemory(flowsim::map::kSaturationTable, 512);
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(FloatAt(memory, 16 * i), 373.15f + i) << i;
    EXPECT_EQ(FloatAt(memory, 16 * i + 4), 100.0f + i) << i;
    EXPECT_EQ(FloatAt(memory, 16 * i + 8), 0.5f * i) << i;
    EXPECT_EQ(FloatAt(memory, 16 * i + 12), 2676.0f + i) << i;
  }
  EXPECT_EQ(window_.progress_events, (std::vector<std::string>{"max 16", "show", "hide"}));
  EXPECT_EQ(window_.progress_position, 16);
  ExpectGapsOfAtLeast(20);
}

}  // namespace
}  // namespace devicelink
