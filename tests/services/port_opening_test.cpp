#include "services/port_opening.h"

#include <gtest/gtest.h>

#include "serial/sio_port.h"
#include "services/app_state.h"
#include "tests/devicelink/link_fixture.h"
#include "tests/services/fake_app_window.h"

namespace services {
namespace {

using devicelink::DeviceOnline;

class PortOpeningTest : public devicelink::testing::LinkTest {
 protected:
  explicit PortOpeningTest(flowsim::SimulatorOptions options = {}) : LinkTest(std::move(options)) {}
  void SetUp() override {
    LinkTest::SetUp();
    PortIndex = 0;  // COM1
    BaudIndex = 5;  // 38400
    Medium = 0;
    window_.label.clear();
  }
  void TearDown() override {
    Medium = 0;
    PortIndex = 0;
    BaudIndex = 3;
    LinkTest::TearDown();
  }
  testing::FakeAppWindow app_;
};

TEST_F(PortOpeningTest, GasDeviceComesOnline) {
  Medium = 1;  // from the settings file; the device decides
  DeviceOnline = true;
  IdentifyDevice();
  EXPECT_TRUE(DeviceOnline);
  EXPECT_EQ(Medium, 0);
  EXPECT_TRUE(port_->Open());
  EXPECT_EQ(port_->Baud(), 38400);
  EXPECT_EQ(window_.label, "ONLINE");
  EXPECT_EQ(window_.label_colour, devicelink::kColourGreen);
  EXPECT_EQ(devicelink::TransferTimeout, 1500);
}

TEST_F(PortOpeningTest, UnknownIdentificationsTakeTheProgramOffline) {
  const std::vector<uint8_t> idents[] = {
      {'M', 'V', '-', 'N', 'G', 'X', '7', 0},    // no trailing blank
      {'m', 'v', '-', 'n', 'g', 'x', '7', ' '},  // lower case
      {'M', 'V', '-', 'X', 'X', 'X', '7', ' '},
  };
  for (const auto& ident : idents) {
    sim_->WriteMemory(0x80B0, ident);
    Medium = 1;
    DeviceOnline = true;
    app_.panels.clear();
    IdentifyDevice();
    EXPECT_FALSE(DeviceOnline);
    EXPECT_EQ(Medium, 1);  // unchanged
    EXPECT_FALSE(port_->Open());
    EXPECT_EQ(app_.StatusPanel(0), "Kein GAS- oder DAMPF Rechner");
    EXPECT_EQ(window_.label, "OFFLINE");
  }
}

TEST_F(PortOpeningTest, NoAnswerClosesThePortAndKeepsThePanel) {
  devicelink::TransferTimeout = 100;
  sim_->InjectFault(flowsim::FaultKind::NoAnswer, flowsim::kEveryFrame);
  app_.SetStatusPanel(0, "file.PEG");
  DeviceOnline = true;
  IdentifyDevice();
  EXPECT_FALSE(DeviceOnline);
  EXPECT_FALSE(port_->Open());
  EXPECT_EQ(app_.StatusPanel(0), "file.PEG");
  EXPECT_EQ(window_.label, "OFFLINE");
}

TEST_F(PortOpeningTest, OfflineSettingsTouchNothing) {
  DeviceOnline = false;
  IdentifyDevice();
  EXPECT_FALSE(port_->Open());
  EXPECT_EQ(sim_->RequestCount(), 0u);
  EXPECT_EQ(window_.label, "OFFLINE");
}

TEST_F(PortOpeningTest, BaudIndexOutsideTheTableKeepsTheRate) {
  port_->SetBaud(19200);
  OpenComPort(1, 9);
  EXPECT_TRUE(DeviceOnline);
  EXPECT_EQ(port_->Baud(), 19200);
  OpenComPort(1, 7);
  EXPECT_EQ(port_->Baud(), 115200);
}

TEST_F(PortOpeningTest, MissingPortLeavesTheProgramOfflineSilently) {
  OpenComPort(5, 3);  // no com5 link and no such serial device here
  EXPECT_FALSE(DeviceOnline);
  EXPECT_FALSE(port_->Open());
  EXPECT_TRUE(app_.boxes.empty());
}

// A port number that does not exist asks through the port's selection dialog;
// a port that exists, even one held elsewhere, does not.
TEST_F(PortOpeningTest, OnlyAMissingPortAsksForAnother) {
  struct Case {
    const char* name;
    uint32_t com;
    bool held_elsewhere;
    uint16_t answer;  // the dialog's choice; 0 cancels
    int asked;
    bool online;
    uint16_t number_after;
  };
  const Case cases[] = {
      {"missing, COM1 chosen", 5, false, 1, 1, true, 1},
      {"missing, cancelled", 5, false, 0, 1, false, 5},
      {"present", 1, false, 1, 0, true, 1},
      {"held by another program", 1, true, 1, 0, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int asked = 0;
    serial::SetPortSelectionDialog([&](uint16_t& n) {
      ++asked;
      n = c.answer;
      return n != 0;
    });
    serial::TSioComPort other;
    if (c.held_elsewhere) {
      other.SetComNumber(1);
      other.SetOpen(true);
    }
    OpenComPort(c.com, 5);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(DeviceOnline, c.online);
    EXPECT_EQ(port_->Open(), c.online);
    EXPECT_EQ(port_->ComNumber(), c.number_after);
    EXPECT_TRUE(app_.boxes.empty());
    port_->SetOpen(false);
  }
  serial::SetPortSelectionDialog(nullptr);
}

class SteamPortOpeningTest : public PortOpeningTest {
 protected:
  SteamPortOpeningTest() : PortOpeningTest(Steam()) {}
  static flowsim::SimulatorOptions Steam() {
    flowsim::SimulatorOptions o;
    o.setup.model = flowsim::DeviceModel::Steam;
    return o;
  }
};

TEST_F(SteamPortOpeningTest, SteamDeviceSetsTheMedium) {
  DeviceOnline = true;
  IdentifyDevice();
  EXPECT_TRUE(DeviceOnline);
  EXPECT_EQ(Medium, 1);
}

TEST_F(SteamPortOpeningTest, ActivePasswordKeepsThePortOpenButOffline) {
  sim_->EnablePassword("geheim");
  DeviceOnline = true;
  IdentifyDevice();
  EXPECT_FALSE(DeviceOnline);
  EXPECT_TRUE(port_->Open());
  EXPECT_EQ(Medium, 1);
  EXPECT_EQ(window_.label, "OFFLINE");
}

TEST_F(PortOpeningTest, UnreadablePasswordBlockCountsAsProtected) {
  devicelink::TransferTimeout = 100;
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, 0x80E0, flowsim::kEveryFrame);
  DeviceOnline = true;
  IdentifyDevice();
  EXPECT_FALSE(DeviceOnline);
  EXPECT_TRUE(port_->Open());
}

// Sleeps in the order they were asked for; the clock moves only by them.
class RecordingClock : public platform::ManualClock {
 public:
  void Sleep(uint32_t ms) override {
    sleeps.push_back(ms);
    ManualClock::Sleep(ms);
  }
  std::vector<uint32_t> sleeps;
};

TEST_F(PortOpeningTest, ReopeningPausesBeforeAndAfterTheClose) {
  OpenComPort(1, 5);
  ASSERT_TRUE(port_->Open());
  RecordingClock clock;
  platform::SetClock(&clock);
  OpenComPort(1, 5);
  platform::SetClock(nullptr);
  EXPECT_TRUE(DeviceOnline);
  // The two settling pauses, whatever the port itself waited for in between.
  std::vector<uint32_t> settles;
  for (uint32_t ms : clock.sleeps) {
    if (ms == 150) settles.push_back(ms);
  }
  EXPECT_EQ(settles.size(), 2u);
}

}  // namespace
}  // namespace services
