#include "ui/frozen_rows.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

namespace ui {

TFrozenRows::TFrozenRows(QTableView* table, int rows)
    : QObject(table),
      table_(table),
      viewport_(table->viewport()),
      frozen_(new QTableView(table)),
      rows_(rows) {
  frozen_->setObjectName(table->objectName() + "_fixed");
  frozen_->setModel(table->model());
  frozen_->setSelectionModel(table->selectionModel());
  frozen_->setFocusPolicy(Qt::NoFocus);
  frozen_->setEditTriggers(table->editTriggers());
  frozen_->horizontalHeader()->hide();
  frozen_->verticalHeader()->hide();
  frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setFrameShape(QFrame::NoFrame);
  frozen_->setHorizontalScrollMode(table->horizontalScrollMode());
  // Fixed rows look like a heading.
  QPalette palette = frozen_->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  frozen_->setPalette(palette);
  for (int r = rows_; r < table->model()->rowCount(); ++r) frozen_->setRowHidden(r, true);

  QHeaderView* columns = table->horizontalHeader();
  QHeaderView* row_heights = table->verticalHeader();
  for (int c = 0; c < table->model()->columnCount(); ++c) {
    frozen_->setColumnWidth(c, table->columnWidth(c));
  }
  for (int r = 0; r < rows_; ++r) frozen_->setRowHeight(r, table->rowHeight(r));
  connect(columns, &QHeaderView::sectionResized, this, [this](int c, int, int size) {
    frozen_->setColumnWidth(c, size);
    UpdateGeometry();
  });
  connect(row_heights, &QHeaderView::sectionResized, this, [this](int r, int, int size) {
    if (r < rows_) frozen_->setRowHeight(r, size);
    UpdateGeometry();
  });
  connect(table->horizontalScrollBar(), &QScrollBar::valueChanged,
          frozen_->horizontalScrollBar(), &QScrollBar::setValue);
  // The viewport shrinks when a scroll bar comes.
  table->installEventFilter(this);
  viewport_->installEventFilter(this);
  UpdateGeometry();
  frozen_->show();
}

bool TFrozenRows::eventFilter(QObject* watched, QEvent* event) {
  // Compared by address only: while the table goes, its parts still send events.
  const bool resized = event->type() == QEvent::Resize || event->type() == QEvent::Show;
  if (resized && (watched == table_ || watched == viewport_)) {
    UpdateGeometry();
  }
  return QObject::eventFilter(watched, event);
}

void TFrozenRows::UpdateGeometry() {
  int height = 0;
  for (int r = 0; r < rows_; ++r) height += table_->rowHeight(r);
  const QRect viewport = table_->viewport()->geometry();
  frozen_->setGeometry(viewport.x(), viewport.y(), viewport.width(), height);
  frozen_->horizontalScrollBar()->setValue(table_->horizontalScrollBar()->value());
}

}  // namespace ui
