#include "ui/settings_dialog.h"

#include <QHideEvent>
#include <QShowEvent>
#include <QTimer>

#include "devicelink/link_state.h"
#include "devicelink/window_link.h"
#include "serial/sio_port.h"
#include "services/app_state.h"
#include "services/connect_sequence.h"
#include "services/status_note.h"
#include "services/text_modules.h"
#include "ui/busy_scopes.h"
#include "ui/dialog_frame.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui/radio_group.h"
#include "ui_settings_dialog.h"

namespace ui {

TEinst* Einst = nullptr;

TEinst::TEinst(Tfrm_Main& main, QWidget* parent)
    : QDialog(parent), main_(main), form_(std::make_unique<Ui::TEinst>()) {
  form_->setupUi(this);
  UseDialogFrame(*this);
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
// to focus moving to a dialog it opens itself. Both are part of the command
// that opened the dialog, and neither exchanges with the device.
void TEinst::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormActivate();
}

void TEinst::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!event->spontaneous()) FormDeactivate();
}

void TEinst::Sprache() {
  services::TextBlock t;
  services::GetTextBlock(21504, 1, t);
  setWindowTitle(Q(t[0]));
  TRadioGroup* groups[] = {form_->Com_Grp, form_->Bd_Grp, form_->Zustand_Grp, form_->Akt_Grp,
                           form_->Ref_Grp};
  for (size_t i = 0; i < 5; ++i) groups[i]->setTitle(Q(t[i + 1]));
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
  // Cancel gives back the refresh as it ran before; the texts below choose the
  // manual interval.
  refresh_was_active_ = main_.RefreshTimer()->isActive();
  refresh_interval_ = main_.RefreshTimer()->interval();
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

// The connect is a command of its own inside the dialog's: a click on the
// dialog meanwhile is dropped.
void TEinst::BtnOkClick() {
  main_.Gate().DialogCommand([this] {
    TInputBlockScope input_waits(this);
    failure_panel_text_.clear();
    services::TConnectChoice choice;
    choice.online = form_->Zustand_Grp->ItemIndex() == 1;
    choice.port_index = form_->Com_Grp->ItemIndex();
    choice.baud_index = form_->Bd_Grp->ItemIndex();
    choice.transfer = form_->Akt_Grp->isHidden() ? -1 : form_->Akt_Grp->ItemIndex();
    choice.refresh = form_->Ref_Grp->ItemIndex();
    const services::TConnectOutcome outcome = services::RunConnectSequence(choice);
    form_->Bd_Grp->SetItemIndex(outcome.baud_index);
    form_->Com_Grp->SetItemIndex(outcome.port_index);
    failure_panel_text_ = outcome.failure_panel_text;
    if (outcome.close) accept();
  });
}

void TEinst::FormDeactivate() {
  if (result() != QDialog::Accepted) {
    main_.RefreshTimer()->setInterval(refresh_interval_);
    if (refresh_was_active_ && devicelink::DeviceOnline) main_.RefreshTimer()->start();
  }
  form_->Akt_Grp->hide();
  form_->Akt_Grp->SetItemIndex(0);
  // The reason of a failed connect stays visible after the dialog has closed.
  const bool keep_failure =
      !failure_panel_text_.empty() && main_.StatusPanel(0) == failure_panel_text_;
  if (!keep_failure) main_.SetStatusPanel(0, "");
  failure_panel_text_.clear();
  main_.SetStatusPanel(1, "");
  main_.ClearClockField();
  if (devicelink::DeviceOnline && main_.Port().Open()) {
    main_.SetOnlineLabel("ONLINE", devicelink::kColourGreen);
  } else {
    devicelink::DeviceOnline = false;
    try {
      main_.Port().SetOpen(false);
    } catch (const std::exception&) {
      // Closing never leaves the port half open.
    }
    main_.SetOnlineLabel("OFFLINE", devicelink::kColourRed);
    // Still offline after a lost link: the values shown are still the old ones.
    if (!keep_failure && main_.LinkLostSince()) {
      services::ShowStatusNote(services::TStatusNote::LinkLost(*main_.LinkLostSince()));
    }
  }
}

}  // namespace ui
