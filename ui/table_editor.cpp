#include "ui/table_editor.h"

#include <QHeaderView>
#include <QTableView>

#include "devicelink/table_transfer.h"
#include "services/app_state.h"
#include "services/text_modules.h"
#include "ui/qt_text.h"
#include "ui_table_editor.h"

namespace ui {

Tfrm_Tabelle* frm_Tabelle = nullptr;

namespace {
const char* const kCorner = "T[K] \\ p[kpa]";
}

Tfrm_Tabelle::Tfrm_Tabelle(QWidget* parent)
    : TTableEditorBase(parent), form_(std::make_unique<Ui::Tfrm_Tabelle>()) {
  form_->setupUi(this);
  Ui::Tfrm_Tabelle& f = *form_;
  Init({f.TabGrid, f.MainMenu1, f.Datei1, f.mnu_Neu, f.mnu_Load, f.mnu_Store1, f.N1, f.mnu_Receive,
        f.mnu_Transmit, f.mnu_Kopieren, f.mnu_Einfuegen, f.mnu_Loeschen});
  for (QAction* item : {f.mnu_Tabelle, f.mnu_Temperatur, f.mnu_Druck}) {
    connect(item, &QAction::triggered, this, [this, item] { mnu_TemperaturClick(item); });
  }
  FormCreate();
  RefreshGrid(true);
  if (frm_Tabelle == nullptr) frm_Tabelle = this;
}

Tfrm_Tabelle::~Tfrm_Tabelle() {
  if (frm_Tabelle == this) frm_Tabelle = nullptr;
}

void Tfrm_Tabelle::LoadOwnTexts() {
  services::TextBlock t;
  if (!services::GetTextBlock(1296, 1, t)) return;
  if (!t[0].empty()) form_->Bearbeiten1->setTitle(Q(t[0]));
  const std::pair<QAction*, const std::string*> items[] = {
      {form_->mnu_Tabelle, &t[1]}, {form_->mnu_Temperatur, &t[2]}, {form_->mnu_Druck, &t[3]}};
  for (auto [item, text] : items) {
    if (!text->empty()) item->setText(Q(*text));
  }
}

void Tfrm_Tabelle::PrepareOpening() {
  // The grid belongs to one table: another table starts empty, without the
  // other's file name and flags, so its values never go to the wrong table.
  if (!grid_.IsFor(services::Medium, Tag)) grid_ = services::TPropertyGrid(services::Medium, Tag);
}

bool Tfrm_Tabelle::ReadFromDevice() {
  if (!devicelink::ReadTable(grid_.Tag()) || !devicelink::TableData) return false;
  grid_.Receive(*devicelink::TableData);
  return true;
}

bool Tfrm_Tabelle::WriteToDevice() {
  if (!devicelink::TableData) return false;
  grid_.ToTable(*devicelink::TableData);
  return devicelink::WriteTable(grid_.Tag());
}

std::optional<std::pair<int, int>> Tfrm_Tabelle::NextEntryCell(int column, int row) const {
  if (services::TPropertyGrid::Kind(column, row) != services::TTableCellKind::kValue) {
    return std::nullopt;
  }
  return services::TPropertyGrid::NextEntryCell(column, row);
}

void Tfrm_Tabelle::mnu_TemperaturClick(QAction* item) {
  Ui::Tfrm_Tabelle& f = *form_;
  for (QAction* a : {f.mnu_Tabelle, f.mnu_Temperatur, f.mnu_Druck}) a->setChecked(false);
  view_ = item == f.mnu_Temperatur ? TView::kTemperatures
          : item == f.mnu_Druck    ? TView::kPressures
                                   : TView::kTable;
  (item == f.mnu_Temperatur || item == f.mnu_Druck ? item : f.mnu_Tabelle)->setChecked(true);
  // A fixed row or column shows as the view's header.
  f.TabGrid->horizontalHeader()->setVisible(view_ != TView::kPressures);
  f.TabGrid->verticalHeader()->setVisible(view_ != TView::kTemperatures);
  RefreshGrid(true);
  f.TabGrid->setCurrentIndex(f.TabGrid->model()->index(0, 0));
}

int Tfrm_Tabelle::ViewRows() const {
  return view_ == TView::kPressures ? 1 : services::TPropertyGrid::kRows - 1;
}

int Tfrm_Tabelle::ViewColumns() const {
  return view_ == TView::kTemperatures ? 1 : services::TPropertyGrid::kColumns - 1;
}

std::pair<int, int> Tfrm_Tabelle::GridCellAt(int view_row, int view_column) const {
  switch (view_) {
    case TView::kTemperatures:
      return {0, view_row + 1};
    case TView::kPressures:
      return {view_column + 1, 0};
    case TView::kTable:
      break;
  }
  return {view_column + 1, view_row + 1};
}

std::optional<std::pair<int, int>> Tfrm_Tabelle::ViewPositionOf(int column, int row) const {
  services::TTableCellKind kind;
  try {
    kind = services::TPropertyGrid::Kind(column, row);
  } catch (const std::out_of_range&) {
    return std::nullopt;
  }
  const bool shown =
      (view_ == TView::kTable && kind == services::TTableCellKind::kValue) ||
      (view_ == TView::kTemperatures && kind == services::TTableCellKind::kTemperature) ||
      (view_ == TView::kPressures && kind == services::TTableCellKind::kPressure);
  if (!shown) return std::nullopt;
  return std::pair{view_ == TView::kPressures ? 0 : row - 1,
                   view_ == TView::kTemperatures ? 0 : column - 1};
}

QString Tfrm_Tabelle::HeaderText(Qt::Orientation orientation, int section) const {
  if (view_ == TView::kTable) {
    return orientation == Qt::Horizontal ? Q(grid_.Cell(section + 1, 0).text)
                                         : Q(grid_.Cell(0, section + 1).text);
  }
  // The corner heads the axis column or row.
  return CornerText();
}

QString Tfrm_Tabelle::CornerText() const {
  return QString::fromUtf8(kCorner);
}

}  // namespace ui
