#include "devicelink/device_clock.h"

#include <gtest/gtest.h>

#include "tests/devicelink/link_fixture.h"
#include "tools/flowsim/device_map.h"

namespace devicelink {
namespace {

using testing::LinkTest;

// Real ticks and sleeps for the serial traffic, a PC date-time that stands still.
class FixedDateClock : public platform::Clock {
 public:
  explicit FixedDateClock(platform::LocalDateTime now) : now_(now) {}
  uint32_t TickCount() override { return platform::SystemClock().TickCount(); }
  void Sleep(uint32_t ms) override { platform::SystemClock().Sleep(ms); }
  platform::LocalDateTime Now() override { return now_; }

 private:
  platform::LocalDateTime now_;
};

class DeviceClockTest : public LinkTest {
 protected:
  void TearDown() override {
    platform::SetClock(nullptr);
    LinkTest::TearDown();
  }
  FixedDateClock pc_{{2007, 12, 12, 23, 59, 45, 0}};
};

TEST_F(DeviceClockTest, ReadDecodesDigitsAndOffset) {
  platform::SetClock(&pc_);
  constexpr double kSecond = 1.0 / 86400;
  struct Case {
    const char* name;
    std::vector<uint8_t> digits;
    TDeviceClock fields;
    double offset;
    double tolerance;
  } cases[] = {
      // The device clock runs on from a valid time, so allow it one tick.
      // Units before tens: the day digits 1, 3 are the 31st.
      {"31.12.2007 23:59:45",
       {5, 4, 9, 5, 3, 2, 1, 3, 2, 1, 7, 0},
       {2007, 12, 31, 23, 59, 45},
       19.0,
       1.5 * kSecond},
      {"13.12.2007 23:59:45",
       {5, 4, 9, 5, 3, 2, 3, 1, 2, 1, 7, 0},
       {2007, 12, 13, 23, 59, 45},
       1.0,
       1.5 * kSecond},
      {"12.12.2007 17:59:45, six hours slow",
       {5, 4, 9, 5, 7, 1, 2, 1, 2, 1, 7, 0},
       {2007, 12, 12, 17, 59, 45},
       -0.25,
       1.5 * kSecond},
      {"31 April", {0, 0, 0, 0, 2, 1, 1, 3, 4, 0, 0, 1}, {2010, 4, 31, 12, 0, 0}, 0.0, 0.0},
      {"tens digit above 9, high nibbles ignored",
       {0x35, 0x3A, 0, 0, 0, 0, 1, 0, 1, 0, 9, 9},
       {1999, 1, 1, 0, 0, 105},
       0.0,
       0.0},
      {"month 0", {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 8, 0}, {2008, 0, 1, 0, 0, 0}, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_->WriteMemory(flowsim::map::kClock, c.digits);
    ClockOffset = 99;
    sim_->ClearRequests();
    ASSERT_TRUE(ReadDeviceClock());
    ASSERT_EQ(sim_->RequestCount(), 1u);
    EXPECT_EQ(Requests()[0].request, Bytes({0xB0, 0xA0, 0x00, 16}));
    TDeviceClock expected = c.fields;
    if (c.tolerance > 0 && DeviceClock.Second == expected.Second + 1) expected.Second += 1;
    EXPECT_EQ(DeviceClock, expected);
    EXPECT_NEAR(ClockOffset, c.offset, c.tolerance);
  }
}

TEST_F(DeviceClockTest, FailedReadClearsTheClockAndKeepsTheOffset) {
  TransferTimeout = 60;
  DeviceClock = {2020, 5, 6, 7, 8, 9};
  ClockOffset = 0.125;
  sim_->InjectFault(flowsim::FaultKind::BadChecksum, flowsim::kEveryFrame);
  EXPECT_FALSE(ReadDeviceClock());
  EXPECT_EQ(DeviceClock, TDeviceClock{});
  EXPECT_EQ(ClockOffset, 0.125);
}

TEST_F(DeviceClockTest, WriteSendsThePcTimeAsDigits) {
  FixedDateClock leap_day({2008, 2, 29, 7, 5, 9, 500});
  platform::SetClock(&leap_day);
  DeviceClock = {2001, 1, 1, 1, 1, 1};
  ClockOffset = 0.5;
  ASSERT_TRUE(WriteDeviceClock());
  ASSERT_EQ(sim_->RequestCount(), 1u);
  const auto request = Requests()[0].request;
  ASSERT_EQ(request.size(), 4u + 12 + 2);
  EXPECT_EQ(std::vector<uint8_t>(request.begin(), request.begin() + 16),
            Bytes({0xA0, 0xA0, 0x00, 12, 9, 0, 5, 0, 7, 0, 9, 2, 2, 0, 8, 0}));
  const flowsim::CivilTime set = sim_->DeviceTime();
  EXPECT_EQ(set.year, 2008);
  EXPECT_EQ(set.month, 2);
  EXPECT_EQ(set.day, 29);
  EXPECT_EQ(set.hour, 7);
  EXPECT_EQ(set.minute, 5);
  // Left for the read-back.
  EXPECT_EQ(DeviceClock, (TDeviceClock{2001, 1, 1, 1, 1, 1}));
  EXPECT_EQ(ClockOffset, 0.5);
}

}  // namespace
}  // namespace devicelink
