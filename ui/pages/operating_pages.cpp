#include "ui/pages/operating_pages.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include <stdexcept>

#include "devicelink/block_commands.h"
#include "devicelink/device_clock.h"
#include "devicelink/device_data.h"
#include "devicelink/event_log_reader.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "platform/file_limits.h"
#include "platform/main_thread.h"
#include "platform/text_encoding.h"
#include "services/bulk_transfer.h"
#include "services/data_folders.h"
#include "services/program_texts.h"
#include "services/text_modules.h"
#include "services/value_format.h"
#include "ui/busy_flags.h"
#include "ui/busy_scopes.h"
#include "ui/pages/operating_lines.h"
#include "ui/qt_text.h"
#include "ui_main_window.h"

namespace ui {
namespace {

void AddLines(QListWidget* list, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) list->addItem(Q(line));
  list->scrollToTop();
}

}  // namespace

TOperatingPages::TOperatingPages(TPageContext& context) : TPage(context) {
  setObjectName("OperatingPages");
  Ui::Tfrm_Main& f = Form();
  popup_menu_ = new QMenu(f.ErrorListe);
  popup_menu_->setObjectName("PopupMenu1");
  speichern_action_ = popup_menu_->addAction(QString());
  speichern_action_->setObjectName("Speichern1");
  f.ErrorListe->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(f.ErrorListe, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1Popup();
    popup_menu_->popup(Form().ErrorListe->viewport()->mapToGlobal(pos));
  });
  connect(speichern_action_, &QAction::triggered, this, &TOperatingPages::Speichern1Click);
  connect(f.cmd_SetDateTime, &QPushButton::clicked, this, &TOperatingPages::cmd_SetDateTimeClick);

  SaveDialog_ErrorProt.save = true;
  SaveDialog_ErrorProt.file_name = "ErrorListe";
  SaveDialog_ErrorProt.default_ext = "txt";
  SaveDialog_ErrorProt.overwrite_prompt = true;
  SaveDialog_ErrorProt.write_kind = platform::FileKind::kExportFile;
}

std::vector<QWidget*> TOperatingPages::Pages() const {
  Ui::Tfrm_Main& f = Form();
  return {f.TabKreis1, f.TabKreis2, f.TabFehler, f.TabIntegrator};
}

void TOperatingPages::LoadTexts() {
  speichern_action_->setText(Q(services::ProgramText(services::text_id::kSaveItem)));
  SaveDialog_ErrorProt.filter = services::ProgramText(services::text_id::kTextFileFilter);
  services::TextBlock t;
  if (!services::GetTextBlock(30720, 1, t)) return;
  Form().GroupInteg1->setTitle(Q(t[0]));
  Form().GroupInteg2->setTitle(Q(t[1]));
}

void TOperatingPages::Refresh(QWidget* page) {
  Ui::Tfrm_Main& f = Form();
  if (page == f.TabKreis1 || page == f.TabKreis2) {
    RefreshCircuitValues(page == f.TabKreis2 ? 1 : 0);
  } else if (page == f.TabFehler) {
    ShowErrorLog();
  } else if (page == f.TabIntegrator) {
    ShowIntegrators();
  }
}

void TOperatingPages::Tick(QWidget* page) {
  Ui::Tfrm_Main& f = Form();
  if (page == f.TabKreis1 || page == f.TabKreis2) RefreshCircuitValues(page == f.TabKreis2 ? 1 : 0);
}

TNavigation TOperatingPages::Navigate(QWidget* page) {
  Ui::Tfrm_Main& f = Form();
  if (page == f.TabKreis2 && IsSingleCircuitSystem()) return {f.TabKreis1, true};
  if (page == f.TabIntegrator) {
    f.GroupInteg2->setVisible(
        (devicelink::SystemParams.SystemTypeFlags & devicelink::kSingleCircuitFlags) == 0);
  }
  return {page, true};
}

void TOperatingPages::ClearDeviceValues() {
  Ui::Tfrm_Main& f = Form();
  for (QListWidget* list :
       {f.ListeK1, f.ListeK2, f.ErrorListe, f.ListeIntegrator1, f.ListeIntegrator2}) {
    list->clear();
  }
  failed_.clear();
}

void TOperatingPages::Enter(QWidget* page) {
  TabKreis1Enter(page);
}

// Entered as the frame lets the program act by itself: when nothing runs.
void TOperatingPages::TabKreis1Enter(QWidget* page) {
  if (FormReady != 1) return;
  devicelink::TCursorScope cursor;
  if (devicelink::DeviceOnline) Refresh(page);
}

void TOperatingPages::RefreshCircuitValues(int circuit) {
  if (circuit < 0 || circuit > 1) throw std::out_of_range("circuit index");
  Ui::Tfrm_Main& f = Form();
  // Counted as failed until the last read is done.
  QWidget* page = circuit == 1 ? f.TabKreis2 : f.TabKreis1;
  NoteRead(page, false);
  devicelink::TProgressScope progress;
  services::StartProgress(8);
  if (!devicelink::ReadDeviceClock()) return;
  services::StepProgress();
  devicelink::ReadSystemParams();
  services::StepProgress();
  f.Ed_DateTime->setText(Q(services::DeviceTimeToText(devicelink::DeviceClock)));
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
  if (FormReady == 1) {
    ShowMeasuredValues(circuit);
  } else {
    (circuit == 0 ? f.ListeK1 : f.ListeK2)->clear();
  }
  NoteRead(page, true);
  services::StepProgress();
}

// Only a read the device could have answered counts: offline nothing is read.
void TOperatingPages::NoteRead(const QWidget* page, bool ok) {
  if (ok || !devicelink::DeviceOnline) {
    failed_.erase(page);
  } else {
    failed_.insert(page);
  }
}

bool TOperatingPages::ReadFailed(QWidget* page) const {
  return failed_.count(page) != 0;
}

// The list of the circuit read, whatever page the operator has gone to while
// the device answered; replaced in one step once its last exchange is done.
void TOperatingPages::ShowMeasuredValues(int circuit) {
  if (circuit < 0 || circuit > 1) throw std::out_of_range("circuit index");
  Ui::Tfrm_Main& f = Form();
  std::vector<std::string> lines = MeasuredValueLines(circuit);
  uint8_t mask = 0;
  const int32_t count = devicelink::ReadErrorStatus(mask);
  for (std::string& line : StatusLines(count, mask)) lines.push_back(std::move(line));
  QListWidget* list = circuit == 1 ? f.ListeK2 : f.ListeK1;
  list->clear();
  AddLines(list, lines);
}

void TOperatingPages::ShowErrorLog() {
  Ui::Tfrm_Main& f = Form();
  f.TabFehler->window()->repaint();
  platform::ProcessMessages();
  devicelink::TProgressScope progress;
  services::StartProgress(16);
  f.ErrorListe->clear();
  const bool read = devicelink::ReadErrorLog();
  if (read) AddLines(f.ErrorListe, ErrorLogLines());
  NoteRead(f.TabFehler, read);
  platform::ProcessMessages();
}

void TOperatingPages::ShowIntegrators() {
  Ui::Tfrm_Main& f = Form();
  f.ListeIntegrator1->clear();
  f.ListeIntegrator2->clear();
  devicelink::TProgressScope progress;
  services::StartProgress(16);
  const bool read = devicelink::ReadIntegratorHistory();
  NoteRead(f.TabIntegrator, read);
  if (!read) return;
  AddLines(f.ListeIntegrator1, IntegratorLines(0));
  AddLines(f.ListeIntegrator2, IntegratorLines(1));
}

void TOperatingPages::PopupMenu1Popup() {
  speichern_action_->setEnabled(Form().ErrorListe->count() > 0);
}

void TOperatingPages::Speichern1Click() {
  Context().Command(speichern_action_, [this] {
    QListWidget* list = Form().ErrorListe;
    if (list->count() == 0) return;
    SaveDialog_ErrorProt.initial_dir = services::GetDocumentsFolder();
    const std::string name = ExecFileDialog(Context().DialogParent(), SaveDialog_ErrorProt);
    if (name.empty()) return;
    // The error list travels between installations as the others do: the
    // single-byte code page and CRLF line ends.
    std::string content;
    for (int i = 0; i < list->count(); ++i) {
      content += platform::Utf8ToCp1252(list->item(i)->text().toStdString());
      content += "\r\n";
    }
    // Written in one step: a failure leaves the old file, never a part of it.
    platform::WriteFileAtomically(name, content, platform::FileKind::kExportFile);
  });
}

void TOperatingPages::cmd_SetDateTimeClick() {
  Context().Command(Form().cmd_SetDateTime, [this] {
    if (devicelink::WriteDeviceClock() && devicelink::ReadDeviceClock()) {
      Form().Ed_DateTime->setText(Q(services::DeviceTimeToText(devicelink::DeviceClock)));
    }
  });
}

}  // namespace ui
