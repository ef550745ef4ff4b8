// What the property table editor and the saturation table editor share: the
// grid view over a services::TTableGrid, the table menu and the pop-up menu,
// the file dialogs, the device transfers, the questions before a table is
// replaced or the editor closes, and their texts.
//
// Opening the editor (being shown) is its activation and closing it its
// deactivation; the modal dialogs it opens itself fire neither. While a
// transfer runs (its pauses let window messages through) every command is
// ignored and a close waits until the transfer has ended.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "services/table_cells.h"

class QAction;
class QMenu;
class QMenuBar;
class QTableView;

namespace ui {

class TTableGridModel;

// The controls both forms have under the same names.
struct TTableEditorControls {
  QTableView* TabGrid;
  QMenuBar* MainMenu1;
  QMenu* Datei1;
  QAction* mnu_Neu;
  QAction* mnu_Load;
  QAction* mnu_Store1;
  QAction* N1;
  QAction* mnu_Receive;
  QAction* mnu_Transmit;
  QAction* mnu_Kopieren;
  QAction* mnu_Einfuegen;
  QAction* mnu_Loeschen;
};

class TTableEditorBase : public QDialog {
  Q_OBJECT

 public:
  ~TTableEditorBase() override;

  virtual services::TTableGrid& Grid() = 0;
  const services::TTableGrid& Grid() const { return const_cast<TTableEditorBase*>(this)->Grid(); }

  bool TransferRunning() const { return transfer_running_; }
  // The selected cell in grid coordinates (column, row).
  std::optional<std::pair<int, int>> SelectedCell() const;
  // Selects a grid cell; false when the current view does not offer it.
  bool SelectCell(int column, int row);
  QMenu* PopupMenu() const { return popup_; }

 public slots:
  // Menu texts from the text module.
  void FormCreate();
  // The editor is shown: picks its table, reads it when online.
  void FormActivate();
  // The editor closes: asks to send and to save; false keeps it open.
  bool FormDeactivate();
  // The value dialog for the selected cell.
  void TabGridDblClick();
  void mnu_NeuClick();
  void mnu_LoadClick();
  void mnu_Store1Click();
  void mnu_ReceiveClick();
  void mnu_TransmitClick();
  void mnu_KopierenClick();
  void mnu_EinfuegenClick();
  void mnu_LoeschenClick();

 protected:
  explicit TTableEditorBase(QWidget* parent);
  // Called by the derived constructor after its form is set up.
  void Init(const TTableEditorControls& controls);

  // What the two editors differ in.
  // Texts beyond the table menu and the pop-up menu.
  virtual void LoadOwnTexts() {}
  // Before the read of an opening: which table the grid holds.
  virtual void PrepareOpening() = 0;
  // The device's table into the grid; false (grid untouched) when the read failed.
  virtual bool ReadFromDevice() = 0;
  // The grid into the device's table.
  virtual bool WriteToDevice() = 0;
  // Continuous entry: after OK the dialog opens again for the next cell.
  virtual std::optional<std::pair<int, int>> NextEntryCell(int column, int row) const;
  // The view: its size, the grid cell at a view position and back, headers.
  virtual int ViewRows() const = 0;
  virtual int ViewColumns() const = 0;
  virtual std::pair<int, int> GridCellAt(int view_row, int view_column) const = 0;
  virtual std::optional<std::pair<int, int>> ViewPositionOf(int column, int row) const = 0;
  virtual QString HeaderText(Qt::Orientation orientation, int section) const = 0;
  // The text of the view's corner, empty when it has none.
  virtual QString CornerText() const { return {}; }

  // The grid's texts shown again; `layout` when the view's shape changed.
  void RefreshGrid(bool layout = false);
  const TTableEditorControls& Controls() const { return c_; }

  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // String index of block 14336, with a built-in fallback.
  std::string Text(int index) const;
  int Ask(int index, uint32_t buttons);
  void Tell(const std::string& text);
  // The device's table into the grid; asks first when that drops unsent changes.
  void Receive();
  void LoadFile();
  void AsCommand(const std::function<void()>& body);
  bool Transmit();
  bool SaveAs();
  bool DiscardUnsaved();
  std::string StartFolder() const;
  void EditCell(int column, int row);
  void PaintCorner(QWidget* corner);

  friend class TTransferScope;
  friend class TTableGridModel;
  TTableEditorControls c_{};
  TTableGridModel* model_ = nullptr;
  QMenu* popup_ = nullptr;
  bool transfer_running_ = false;
  bool close_pending_ = false;
  bool closing_ = false;
};

}  // namespace ui
