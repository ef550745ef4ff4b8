// The saturation table editor: the device's user saturation table, 32 rows of
// temperature, pressure, density and enthalpy, edited cell by cell, pasted,
// saved and loaded as a file, read from and sent to the device.
#pragma once

#include <memory>

#include "services/sat_table_grid.h"
#include "ui/table_editor_base.h"

class QKeyEvent;

namespace Ui {
class Tfrm_UserSatTab;
}

namespace ui {

class Tfrm_UserSatTab : public TTableEditorBase {
  Q_OBJECT

 public:
  explicit Tfrm_UserSatTab(QWidget* parent = nullptr);
  ~Tfrm_UserSatTab() override;
  Ui::Tfrm_UserSatTab* Form() const { return form_.get(); }

  services::TTableGrid& Grid() override { return grid_; }
  const services::TSatGrid& SatGrid() const { return grid_; }

 public slots:
  // Enter in the grid opens the value dialog; true when the key was taken.
  bool TabGridKeyPress(QKeyEvent* event);

 protected:
  void PrepareOpening() override;
  bool ReadFromDevice() override;
  bool WriteToDevice() override;
  int ViewRows() const override;
  int ViewColumns() const override;
  std::pair<int, int> GridCellAt(int view_row, int view_column) const override;
  std::optional<std::pair<int, int>> ViewPositionOf(int column, int row) const override;
  QString HeaderText(Qt::Orientation orientation, int section) const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<Ui::Tfrm_UserSatTab> form_;
  services::TSatGrid grid_;
};

extern Tfrm_UserSatTab* frm_UserSatTab;

}  // namespace ui
