#include "services/port_opening.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "devicelink/block_commands.h"
#include "platform/port_names.h"
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
  EXPECT_FALSE(DeviceLocked());
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

// The adapter is unplugged while connected: the label says so at once, no
// exchange waits for time-outs, and a connect works once it is back.
TEST_F(PortOpeningTest, AnUnpluggedAdapterShowsAtOnceAndAConnectWorksAgain) {
  DeviceOnline = true;
  IdentifyDevice();
  ASSERT_TRUE(DeviceOnline);
  ASSERT_EQ(window_.label, "ONLINE");

  const auto unplugged = std::chrono::steady_clock::now();
  pty_->Stop();
  ASSERT_TRUE(ui_.RunUntil([&] { return window_.label == "OFFLINE"; }, 1000));
  EXPECT_LT(std::chrono::steady_clock::now() - unplugged, std::chrono::seconds(1));
  EXPECT_EQ(window_.label_colour, devicelink::kColourRed);
  EXPECT_FALSE(DeviceOnline);
  EXPECT_FALSE(port_->Open());

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(devicelink::ReadDeviceIdent());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  // Plugged in again (under a new device name, as a USB adapter may come back),
  // then connected through the settings: the dialog's OK opens and identifies.
  sim_->ClearRequests();
  pty_->Start();
  link_.reset();
  link_ = std::make_unique<flowsim::PortLink>(home_.DataFolder() + "/ports", 1, pty_->SlavePath());
  DeviceOnline = true;
  OpenComPort(static_cast<uint32_t>(PortIndex + 1), static_cast<uint32_t>(BaudIndex));
  ASSERT_TRUE(DeviceOnline);
  EXPECT_TRUE(devicelink::ReadDeviceIdent());
  EXPECT_EQ(devicelink::DeviceIdent, devicelink::kGasIdent);
  EXPECT_EQ(window_.label, "ONLINE");
  EXPECT_EQ(sim_->RequestCount(), 1u);
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
  EXPECT_EQ(PortFailure().kind, TPortFailureKind::kNoSuchDevice);
  EXPECT_EQ(PortFailure().com_number, 5u);
  EXPECT_EQ(PortFailure().device_path, "/dev/ttyS4");
  EXPECT_FALSE(PortFailure().mapped);
  // The next open that succeeds forgets the reason.
  OpenComPort(1, 3);
  EXPECT_TRUE(DeviceOnline);
  EXPECT_EQ(PortFailure().kind, TPortFailureKind::kNone);
}

// What the port link com1 leads to, and the reason kept when it cannot be
// opened; the program stays offline and silent in every case.
struct LinkCase {
  const char* name;
  TPortFailureKind failure;
};

void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.name;
}

class PortFailureTest : public PortOpeningTest, public ::testing::WithParamInterface<LinkCase> {
 protected:
  // Points com1 at target instead of the simulated device.
  void Relink(const std::string& target) {
    link_.reset();
    link_ = std::make_unique<flowsim::PortLink>(home_.DataFolder() + "/ports", 1, target);
  }
};

TEST_P(PortFailureTest, ReasonIsKept) {
  const LinkCase& c = GetParam();
  std::string device = pty_->SlavePath();
  serial::TSioComPort other;
  int forbidden = -1;
  switch (c.failure) {
    case TPortFailureKind::kPermissionDenied: {
      if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root, which may open any device: the permission case "
                        "cannot be shown here";
      }
      // A terminal of our own whose mode lets nobody open it.
      forbidden = ::posix_openpt(O_RDWR | O_NOCTTY);
      ASSERT_GE(forbidden, 0);
      ASSERT_EQ(::grantpt(forbidden), 0);
      ASSERT_EQ(::unlockpt(forbidden), 0);
      device = ::ptsname(forbidden);
      ASSERT_EQ(::chmod(device.c_str(), 0), 0);
      Relink(device);
      break;
    }
    case TPortFailureKind::kInUse:
      other.SetComNumber(1);
      other.SetOpen(true);
      break;
    case TPortFailureKind::kNoSuchDevice:
      device = home_.Temp() / "unplugged-adapter";
      Relink(device);
      break;
    default:
      break;
  }
  OpenComPort(1, 5);
  const TPortFailure failure = PortFailure();
  if (forbidden >= 0) ::close(forbidden);
  EXPECT_EQ(failure.kind, c.failure);
  EXPECT_EQ(DeviceOnline, c.failure == TPortFailureKind::kNone);
  EXPECT_EQ(port_->Open(), DeviceOnline);
  EXPECT_TRUE(app_.boxes.empty());
  if (c.failure != TPortFailureKind::kNone) {
    EXPECT_EQ(failure.com_number, 1u);
    EXPECT_EQ(failure.device_path, std::filesystem::weakly_canonical(device).string());
    EXPECT_TRUE(failure.mapped);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Links, PortFailureTest,
    ::testing::Values(LinkCase{"NotPermitted", TPortFailureKind::kPermissionDenied},
                      LinkCase{"HeldByAnotherPort", TPortFailureKind::kInUse},
                      LinkCase{"Dangling", TPortFailureKind::kNoSuchDevice},
                      LinkCase{"ToTheDevice", TPortFailureKind::kNone}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// Each reason names the port and its device and says what the technician can do,
// in the language chosen.
TEST(PortFailureTextTest, SaysWhatToDo) {
  struct Case {
    TPortFailure failure;
    int language;
    std::vector<std::string> parts;
  };
  const std::string link = platform::PortLinkPath(3);
  const Case cases[] = {
      {{TPortFailureKind::kPermissionDenied, 1, "/dev/ttyS0", false, {}},
       0,
       {"COM1 (/dev/ttyS0)", "Zugriff verweigert", "\"dialout\"", "neu anmelden"}},
      {{TPortFailureKind::kPermissionDenied, 1, "/dev/ttyS0", false, {}},
       1,
       {"COM1 (/dev/ttyS0)", "access denied", "\"dialout\"", "log in again"}},
      {{TPortFailureKind::kInUse, 2, "/dev/ttyUSB0", true, {}},
       0,
       {"COM2 (/dev/ttyUSB0)", "anderen Programm"}},
      {{TPortFailureKind::kInUse, 2, "/dev/ttyUSB0", true, {}},
       1,
       {"COM2 (/dev/ttyUSB0)", "another program"}},
      {{TPortFailureKind::kNoSuchDevice, 3, "/dev/ttyS2", false, {}},
       0,
       {"COM3:", "/dev/ttyS2", "gibt es nicht", "USB-Adapter", link, "/dev/serial/by-id/"}},
      {{TPortFailureKind::kNoSuchDevice, 3, "/dev/ttyS2", false, {}},
       1,
       {"COM3:", "no device /dev/ttyS2", "USB adapter", link, "/dev/serial/by-id/"}},
      {{TPortFailureKind::kNoSuchDevice, 3, "/dev/serial/by-id/usb-X", true, {}},
       0,
       {"COM3:", "/dev/serial/by-id/usb-X", "eingesteckt", link}},
      {{TPortFailureKind::kNoSuchDevice, 3, "/dev/serial/by-id/usb-X", true, {}},
       1,
       {"COM3:", "no device /dev/serial/by-id/usb-X", "plugged in", link}},
      {{TPortFailureKind::kOther, 4, "/dev/ttyS3", false, "Hardware failure"},
       1,
       {"COM4 (/dev/ttyS3)", "Hardware failure"}},
  };
  for (const Case& c : cases) {
    Language = c.language;
    const std::string text = PortFailureText(c.failure);
    for (const std::string& part : c.parts) {
      EXPECT_NE(text.find(part), std::string::npos) << part << " missing in: " << text;
    }
  }
  Language = 0;
  EXPECT_EQ(PortFailureText({}), "");
}

// A port number that does not exist asks through the port's selection dialog;
// a port that exists, even one held elsewhere, does not.
TEST_F(PortOpeningTest, OnlyAMissingPortAsksForAnother) {
  using enum TPortFailureKind;
  struct Case {
    const char* name;
    uint32_t com;
    bool held_elsewhere;
    uint16_t answer;  // the dialog's choice; 0 cancels
    int asked;
    bool online;
    uint16_t number_after;
    TPortFailureKind failure;
    uint32_t failed_com;  // the port the reason names
  };
  const Case cases[] = {
      {"missing, COM1 chosen", 5, false, 1, 1, true, 1, kNone, 0},
      {"missing, cancelled", 5, false, 0, 1, false, 5, kNoSuchDevice, 5},
      {"missing, a port in use chosen", 5, true, 1, 1, false, 5, kInUse, 1},
      {"present", 1, false, 1, 0, true, 1, kNone, 0},
      {"held by another program", 1, true, 1, 0, false, 1, kInUse, 1},
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
    EXPECT_EQ(PortFailure().kind, c.failure);
    if (c.failure != kNone) {
      EXPECT_EQ(PortFailure().com_number, c.failed_com);
    }
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
  EXPECT_TRUE(DeviceLocked());
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
  EXPECT_TRUE(DeviceLocked());
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
