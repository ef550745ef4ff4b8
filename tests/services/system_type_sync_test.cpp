#include "services/system_type_sync.h"

#include <gtest/gtest.h>

#include <atomic>

#include "devicelink/block_commands.h"
#include "devicelink/wire_values.h"
#include "tests/devicelink/link_fixture.h"
#include "tests/devicelink/request_trace.h"
#include "tools/flowsim/device_map.h"

namespace services {
namespace {

using devicelink::TParameterRecords;
using testing_trace::DecodeRequests;
using testing_trace::TraceLines;

// ---- The record adjustments, without a device

TEST(SystemTypeAdjustments, CircuitTwoIsTakenAwayFromEveryDependentSetting) {
  TParameterRecords r{};
  r.TempParams[0].Eq = 1;
  r.TempParams[1] = {0, 0, 3, 2};
  r.PressureParams[0].Eq = 1;
  r.PressureParams[1].Kind = 2;
  r.PressureParams[1].Eq = 2;
  r.FlowParams[0].Kind = 4;
  r.FlowParams[1].Kind = 5;
  r.PulseOutputParams[1].Kind = 2;
  r.TrendSettings.Param = 1;
  r.UnitSwitches.First = 12;
  const uint8_t outputs[4] = {20, 28, 17, 6};
  for (int o = 0; o < 4; ++o) r.OutputParams[o].Param = outputs[o];
  r.AlarmParams[0].Param = 9;
  r.AlarmParams[1].Param = 7;
  r.SystemParams.Anzahl = 1;

  AdjustForSingleCircuitType(1, r);
  EXPECT_EQ(r.TempParams[0].Eq, 0);
  EXPECT_EQ(r.TempParams[1].Kind, 0);
  EXPECT_EQ(r.TempParams[1].Eq, 0);
  EXPECT_EQ(r.PressureParams[0].Eq, 0);
  EXPECT_EQ(r.PressureParams[1].Kind, 0);
  EXPECT_EQ(r.PressureParams[1].Eq, 0);
  EXPECT_EQ(r.FlowParams[0].Kind, 1);
  EXPECT_EQ(r.FlowParams[1].Kind, 0);
  EXPECT_EQ(r.PulseOutputParams[1].Kind, 0);
  EXPECT_EQ(r.TrendSettings.Param, 0);
  EXPECT_EQ(r.UnitSwitches.First, 5);
  EXPECT_EQ(r.OutputParams[0].Param, 4);
  EXPECT_EQ(r.OutputParams[1].Param, 4);
  EXPECT_EQ(r.OutputParams[2].Param, 1);
  EXPECT_EQ(r.OutputParams[3].Param, 6);  // not a circuit-2 source: kept
  EXPECT_EQ(r.AlarmParams[0].Param, 0);
  EXPECT_EQ(r.AlarmParams[1].Param, 7);
  EXPECT_EQ(r.SystemParams.Anzahl, 2);
}

TEST(SystemTypeAdjustments, OutputSourcesOfTheSecondCircuitMoveToTheFirst) {
  const std::pair<uint8_t, uint8_t> cases[] = {
      {9, 1},  {17, 1}, {10, 2}, {18, 2}, {11, 3}, {19, 3}, {12, 4}, {20, 4}, {28, 4},
      {13, 5}, {21, 5}, {29, 5}, {0, 0},  {5, 5},  {30, 30}, {33, 33}, {14, 14}};
  for (const auto& [code, expected] : cases) {
    TParameterRecords r{};
    r.OutputParams[2].Param = code;
    AdjustForSingleCircuitType(2, r);
    EXPECT_EQ(r.OutputParams[2].Param, expected) << "code " << int(code);
  }
}

TEST(SystemTypeAdjustments, FlowModesAndTransmittersAndFirstDisplay) {
  struct Case {
    uint8_t flow_kind, flow_expected, anzahl, anzahl_expected, first, first_expected;
  } cases[] = {{0, 0, 0, 2, 0, 0}, {2, 2, 3, 3, 7, 7}, {3, 1, 4, 4, 8, 1}, {255, 1, 2, 2, 255, 248}};
  for (const Case& c : cases) {
    TParameterRecords r{};
    r.FlowParams[0].Kind = c.flow_kind;
    r.SystemParams.Anzahl = c.anzahl;
    r.UnitSwitches.First = c.first;
    AdjustForSingleCircuitType(1, r);
    EXPECT_EQ(r.FlowParams[0].Kind, c.flow_expected);
    EXPECT_EQ(r.SystemParams.Anzahl, c.anzahl_expected);
    EXPECT_EQ(r.UnitSwitches.First, c.first_expected);
  }
}

TEST(SystemTypeAdjustments, DifferentialPressureRangesPerType) {
  struct Case {
    uint8_t type;
    float dp, dp2, dp3, dp4;
    float e2, e3, e4;
  } cases[] = {
      // Range switching: each range at most the one before, lowered in order.
      {1, 100, 150, 120, 50, 100, 100, 50},
      {1, 100, 80, 90, 10, 80, 80, 10},
      {1, 100, 60, 30, 10, 60, 30, 10},
      // Redundant: all three measure the main range.
      {2, 100, 60, 300, 10, 100, 100, 100},
  };
  for (const Case& c : cases) {
    TParameterRecords r{};
    r.FlowParams2[0] = {0, 0, 0, c.dp, 0, c.dp2, c.dp3, c.dp4};
    r.FlowParams2[1] = {0, 0, 0, 1, 0, 5, 5, 5};
    AdjustForSingleCircuitType(c.type, r);
    EXPECT_EQ(r.FlowParams2[0].Desdp, c.dp);
    EXPECT_EQ(r.FlowParams2[0].Desdp2, c.e2);
    EXPECT_EQ(r.FlowParams2[0].Desdp3, c.e3);
    EXPECT_EQ(r.FlowParams2[0].Desdp4, c.e4);
    EXPECT_EQ(r.FlowParams2[1].Desdp2, 5);  // circuit 2's design data are not touched
  }
}

// ---- The run against the simulated device

class SystemTypeSyncTest : public devicelink::testing::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    ASSERT_TRUE(devicelink::ReadSystemParams());
    sim_->ClearRequests();
  }
  void PutByte(uint16_t address, uint8_t value) {
    sim_->WriteMemory(address, std::vector<uint8_t>{value});
  }
  uint8_t ByteAt(uint16_t address) { return sim_->ReadMemory(address, 1)[0]; }
  std::vector<testing_trace::TTracedRequest> Traffic() { return DecodeRequests(Requests()); }
};

TEST_F(SystemTypeSyncTest, OneCircuitTypeReadsSixteenBlocksThenWritesSeventeen) {
  namespace m = flowsim::map;
  PutByte(m::kOutputParams + 3, 20);
  PutByte(m::kOutputParams + 16 + 3, 9);
  PutByte(m::kAlarmParams + 2, 9);
  PutByte(m::kAlarmParams + 16 + 2, 30);
  PutByte(m::kUnitSwitches + 2, 10);
  PutByte(m::kPulseParams + 8 + 3, 2);
  PutByte(m::kTrendSettings + 2, 1);
  ASSERT_EQ(devicelink::SystemParams.Kind, 0);

  const TSystemTypeChange r = ChangeSystemType(1);
  EXPECT_EQ(r.outcome, TSystemTypeChange::Outcome::Written);
  EXPECT_EQ(r.failed_exchange, -1);

  const auto traffic = Traffic();
  const std::vector<std::string> expected = {
      "R 8100 32", "R 8120 32", "R 8180 32", "R 81A0 32", "R 8060 32", "R 8080 32",
      "R 81C0 32", "R 8148 8",  "R 8178 4",  "R 817C 4",  "R 8000 16", "R 8010 16",
      "R 8020 16", "R 8030 16", "R 8040 16", "R 8050 16", "W 8000 16", "W 8010 16",
      "W 8020 16", "W 8030 16", "W 8100 32", "W 8180 32", "W 8060 32", "W 8120 32",
      "W 81A0 32", "W 8080 32", "W 81C0 32", "W 8148 8",  "W 8178 4",  "W 817C 4",
      "W 8040 16", "W 8050 16", "W 80A0 16"};
  EXPECT_EQ(TraceLines(traffic), expected);
  ASSERT_EQ(traffic.size(), 33u);
  // Every write is followed by a pause of 50 ms before the next exchange.
  for (size_t i = 16; i + 1 < traffic.size(); ++i) {
    EXPECT_GE(traffic[i + 1].time_ms - traffic[i].time_ms, 50) << "after " << i;
  }
  EXPECT_EQ(ByteAt(m::kOutputParams + 3), 4);
  EXPECT_EQ(ByteAt(m::kOutputParams + 16 + 3), 1);
  EXPECT_EQ(ByteAt(m::kAlarmParams + 2), 0);
  EXPECT_EQ(ByteAt(m::kAlarmParams + 16 + 2), 0);
  EXPECT_EQ(ByteAt(m::kUnitSwitches + 2), 3);
  EXPECT_EQ(ByteAt(m::kPulseParams + 8 + 3), 0);
  EXPECT_EQ(ByteAt(m::kTrendSettings + 2), 0);
  EXPECT_EQ(ByteAt(m::kSystemParams + 3), 1);
  EXPECT_EQ(window_.progress_max, 33);
  EXPECT_EQ(window_.progress_position, 33);
  EXPECT_FALSE(window_.progress_visible);
}

TEST_F(SystemTypeSyncTest, AFailedReadWritesNothingAndKeepsTheOldType) {
  namespace m = flowsim::map;
  const struct {
    int read;
    uint16_t address;
  } cases[] = {{0, m::kTempParams}, {5, m::kFlowParams + 32}, {15, m::kAlarmParams + 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.read);
    sim_->ClearRequests();
    sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, c.address, flowsim::kEveryFrame);
    const TSystemTypeChange r = ChangeSystemType(2);
    sim_->ClearFaults();
    EXPECT_EQ(r.outcome, TSystemTypeChange::Outcome::ReadFailed);
    EXPECT_EQ(r.failed_exchange, c.read);
    EXPECT_EQ(devicelink::SystemParams.Kind, 0);
    EXPECT_EQ(testing_trace::CountWrites(Traffic()), 0);
    EXPECT_EQ(ByteAt(m::kSystemParams + 3), 0);
  }
}

TEST_F(SystemTypeSyncTest, ARejectedWriteStopsBeforeTheSystemBlock) {
  namespace m = flowsim::map;
  PutByte(m::kOutputParams + 3, 20);
  PutByte(m::kAlarmParams + 2, 9);
  PutByte(m::kTempParams + 32 + 2, 3);
  // Once the sixteen reads are done, the device refuses circuit 1's pressure block.
  std::atomic<int> seen{0};
  sim_->SetObserver([&](const flowsim::RequestRecord&) {
    if (++seen == 16) sim_->InjectFaultAt(flowsim::FaultKind::Reject, m::kPressureParams, flowsim::kEveryFrame);
  });
  const TSystemTypeChange r = ChangeSystemType(1);
  sim_->SetObserver(nullptr);
  sim_->ClearFaults();
  EXPECT_EQ(r.outcome, TSystemTypeChange::Outcome::WriteFailed);
  EXPECT_EQ(r.failed_block, "WritePressureParams(0)");
  EXPECT_EQ(r.failed_exchange, 21);
  EXPECT_EQ(devicelink::SystemParams.Kind, 0);
  for (const auto& t : Traffic()) EXPECT_NE(t.address, m::kSystemParams) << "system block sent";
  EXPECT_EQ(ByteAt(m::kSystemParams + 3), 0);
  // The outputs went before; circuit 2's temperature and the alarms did not:
  // the records of the blocks not written are as the device has them.
  EXPECT_EQ(ByteAt(m::kOutputParams + 3), 4);
  EXPECT_EQ(devicelink::OutputParams[0].Param, 4);
  EXPECT_EQ(ByteAt(m::kTempParams + 32 + 2), 3);
  EXPECT_EQ(devicelink::TempParams[1].Kind, 3);
  EXPECT_EQ(devicelink::AlarmParams[0].Param, 9);
}

TEST_F(SystemTypeSyncTest, OtherChangesWriteOnlyTheSystemBlock) {
  namespace m = flowsim::map;
  TSystemTypeChange r = ChangeSystemType(0);
  EXPECT_EQ(r.outcome, TSystemTypeChange::Outcome::Unchanged);
  EXPECT_TRUE(Requests().empty());

  r = ChangeSystemType(4);
  EXPECT_EQ(r.outcome, TSystemTypeChange::Outcome::Written);
  EXPECT_EQ(TraceLines(Traffic()), std::vector<std::string>{"W 80A0 16"});
  EXPECT_EQ(ByteAt(m::kSystemParams + 3), 4);

  devicelink::DeviceOnline = false;
  sim_->ClearRequests();
  r = ChangeSystemType(1);
  EXPECT_EQ(r.outcome, TSystemTypeChange::Outcome::Offline);
  EXPECT_EQ(devicelink::SystemParams.Kind, 1);
  EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace services
