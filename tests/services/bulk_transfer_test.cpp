#include "services/bulk_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <thread>

#include "devicelink/device_run.h"
#include "devicelink/block_commands.h"
#include "services/app_state.h"
#include "tests/devicelink/link_fixture.h"

namespace services {
namespace {

using devicelink::TCursorShape;

class WaitMsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMainThread(&ui_);
    platform::SetClock(&clock_);
  }
  void TearDown() override {
    platform::SetClock(nullptr);
    platform::SetMainThread(nullptr);
  }
  platform::QueueMainThread ui_;
  platform::ManualClock clock_{1000};
};

TEST_F(WaitMsTest, WaitsMoreThanTheTimeAndSleepsBetweenRounds) {
  clock_.SetStepPerRead(1);
  const uint32_t before = clock_.TickCount();
  WaitMs(100);
  EXPECT_GT(clock_.TickCount() - before, 100u);
  // Most of the pause is spent asleep, not spinning.
  EXPECT_GE(clock_.TotalSlept(), 40u);
}

TEST_F(WaitMsTest, ZeroStillProcessesMessages) {
  bool ran = false;
  ui_.Post([&] { ran = true; });
  WaitMs(0);
  EXPECT_TRUE(ran);
}

TEST_F(WaitMsTest, ReturnsWhenTheTickCounterWraps) {
  clock_.SetTick(0xFFFFFFF0u);
  clock_.SetStepPerRead(1);
  WaitMs(60000);
  EXPECT_LT(clock_.TotalSlept(), 100u);
}

// Records steps of the progress bar as they happen.
class TraceWindow : public devicelink::testing::RecordingWindowLink {
 public:
  void SetProgressPosition(int position) override {
    if (position > progress_position && on_step) on_step();
    RecordingWindowLink::SetProgressPosition(position);
  }
  std::function<void()> on_step;
};

// Real time for the serial traffic. A 1 ms sleep on the UI thread is a round of
// WaitMs: the ticks jump a second, so each pause is exactly one round and costs
// no real time.
class WarpClock : public platform::Clock {
 public:
  uint32_t TickCount() override { return platform::SystemClock().TickCount() + warp_.load(); }
  void Sleep(uint32_t ms) override {
    if (ms == 1 && std::this_thread::get_id() == ui_thread_) {
      warp_ += 1000;
      if (on_wait) on_wait();
      return;
    }
    platform::SystemClock().Sleep(ms);
  }
  platform::LocalDateTime Now() override { return platform::SystemClock().Now(); }
  std::function<void()> on_wait;

 private:
  std::thread::id ui_thread_ = std::this_thread::get_id();
  std::atomic<uint32_t> warp_{0};
};

std::string Name(char kind, uint16_t address) {
  char s[8];
  std::snprintf(s, sizeof s, "%c %04X", kind, address);
  return s;
}

// What the device saw, with the pauses and progress steps between, in order.
class BulkTransferTest : public devicelink::testing::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    devicelink::SetWindowLink(&trace_window_);
    trace_window_.on_step = [this] { Mark("step"); };
    clock_.on_wait = [this] { Mark("wait"); };
    platform::SetClock(&clock_);
    Medium = 0;
    BaudIndex = 5;
  }
  void TearDown() override {
    platform::SetClock(nullptr);
    devicelink::SetWindowLink(&window_);
    Medium = 0;
    BaudIndex = 3;
    LinkTest::TearDown();
  }

  void Mark(const std::string& event) {
    Sync();
    trace_.push_back(event);
  }
  void Sync() {
    const auto requests = sim_->Requests();
    for (; seen_ < requests.size(); ++seen_) {
      const auto& r = requests[seen_].request;
      trace_.push_back(
          Name(r.at(0) == 0xA0 ? 'W' : 'R', static_cast<uint16_t>(r.at(1) << 8 | r.at(2))));
    }
  }
  std::vector<std::string> Trace() {
    Sync();
    std::vector<std::string> t;
    t.swap(trace_);
    return t;
  }
  void ClearTrace() {
    Sync();
    trace_.clear();
  }
  bool Sent(char kind, uint16_t address) {
    Sync();
    for (const auto& r : sim_->Requests()) {
      if (r.request.at(0) == (kind == 'W' ? 0xA0 : 0xB0) &&
          (r.request.at(1) << 8 | r.request.at(2)) == address) {
        return true;
      }
    }
    return false;
  }

  WarpClock clock_;
  TraceWindow trace_window_;
  std::vector<std::string> trace_;
  size_t seen_ = 0;
};

struct SystemSetup {
  const char* name;
  uint8_t flags;   // SystemTypeFlags of the device
  int32_t medium;  // 0 gas, 1 steam
  bool units;      // user units on
};

// The device's block order for a bulk write, with its pauses and steps.
std::vector<std::string> ExpectedWrite(const SystemSetup& s) {
  const bool single = (s.flags & 0xC0) != 0;
  std::vector<std::string> e;
  auto write = [&](uint16_t address) {
    e.push_back(Name('W', address));
    e.push_back("wait");
  };
  auto step = [&] { e.push_back("step"); };
  e = {Name('R', 0x80A0), "step", "wait"};
  for (int c = 0; c < 2; ++c) {
    const bool on = !single || c == 0;
    const uint16_t o32 = static_cast<uint16_t>(32 * c);
    if (on) write(0x8100 + o32);
    step();
    if (on) write(0x8180 + o32);
    step();
    if (on) write(0x8060 + o32);
    step();
    if (on) write(static_cast<uint16_t>(0x8150 + 16 * c));
    if (on) write(0x81C0 + o32);
    step();
    if (on) write(0x82C0 + o32);
    step();
    if (on) write(static_cast<uint16_t>(0x8140 + 8 * c));
    step();
    write(static_cast<uint16_t>(0x8040 + 16 * c));
    step();
  }
  for (int o = 0; o < 4; ++o) {
    if (!single || o == 0) write(static_cast<uint16_t>(0x8000 + 16 * o));
    step();
  }
  if (s.medium == 0) write(0x80F0);
  e.push_back(Name('W', 0x817C));
  step();
  e.push_back("wait");
  if (s.units) {
    for (int i = 0; i < 16; ++i) write(static_cast<uint16_t>(0x9000 + 16 * i));
  }
  if ((s.flags & 0x3E) == 0) write(0x8178);
  step();
  for (int c = 0; c < 2; ++c) {
    if (!single || c == 0) write(static_cast<uint16_t>(0x8200 + 32 * c));
    step();
  }
  write(0x80C0);
  step();
  e.push_back(Name('R', 0x80EC));
  write(0x80EC);
  step();
  write(0x80A0);
  step();
  for (int i = 0; i < 8; ++i) e.push_back(Name('W', static_cast<uint16_t>(0x9120 + 4 * i)));
  e.push_back("wait");
  step();
  write(0x9140);
  step();
  e.push_back("wait");
  return e;
}

TEST_F(BulkTransferTest, WriteAllSendsEveryBlockInOrderWithPausesAndSteps) {
  const SystemSetup setups[] = {
      {"dual circuit, gas, user units off", 0x00, 0, false},
      {"single circuit, gas, user units on", 0x40, 0, true},
      {"dual circuit, steam, user units on, no trend", 0x02, 1, true},
      {"single circuit, steam, user units off, no trend", 0xA0, 1, false},
  };
  for (const SystemSetup& s : setups) {
    SCOPED_TRACE(s.name);
    devicelink::ResetDeviceData();
    // The device's flags decide, whatever the record held before (an offline
    // start leaves 0 there).
    sim_->WriteMemory(0x80A0, Bytes({s.flags}));
    devicelink::SystemParams.SystemTypeFlags = static_cast<uint8_t>(~s.flags & 0xE2);
    devicelink::UnitSwitches.Einheiten = s.units ? 1 : 0;
    Medium = s.medium;
    trace_window_.progress_events.clear();
    trace_window_.cursors.clear();
    ClearTrace();

    EXPECT_EQ(WriteAllParameters(), 0);

    const auto expected = ExpectedWrite(s);
    const auto trace = Trace();
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "step"), 28);
    EXPECT_EQ(trace_window_.progress_max, 29);
    EXPECT_EQ(trace_window_.progress_events, (std::vector<std::string>{"max 29", "show", "hide"}));
    EXPECT_EQ(trace_window_.cursors,
              (std::vector<TCursorShape>{TCursorShape::HourGlass, TCursorShape::Default}));
    EXPECT_EQ(trace_window_.label, "ONLINE");
  }
}

TEST_F(BulkTransferTest, WriteAllLimitsTheTypeAndKeepsTheDevicesOperatingMode) {
  // What an offline start leaves: zeros where the device has its own settings.
  devicelink::SystemParams.Kind = 0x07;
  devicelink::OperatingMode = {0, 0, 0, 0};
  sim_->WriteMemory(0x80A2, Bytes({0x05}));
  sim_->WriteMemory(0x80EC, Bytes({3, 0x11, 0x22, 0x33}));
  BaudIndex = 4;

  EXPECT_EQ(WriteAllParameters(), 0);

  EXPECT_EQ(sim_->ReadMemory(0x80A2, 2), Bytes({0x05, 0x05}));
  EXPECT_EQ(devicelink::SystemParams.Kind, 0x05);
  EXPECT_EQ(sim_->ReadMemory(0x80EC, 4), Bytes({4, 0x11, 0x22, 0x33}));
  EXPECT_EQ(devicelink::OperatingMode, (devicelink::TOperatingMode{4, 0x11, 0x22, 0x33}));
}

// The failures are counted and the blocks that may not have reached the
// device are the run's: the one the device refused and the one not written
// for want of the device's own bytes. The label shows the link as the last
// exchange found it.
TEST_F(BulkTransferTest, WriteAllCountsFailuresAndNamesTheBlocksNotSent) {
  devicelink::TransferTimeout = 60;
  sim_->WriteMemory(0x80EC, Bytes({3, 0x11, 0x22, 0x33}));
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, 0x80EC, flowsim::kEveryFrame);
  sim_->InjectFaultAt(flowsim::FaultKind::Reject, 0x8100, flowsim::kEveryFrame);

  devicelink::TRun run;
  EXPECT_EQ(WriteAllParameters(), 2);
  EXPECT_EQ(run.NotSent(), (std::vector<uint16_t>{0x8100, 0x80EC}));

  // No operating-mode write without the device's own bytes to keep.
  EXPECT_FALSE(Sent('W', 0x80EC));
  EXPECT_EQ(sim_->ReadMemory(0x80EC, 4), Bytes({3, 0x11, 0x22, 0x33}));
  // The blocks after the failures were still sent, the last one successfully.
  EXPECT_TRUE(Sent('W', 0x9140));
  EXPECT_EQ(trace_window_.label, "ONLINE");
  EXPECT_EQ(trace_window_.progress_events.back(), "hide");
  EXPECT_EQ(trace_window_.cursors.back(), TCursorShape::Default);
}

TEST_F(BulkTransferTest, WriteAllRefusesABadBaudIndexBeforeAnyTraffic) {
  BaudIndex = 8;
  EXPECT_THROW(WriteAllParameters(), std::out_of_range);
  EXPECT_EQ(sim_->RequestCount(), 0u);
  EXPECT_TRUE(trace_window_.cursors.empty());
}

std::vector<std::string> ExpectedRead(int32_t medium, bool units) {
  std::vector<std::string> e;
  auto read = [&](int address) { e.push_back(Name('R', static_cast<uint16_t>(address))); };
  for (int c = 0; c < 2; ++c) {
    read(0x8100 + 32 * c);
    read(0x8180 + 32 * c);
    read(0x8060 + 32 * c);
    read(0x8150 + 16 * c);
    read(0x81C0 + 32 * c);
    read(0x82C0 + 32 * c);
    read(0x8140 + 8 * c);
    read(0x8040 + 16 * c);
    read(0x8200 + 32 * c);
  }
  for (int o = 0; o < 4; ++o) read(0x8000 + 16 * o);
  read(0x80EC);
  if (medium == 0) read(0x80F0);
  read(0x80C0);
  read(0x817C);
  if (units) {
    for (int i = 0; i < 16; ++i) read(0x9000 + 16 * i);
  }
  read(0x8178);
  read(0x80A0);
  for (int i = 0; i < 8; ++i) read(0x9120 + 4 * i);
  read(0x9140);
  return e;
}

TEST_F(BulkTransferTest, ReadAllFollowsTheDevicesUnitSwitch) {
  struct Case {
    const char* name;
    int32_t medium;
    bool device_units;
  } cases[] = {{"gas, device units on", 0, true}, {"steam, device units off", 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The record says the opposite; the switch just read decides.
    devicelink::UnitSwitches.Einheiten = c.device_units ? 0 : 1;
    sim_->WriteMemory(0x817D, Bytes({c.device_units ? 1 : 0}));
    Medium = c.medium;
    ClearTrace();
    EXPECT_EQ(ReadAllParameters(), 0);
    EXPECT_EQ(Trace(), ExpectedRead(c.medium, c.device_units));
  }
  EXPECT_TRUE(trace_window_.progress_events.empty());
  // Seconds of reads at the slower rates: the hourglass while they run.
  EXPECT_EQ(trace_window_.cursors,
            (std::vector<TCursorShape>{TCursorShape::HourGlass, TCursorShape::Default,
                                       TCursorShape::HourGlass, TCursorShape::Default}));
  EXPECT_EQ(trace_window_.label, "ONLINE");
}

TEST_F(BulkTransferTest, ReadAllGoesOnAfterAFailureAndReportsIt) {
  devicelink::TransferTimeout = 60;
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, 0x8100, flowsim::kEveryFrame);
  devicelink::TempParams[0].Max = 123.0f;
  EXPECT_EQ(ReadAllParameters(), 1);
  EXPECT_EQ(devicelink::TempParams[0].Max, 123.0f);
  EXPECT_TRUE(Sent('R', 0x9140));
  EXPECT_EQ(trace_window_.label, "OFFLINE");
}

TEST_F(BulkTransferTest, OfflineEveryCommandFailsWithoutTraffic) {
  devicelink::DeviceOnline = false;
  trace_window_.label = "OFFLINE";
  EXPECT_EQ(ReadAllParameters(), 9 * 2 + 4 + 1 + 1 + 1 + 1 + 1 + 1 + 8 + 1);
  EXPECT_GT(WriteAllParameters(), 0);
  EXPECT_EQ(sim_->RequestCount(), 0u);
  EXPECT_EQ(trace_window_.label_changes, 0);
}

}  // namespace
}  // namespace services
