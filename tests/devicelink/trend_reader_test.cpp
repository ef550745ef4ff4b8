#include "devicelink/trend_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <stdexcept>

#include "tests/devicelink/link_fixture.h"
#include "tools/flowsim/device_map.h"

namespace devicelink {
namespace {

using testing::LinkTest;

std::vector<uint8_t> Be16(uint16_t v) {
  return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

std::vector<uint8_t> Be32(float f) {
  const uint32_t v = std::bit_cast<uint32_t>(f);
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

struct StampBytes {
  int circuit = 1, interval = 15, year = 24, month = 6, day = 14, hour = 9, minute = 30, count = 60;
};

// A whole device trend block; sample j of each column is distinct.
std::vector<uint8_t> Block(const StampBytes& s) {
  std::vector<uint8_t> b = {static_cast<uint8_t>(s.circuit), static_cast<uint8_t>(s.interval),
                            static_cast<uint8_t>(s.year),    static_cast<uint8_t>(s.month),
                            static_cast<uint8_t>(s.day),     static_cast<uint8_t>(s.hour),
                            static_cast<uint8_t>(s.minute),  static_cast<uint8_t>(s.count)};
  for (int j = 0; j < 60; ++j) {
    auto w = Be16(static_cast<uint16_t>(2900 + j));
    b.insert(b.end(), w.begin(), w.end());
  }
  for (int j = 0; j < 60; ++j) {
    auto w = Be16(static_cast<uint16_t>(400 + j));
    b.insert(b.end(), w.begin(), w.end());
  }
  for (int j = 0; j < 60; ++j) {
    auto f = Be32(350.5f + j);
    b.insert(b.end(), f.begin(), f.end());
  }
  for (int j = 0; j < 60; ++j) {
    auto f = Be32(-1.25f * j);
    b.insert(b.end(), f.begin(), f.end());
  }
  return b;
}

uint16_t Address(const flowsim::RequestRecord& r) {
  return static_cast<uint16_t>(r.request.at(1) << 8 | r.request.at(2));
}

class TrendReaderTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    TrendStore = std::make_unique<TTrendStore>();
  }
  void TearDown() override {
    TrendStore.reset();
    LinkTest::TearDown();
  }

  // A record that holds an earlier complete read.
  static TTrendRecord OldRecord() {
    TTrendRecord r;
    r.Status = 1;
    r.StartText = "start";
    r.Circuit = 0;
    r.Interval = 5;
    r.Year = 2023;
    r.Month = 1;
    r.Day = 2;
    r.Hour = 3;
    r.Minute = 4;
    r.Count = 7;
    r.TempSamples.fill(1.5f);
    r.PressureSamples.fill(77);
    r.StdFlowSamples.fill(2.5f);
    r.MassFlowSamples.fill(3.5f);
    return r;
  }

  // The trend page's loop: the header, then every block until the first failure.
  bool ReadRing() {
    if (!ReadTrendHeader()) return false;
    for (int k = 0; k < kTrendRecords; ++k) {
      if (!ReadTrendBlock(k)) return false;
    }
    return true;
  }
};

TEST_F(TrendReaderTest, LastBlockIsReadAsStampAndFourColumns) {
  sim_->WriteMemory(0x7A6C, Block({}));
  ASSERT_TRUE(ReadTrendBlock(43));
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 5u);
  const struct {
    uint16_t address;
    uint8_t n;
  } expected[] = {{0x7A6C, 8}, {0x7A74, 120}, {0x7AEC, 120}, {0x7B64, 240}, {0x7C54, 240}};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(requests[i].request[0], 0xB0);
    EXPECT_EQ(Address(requests[i]), expected[i].address) << i;
    EXPECT_EQ(requests[i].request[3], expected[i].n) << i;
  }
  // The ring ends with the last mass flow sample.
  EXPECT_EQ(0x7C54 + 240 - 1, 0x7D43);

  const TTrendRecord& r = TrendStore->Records[43];
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Circuit, 1);
  EXPECT_EQ(r.Interval, 15);
  EXPECT_EQ(r.Year, 2024);
  EXPECT_EQ(r.Month, 6);
  EXPECT_EQ(r.Day, 14);
  EXPECT_EQ(r.Hour, 9);
  EXPECT_EQ(r.Minute, 30);
  EXPECT_EQ(r.Count, 60);
  for (int j : {0, 1, 59}) {
    EXPECT_EQ(r.TempSamples[j], 2900.0f + j);
    EXPECT_EQ(r.PressureSamples[j], 400 + j);
    EXPECT_EQ(r.StdFlowSamples[j], 350.5f + j);
    EXPECT_EQ(r.MassFlowSamples[j], -1.25f * j);
  }
}

TEST_F(TrendReaderTest, StampDecidesBetweenFullReadAndEmptyRecord) {
  struct Case {
    const char* name;
    StampBytes stamp;
    bool valid;
    uint16_t year = 0;
  } cases[] = {
      {"hour 24", {.hour = 24}, false},
      {"minute 60", {.minute = 60}, false},
      {"day 0", {.day = 0}, false},
      {"day 32", {.day = 32}, false},
      {"month 0", {.month = 0}, false},
      {"month 13", {.month = 13}, false},
      {"interval 0", {.interval = 0}, false},
      {"interval 101", {.interval = 101}, false},
      {"circuit 3", {.circuit = 3}, false},
      {"count 61", {.count = 61}, false},
      {"erased", {255, 255, 255, 255, 255, 255, 255, 255}, false},
      {"upper bounds", {2, 100, 5, 12, 31, 23, 59, 60}, true, 2005},
      {"lower bounds, count 0", {0, 1, 99, 1, 1, 0, 0, 0}, true, 1999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrendStore->Records[5] = OldRecord();
    sim_->WriteMemory(flowsim::map::TrendBlock(5), Block(c.stamp));
    sim_->ClearRequests();
    ASSERT_TRUE(ReadTrendBlock(5));
    const TTrendRecord& r = TrendStore->Records[5];
    if (c.valid) {
      EXPECT_EQ(sim_->RequestCount(), 5u);
      EXPECT_EQ(r.Status, 1);
      EXPECT_EQ(r.Year, c.year);
      EXPECT_EQ(r.Count, c.stamp.count);
      // All 60 samples, whatever the count says.
      EXPECT_EQ(r.TempSamples[59], 2959.0f);
      EXPECT_EQ(r.MassFlowSamples[59], -1.25f * 59);
    } else {
      EXPECT_EQ(sim_->RequestCount(), 1u);
      EXPECT_EQ(r.Status, 0);
      EXPECT_EQ(r.Circuit + r.Interval + r.Year + r.Month + r.Day + r.Hour + r.Minute + r.Count, 0);
      for (int j = 0; j < 60; ++j) {
        ASSERT_EQ(r.TempSamples[j], 0.0f);
        ASSERT_EQ(r.PressureSamples[j], 0);
        ASSERT_EQ(r.StdFlowSamples[j], 0.0f);
        ASSERT_EQ(r.MassFlowSamples[j], 0.0f);
      }
    }
  }
}

TEST_F(TrendReaderTest, UnchangedBlocksCostOnlyTheirStamp) {
  // A full ring: the newest block filled up and the rest of the ring written.
  while (sim_->ReadMemory(flowsim::map::kTrendHeader + 1, 1)[0] != 43 ||
         sim_->ReadMemory(flowsim::map::TrendBlock(43) + 7, 1)[0] != 60) {
    sim_->RecordTrendSample();
  }
  ASSERT_TRUE(ReadRing());
  EXPECT_EQ(sim_->RequestCount(), 1u + 44 * 5);
  EXPECT_EQ(TrendStore->TrendNewest, 43);
  for (const TTrendRecord& r : TrendStore->Records) ASSERT_EQ(r.Status, 1);

  sim_->ClearRequests();
  ASSERT_TRUE(ReadRing());
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u + 44);
  for (size_t i = 1; i < requests.size(); ++i) EXPECT_EQ(requests[i].request[3], 8) << i;

  // The device starts over at block 0: only that block is read again.
  TrendStore->Records[1].MeanValues[0] = 12.5;
  sim_->RecordTrendSample();
  sim_->ClearRequests();
  ASSERT_TRUE(ReadRing());
  requests = Requests();
  ASSERT_EQ(requests.size(), 1u + 44 + 4);
  EXPECT_EQ(Address(requests[2]), flowsim::map::TrendBlock(0) + 8);
  EXPECT_EQ(TrendStore->TrendRingState, 2);
  EXPECT_EQ(TrendStore->TrendNewest, 0);
  EXPECT_EQ(TrendStore->Records[0].Count, 1);
  EXPECT_EQ(TrendStore->Records[0].Status, 1);
  // The trend page's statistics of an unchanged record stay.
  EXPECT_EQ(TrendStore->Records[1].MeanValues[0], 12.5);
}

TEST_F(TrendReaderTest, FailedReadKeepsWhatTheRecordHad) {
  TransferTimeout = 60;
  const uint16_t block = flowsim::map::TrendBlock(7);
  struct Case {
    const char* name;
    uint16_t failing;
    size_t frames_before;
    bool stamp_stored;
  } cases[] = {
      {"stamp", block, 0, false},
      {"third sample read", static_cast<uint16_t>(block + 248), 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrendStore->Records[7] = OldRecord();
    sim_->WriteMemory(block, Block({}));
    sim_->ClearRequests();
    sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, c.failing, flowsim::kEveryFrame);
    EXPECT_FALSE(ReadTrendBlock(7));
    sim_->ClearFaults();
    EXPECT_EQ(sim_->RequestCount(), c.frames_before + 4);
    const TTrendRecord& r = TrendStore->Records[7];
    const TTrendRecord old = OldRecord();
    EXPECT_EQ(r.Status, c.stamp_stored ? 0 : 1);
    EXPECT_EQ(r.Interval, c.stamp_stored ? 15 : old.Interval);
    EXPECT_EQ(r.Year, c.stamp_stored ? 2024 : old.Year);
    EXPECT_EQ(r.Count, c.stamp_stored ? 60 : old.Count);
    EXPECT_EQ(r.TempSamples[0], old.TempSamples[0]);
    EXPECT_EQ(r.MassFlowSamples[59], old.MassFlowSamples[59]);
    EXPECT_EQ(window_.label, "OFFLINE");
  }
  // With Status 0 the unchanged stamp does not save the next read.
  sim_->ClearRequests();
  ASSERT_TRUE(ReadTrendBlock(7));
  EXPECT_EQ(sim_->RequestCount(), 5u);
  EXPECT_EQ(TrendStore->Records[7].Status, 1);
  EXPECT_EQ(TrendStore->Records[7].TempSamples[0], 2900.0f);
}

TEST_F(TrendReaderTest, HeaderFields) {
  std::vector<uint8_t> header = {2, 17};
  for (int i = 0; i < 8; ++i) {
    auto f = Be32(0.5f + i);
    header.insert(header.end(), f.begin(), f.end());
  }
  header.push_back(0x12);
  header.push_back(0x34);
  sim_->WriteMemory(0x0000, header);
  ASSERT_TRUE(ReadTrendHeader());
  EXPECT_EQ(TrendStore->TrendRingState, 2);
  EXPECT_EQ(TrendStore->TrendNewest, 17);
  EXPECT_EQ(TrendStore->TrendHeaderValues[0], 0.5f);
  EXPECT_EQ(TrendStore->TrendHeaderValues[7], 7.5f);
  EXPECT_EQ(TrendStore->TrendHeaderWord, 0x1234);
  ASSERT_EQ(sim_->RequestCount(), 1u);
  EXPECT_EQ(Requests()[0].request, Bytes({0xB0, 0x00, 0x00, 36}));

  TransferTimeout = 60;
  sim_->InjectFault(flowsim::FaultKind::BadChecksum, flowsim::kEveryFrame);
  TrendStore->TrendNewest = 3;
  EXPECT_FALSE(ReadTrendHeader());
  EXPECT_EQ(TrendStore->TrendNewest, 3);
}

TEST_F(TrendReaderTest, NoStoreOrBadIndexSendsNothing) {
  EXPECT_THROW(ReadTrendBlock(44), std::out_of_range);
  EXPECT_THROW(ReadTrendBlock(-1), std::out_of_range);
  TrendStore.reset();
  EXPECT_FALSE(ReadTrendHeader());
  EXPECT_FALSE(ReadTrendBlock(0));
  EXPECT_EQ(sim_->RequestCount(), 0u);
}

}  // namespace
}  // namespace devicelink
