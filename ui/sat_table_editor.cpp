#include "ui/sat_table_editor.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>

#include "devicelink/device_data.h"
#include "devicelink/table_transfer.h"
#include "ui_sat_table_editor.h"

namespace ui {

Tfrm_UserSatTab* frm_UserSatTab = nullptr;

Tfrm_UserSatTab::Tfrm_UserSatTab(QWidget* parent)
    : TTableEditorBase(parent), form_(std::make_unique<Ui::Tfrm_UserSatTab>()) {
  form_->setupUi(this);
  Ui::Tfrm_UserSatTab& f = *form_;
  Init({f.TabGrid, f.MainMenu1, f.Datei1, f.mnu_Neu, f.mnu_Load, f.mnu_Store1, f.N1, f.mnu_Receive,
        f.mnu_Transmit, f.mnu_Kopieren, f.mnu_Einfuegen, f.mnu_Loeschen});
  f.TabGrid->verticalHeader()->setVisible(false);  // no fixed column
  f.TabGrid->installEventFilter(this);
  FormCreate();
  RefreshGrid(true);
  if (frm_UserSatTab == nullptr) frm_UserSatTab = this;
}

Tfrm_UserSatTab::~Tfrm_UserSatTab() {
  if (frm_UserSatTab == this) frm_UserSatTab = nullptr;
}

void Tfrm_UserSatTab::PrepareOpening() {
  // Each opening shows the device's table afresh (or nothing offline); a grid
  // that holds changes not sent or not saved is kept instead.
  if (!grid_.ChangedSinceTransfer && !grid_.ChangedSinceSave) grid_.Clear();
}

bool Tfrm_UserSatTab::ReadFromDevice() {
  if (!devicelink::ReadUserSatTable()) return false;
  grid_.Receive(devicelink::UserSatTable);
  return true;
}

bool Tfrm_UserSatTab::WriteToDevice() {
  grid_.ToTable(devicelink::UserSatTable);
  return devicelink::WriteUserSatTable();
}

int Tfrm_UserSatTab::ViewRows() const {
  return services::TSatGrid::kRows - 1;
}

int Tfrm_UserSatTab::ViewColumns() const {
  return services::TSatGrid::kColumns;
}

std::pair<int, int> Tfrm_UserSatTab::GridCellAt(int view_row, int view_column) const {
  return {view_column, view_row + 1};
}

std::optional<std::pair<int, int>> Tfrm_UserSatTab::ViewPositionOf(int column, int row) const {
  if (!grid_.HoldsValue(column, row)) return std::nullopt;
  return std::pair{row - 1, column};
}

QString Tfrm_UserSatTab::HeaderText(Qt::Orientation orientation, int section) const {
  if (orientation == Qt::Vertical) return QString::number(section + 1);
  return QString::fromUtf8(services::TSatGrid::Heading(section));
}

bool Tfrm_UserSatTab::TabGridKeyPress(QKeyEvent* event) {
  if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) return false;
  TabGridDblClick();
  return true;
}

bool Tfrm_UserSatTab::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->TabGrid && event->type() == QEvent::KeyPress &&
      TabGridKeyPress(static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return TTableEditorBase::eventFilter(watched, event);
}

}  // namespace ui
