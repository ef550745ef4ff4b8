// A flow computer on a pseudo-terminal, linked as COM1 in a temporary data folder,
// and the program's port connected to it: the device link as it runs for real.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devicelink/device_run.h"
#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "devicelink/window_link.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "serial/sio_port.h"
#include "tests/services/home_scope.h"
#include "tools/flowsim/port_link.h"
#include "tools/flowsim/pty_device.h"
#include "tools/flowsim/simulator.h"

namespace devicelink::testing {

// Records what the link shows in the window.
class RecordingWindowLink : public TWindowLink {
 public:
  void SetOnlineLabel(const std::string& caption, uint32_t colour) override {
    label = caption;
    label_colour = colour;
    ++label_changes;
  }
  void SetProgressVisible(bool visible) override {
    progress_visible = visible;
    progress_events.push_back(visible ? "show" : "hide");
  }
  void SetProgressMax(int max) override {
    progress_max = max;
    progress_events.push_back("max " + std::to_string(max));
  }
  void SetProgressPosition(int position) override { progress_position = position; }
  int ProgressPosition() const override { return progress_position; }
  void SetCursor(TCursorShape shape) override { cursors.push_back(shape); }

  std::string label;
  uint32_t label_colour = 0;
  int label_changes = 0;
  bool progress_visible = false;
  int progress_max = 0;
  int progress_position = 0;
  std::vector<std::string> progress_events;
  std::vector<TCursorShape> cursors;
};

// A run that sends a whole set: records the test set itself, not read from
// the device.
struct TOwnSet {
  TRun run;
  TRun::TWholeSet whole{run};
};

class LinkTest : public ::testing::Test {
 protected:
  explicit LinkTest(flowsim::SimulatorOptions options = {}) : options_(std::move(options)) {}

  void SetUp() override {
    platform::SetMainThread(&ui_);
    SetWindowLink(&window_);
    platform::SetBeepHook([this](uint32_t type) { beeps.push_back(type); });
    ResetDeviceData();
    sim_ = std::make_unique<flowsim::FlowSimulator>(options_);
    pty_ = std::make_unique<flowsim::PtyDevice>(*sim_);
    pty_->Start();
    link_ = std::make_unique<flowsim::PortLink>(home_.DataFolder() + "/ports", 1, pty_->SlavePath());
    port_ = std::make_unique<serial::TSioComPort>();
    port_->SetComNumber(1);
    port_->SetBaud(38400);
    SetComPort(port_.get());
    DeviceOnline = true;
    TraceLevel = 0;
    TransferTimeout = 300;
    ErrorCount = 0;
  }

  void TearDown() override {
    SetComPort(nullptr);
    port_.reset();
    link_.reset();
    pty_->Stop();
    pty_.reset();
    sim_.reset();
    DeviceOnline = false;
    TraceLevel = 0;
    TransferTimeout = 1500;
    SetWindowLink(nullptr);
    platform::SetBeepHook(nullptr);
    platform::SetMainThread(nullptr);
  }

  static std::vector<uint8_t> Bytes(std::initializer_list<int> b) {
    return std::vector<uint8_t>(b.begin(), b.end());
  }
  static std::string Str(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(static_cast<char>(v));
    return s;
  }
  std::vector<flowsim::RequestRecord> Requests() const { return sim_->Requests(); }

  services::testing::HomeScope home_;
  platform::QueueMainThread ui_;
  RecordingWindowLink window_;
  std::vector<uint32_t> beeps;
  flowsim::SimulatorOptions options_;
  std::unique_ptr<flowsim::FlowSimulator> sim_;
  std::unique_ptr<flowsim::PtyDevice> pty_;
  std::unique_ptr<flowsim::PortLink> link_;
  std::unique_ptr<serial::TSioComPort> port_;
};

}  // namespace devicelink::testing
