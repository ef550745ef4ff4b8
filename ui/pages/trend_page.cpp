#include "ui/pages/trend_page.h"

#include <QComboBox>
#include <QFontMetricsF>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/device_run.h"
#include "devicelink/frame_transfer.h"
#include "devicelink/link_state.h"
#include "devicelink/trend_reader.h"
#include "devicelink/window_scopes.h"
#include "platform/file_limits.h"
#include "platform/main_thread.h"
#include "platform/text_encoding.h"
#include "services/bulk_transfer.h"
#include "services/data_folders.h"
#include "services/program_texts.h"
#include "services/status_note.h"
#include "services/text_modules.h"
#include "services/value_format.h"
#include "ui/busy_flags.h"
#include "ui/frozen_rows.h"
#include "ui/pages/trend_rules.h"
#include "ui/qt_text.h"
#include "ui_main_window.h"

namespace ui {
namespace {

constexpr int kFixedRows = 4;  // heading, maximum, mean, minimum
constexpr int kFirstSampleRow = 4;

std::string Value(int column, double value) {
  return services::FormatValue(kTrendColumnKinds.at(static_cast<size_t>(column)), 0, 1,
                               static_cast<float>(value));
}

}  // namespace

TTrendPage::TTrendPage(TPageContext& context) : TPage(context) {
  setObjectName("TrendPage");
  Ui::Tfrm_Main& f = Form();
  fixed_rows_ = new TFrozenRows(f.Trendgrid, kFixedRows);
  f.ComboTrends->setFont(f.Trendgrid->font());
  connect(f.cmd_ReadTrends, &QPushButton::clicked, this,
          [this] { cmd_ReadTrendsClick(Form().cmd_ReadTrends); });
  connect(f.cmd_ExportTrends, &QPushButton::clicked, this,
          [this] { cmd_ReadTrendsClick(Form().cmd_ExportTrends); });
  connect(f.ComboTrends, &QComboBox::activated, this, &TTrendPage::ComboTrendsClick);
  connect(f.cmd_Grafik, &QPushButton::clicked, this, &TTrendPage::cmd_GrafikClick);

  SaveTrendDialog.save = true;
  SaveTrendDialog.file_name = "Trenddaten";
  SaveTrendDialog.default_ext = "txt";
  SaveTrendDialog.overwrite_prompt = true;
  SaveTrendDialog.write_kind = platform::FileKind::kExportFile;
}

std::vector<QWidget*> TTrendPage::Pages() const {
  return {Form().TabTrend};
}

// The heading in the new language names the units in force now; the values
// under it follow, so both come from the same unit rows.
void TTrendPage::LoadTexts() {
  Ui::Tfrm_Main& f = Form();
  f.cmd_Grafik->setText(Q(services::ProgramText(services::text_id::kChartButton)));
  SaveTrendDialog.filter = services::ProgramText(services::text_id::kTextFileFilter);
  if (read_running_) {
    SetupTrendGridHeader();  // the read's end shows the record again
  } else {
    // The list names the circuits in the new language.
    for (int line = 0; line < f.ComboTrends->count() && devicelink::TrendStore; ++line) {
      const int k = devicelink::TrendStore->ListMap.at(static_cast<size_t>(line));
      if (k < 0) continue;
      f.ComboTrends->setItemText(
          line, Q(TrendListLine(devicelink::TrendStore->Records.at(static_cast<size_t>(k)))));
    }
    ShowSelectedRecord();
  }
  if (frm_Grafik != nullptr) frm_Grafik->LoadTexts();
}

// Reached again, the page shows its record in the units in force now (the
// units may have changed meanwhile); nothing is read from the device.
void TTrendPage::Refresh(QWidget* /*page*/) {
  if (!read_running_) ShowSelectedRecord();
}

TNavigation TTrendPage::Navigate(QWidget* page) {
  if ((devicelink::SystemParams.SystemTypeFlags & devicelink::kNoTrendFlags) != 0) {
    return {Form().TabKreis1, false};
  }
  return {page, true};
}

// ---- Grid

void TTrendPage::SetCell(int row, int column, const std::string& text) {
  QTableWidget* grid = Form().Trendgrid;
  QTableWidgetItem* item = grid->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    grid->setItem(row, column, item);
  }
  item->setText(Q(text));
}

// With the units in force now, as the values drawn or written beside it; the
// grid's own heading stays with the values the grid shows.
std::string TTrendPage::TrendHeading(int column) const {
  services::TextBlock t;
  if (column >= 0 && column < 5 && services::GetTextBlock(19456, 1, t)) {
    return TrendGridHeadings(t).at(static_cast<size_t>(column));
  }
  const QTableWidgetItem* item = Form().Trendgrid->item(0, column);
  return item != nullptr ? item->text().toStdString() : std::string();
}

void TTrendPage::SetupTrendGridHeader() {
  services::TextBlock t;
  if (!services::GetTextBlock(19456, 1, t)) return;
  Ui::Tfrm_Main& f = Form();
  QTableWidget* grid = f.Trendgrid;
  const std::array<std::string, 5> headings = TrendGridHeadings(t);
  for (int c = 0; c < 5; ++c) SetCell(0, c, headings.at(static_cast<size_t>(c)));
  for (int row = 1; row <= 3; ++row) SetCell(row, 0, t.at(static_cast<size_t>(row + 4)));

  // Wide enough for the longest text the column can show; the cell's text
  // margins and its grid line come on top.
  const QFontMetricsF metrics(grid->font());
  const int margins =
      2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 1;
  const auto width = [&](const std::string& s) {
    return static_cast<int>(std::ceil(metrics.horizontalAdvance(Q(s)))) + margins;
  };
  grid->setColumnWidth(0, width("09.09.2099 09:09:09x"));
  grid->setColumnWidth(1, std::max(width("-999.0000x"), width(headings[1] + "x")));
  for (int c = 2; c < 5; ++c) {
    grid->setColumnWidth(
        c, std::max(width("-999.9999E99xx"), width(headings.at(static_cast<size_t>(c)))));
  }
  if (services::GetTextBlock(19472, 1, t)) f.cmd_ReadTrends->setText(Q(t[0]));
}

void TTrendPage::ClearDeviceValues() {
  Ui::Tfrm_Main& f = Form();
  if (devicelink::TrendStore) {
    for (devicelink::TTrendRecord& r : devicelink::TrendStore->Records) r.Status = 0;
    devicelink::TrendStore->ListMap.fill(-1);
  }
  f.ComboTrends->clear();
  f.ComboTrends->hide();
  ClearTrendGrid();
  f.cmd_Grafik->setEnabled(false);
  if (frm_Grafik != nullptr) frm_Grafik->ResetCharts();
}

void TTrendPage::ClearTrendGrid() {
  QTableWidget* grid = Form().Trendgrid;
  for (int row = 1; row < grid->rowCount(); ++row) {
    for (int c = row < kFirstSampleRow ? 1 : 0; c < grid->columnCount(); ++c) {
      if (QTableWidgetItem* item = grid->item(row, c)) item->setText(QString());
    }
  }
}

void TTrendPage::ShowTrendRecord(int k) {
  ClearTrendGrid();
  const devicelink::TTrendRecord& r = devicelink::TrendStore->Records.at(static_cast<size_t>(k));
  if (r.Status != 1 || r.Interval == 0 || r.Count == 0) return;
  for (int c = 0; c < 4; ++c) {
    const size_t i = static_cast<size_t>(c);
    SetCell(1, c + 1, Value(c, r.MaxValues[i]));
    SetCell(2, c + 1, Value(c, r.MeanValues[i]));
    SetCell(3, c + 1, Value(c, r.MinValues[i]));
  }
  const std::vector<TSampleTime> times = SampleTimes(r);
  for (int j = 0; j < static_cast<int>(times.size()); ++j) {
    SetCell(kFirstSampleRow + j, 0, SampleTimeText(times[static_cast<size_t>(j)]));
    for (int c = 0; c < 4; ++c)
      SetCell(kFirstSampleRow + j, c + 1, Value(c, TrendColumnValue(r, c, j)));
  }
}

// ---- Handlers

void TTrendPage::ComboTrendsClick() {
  Context().Command(Form().ComboTrends, [this] {
    if (!read_running_) ShowSelectedRecord();
  });
}

void TTrendPage::ShowSelectedRecord() {
  SetupTrendGridHeader();
  const int line = Form().ComboTrends->currentIndex();
  if (line < 0 || !devicelink::TrendStore) return;
  const int k = devicelink::TrendStore->ListMap.at(static_cast<size_t>(line));
  if (k >= 0) ShowTrendRecord(k);
}

void TTrendPage::cmd_GrafikClick() {
  if (frm_Grafik == nullptr) return;
  frm_Grafik->show();
  frm_Grafik->raise();
  frm_Grafik->activateWindow();
}

void TTrendPage::cmd_ReadTrendsClick(QAbstractButton* sender) {
  // Chosen during another command, the read follows once that has ended.
  const bool exporting = sender != Form().cmd_ReadTrends;
  Context().Command(sender, [this, exporting] {
    if (!read_running_) ReadTrends(exporting);
  });
}

void TTrendPage::ReadTrends(bool exporting) {
  if (!devicelink::TrendStore) return;
  Ui::Tfrm_Main& f = Form();
  // However the command ends: buttons back, the list shown, the charts emptied.
  struct ReadScope {
    TTrendPage& page;
    ~ReadScope() { page.EndRead(); }
  } read_scope{*this};
  read_running_ = true;
  f.cmd_ExportTrends->setEnabled(false);
  f.cmd_ReadTrends->setEnabled(false);
  f.cmd_Grafik->setEnabled(false);
  devicelink::TCursorScope cursor;
  devicelink::TProgressScope progress;
  // A close ends the read at its next block; what was read is listed.
  services::StartProgress(devicelink::kTrendRecords);
  f.ComboTrends->hide();

  if (!devicelink::ReadTrendHeader()) {
    f.ComboTrends->clear();
    ClearTrendGrid();
    return;
  }
  platform::ProcessMessages();
  bool complete = true;
  int read = 0;
  for (int k = 0; k < devicelink::kTrendRecords && complete; ++k) {
    complete = devicelink::ReadTrendBlock(k);
    if (complete) {
      ++read;
      services::StepProgress();
    }
  }
  // A read the device broke off says so (the grid keeps the records read);
  // one the program's close ended says nothing.
  if (!complete && !devicelink::RunEnded()) {
    services::ShowStatusNote(services::TStatusNote::Text(
        services::text_id::kTrendReadStopped,
        {std::to_string(read), std::to_string(devicelink::kTrendRecords)}));
  }

  // The file only after a complete read, written at once when the list is built.
  std::string file_name;
  std::string export_text;
  std::string serial_no;
  if (exporting && complete) {
    SaveTrendDialog.initial_dir = services::GetDocumentsFolder();
    file_name = ExecFileDialog(Context().DialogParent(), SaveTrendDialog);
    if (!file_name.empty()) {
      SetupTrendGridHeader();
      // Without an answer the lines carry no number rather than an old one.
      if (devicelink::ReadSerialNo()) serial_no = devicelink::DeviceSerialNo;
      export_text = TrendExportHeading({TrendHeading(0), TrendHeading(1), TrendHeading(2),
                                        TrendHeading(3), TrendHeading(4)}) +
                    "\r\n";
    }
  }
  // Also after a failed block: the records read up to then have new samples,
  // and their statistics and times must follow them.
  BuildTrendList(file_name.empty() ? nullptr : &export_text, serial_no);
  if (f.ComboTrends->count() > 0) {
    f.ComboTrends->setCurrentIndex(0);
    ShowSelectedRecord();
  }
  if (!file_name.empty())
    platform::WriteFileAtomically(file_name, platform::Utf8ToCp1252(export_text),
                                  platform::FileKind::kExportFile);
}

void TTrendPage::BuildTrendList(std::string* export_text, const std::string& serial_no) {
  Ui::Tfrm_Main& f = Form();
  devicelink::TTrendStore& store = *devicelink::TrendStore;
  f.ComboTrends->clear();
  ClearTrendGrid();
  store.ListMap.fill(-1);
  size_t line = 0;
  for (int k : TrendListOrder(store)) {
    devicelink::TTrendRecord& r = store.Records.at(static_cast<size_t>(k));
    ComputeTrendStatistics(r);
    f.ComboTrends->addItem(Q(TrendListLine(r)));
    store.ListMap.at(line++) = k;
    if (export_text != nullptr && r.Interval != 0) {
      *export_text += TrendExportLines(r, r.Circuit + 1, serial_no);
    }
  }
}

void TTrendPage::EndRead() {
  Ui::Tfrm_Main& f = Form();
  read_running_ = false;
  f.ComboTrends->show();
  f.cmd_ReadTrends->setEnabled(true);
  f.cmd_ExportTrends->setEnabled(true);
  f.cmd_Grafik->setEnabled(f.ComboTrends->count() > 0);
  // The charts showed the store as it was.
  if (frm_Grafik != nullptr) frm_Grafik->ResetCharts();
}

}  // namespace ui
