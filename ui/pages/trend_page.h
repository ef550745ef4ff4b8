// The trend page of the operating display: reads the device's trend memory into
// the trend store, lists its records newest first with their statistics, shows
// one record in the grid, exports the listed records to a ";"-separated file and
// opens the chart window.
#pragma once

#include <string>

#include "ui/chart_window.h"
#include "ui/dialog_hooks.h"
#include "ui/pages/page.h"

class QAbstractButton;

namespace ui {

class TFrozenRows;

class TTrendPage : public TPage, public TTrendSource {
  Q_OBJECT

 public:
  explicit TTrendPage(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  // The grid's heading with the units in force and the read button's caption.
  void LoadTexts() override;
  void ClearDeviceValues() override;
  // The shown record again, in the units in force (no device read).
  void Refresh(QWidget* page) override;
  // A device without trend memory shows circuit 1 instead, without reading it.
  TNavigation Navigate(QWidget* page) override;

  void SetupTrendGridHeader();
  // Empties the values and sample rows; headings and row labels stay.
  void ClearTrendGrid();
  // Record k (0..43) in the grid.
  void ShowTrendRecord(int k);

  // TTrendSource
  std::string TrendHeading(int column) const override;
  bool TrendReadRunning() const override { return read_running_; }

  TFileRequest SaveTrendDialog;

 public slots:
  // Handler of both buttons: reads the trend memory; the export button then also
  // writes the listed records to a file.
  void cmd_ReadTrendsClick(QAbstractButton* sender);
  void ComboTrendsClick();
  void cmd_GrafikClick();

 private:
  void ReadTrends(bool exporting);
  void ShowSelectedRecord();
  // The list from the store, newest first; appends the export lines of each
  // listed record to export_text when given.
  void BuildTrendList(std::string* export_text, const std::string& serial_no);
  void EndRead();
  void SetCell(int row, int column, const std::string& text);

  TFrozenRows* fixed_rows_ = nullptr;
  bool read_running_ = false;
};

}  // namespace ui
