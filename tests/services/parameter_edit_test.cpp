#include "services/parameter_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "tests/devicelink/link_fixture.h"

namespace services {
namespace {

// The exchanges of an edit as a trace: "W a", "R a" with the progress position
// each one saw, and the pauses with the time they took.
class EditPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMainThread(&ui_);
    platform::SetClock(&clock_);
    clock_.SetStepPerRead(1);
    devicelink::SetWindowLink(&window_);
    devicelink::DeviceOnline = true;
  }
  void TearDown() override {
    devicelink::DeviceOnline = false;
    devicelink::SetWindowLink(nullptr);
    platform::SetClock(nullptr);
    platform::SetMainThread(nullptr);
  }

  std::function<bool()> Exchange(const std::string& name, bool ok = true) {
    return [this, name, ok] {
      trace.push_back(name + " @" + std::to_string(window_.progress_position) + " t" +
                      std::to_string(clock_.TickCount() - t0));
      return ok;
    };
  }

  platform::QueueMainThread ui_;
  platform::ManualClock clock_{1000};
  devicelink::testing::RecordingWindowLink window_;
  uint32_t t0 = 1000;
  std::vector<std::string> trace;
};

// Times in the trace are rough (the manual clock moves one tick per read); what
// matters is that a read comes more than 50 ms after its write.
int TimeOf(const std::string& entry) {
  return std::stoi(entry.substr(entry.rfind(" t") + 2));
}

TEST_F(EditPathTest, WriteThenReadBackAfterThePause) {
  const TEditResult r = WriteAndReadBack(Exchange("W temp"), Exchange("R temp"));
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0].substr(0, 9), "W temp @0");
  EXPECT_EQ(trace[1].substr(0, 9), "R temp @1");
  EXPECT_GT(TimeOf(trace[1]) - TimeOf(trace[0]), 50);
  EXPECT_TRUE(r.ran);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(window_.progress_max, 2);
  EXPECT_EQ(window_.progress_position, 2);
  EXPECT_FALSE(window_.progress_visible);  // hidden at the end
}

TEST_F(EditPathTest, SeveralBlocksWriteAllThenReadAll) {
  WriteAndReadBack({Exchange("W flow2"), Exchange("W flow")},
                   {Exchange("R flow2"), Exchange("R flow")});
  ASSERT_EQ(trace.size(), 4u);
  const char* expected[] = {"W flow2 @0", "W flow @1", "R flow2 @2", "R flow @3"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(trace[i].substr(0, std::string(expected[i]).size()), expected[i]);
  }
  EXPECT_GT(TimeOf(trace[1]) - TimeOf(trace[0]), 50);
  EXPECT_GT(TimeOf(trace[2]) - TimeOf(trace[1]), 50);
  EXPECT_EQ(window_.progress_max, 4);
}

TEST_F(EditPathTest, WriteWithoutReadBackStillCountsTwoSteps) {
  WriteWithoutReadBack(Exchange("W unit"));
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(window_.progress_max, 2);
  EXPECT_EQ(window_.progress_position, 2);
}

TEST_F(EditPathTest, UncountedWriteAndExplicitMaximum) {
  RunEditSteps({UncountedWriteStep(Exchange("W other")), PauseStep(50),
                WriteStep(Exchange("W own")), PauseStep(50), ReadStep(Exchange("R own"))});
  EXPECT_EQ(window_.progress_max, 2);
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[1].substr(0, 8), "W own @0");
  trace.clear();
  RunEditSteps({WriteStep(Exchange("W medium")), ReadStep(Exchange("R medium"))}, 4);
  EXPECT_EQ(window_.progress_max, 4);
}

TEST_F(EditPathTest, AFailedExchangeDoesNotStopTheRun) {
  const TEditResult r = WriteAndReadBack(Exchange("W", false), Exchange("R"));
  EXPECT_EQ(trace.size(), 2u);
  EXPECT_TRUE(r.ran);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failed_step, 0);
}

TEST_F(EditPathTest, OfflineSendsNothingAndShowsNoProgress) {
  devicelink::DeviceOnline = false;
  const TEditResult r = WriteAndReadBack(Exchange("W"), Exchange("R"));
  EXPECT_TRUE(trace.empty());
  EXPECT_FALSE(r.ran);
  EXPECT_TRUE(window_.progress_events.empty());
}

TEST_F(EditPathTest, AnExceptionStillHidesTheProgressBar) {
  EXPECT_THROW(WriteAndReadBack([]() -> bool { throw std::runtime_error("x"); }, Exchange("R")),
               std::runtime_error);
  EXPECT_FALSE(window_.progress_visible);
}

TEST_F(EditPathTest, CursorScopesNest) {
  {
    devicelink::TCursorScope outer;
    {
      devicelink::TCursorScope inner;
    }
    // The inner command's end leaves the outer one's hourglass.
    ASSERT_EQ(window_.cursors.size(), 1u);
  }
  ASSERT_EQ(window_.cursors.size(), 2u);
  EXPECT_EQ(window_.cursors[0], devicelink::TCursorShape::HourGlass);
  EXPECT_EQ(window_.cursors[1], devicelink::TCursorShape::Default);
}

}  // namespace
}  // namespace services
