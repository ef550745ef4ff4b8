// The operating pages of the main window: circuit values, error log, totalizers,
// and the "SET" button of the device clock.
#include <QLineEdit>
#include <QListWidget>

#include <fstream>
#include <stdexcept>

#include "devicelink/block_commands.h"
#include "devicelink/device_clock.h"
#include "devicelink/device_data.h"
#include "devicelink/event_log_reader.h"
#include "platform/main_thread.h"
#include "platform/text_encoding.h"
#include "services/bulk_transfer.h"
#include "services/data_folders.h"
#include "services/value_format.h"
#include "ui/busy_scopes.h"
#include "ui/main_window.h"
#include "ui/operating_lines.h"
#include "ui_main_window.h"

namespace ui {

void Tfrm_Main::RefreshCircuitValues(int circuit) {
  if (circuit < 0 || circuit > 1) throw std::out_of_range("circuit index");
  TProgressScope progress;
  services::StartProgress(8);
  if (!devicelink::ReadDeviceClock()) return;
  services::StepProgress();
  devicelink::ReadSystemParams();
  services::StepProgress();
  form_->Ed_DateTime->setText(
      QString::fromStdString(services::DeviceTimeToText(devicelink::DeviceClock)));
  if (!devicelink::ReadLiveValues(circuit)) return;
  services::StepProgress();
  if (!devicelink::ReadCircuitParams(circuit)) return;
  services::StepProgress();
  if (!devicelink::ReadOutputCurrents()) return;
  services::StepProgress();
  if (!devicelink::ReadUnitSwitches()) return;
  services::StepProgress();
  if (devicelink::UnitSwitches.Einheiten != 0) {
    for (uint8_t i = 0; i < 16; ++i) devicelink::ReadUserUnit(i);
  }
  services::StepProgress();
  (circuit == 0 ? form_->ListeK1 : form_->ListeK2)->clear();
  if (FormReady == 1) ShowMeasuredValues();
  services::StepProgress();
}

void Tfrm_Main::ShowMeasuredValues() {
  const int c = form_->NBBetrieb->currentWidget() == form_->TabKreis2 ? 1 : 0;
  QListWidget* list = c == 1 ? form_->ListeK2 : form_->ListeK1;
  SetList(list, MeasuredValueLines(c));
  uint8_t mask = 0;
  const int32_t count = devicelink::ReadErrorStatus(mask);
  SetList(list, StatusLines(count, mask));
}

void Tfrm_Main::ShowErrorLog() {
  repaint();
  platform::ProcessMessages();
  TProgressScope progress;
  services::StartProgress(16);
  form_->ErrorListe->clear();
  if (devicelink::ReadErrorLog()) SetList(form_->ErrorListe, ErrorLogLines());
  platform::ProcessMessages();
}

void Tfrm_Main::ShowIntegrators() {
  form_->ListeIntegrator1->clear();
  form_->ListeIntegrator2->clear();
  TProgressScope progress;
  services::StartProgress(16);
  if (!devicelink::ReadIntegratorHistory()) return;
  SetList(form_->ListeIntegrator1, IntegratorLines(0));
  SetList(form_->ListeIntegrator2, IntegratorLines(1));
}

void Tfrm_Main::PopupMenu1Popup() {
  speichern_action_->setEnabled(form_->ErrorListe->count() > 0);
}

void Tfrm_Main::Speichern1Click() {
  Guarded([&] {
    if (form_->ErrorListe->count() == 0) return;
    SaveDialog_ErrorProt.initial_dir = services::GetDocumentsFolder();
    const std::string name = ExecFileDialog(this, SaveDialog_ErrorProt);
    if (name.empty()) return;
    // The error list travels between installations as the others do: the
    // single-byte code page and CRLF line ends.
    std::string content;
    for (int i = 0; i < form_->ErrorListe->count(); ++i) {
      content += platform::Utf8ToCp1252(form_->ErrorListe->item(i)->text().toStdString());
      content += "\r\n";
    }
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(content.data(), static_cast<std::streamsize>(content.size())) ||
        !out.flush()) {
      throw std::runtime_error("Die Datei kann nicht geschrieben werden: " + name);
    }
  });
}

void Tfrm_Main::cmd_SetDateTimeClick() {
  Guarded([&] {
    if (devicelink::WriteDeviceClock() && devicelink::ReadDeviceClock()) {
      form_->Ed_DateTime->setText(
          QString::fromStdString(services::DeviceTimeToText(devicelink::DeviceClock)));
    }
  });
}

}  // namespace ui
