#include "devicelink/frame_transfer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "devicelink/block_commands.h"
#include "devicelink/wire_values.h"
#include "tools/flowsim/device_map.h"
#include "platform/folders.h"
#include "tests/devicelink/link_fixture.h"
#include "tests/devicelink/scripted_peer.h"

namespace devicelink {
namespace {

using flowsim::FaultKind;
using testing::LinkTest;
using testing::ReadReply;
using testing::ScriptedLinkTest;
using testing::ScriptedPeer;

class FrameTransferTest : public LinkTest {
 protected:
  std::string TraceFile() const {
    platform::LocalDateTime d = platform::Now();
    char name[32];
    std::snprintf(name, sizeof name, "/%04d-%02d-%02d-rs232.log", d.year, d.month, d.day);
    return home_.DataFolder() + name;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
  }
};

TEST(Checksum, IsTheSumOfAllBytesHighByteFirst) {
  std::string m = {'\xA0', '\x81', '\x00', '\x04', '\x01', '\x02', '\x03', '\x04'};
  AppendChecksum(m, 255);
  ASSERT_EQ(m.size(), 10u);
  EXPECT_EQ(static_cast<uint8_t>(m[8]), 0x01);
  EXPECT_EQ(static_cast<uint8_t>(m[9]), 0x2F);
  std::string full(255, '\xFF');
  AppendChecksum(full, 255);  // no room: nothing appended
  EXPECT_EQ(full.size(), 255u);
}

TEST_F(FrameTransferTest, RejectedWritesAreRepeatedButNotCounted) {
  testing::TOwnSet own_set;
  sim_->InjectFault(FaultKind::Reject, 4);
  EXPECT_FALSE(WriteGasCommon());
  EXPECT_EQ(sim_->RequestCount(), 4u);
  EXPECT_EQ(ErrorCount, 0);
  EXPECT_TRUE(beeps.empty());
  EXPECT_EQ(window_.label, "OFFLINE");
  EXPECT_EQ(window_.label_colour, kColourRed);
  EXPECT_TRUE(DeviceOnline);  // the next exchange tries again
  EXPECT_TRUE(WriteGasCommon());
  EXPECT_EQ(window_.label, "ONLINE");
}

TEST_F(FrameTransferTest, BeepOnlyAfterThreeCountedFailuresInOneExchange) {
  struct Case {
    int bad_checksums;
    int no_answers;
    bool beep;
  } cases[] = {{3, 1, true}, {2, 2, false}, {4, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bad_checksums);
    beeps.clear();
    ErrorCount = 100;  // the count is never reset; only this exchange's part matters
    sim_->ClearRequests();
    sim_->InjectFault(FaultKind::BadChecksum, c.bad_checksums);
    if (c.no_answers) sim_->InjectFault(FaultKind::NoAnswer, c.no_answers);
    EXPECT_FALSE(ReadGasCommon());
    EXPECT_EQ(sim_->RequestCount(), 4u);
    EXPECT_EQ(ErrorCount, 100 + c.bad_checksums);
    EXPECT_EQ(beeps, c.beep ? std::vector<uint32_t>{platform::kBeepInformation}
                            : std::vector<uint32_t>{});
  }
}

TEST_F(FrameTransferTest, TraceLevelOneKeepsOnlyExchangesThatNeededARepeat) {
  TraceLevel = 1;
  ASSERT_TRUE(ReadGasCommon());
  EXPECT_EQ(ReadFile(TraceFile()), "");

  sim_->InjectFault(FaultKind::NoAnswer, 1);
  ASSERT_TRUE(ReadGasCommon());
  std::string log = ReadFile(TraceFile());
  EXPECT_EQ(Count(log, "Transmit"), 2) << log;
  EXPECT_EQ(Count(log, "Error Timeout_2"), 1) << log;

  TraceLevel = 2;  // every exchange, appended
  ASSERT_TRUE(ReadGasCommon());
  EXPECT_EQ(Count(ReadFile(TraceFile()), "Transmit"), 3);
}

// Raw frames, so that the test sees exactly what an exchange accepted.
std::string ReadFrame(uint16_t address, uint8_t n) {
  return {static_cast<char>(kReadRequest), static_cast<char>(address >> 8),
          static_cast<char>(address & 0xFF), static_cast<char>(n)};
}
std::string WriteFrame(uint16_t address, const std::string& data) {
  return ReadFrame(address, static_cast<uint8_t>(data.size())).replace(0, 1, 1, '\xA0') + data;
}
std::string AsString(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// A reply that comes after its exchange gave up reaches the next exchanges (the
// device answers the queued repeats too): neither may take it as its own.
TEST_F(FrameTransferTest, ALateReplyIsNeverTakenAsTheReplyToALaterRequest) {
  constexpr uint16_t kLate = flowsim::map::kGasCommon;
  constexpr uint16_t kOther = flowsim::map::kLimitValues;
  constexpr uint16_t kRefused = flowsim::map::kTempParams;
  // Past all four attempts of the exchange it belongs to (4 x 300 ms, polls and
  // pauses: about 1.5 s), with room for a slow machine.
  constexpr int kDelayMs = 2000;
  auto late_read = [&] {
    sim_->InjectFaultAt(FaultKind::LateReply, kLate, 1, kDelayMs);
    std::string m = ReadFrame(kLate, 16);
    EXPECT_FALSE(TransferFrame(m, 255, 20));
  };

  // A read meanwhile gets its own block.
  late_read();
  std::string read = ReadFrame(kOther, 16);
  ASSERT_TRUE(TransferFrame(read, 255, 20));
  EXPECT_EQ(read.substr(4, 16), AsString(sim_->ReadMemory(kOther, 16)));
  EXPECT_EQ(read.substr(0, 4), ReadFrame(kOther, 16));
  EXPECT_GE(ErrorCount, 1);  // the late reply cost an attempt

  // A write meanwhile is not done when the device refuses it.
  late_read();
  const std::vector<uint8_t> before = sim_->ReadMemory(kRefused, 16);
  sim_->InjectFaultAt(FaultKind::Reject, kRefused, flowsim::kEveryFrame);
  std::string write = WriteFrame(kRefused, std::string(16, '\x5A'));
  EXPECT_FALSE(TransferFrame(write, 255, 1));
  EXPECT_EQ(sim_->ReadMemory(kRefused, 16), before);
  sim_->ClearFaults();

  // Nothing is left over for the exchanges after them.
  write = WriteFrame(kRefused, std::string(16, '\x5A'));
  ASSERT_TRUE(TransferFrame(write, 255, 1));
  EXPECT_EQ(AsString(sim_->ReadMemory(kRefused, 16)), std::string(16, '\x5A'));
}

TEST_F(FrameTransferTest, AHandlerRunDuringTheWaitCannotStartAnotherExchange) {
  bool inner_ran = false;
  bool inner_result = true;
  TempParams[0].Kind = 77;
  ui_.Post([&] {
    inner_ran = true;
    inner_result = ReadTempParams(0);
  });
  ASSERT_TRUE(ReadTempParams(1));
  EXPECT_TRUE(inner_ran);
  EXPECT_FALSE(inner_result);
  EXPECT_EQ(TempParams[0].Kind, 77);
  auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request[2], 0x20);  // circuit 2's block, and its own reply
}

TEST_F(FrameTransferTest, PortClosedDuringTheWaitTakesTheLinkOffline) {
  ASSERT_TRUE(ReadGasCommon());
  port_->SetAutoOpen(false);  // so that the next attempt does not open it again
  ui_.Post([&] { port_->SetOpen(false); });
  EXPECT_FALSE(ReadGasCommon());
  EXPECT_FALSE(DeviceOnline);
  EXPECT_EQ(window_.label, "OFFLINE");
}

// A wait the operator notices shows the hourglass; a quick answer leaves the
// cursor alone.
TEST_F(FrameTransferTest, AWaitBeyondHalfASecondShowsTheHourglass) {
  TransferTimeout = 300;
  ASSERT_TRUE(ReadGasCommon());
  EXPECT_TRUE(window_.cursors.empty());
  sim_->InjectFault(FaultKind::NoAnswer, 4);
  EXPECT_FALSE(ReadGasCommon());
  EXPECT_EQ(window_.cursors,
            (std::vector<TCursorShape>{TCursorShape::HourGlass, TCursorShape::Default}));
}

// What a run lets out: a stop ends a run that has not written at its next
// exchange, and one that writes at its first failure after the stop; a run
// whose port was opened again sends nothing more, unless it opened the port
// itself. Refusals send nothing and leave the link and its label alone.
TEST_F(FrameTransferTest, ARunLetsOutOnlyWhatItMay) {
  const uint16_t gas = 0x80F0;
  const uint16_t temperature = 0x8100;
  const struct {
    const char* name;
    std::function<void(TRun&)> before;  // inside the run, before the stop
    bool stop;
    bool silent_after;  // the device stops answering after the stop
    std::function<void(TRun&)> between;  // after the stop (and the silence)
    std::vector<bool> results;           // gas write or read, then temperature write
    size_t requests;                     // after before()
    std::vector<uint16_t> not_sent;
  } cases[] = {
      {"reads, stopped", [](TRun&) { ASSERT_TRUE(ReadGasCommon()); }, true, false, nullptr,
       {false, false}, 0, {}},
      {"writes, stopped, the device answers",
       [](TRun&) { ASSERT_TRUE(WriteGasCommon()); }, true, false, nullptr, {true, true}, 2, {}},
      {"writes, stopped, the device goes silent",
       [](TRun&) { ASSERT_TRUE(WriteGasCommon()); }, true, true, nullptr, {false, false}, 4,
       {gas, temperature}},
      {"writes, not stopped, the device goes silent",
       [](TRun&) { ASSERT_TRUE(WriteGasCommon()); }, false, true, nullptr, {false, false}, 8,
       {gas, temperature}},
      {"the port opened again",
       [this](TRun&) {
         ASSERT_TRUE(ReadGasCommon());
         port_->SetOpen(false);
         port_->SetOpen(true);
       },
       false, false, nullptr, {false, false}, 0, {}},
      {"the port opened again by the run itself",
       [this](TRun& run) {
         ASSERT_TRUE(ReadGasCommon());
         port_->SetOpen(false);
         port_->SetOpen(true);
         run.Rebind();
       },
       false, false, nullptr, {true, true}, 2, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_->ClearFaults();
    testing::TOwnSet own_set;
    TRun& run = own_set.run;
    c.before(run);
    sim_->ClearRequests();
    window_.label = "untouched";
    if (c.stop) run.Stop();
    if (c.silent_after) sim_->InjectFault(FaultKind::NoAnswer, 1000);
    const bool first = run.Writing() ? WriteGasCommon() : ReadGasCommon();
    const bool second = WriteTempParams(0);
    EXPECT_EQ((std::vector<bool>{first, second}), c.results);
    EXPECT_EQ(sim_->RequestCount(), c.requests);
    EXPECT_EQ(run.NotSent(), c.not_sent);
    if (c.requests == 0) {
      EXPECT_EQ(window_.label, "untouched");
    }
    EXPECT_TRUE(DeviceOnline);
  }
  sim_->ClearFaults();
  // Without a run every exchange goes as it always did.
  EXPECT_TRUE(ReadGasCommon());
}

TEST_F(FrameTransferTest, IdentCheck) {
  DeviceOnline = false;
  EXPECT_TRUE(CheckDeviceIdent());
  EXPECT_EQ(sim_->RequestCount(), 0u);
  DeviceOnline = true;
  EXPECT_TRUE(CheckDeviceIdent());
  const std::string unknown = "MV-NGX7";  // no trailing blank
  sim_->WriteMemory(0x80B0, Bytes({'M', 'V', '-', 'N', 'G', 'X', '7', 0}));
  EXPECT_FALSE(CheckDeviceIdent());
  sim_->WriteMemory(0x80B0, Bytes({'m', 'v', '-', 'n', 'g', 'x', '7', ' '}));
  EXPECT_FALSE(CheckDeviceIdent());
}

TEST(DelayMs, ReturnsWhenTheTickCounterWraps) {
  platform::ManualClock clock(0xFFFFFFF0u);
  clock.SetStepPerRead(1);
  platform::SetClock(&clock);
  platform::QueueMainThread ui;
  platform::SetMainThread(&ui);
  DelayMs(1000);
  // Sleeps of 10 ms: wrapped after about two rounds, long before 1000 ms.
  EXPECT_LT(clock.TotalSlept(), 100u);
  clock.SetTick(1000);
  DelayMs(100);
  EXPECT_GE(clock.TotalSlept(), 100u);
  platform::SetMainThread(nullptr);
  platform::SetClock(nullptr);
}

// Replies that only a scripted device gives.
TEST_F(ScriptedLinkTest, ExtraTrailingBytesAndOversizedRepliesAreHarmless) {
  for (size_t extra : {3u, 400u}) {
    SCOPED_TRACE(extra);
    Serve([extra](const std::string& request) {
      return ReadReply(request, std::string(16, '\x41')) + std::string(extra, '\x55');
    });
    ASSERT_TRUE(ReadGasCommon());
    EXPECT_FLOAT_EQ(GasCommon.Ho, 12.078431f);  // 41 41 41 41
  }
}

// An acknowledgement is one byte other than the reject byte; a longer reply
// (a late read reply, say) says nothing about this write. Counted like a reply
// that fails its checksum.
TEST_F(ScriptedLinkTest, AWriteIsAcknowledgedByExactlyOneByteOtherThanTheRejectByte) {
  struct Case {
    std::string reply;
    bool done;
    int32_t counted;
  } cases[] = {{"\x01", true, 0},
               {std::string(1, '\0'), true, 0},
               {"\xE0", false, 0},
               {"\x01\x01", false, 4},
               {ReadReply(ReadFrame(0x80F0, 2), "ab"), false, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.size());
    Serve([&c](const std::string&) { return c.reply; });
    ErrorCount = 0;
    std::string write = WriteFrame(0x80F0, "ab");
    EXPECT_EQ(TransferFrame(write, 255, 1), c.done);
    EXPECT_EQ(ErrorCount, c.counted);
    EXPECT_EQ(peer_->Requests().size(), c.done ? 1u : 4u);
  }
}

TEST_F(ScriptedLinkTest, LiveTemperatureComesInKelvinAndNearZeroIsZero) {
  struct Case {
    float kelvin;
    float celsius;
  } cases[] = {{273.15f, 0.0f}, {273.1505f, 0.0f}, {293.15f, 20.0f}, {263.15f, -10.0f},
               {273.152f, 0.002f}, {273.16f, 0.01f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kelvin);
    Serve([&c](const std::string& request) {
      std::string data(80, '\0');
      data.replace(24, 4, SingleToBytes(c.kelvin));
      data.replace(60, 4, std::string(4, '\xFF'));  // operating seconds
      return ReadReply(request, data);
    });
    ASSERT_TRUE(ReadLiveValues(0));
    EXPECT_NEAR(LiveValues[0].Temperature, c.celsius, 2e-5);
    if (c.celsius == 0.0f) {
      EXPECT_EQ(LiveValues[0].Temperature, 0.0f);
    }
    EXPECT_EQ(LiveValues[0].OperatingSeconds, 4294967295u);
  }
}

}  // namespace
}  // namespace devicelink
