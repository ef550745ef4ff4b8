#include "ui/tab_rows.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QResizeEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

namespace ui {
namespace {

constexpr int kTabHeight = 22;

}  // namespace

TTabRows::TTabRows(QTabWidget* notebook)
    : QWidget(notebook->parentWidget()), notebook_(notebook), group_(new QButtonGroup(this)) {
  setObjectName(notebook->objectName() + "_Tabs");
  group_->setExclusive(true);
  notebook_->tabBar()->hide();
  // Stack notebook and rows where the notebook was.
  if (QLayout* parent_layout = notebook->parentWidget()->layout()) {
    auto* box = qobject_cast<QBoxLayout*>(parent_layout);
    const int at = parent_layout->indexOf(notebook);
    if (box != nullptr && at >= 0) {
      box->insertWidget(at + 1, this);
    }
  }
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setStyleSheet(
      "QToolButton { border: 1px solid palette(mid); border-top: none;"
      " border-bottom-left-radius: 3px; border-bottom-right-radius: 3px;"
      " background: palette(button); padding: 1px 6px; }"
      "QToolButton:checked { background: palette(window); font-weight: bold; }");
  connect(group_, &QButtonGroup::idClicked, this, [this](int index) {
    notebook_->setCurrentIndex(index);
    emit TabClicked(index);
  });
  connect(notebook_, &QTabWidget::currentChanged, this, [this](int index) {
    if (QAbstractButton* b = group_->button(index)) b->setChecked(true);
  });
  UpdateTabs();
}

void TTabRows::UpdateTabs() {
  for (QToolButton* b : tabs_) {
    group_->removeButton(b);
    delete b;
  }
  tabs_.clear();
  for (int i = 0; i < notebook_->count(); ++i) {
    auto* b = new QToolButton(this);
    b->setObjectName(objectName() + "_" + QString::number(i));
    b->setCheckable(true);
    b->setText(notebook_->tabText(i));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setFocusPolicy(Qt::NoFocus);
    group_->addButton(b, i);
    tabs_.push_back(b);
    b->show();
  }
  if (QAbstractButton* b = group_->button(notebook_->currentIndex())) b->setChecked(true);
  laid_out_width_ = -1;
  Layout();
}

QToolButton* TTabRows::Tab(int index) const {
  return index >= 0 && index < static_cast<int>(tabs_.size()) ? tabs_[static_cast<size_t>(index)]
                                                              : nullptr;
}

void TTabRows::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->size().width() != laid_out_width_) Layout();
}

// Fills rows from the left; a tab that does not fit starts the next row. Each
// row is then stretched to the full width, as multi-row tabs are.
void TTabRows::Layout() {
  const int width = std::max(this->width(), 100);
  laid_out_width_ = this->width();
  std::vector<std::vector<QToolButton*>> rows(1);
  int used = 0;
  for (QToolButton* b : tabs_) {
    const int w = b->sizeHint().width();
    if (!rows.back().empty() && used + w > width) {
      rows.emplace_back();
      used = 0;
    }
    rows.back().push_back(b);
    used += w;
  }
  rows_ = tabs_.empty() ? 0 : static_cast<int>(rows.size());
  int y = 0;
  for (const auto& row : rows) {
    int natural = 0;
    for (QToolButton* b : row) natural += b->sizeHint().width();
    const int spare = row.empty() ? 0 : (width - natural) / static_cast<int>(row.size());
    int x = 0;
    for (size_t i = 0; i < row.size(); ++i) {
      QToolButton* b = row[i];
      const int w = i + 1 == row.size() ? width - x : b->sizeHint().width() + spare;
      b->setGeometry(x, y, w, kTabHeight);
      x += w;
    }
    y += kTabHeight;
  }
  setFixedHeight(std::max(y, kTabHeight));
}

}  // namespace ui
