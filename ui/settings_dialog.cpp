#include "ui/settings_dialog.h"

#include <QHideEvent>
#include <QShowEvent>
#include <QTimer>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "devicelink/window_link.h"
#include "platform/clock.h"
#include "serial/sio_port.h"
#include "services/app_state.h"
#include "services/bulk_transfer.h"
#include "services/data_folders.h"
#include "services/port_opening.h"
#include "services/text_modules.h"
#include "ui/dialog_hooks.h"
#include "ui/main_window.h"
#include "ui/operating_lines.h"
#include "ui/password_dialog.h"
#include "ui/radio_group.h"
#include "ui_main_window.h"
#include "ui_settings_dialog.h"

namespace ui {

TEinst* Einst = nullptr;

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The entry as the device compares it: filled with "-" to 8 characters.
std::string PaddedPassword(const std::string& entry) {
  return LeftChars(entry + "--------", 8);
}

}  // namespace

TEinst::TEinst(Tfrm_Main& main, QWidget* parent)
    : QDialog(parent), main_(main), form_(std::make_unique<Ui::TEinst>()) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  connect(form_->Zustand_Grp, &TRadioGroup::Click, this, &TEinst::Zustand_GrpClick);
  connect(form_->Ref_Grp, &TRadioGroup::Click, this, &TEinst::Ref_GrpClick);
  connect(form_->BtnOk, &QPushButton::clicked, this, &TEinst::BtnOkClick);
  connect(form_->BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  if (Einst == nullptr) Einst = this;
}

TEinst::~TEinst() {
  if (Einst == this) Einst = nullptr;
}

// Activation and deactivation belong to this dialog being shown and hidden, not
// to focus moving to a dialog it opens itself.
void TEinst::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) main_.Guarded([&] { FormActivate(); });
}

void TEinst::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) main_.Guarded([&] { FormDeactivate(); });
}

void TEinst::Sprache() {
  services::TextBlock t;
  services::GetTextBlock(21504, 1, t);
  setWindowTitle(Q(t[0]));
  TRadioGroup* groups[] = {form_->Com_Grp, form_->Bd_Grp, form_->Zustand_Grp, form_->Akt_Grp,
                           form_->Ref_Grp};
  for (size_t i = 0; i < 5; ++i) groups[i]->setTitle(Q(t[i + 1]));
  // The buttons keep their own captions unless the module names them.
  if (!t[6].empty()) form_->BtnOk->setText(Q(t[6]));
  if (!t[7].empty()) form_->BtnCancel->setText(Q(t[7]));
  for (size_t i = 0; i < 5; ++i) {
    if (!services::GetTextBlock(static_cast<uint16_t>(21520 + 16 * i), 1, t)) continue;
    QStringList items;
    for (const std::string& s : t) {
      if (s.empty()) break;
      items << Q(s);
    }
    groups[i]->SetItems(items);
    if (groups[i] == form_->Akt_Grp || groups[i] == form_->Ref_Grp) groups[i]->SetItemIndex(0);
  }
}

void TEinst::FormActivate() {
  failure_panel_text_.clear();
  Sprache();
  main_.RefreshTimer()->stop();
  form_->Com_Grp->SetItemIndex(services::PortIndex);
  form_->Bd_Grp->SetItemIndex(services::BaudIndex);
  form_->RSIndex->setText(QString::number(devicelink::ErrorCount));
  form_->Bd_Grp->setEnabled(devicelink::DeviceOnline);
  form_->Com_Grp->setEnabled(devicelink::DeviceOnline);
  form_->Zustand_Grp->SetItemIndex(devicelink::DeviceOnline ? 1 : 0);
}

void TEinst::Zustand_GrpClick() {
  const bool online = form_->Zustand_Grp->ItemIndex() == 1;
  form_->Bd_Grp->setEnabled(online);
  form_->Com_Grp->setEnabled(online);
  if (!devicelink::DeviceOnline) form_->Akt_Grp->setVisible(online);
}

void TEinst::Ref_GrpClick() {
  static constexpr int kIntervals[3] = {10000, 2000, 5000};
  const int i = form_->Ref_Grp->ItemIndex();
  if (i >= 0 && i < 3) main_.RefreshTimer()->setInterval(kIntervals[i]);
}

void TEinst::LogFailure(const std::string& text, bool beep) {
  try {
    services::AppendErrorLog(text);
  } catch (const services::TErrorLogError&) {
    // A log that cannot be written must not stop the connect's own handling.
  }
  if (beep) platform::Beep(platform::kBeepInformation);
}

void TEinst::ClosePort() {
  try {
    main_.Port().SetOpen(false);
  } catch (const std::exception&) {
    // Closing never leaves the port half open.
  }
}

bool TEinst::PasswordMatches() const {
  const std::string entry =
      PasswordDlg != nullptr ? PasswordDlg->Text().toStdString() : std::string();
  return PaddedPassword(entry) == devicelink::PasswordBlock.DevicePassword;
}

void TEinst::BtnOkClick() {
  main_.Guarded([&] {
    failure_panel_text_.clear();
    if (form_->Zustand_Grp->ItemIndex() != 1) {
      devicelink::DeviceOnline = false;
      accept();
      return;
    }
    const int baud = form_->Bd_Grp->ItemIndex();
    if (devicelink::DeviceOnline && baud != services::BaudIndex) {
      devicelink::OperatingMode[0] = static_cast<uint8_t>(baud);
      if (!devicelink::WriteOperatingMode()) {
        LogFailure("ERROR:  Einst, OK, SetBetrieb", false);
        devicelink::OperatingMode[0] = static_cast<uint8_t>(services::BaudIndex);
        form_->Bd_Grp->SetItemIndex(services::BaudIndex);
      }
    }
    devicelink::DeviceOnline = true;
    main_.SetStatusPanel(0, "");
    main_.SetStatusPanel(1, "");
    services::OpenComPort(static_cast<uint32_t>(form_->Com_Grp->ItemIndex() + 1),
                          static_cast<uint32_t>(form_->Bd_Grp->ItemIndex()));
    if (!devicelink::ReadDeviceIdent()) {
      LogFailure("ERROR:  Einst, OK, GetInitString", true);
      devicelink::DeviceOnline = false;
      main_.SetStatusPanel(0, services::GetText(49));
      ClosePort();
      return;
    }
    devicelink::DeviceOnline = true;
    if (devicelink::DeviceIdent == devicelink::kSteamIdent) {
      if (services::Medium == 0) {
        services::Medium = 1;
        main_.ApplyLanguageTexts();
      }
    } else if (devicelink::DeviceIdent == devicelink::kGasIdent) {
      if (services::Medium == 1) {
        services::Medium = 0;
        main_.ApplyLanguageTexts();
      }
    } else {
      LogFailure("ERROR:  Einst, OK, GetInitString ?\?(" + devicelink::DeviceIdent + ")", true);
      devicelink::DeviceOnline = false;
      accept();
      return;
    }
    if (!devicelink::ReadSystemParams()) {
      LogFailure("ERROR:  Einst, OK, GetSystem_user", true);
      devicelink::DeviceOnline = false;
      accept();
      return;
    }
    // A password block that cannot be read may hide an active password, so the
    // connect fails as for an unreadable system block.
    if (!devicelink::ReadPasswordBlock()) {
      LogFailure("ERROR:  Einst, OK, GetPassword", true);
      devicelink::DeviceOnline = false;
      accept();
      return;
    }
    if (devicelink::PasswordBlock.PasswordActive != 0 && !PasswordMatches()) {
      if (PasswordDlg != nullptr) {
        PasswordDlg->SetText("");
        ExecModal(*PasswordDlg);
      }
      if (!PasswordMatches()) {
        LogFailure("ERROR:  Einst, OK, Password", true);
        devicelink::DeviceOnline = false;
      }
    }
    if (devicelink::DeviceOnline) {
      services::PortIndex = form_->Com_Grp->ItemIndex();
      services::BaudIndex = form_->Bd_Grp->ItemIndex();
      if (!form_->Akt_Grp->isHidden()) {
        if (form_->Akt_Grp->ItemIndex() == 0) {
          services::ReadAllParameters();
          main_.RefreshParameterPage();
        } else if (form_->Akt_Grp->ItemIndex() == 1) {
          if (services::Medium == 0) KeepDeviceReadyFlags();
          services::WriteAllParameters();
        }
      }
      const int refresh = form_->Ref_Grp->ItemIndex();
      if (refresh == 1 || refresh == 2) main_.RefreshTimer()->start();
    } else {
      failure_panel_text_ = services::GetText(48);
      main_.SetStatusPanel(0, failure_panel_text_);
      ClosePort();
    }
    accept();
  });
}

// The device's own readiness of its gas composition stays, unless the PC's gas
// values differ from the device's: then the device must check them anew.
void TEinst::KeepDeviceReadyFlags() {
  const devicelink::TGasComposition pc_gas = devicelink::GasCommon;
  std::array<devicelink::TMediumSettings, 2> pc_medium = devicelink::MediumParams;
  devicelink::ReadMediumParams(0);
  devicelink::ReadMediumParams(1);
  for (size_t c = 0; c < 2; ++c) pc_medium[c].Ready = devicelink::MediumParams[c].Ready;
  devicelink::MediumParams = pc_medium;
  devicelink::ReadGasCommon();
  const devicelink::TGasComposition& dev = devicelink::GasCommon;
  if (pc_gas.Ho != dev.Ho || pc_gas.CO2 != dev.CO2 || pc_gas.H2 != dev.H2 ||
      pc_gas.Rho != dev.Rho) {
    devicelink::MediumParams[0].Ready = 0;
    devicelink::MediumParams[1].Ready = 0;
  }
  devicelink::GasCommon = pc_gas;
}

void TEinst::FormDeactivate() {
  form_->Akt_Grp->hide();
  form_->Akt_Grp->SetItemIndex(0);
  // The reason of a failed connect stays visible after the dialog has closed.
  if (failure_panel_text_.empty() || main_.StatusPanel(0) != failure_panel_text_) {
    main_.SetStatusPanel(0, "");
  }
  failure_panel_text_.clear();
  main_.SetStatusPanel(1, "");
  main_.Form()->Ed_DateTime->clear();
  if (devicelink::DeviceOnline && main_.Port().Open()) {
    main_.SetOnlineLabel("ONLINE", devicelink::kColourGreen);
  } else {
    devicelink::DeviceOnline = false;
    ClosePort();
    main_.SetOnlineLabel("OFFLINE", devicelink::kColourRed);
  }
}

}  // namespace ui
