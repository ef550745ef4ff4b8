#include "tools/flowsim/simulator.h"

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace flowsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::ChecksumFits;
using test::Exchange;
using test::ReadFrame;
using test::WriteFrame;

class SimulatorTest : public ::testing::Test {
 protected:
  test::ManualClock clock;
  std::unique_ptr<FlowSimulator> sim = test::MakeSimulator(clock);
};

struct BlockCase {
  std::uint16_t address;
  std::uint8_t count;
};

TEST_F(SimulatorTest, ReadRepliesEchoDataAndSum) {
  // Blocks the program reads, from the smallest to the largest frame.
  const BlockCase cases[] = {{0x8176, 2},  {0x80B0, 8},   {0x80E0, 13},  {0xA000, 16},
                             {0x80A0, 16}, {0x8FC0, 16},  {0x0000, 36},  {0xF800, 80},
                             {0xF850, 80}, {0x8420, 128}, {0x9580, 128}, {0x7A6C + 488, 240}};
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(c.address);
    const Bytes request = ReadFrame(c.address, c.count);
    const Bytes reply = Exchange(*sim, request);
    ASSERT_EQ(reply.size(), c.count + 6u);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), reply.begin()));
    EXPECT_TRUE(ChecksumFits(reply));
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.end() - 2), sim->ReadMemory(c.address, c.count));
  }
}

TEST_F(SimulatorTest, WriteIsStoredAndReadBack) {
  Bytes data(32);
  for (int i = 0; i < 32; ++i) data[i] = static_cast<std::uint8_t>(0x40 + i);
  EXPECT_EQ(Exchange(*sim, WriteFrame(0x8120, data)), Bytes{kAcceptByte});
  const Bytes reply = Exchange(*sim, ReadFrame(0x8120, 32));
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.end() - 2), data);
}

TEST_F(SimulatorTest, WriteWithBadChecksumIsRejectedAndNotStored) {
  const Bytes before = sim->ReadMemory(0x80C0, 16);
  Bytes frame = WriteFrame(0x80C0, Bytes(16, 0x11));
  frame.back() ^= 0x01;
  EXPECT_EQ(Exchange(*sim, frame), Bytes{kRejectByte});
  EXPECT_EQ(sim->ReadMemory(0x80C0, 16), before);
}

TEST_F(SimulatorTest, WritesToDeviceOwnAreasAreAcceptedButIgnored) {
  const std::uint16_t areas[] = {0x80B0, 0x80E0, 0x8FC0, 0xF800, 0xF900};
  for (std::uint16_t a : areas) {
    SCOPED_TRACE(a);
    const Bytes before = sim->ReadMemory(a, 8);
    EXPECT_EQ(Exchange(*sim, WriteFrame(a, Bytes(8, 0x41))), Bytes{kAcceptByte});
    EXPECT_EQ(sim->ReadMemory(a, 8), before);
  }
  // The byte behind the password block is the writable baud index.
  EXPECT_EQ(Exchange(*sim, WriteFrame(0x80EC, Bytes{5, 0, 0, 0})), Bytes{kAcceptByte});
  EXPECT_EQ(sim->ReadMemory(0x80E0, 13)[12], 5);
}

struct FaultCase {
  FaultKind kind;
  std::size_t replySize;  // for a read of 16 bytes
  bool checksumFits;
  int echoAddress;  // -1: not checked
  int delayMs;
};

TEST_F(SimulatorTest, EachFaultShapesTheReadReply) {
  const FaultCase cases[] = {
      {FaultKind::NoAnswer, 0, false, -1, 0},
      {FaultKind::ShortReply, 11, false, 0x80A0, 0},
      {FaultKind::LateReply, 22, true, 0x80A0, 1700},
      {FaultKind::BadChecksum, 22, false, 0x80A0, 0},
      {FaultKind::Reject, 1, false, -1, 0},
      {FaultKind::WrongEcho, 22, true, 0x80A1, 0},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(FaultName(c.kind));
    sim->InjectFault(c.kind, 1, 1700);
    const auto replies = sim->Receive(ReadFrame(0x80A0, 16));
    ASSERT_EQ(replies.size(), 1u);
    const Bytes& reply = replies[0].bytes;
    EXPECT_EQ(reply.size(), c.replySize);
    EXPECT_EQ(ChecksumFits(reply), c.checksumFits);
    if (c.echoAddress >= 0) {
      EXPECT_EQ(reply[1] << 8 | reply[2], c.echoAddress);
    }
    if (c.kind == FaultKind::Reject) {
      EXPECT_EQ(reply[0], kRejectByte);
    }
    EXPECT_EQ(replies[0].delayMs, c.delayMs);
    // One frame only: the next one is clean again.
    const Bytes clean = Exchange(*sim, ReadFrame(0x80A0, 16));
    EXPECT_EQ(clean.size(), 22u);
    EXPECT_TRUE(ChecksumFits(clean));
    EXPECT_EQ(clean[2], 0xA0);
  }
  EXPECT_EQ(sim->PendingFaults(), 0u);
}

TEST_F(SimulatorTest, FaultsOnWrites) {
  const Bytes data(4, 0x22);
  // A rejected write is not stored.
  sim->InjectFault(FaultKind::Reject, 1);
  EXPECT_EQ(Exchange(*sim, WriteFrame(0x817C, data)), Bytes{kRejectByte});
  EXPECT_NE(sim->ReadMemory(0x817C, 4), data);
  // A lost reply does not undo the write; a short one is no reply at all.
  sim->InjectFault(FaultKind::NoAnswer, 1);
  EXPECT_EQ(Exchange(*sim, WriteFrame(0x817C, data)), Bytes{});
  EXPECT_EQ(sim->ReadMemory(0x817C, 4), data);
  sim->InjectFault(FaultKind::ShortReply, 1);
  EXPECT_EQ(Exchange(*sim, WriteFrame(0x817C, data)), Bytes{});
  // Reply-only faults pass writes by and wait for the next read.
  sim->InjectFault(FaultKind::WrongEcho, 1);
  EXPECT_EQ(Exchange(*sim, WriteFrame(0x817C, data)), Bytes{kAcceptByte});
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x817C, 4))[2], 0x7D);
}

TEST_F(SimulatorTest, FaultCountsAndAddresses) {
  sim->InjectFaultAt(FaultKind::NoAnswer, 0x82E0, 2);  // medium block of circuit 2
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x82C0, 32)).size(), 38u);
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x82E0, 32)).size(), 0u);
  // A frame whose range covers the address counts as a frame to it.
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x82D0, 32)).size(), 0u);
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x82E0, 32)).size(), 38u);

  sim->InjectFault(FaultKind::Reject, kEveryFrame);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Exchange(*sim, ReadFrame(0x80B0, 8)), Bytes{kRejectByte});
  sim->ClearFaults();
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x80B0, 8)).size(), 14u);

  // The first fault injected is used first.
  sim->InjectFault(FaultKind::Reject, 1);
  sim->InjectFault(FaultKind::NoAnswer, 1);
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x80B0, 8)), Bytes{kRejectByte});
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x80B0, 8)), Bytes{});
  EXPECT_EQ(Exchange(*sim, ReadFrame(0x80B0, 8)).size(), 14u);
}

TEST_F(SimulatorTest, RecordsEveryRequestWithTimeAndReply) {
  Exchange(*sim, ReadFrame(0x80B0, 8));
  clock.ms += 250;
  sim->InjectFault(FaultKind::Reject, 1);
  Exchange(*sim, WriteFrame(0x9140, Bytes{1, 2, 3, 4}));
  // Garbage is not a request.
  sim->Receive(Bytes{0x12, 0x34});

  const auto records = sim->Requests();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].timeMs, 1'000'000);
  EXPECT_EQ(records[0].request, ReadFrame(0x80B0, 8));
  EXPECT_EQ(records[0].reply.size(), 14u);
  EXPECT_FALSE(records[0].fault.has_value());
  EXPECT_EQ(records[1].timeMs, 1'000'250);
  EXPECT_EQ(records[1].request, WriteFrame(0x9140, Bytes{1, 2, 3, 4}));
  EXPECT_EQ(records[1].reply, Bytes{kRejectByte});
  EXPECT_EQ(records[1].fault, FaultKind::Reject);
  EXPECT_EQ(sim->DiscardedBytes(), 2u);

  std::vector<RequestRecord> seen;
  sim->SetObserver([&](const RequestRecord& r) { seen.push_back(r); });
  Exchange(*sim, ReadFrame(0xA000, 16));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].request, ReadFrame(0xA000, 16));
  EXPECT_TRUE(sim->WaitForRequests(3, std::chrono::milliseconds(0)));
  sim->ClearRequests();
  EXPECT_EQ(sim->RequestCount(), 0u);
}

TEST_F(SimulatorTest, PasswordBlockFollowsPasswordSwitch) {
  auto active = [&] { return sim->ReadMemory(0x80E0, 13)[3]; };
  auto text = [&] {
    const Bytes b = sim->ReadMemory(0x80E0, 13);
    return std::string(b.begin() + 4, b.begin() + 12);
  };
  EXPECT_EQ(active(), 0);
  EXPECT_EQ(text(), "--------");
  sim->EnablePassword("abc");
  EXPECT_NE(active(), 0);
  EXPECT_EQ(text(), "abc-----");
  sim->EnablePassword("longer than eight");
  EXPECT_EQ(text(), "longer t");
  sim->EnablePassword("Gr\xC3\xBC\xC3\x9F");  // UTF-8 in, single-byte text on the device
  EXPECT_EQ(text(), "Gr\xFC\xDF----");
  sim->DisablePassword();
  EXPECT_EQ(active(), 0);
  EXPECT_EQ(text(), "--------");

  test::ManualClock other;
  SimulatorOptions options;
  options.password = "S3cret";
  FlowSimulator withPassword(options, [&other] { return other.ms; });
  const Bytes b = withPassword.ReadMemory(0x80E0, 13);
  EXPECT_EQ(b[3], 1);
  EXPECT_EQ(std::string(b.begin() + 4, b.begin() + 12), "S3cret--");
}

TEST_F(SimulatorTest, NewBaudIndexChangesPacingAfterTheReply) {
  sim->SetPacing(9600);
  const auto replies = sim->Receive(WriteFrame(0x80EC, Bytes{7, 0, 0, 0}));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].paceBaud, 9600);
  EXPECT_EQ(sim->PacingBaud(), 115200);
  EXPECT_EQ(sim->Receive(ReadFrame(0x80B0, 8))[0].paceBaud, 115200);
  // Unpaced stays unpaced.
  sim->SetPacing(0);
  sim->Receive(WriteFrame(0x80EC, Bytes{3, 0, 0, 0}));
  EXPECT_EQ(sim->PacingBaud(), 0);
}

TEST_F(SimulatorTest, ClockWriteSetsTheClock) {
  // 29.02.2008 07:05:09, units digit before tens digit.
  const Bytes digits = {9, 0, 5, 0, 7, 0, 9, 2, 2, 0, 8, 0};
  EXPECT_EQ(Exchange(*sim, WriteFrame(0xA000, digits)), Bytes{kAcceptByte});
  EXPECT_EQ(sim->DeviceTime(), (CivilTime{2008, 2, 29, 7, 5, 9}));
  clock.ms += 61'000;
  EXPECT_EQ(sim->ReadMemory(0xA000, 12), (Bytes{0, 1, 6, 0, 7, 0, 9, 2, 2, 0, 8, 0}));

  // No such day: the digits stay as written and the clock stands still.
  const Bytes april31 = {0, 0, 0, 0, 0, 1, 1, 3, 4, 0, 9, 0};
  Exchange(*sim, WriteFrame(0xA000, april31));
  clock.ms += 5'000;
  EXPECT_FALSE(sim->ClockRunning());
  EXPECT_EQ(sim->ReadMemory(0xA000, 12), april31);
}

}  // namespace
}  // namespace flowsim
