#include "services/connect_sequence.h"

#include <array>
#include <string>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/text_encoding.h"
#include "serial/sio_port.h"
#include "services/app_state.h"
#include "services/app_window.h"
#include "services/bulk_transfer.h"
#include "services/data_folders.h"
#include "services/parameter_file.h"
#include "services/port_opening.h"
#include "services/status_note.h"
#include "services/text_modules.h"

namespace services {
namespace {

using namespace devicelink;

// The failures of one connect, written to the error log. A log that cannot be
// written does not stop the connect's own handling, but the operator is told
// once that the failures go unrecorded.
class TFailureLog {
 public:
  void operator()(const std::string& text, bool beep) {
    try {
      AppendErrorLog(text);
    } catch (const TErrorLogError& e) {
      if (!told_) AppWindow().ShowError(GetText(kLogUnwritable) + "\n" + e.what());
      told_ = true;
    }
    if (beep) platform::Beep(platform::kBeepInformation);
  }

 private:
  static constexpr uint16_t kLogUnwritable = 23;
  bool told_ = false;
};

void ClosePort() {
  try {
    if (serial::TSioComPort* port = ComPort()) port->SetOpen(false);
  } catch (const std::exception&) {
    // Closing never leaves the port half open.
  }
}

bool StaysOnOpenPort(const TConnectChoice& choice) {
  const serial::TSioComPort* port = ComPort();
  return port != nullptr && port->Open() && port->ComNumber() == choice.port_index + 1;
}

bool PasswordMatches() {
  return PaddedPassword(AppWindow().PasswordEntry()) == PasswordBlock.DevicePassword;
}

// The device's own readiness of its gas composition stays, unless the PC's gas
// values differ from the device's: then the device must check them anew.
void KeepDeviceReadyFlags() {
  const TGasComposition pc_gas = GasCommon;
  std::array<TMediumSettings, 2> pc_medium = MediumParams;
  ReadMediumParams(0);
  ReadMediumParams(1);
  for (size_t c = 0; c < 2; ++c) pc_medium[c].Ready = MediumParams[c].Ready;
  MediumParams = pc_medium;
  ReadGasCommon();
  const TGasComposition& dev = GasCommon;
  if (pc_gas.Ho != dev.Ho || pc_gas.CO2 != dev.CO2 || pc_gas.H2 != dev.H2 ||
      pc_gas.Rho != dev.Rho) {
    MediumParams[0].Ready = 0;
    MediumParams[1].Ready = 0;
  }
  GasCommon = pc_gas;
}

}  // namespace

std::string PaddedPassword(const std::string& entry) {
  return platform::LeftChars(entry + "--------", 8);
}

TConnectOutcome RunConnectSequence(const TConnectChoice& choice) {
  TAppWindow& window = AppWindow();
  TFailureLog LogFailure;
  TConnectOutcome outcome;
  outcome.baud_index = choice.baud_index;
  outcome.port_index = choice.port_index;
  if (!choice.online) {
    DeviceOnline = false;
    return outcome;
  }
  const bool was_online = DeviceOnline;
  // The set as the window shows it: a connect that fails once the device has
  // changed it (another device's reset, the texts of another medium) puts it
  // back, so that page, records and a later save or print agree.
  const TParameterRecords set_before = TParameterRecords::Capture();
  const std::vector<std::string> memo_before = window.MemoLines();
  const int32_t medium_before = Medium;
  // The port the values on the pages came from.
  const uint16_t port_before = was_online && ComPort() != nullptr ? ComPort()->ComNumber() : 0;
  // The new rate is written into the device on the open port, so only when the
  // connect stays on that port: else that device would change its rate for
  // nothing and no longer answer at the rate the program knows it by.
  if (DeviceOnline && choice.baud_index != BaudIndex && StaysOnOpenPort(choice)) {
    // Only byte 0 (the device port's baud) is ours; bytes 1..3 are the device's
    // own settings, which this program may never have fetched.
    bool changed = ReadOperatingMode();
    if (changed) {
      OperatingMode[0] = static_cast<uint8_t>(choice.baud_index);
      changed = WriteOperatingMode();
    }
    if (!changed) {
      LogFailure("ERROR:  Einst, OK, SetBetrieb", false);
      OperatingMode[0] = static_cast<uint8_t>(BaudIndex);
      outcome.baud_index = BaudIndex;
    }
  }
  DeviceOnline = true;
  window.SetStatusPanel(0, "");
  window.SetStatusPanel(1, "");
  OpenComPort(static_cast<uint32_t>(choice.port_index + 1),
              static_cast<uint32_t>(outcome.baud_index));
  // A port chosen instead of a missing one has become PortIndex.
  const bool chosen_instead = ComPort()->ComNumber() != choice.port_index + 1;
  if (chosen_instead) outcome.port_index = PortIndex;
  if (!ReadDeviceIdent()) {
    // A port that could not be opened is not a silent device: say why, in the
    // log right after the line of the failed identification and in the panel.
    const std::string reason = PortFailureText(PortFailure());
    LogFailure("ERROR:  Einst, OK, GetInitString", reason.empty());
    if (!reason.empty()) LogFailure(reason, true);
    DeviceOnline = false;
    ShowStatusNote(reason.empty() ? TStatusNote::Text(49) : TStatusNote::PortFailed(PortFailure()));
    // The reason stays when the operator gives up and closes the dialog.
    outcome.failure_panel_text = reason;
    ClosePort();
    outcome.close = false;
    return outcome;
  }
  DeviceOnline = true;
  const bool steam = DeviceIdent == kSteamIdent;
  if (!steam && DeviceIdent != kGasIdent) {
    LogFailure("ERROR:  Einst, OK, GetInitString ?\?(" + DeviceIdent + ")", true);
    DeviceOnline = false;
    return outcome;
  }
  // Nothing but the identification and the password block is read from a device
  // whose password is in force before the password is given. A password block
  // that cannot be read may hide an active password, so the connect fails as
  // for an unreadable system block.
  if (!ReadPasswordBlock()) {
    LogFailure("ERROR:  Einst, OK, GetPassword", true);
    DeviceOnline = false;
    return outcome;
  }
  if (PasswordBlock.PasswordActive != 0 && !PasswordMatches()) {
    window.AskPassword();
    if (!PasswordMatches()) {
      LogFailure("ERROR:  Einst, OK, Password", true);
      DeviceOnline = false;
      // Online before, the records came from a device on the port (this one
      // before its password was in force, or another one): none of its values
      // stay on the pages. Offline they are the operator's set and stay, with
      // the remarks either way.
      if (was_online) {
        const std::vector<std::string> memo = window.MemoLines();
        ResetParameters();
        window.SetMemoLines(memo);
      }
      window.ClearDeviceValues();
      ShowStatusNote(TStatusNote::Text(48));
      outcome.failure_panel_text = window.StatusPanel(0);
      ClosePort();
      return outcome;
    }
  }
  // Texts and unit tables of the device's medium before its system block is read.
  if (steam && Medium == 0) {
    Medium = 1;
    window.ApplyLanguageTexts();
  } else if (!steam && Medium == 1) {
    Medium = 0;
    window.ApplyLanguageTexts();
  }
  // Another port is another device: none of the previous one's values stay on
  // the pages (the remarks do). Its system block comes next.
  const bool other_device = was_online && ComPort()->ComNumber() != port_before;
  if (other_device) {
    const std::vector<std::string> memo = window.MemoLines();
    ResetParameters();
    window.SetMemoLines(memo);
  }
  if (!ReadSystemParams()) {
    LogFailure("ERROR:  Einst, OK, GetSystem_user", true);
    DeviceOnline = false;
    set_before.Commit();
    window.SetMemoLines(memo_before);
    // Offline now: the page shows the set as it is again, in its medium's texts.
    if (Medium != medium_before) {
      Medium = medium_before;
      window.ApplyLanguageTexts();
    } else {
      window.RefreshShownPage();
    }
    ShowStatusNote(TStatusNote::Text(49));
    outcome.failure_panel_text = window.StatusPanel(0);
    return outcome;
  }
  PortIndex = outcome.port_index;
  BaudIndex = outcome.baud_index;
  if (other_device) {
    // The page shown is read from the new device.
    window.ClearDeviceValues();
  } else if (was_online) {
    // The same port may lead to another device now (the cable moved): what the
    // page shows is read again, and every edit reads its blocks first.
    window.RefreshShownPage();
  }
  if (choice.transfer == 0) {
    ReadAllParameters();
    window.RefreshParameterPage();
  } else if (choice.transfer == 1) {
    if (Medium == 0) KeepDeviceReadyFlags();
    WriteAllParameters();
    // The page shows what the device holds now.
    window.RefreshShownPage();
  }
  if (choice.refresh == 1 || choice.refresh == 2) window.StartRefreshTimer();
  return outcome;
}

}  // namespace services
