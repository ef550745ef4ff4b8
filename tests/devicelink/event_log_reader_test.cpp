#include "devicelink/event_log_reader.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/devicelink/link_fixture.h"
#include "tools/flowsim/device_map.h"

namespace devicelink {
namespace {

using testing::LinkTest;

uint16_t Address(const flowsim::RequestRecord& r) {
  return static_cast<uint16_t>(r.request.at(1) << 8 | r.request.at(2));
}

class EventLogReaderTest : public LinkTest {};

TEST_F(EventLogReaderTest, ArchiveIsReadNewestFirstFromTheRingPointers) {
  // Each slot tells where it came from: circuit in the total, slot in the counter.
  for (int c = 0; c < 2; ++c) {
    for (int s = 0; s < 8; ++s) {
      std::vector<uint8_t> record = {6,
                                     3,
                                     static_cast<uint8_t>(s + 1),
                                     7,
                                     8,
                                     9,
                                     99,
                                     12,
                                     31,
                                     23,
                                     59,
                                     58,
                                     0x3F,
                                     0x80,
                                     0x00,
                                     0x00,  // 1.0
                                     0x40,
                                     0x00,
                                     0x00,
                                     0x00,  // 2.0
                                     0,
                                     0,
                                     static_cast<uint8_t>(c),
                                     static_cast<uint8_t>(s)};
      record.resize(32, 0xEE);
      sim_->WriteMemory(flowsim::map::ArchiveRecord(c, s), record);
    }
  }
  sim_->WriteMemory(flowsim::map::ArchiveRecord(1, 0) + 20, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  sim_->WriteMemory(flowsim::map::kArchivePointers, Bytes({0, 3}));
  IntegratorHistory[0][0].Reserved.fill(0x11);
  window_.progress_position = 0;

  ASSERT_TRUE(ReadIntegratorHistory());

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 17u);
  EXPECT_EQ(requests[0].request, Bytes({0xB0, 0x81, 0x76, 2}));
  const int slots[2][8] = {{7, 6, 5, 4, 3, 2, 1, 0}, {2, 1, 0, 7, 6, 5, 4, 3}};
  for (int c = 0; c < 2; ++c) {
    for (int f = 0; f < 8; ++f) {
      const auto& r = requests[1 + 8 * c + f];
      EXPECT_EQ(Address(r), flowsim::map::ArchiveRecord(c, slots[c][f])) << c << " " << f;
      EXPECT_EQ(r.request[3], 32);
      const uint32_t expected_counter =
          c == 1 && slots[c][f] == 0 ? 4294967295u : static_cast<uint32_t>(c << 8 | slots[c][f]);
      EXPECT_EQ(IntegratorHistory[c][f].Counter, expected_counter) << c << " " << f;
    }
  }
  const TIntegratorRecord& newest = IntegratorHistory[0][0];
  EXPECT_EQ(newest.Start, (TDeviceClock{2006, 3, 8, 7, 8, 9}));
  EXPECT_EQ(newest.End, (TDeviceClock{1999, 12, 31, 23, 59, 58}));
  EXPECT_EQ(newest.Total, 1.0f);
  EXPECT_EQ(newest.MassTotal, 2.0f);
  EXPECT_EQ(newest.Reserved[0], 0x11);  // not the device's
  EXPECT_EQ(window_.progress_position, 16);
}

TEST_F(EventLogReaderTest, ArchivePointerEightMakesTheLastSlotTheNewest) {
  sim_->WriteMemory(flowsim::map::kArchivePointers, Bytes({8, 0}));
  ASSERT_TRUE(ReadIntegratorHistory());
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 17u);
  for (int c = 0; c < 2; ++c) {
    for (int f = 0; f < 8; ++f) {
      EXPECT_EQ(Address(requests[1 + 8 * c + f]), flowsim::map::ArchiveRecord(c, 7 - f))
          << c << " " << f;
    }
  }
}

TEST_F(EventLogReaderTest, ArchivePointerOutsideTheRingIsAnError) {
  for (uint8_t pointer : {9, 255}) {
    SCOPED_TRACE(pointer);
    sim_->ClearRequests();
    sim_->WriteMemory(flowsim::map::kArchivePointers, Bytes({2, pointer}));
    EXPECT_THROW(ReadIntegratorHistory(), std::out_of_range);
    EXPECT_EQ(sim_->RequestCount(), 1u);
  }
}

TEST_F(EventLogReaderTest, ArchiveStopsAtTheFirstFailure) {
  TransferTimeout = 60;
  sim_->WriteMemory(flowsim::map::kArchivePointers, Bytes({1, 1}));
  sim_->WriteMemory(flowsim::map::ArchiveRecord(0, 0) + 20, Bytes({0, 0, 0, 42}));
  for (auto& circuit : IntegratorHistory) {
    for (auto& r : circuit) r.Counter = 7;
  }
  // Circuit 1 reads slots 0, 7, 6, ...: the second record fails.
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::ArchiveRecord(0, 7),
                      flowsim::kEveryFrame);
  EXPECT_FALSE(ReadIntegratorHistory());
  EXPECT_EQ(IntegratorHistory[0][0].Counter, 42u);
  EXPECT_EQ(IntegratorHistory[0][1].Counter, 7u);
  EXPECT_EQ(IntegratorHistory[1][0].Counter, 7u);
  EXPECT_EQ(sim_->RequestCount(), 2u + 4);
}

TEST_F(EventLogReaderTest, ErrorLogHeaderAndPages) {
  std::vector<uint8_t> header(32, 0);
  header[14] = 0x5A;
  header[15] = 3;
  for (int t = 0; t < 16; ++t) header[16 + t] = static_cast<uint8_t>(t % 8);
  sim_->WriteMemory(flowsim::map::kEventHeader, header);
  for (int t = 0; t < 16; ++t) {
    for (int s = 0; s < 8; ++s) {
      sim_->WriteMemory(flowsim::map::EventEntry(t, s),
                        Bytes({t == 2 && s == 1 ? 1 : 0, 0x20 + t, 0xAB, 0xCD, 6, 3, 1 + s, 10, 20,
                               30, 6, 3, 2 + s, 11, 21, 31}));
    }
  }
  DeviceErrorLog.Reserved.fill(0);
  window_.progress_position = 0;

  ASSERT_TRUE(ReadErrorLog());

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 17u);
  EXPECT_EQ(requests[0].request, Bytes({0xB0, 0x84, 0x00, 32}));
  for (int t = 0; t < 16; ++t) {
    EXPECT_EQ(Address(requests[1 + t]), 0x8420 + 128 * t);
    EXPECT_EQ(requests[1 + t].request[3], 128);
  }
  EXPECT_EQ(window_.progress_position, 17);
  EXPECT_EQ(DeviceErrorLog.HeaderByte15, 0x5A);
  EXPECT_EQ(DeviceErrorLog.HeaderByte16, 3);
  EXPECT_EQ(DeviceErrorLog.NewestIndex[9], 1);
  for (uint8_t b : DeviceErrorLog.Reserved) EXPECT_EQ(b, 0);
  const TErrorLogEntry& e = DeviceErrorLog.Entries[8 * 2 + 1];
  EXPECT_EQ(e.Active, 1);
  EXPECT_EQ(e.Flag, 0x22);
  EXPECT_EQ(e.Reserved[0], 0xAB);
  EXPECT_EQ(e.Reserved[1], 0xCD);
  EXPECT_EQ(e.Come, (TDeviceClock{2006, 3, 2, 10, 20, 30}));
  EXPECT_EQ(e.Go, (TDeviceClock{2006, 3, 3, 11, 21, 31}));
  EXPECT_EQ(DeviceErrorLog.Entries[8 * 15 + 7].Flag, 0x2F);
}

TEST_F(EventLogReaderTest, ErrorLogFailureOnTheFifthPageKeepsTheFirstFour) {
  TransferTimeout = 60;
  for (TErrorLogEntry& e : DeviceErrorLog.Entries) e.Flag = 0x77;
  for (int t = 0; t < 16; ++t) {
    for (int s = 0; s < 8; ++s) {
      sim_->WriteMemory(flowsim::map::EventEntry(t, s) + 1, Bytes({0x10 + t}));
    }
  }
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::EventEntry(4, 0),
                      flowsim::kEveryFrame);
  window_.progress_position = 0;
  EXPECT_FALSE(ReadErrorLog());
  for (int t = 0; t < 16; ++t) {
    for (int s = 0; s < 8; ++s) {
      ASSERT_EQ(DeviceErrorLog.Entries[8 * t + s].Flag, t < 4 ? 0x10 + t : 0x77) << t;
    }
  }
  EXPECT_EQ(window_.progress_position, 5);
}

TEST_F(EventLogReaderTest, ErrorStatus) {
  // The preset device has one error present.
  uint8_t mask = 0;
  EXPECT_EQ(ReadErrorStatus(mask), 1);
  EXPECT_EQ(mask, 0x04);
  ASSERT_EQ(sim_->RequestCount(), 1u);
  EXPECT_EQ(Requests()[0].request, Bytes({0xB0, 0x84, 0x00, 16}));

  TransferTimeout = 60;
  sim_->InjectFault(flowsim::FaultKind::NoAnswer, flowsim::kEveryFrame);
  mask = 0xAB;
  EXPECT_EQ(ReadErrorStatus(mask), -1);
  EXPECT_EQ(mask, 0xAB);
}

}  // namespace
}  // namespace devicelink
