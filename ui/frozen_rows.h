// The first rows of a table stay in place while the others scroll beneath them,
// as the fixed rows of a grid: a second view of the same model, showing only
// those rows, lies over the top of the table's viewport.
#pragma once

#include <QObject>

class QTableView;

namespace ui {

class TFrozenRows : public QObject {
  Q_OBJECT

 public:
  TFrozenRows(QTableView* table, int rows);
  QTableView* View() const { return frozen_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateGeometry();

  QTableView* table_;
  QObject* viewport_;
  QTableView* frozen_;
  int rows_;
};

}  // namespace ui
