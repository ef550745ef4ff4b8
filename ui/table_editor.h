// The property table editor: one of the device's two property tables (by
// `Tag`), with its temperature and pressure axes, edited cell by cell, pasted,
// saved and loaded as a file, read from and sent to the device.
#pragma once

#include <memory>

#include "services/table_grid.h"
#include "ui/table_editor_base.h"

namespace Ui {
class Tfrm_Tabelle;
}

namespace ui {

class Tfrm_Tabelle : public TTableEditorBase {
  Q_OBJECT

 public:
  // What the grid shows: the table values, or one of the axes to edit it.
  enum class TView { kTable, kTemperatures, kPressures };

  explicit Tfrm_Tabelle(QWidget* parent = nullptr);
  ~Tfrm_Tabelle() override;
  Ui::Tfrm_Tabelle* Form() const { return form_.get(); }

  // Which of the device's two property tables the editor works on (0 or 1);
  // the medium group sets it, and the caption, before showing the editor.
  int Tag = 0;

  services::TTableGrid& Grid() override { return grid_; }
  const services::TPropertyGrid& PropertyGrid() const { return grid_; }
  TView View() const { return view_; }

 public slots:
  // The three view items of the edit menu.
  void mnu_TemperaturClick(QAction* item);

 protected:
  void LoadOwnTexts() override;
  void PrepareOpening() override;
  bool ReadFromDevice() override;
  bool WriteToDevice() override;
  std::optional<std::pair<int, int>> NextEntryCell(int column, int row) const override;
  int ViewRows() const override;
  int ViewColumns() const override;
  std::pair<int, int> GridCellAt(int view_row, int view_column) const override;
  std::optional<std::pair<int, int>> ViewPositionOf(int column, int row) const override;
  QString HeaderText(Qt::Orientation orientation, int section) const override;
  QString CornerText() const override;

 private:
  std::unique_ptr<Ui::Tfrm_Tabelle> form_;
  services::TPropertyGrid grid_;
  TView view_ = TView::kTable;
};

extern Tfrm_Tabelle* frm_Tabelle;

}  // namespace ui
