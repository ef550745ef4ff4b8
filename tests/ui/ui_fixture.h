// What the window tests share: a temporary home, the simulated device linked as
// COM1, the program started as it starts for real, and recorders for message
// boxes, modal dialogs and beeps.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/main_thread.h"
#include "serial/sio_port.h"
#include "services/app_state.h"
#include "services/text_modules.h"
#include "tests/services/home_scope.h"
#include "tools/flowsim/device_map.h"
#include "tools/flowsim/port_link.h"
#include "tools/flowsim/pty_device.h"
#include "tools/flowsim/simulator.h"
#include "ui/dialog_hooks.h"
#include "tests/ui/form_access.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/qt_main_thread.h"

namespace ui::testing {

struct Box {
  std::string text;
  std::string caption;
  uint32_t flags;
};

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& name, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(name).parent_path());
  std::ofstream(name, std::ios::binary) << content;
}

// The device answers with the identification of neither model.
inline void GiveUnknownIdentification(flowsim::FlowSimulator& sim) {
  const std::string other = "XX-ABC7 ";
  sim.WriteMemory(flowsim::map::kIdentification, std::vector<uint8_t>(other.begin(), other.end()));
}

// One test's world. Construct in init(), destroy in cleanup().
class UiWorld {
 public:
  UiWorld() {
    platform::SetMainThread(&main_thread_);
    platform::SetBeepHook([this](uint32_t type) { beeps.push_back(type); });
    SetMessageBoxHook([this](const std::string& text, const std::string& caption, uint32_t flags) {
      boxes.push_back({text, caption, flags});
      const uint32_t buttons = flags & 0x0F;
      return buttons == 0x04 || buttons == 0x03 ? 6 : 1;  // Yes where there is one
    });
    SetModalHook([this](QDialog& dialog) { return RunModal(dialog); });
    devicelink::ResetDeviceData();
    devicelink::ErrorCount = 0;
    devicelink::TraceLevel = 0;
    CommBusy = 0;
    FormReady = 0;
  }

  ~UiWorld() {
    program_.reset();
    held_port_.reset();
    StopDevice();
    platform::SetClock(nullptr);
    SetModalHook(nullptr);
    SetMessageBoxHook(nullptr);
    SetFileDialogHook(nullptr);
    SetPrintDialogHook(nullptr);
    platform::SetBeepHook(nullptr);
    platform::SetMainThread(nullptr);
    devicelink::DeviceOnline = false;
    devicelink::TrendStore.reset();
    devicelink::TableData.reset();
    services::Medium = 0;
    services::Language = 0;
    services::PortIndex = 0;
    services::BaudIndex = 3;
  }

  // Sets a variable of the folder lookup (HOME, XDG_*) until the end of the test;
  // the process environment itself stays as it is.
  void SetEnv(const std::string& name, const std::string& value) { home_.Set(name, value); }
  std::string DataFolder() const { return home_.DataFolder(); }
  std::string SettingsFile() const { return home_.DataFolder() + "/vandrel2.ini"; }
  std::string ErrorLog() const { return ReadFile(home_.DataFolder() + "/Errors.log"); }
  std::string Temp(const std::string& name) const { return home_.Temp() / name; }

  // A program folder with the shipped text modules; the gas German module
  // replaced by gas_german when given, the gas English one left out on request.
  std::string ModuleFolder(const std::string& gas_german = {}, bool without_gas_english = false) {
    const std::string folder = Temp("program");
    std::filesystem::create_directories(folder);
    for (const char* name : {"Ltx1de.txt", "Ltx1en.txt", "Ltx2de.txt", "Ltx2en.txt"}) {
      if (without_gas_english && std::string(name) == "Ltx1en.txt") continue;
      std::filesystem::copy_file(platform::ProgramFolder() + "/" + name, folder + "/" + name,
                                 std::filesystem::copy_options::overwrite_existing);
    }
    if (!gas_german.empty()) WriteFile(folder + "/Ltx1de.txt", gas_german);
    return folder;
  }

  void WriteSettings(bool online, int language = 0, int medium = 0) {
    WriteFile(SettingsFile(), "[Einstellungen]\r\nBaudrate=5\r\nAnschlu\xDF=0\r\nOnline=" +
                                  std::to_string(online ? 1 : 0) +
                                  "\r\n[System]\r\nSprache=" + std::to_string(language) +
                                  "\r\nMedium=" + std::to_string(medium) +
                                  "\r\n[Debug]\r\nMemDiag=0\r\nRS232=0\r\n");
  }

  flowsim::FlowSimulator& StartDevice(flowsim::SimulatorOptions options = {}) {
    sim_ = std::make_unique<flowsim::FlowSimulator>(std::move(options));
    pty_ = std::make_unique<flowsim::PtyDevice>(*sim_);
    pty_->Start();
    link_ =
        std::make_unique<flowsim::PortLink>(home_.DataFolder() + "/ports", 1, pty_->SlavePath());
    return *sim_;
  }
  void StopDevice() {
    link_.reset();
    if (pty_) pty_->Stop();
    pty_.reset();
    sim_.reset();
    other_link_.reset();
    if (other_pty_) other_pty_->Stop();
    other_pty_.reset();
    other_sim_.reset();
  }
  flowsim::FlowSimulator& Device() { return *sim_; }

  // A second simulated device, linked as COM<com> beside the first one.
  flowsim::FlowSimulator& StartOtherDevice(int com, flowsim::SimulatorOptions options = {}) {
    other_sim_ = std::make_unique<flowsim::FlowSimulator>(std::move(options));
    other_pty_ = std::make_unique<flowsim::PtyDevice>(*other_sim_);
    other_pty_->Start();
    other_link_ = std::make_unique<flowsim::PortLink>(home_.DataFolder() + "/ports", com,
                                                      other_pty_->SlavePath());
    return *other_sim_;
  }

  // COM1 as a technician may find it: "held" by another program (the simulated
  // device, already opened by a port of its own) or "unplugged" (the link com1
  // leads to an adapter that is not there); "" leaves it as it is.
  void SpoilCom1(const std::string& how) {
    if (how == "held") {
      StartDevice();
      held_port_ = std::make_unique<serial::TSioComPort>();
      held_port_->SetComNumber(1);
      held_port_->SetOpen(true);
    } else if (how == "unplugged") {
      std::filesystem::create_directories(DataFolder() + "/ports");
      std::filesystem::create_symlink(Temp("unplugged-adapter"), DataFolder() + "/ports/com1");
    } else if (!how.empty()) {
      qFatal("SpoilCom1: no way %s", how.c_str());
    }
  }

  // A clock that runs by itself, so the splash wait takes no real time.
  platform::ManualClock& UseManualClock(uint32_t start = 100000) {
    if (clock_) return *clock_;
    clock_ = std::make_unique<platform::ManualClock>(start);
    clock_->SetStepPerRead(1);
    platform::SetClock(clock_.get());
    return *clock_;
  }

  // Back to real time, for exchanges with the simulated device after a quick start.
  void UseSystemClock() { platform::SetClock(nullptr); }

  // Starts the program as its block does; the exit code when it ended at once.
  std::optional<int> Start(const std::string& program_folder = {}) {
    program_ = std::make_unique<TProgram>(program_folder);
    return program_->Start();
  }
  Tfrm_Main* Main() const { return program_ ? program_->MainWindow() : nullptr; }
  void EndProgram() { program_.reset(); }

  // Scripts for the modal dialogs by object name; the dialog is shown, the
  // script runs, and a dialog still open afterwards is cancelled.
  std::map<std::string, std::function<void(QDialog&)>> modal_scripts;
  std::map<std::string, int> modal_count;
  std::map<std::string, bool> stayed_open;

  std::vector<Box> boxes;
  std::vector<uint32_t> beeps;

 private:
  int RunModal(QDialog& dialog) {
    const std::string name = dialog.objectName().toStdString();
    ++modal_count[name];
    dialog.setResult(0);
    dialog.show();
    auto it = modal_scripts.find(name);
    if (it != modal_scripts.end()) it->second(dialog);
    stayed_open[name] = dialog.isVisible();
    if (dialog.isVisible()) dialog.reject();
    return dialog.result();
  }

  services::testing::HomeScope home_;
  TQtMainThread main_thread_;
  std::unique_ptr<platform::ManualClock> clock_;
  std::unique_ptr<flowsim::FlowSimulator> sim_;
  std::unique_ptr<flowsim::PtyDevice> pty_;
  std::unique_ptr<flowsim::PortLink> link_;
  std::unique_ptr<flowsim::FlowSimulator> other_sim_;
  std::unique_ptr<flowsim::PtyDevice> other_pty_;
  std::unique_ptr<flowsim::PortLink> other_link_;
  std::unique_ptr<TProgram> program_;
  std::unique_ptr<serial::TSioComPort> held_port_;
};

}  // namespace ui::testing
