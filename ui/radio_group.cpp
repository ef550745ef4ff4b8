#include "ui/radio_group.h"

#include <QLayoutItem>

namespace ui {

TRadioGroup::TRadioGroup(QWidget* parent)
    : QGroupBox(parent), group_(new QButtonGroup(this)), grid_(new QGridLayout(this)) {
  group_->setExclusive(true);
  grid_->setContentsMargins(8, 4, 8, 4);
  grid_->setVerticalSpacing(2);
  connect(group_, &QButtonGroup::idClicked, this, [this](int id) {
    if (id == chosen_) return;
    chosen_ = id;
    emit Click();
    emit OperatorClick();
  });
}

void TRadioGroup::SetItems(const QStringList& items) {
  items_ = items;
  Rebuild();
}

void TRadioGroup::SetColumns(int columns) {
  columns_ = columns < 1 ? 1 : columns;
  Rebuild();
}

int TRadioGroup::ItemIndex() const {
  return group_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
  QAbstractButton* button = group_->button(index);
  if (button == nullptr) {
    // No button of that index: none chosen.
    group_->setExclusive(false);
    for (QAbstractButton* b : group_->buttons()) b->setChecked(false);
    group_->setExclusive(true);
    chosen_ = -1;
    return;
  }
  button->setChecked(true);
  if (index == chosen_) return;
  chosen_ = index;
  emit Click();
}

QRadioButton* TRadioGroup::Button(int index) const {
  return qobject_cast<QRadioButton*>(group_->button(index));
}

void TRadioGroup::Rebuild() {
  chosen_ = -1;
  for (QAbstractButton* b : group_->buttons()) {
    group_->removeButton(b);
    delete b;
  }
  while (QLayoutItem* item = grid_->takeAt(0)) delete item;
  const int n = static_cast<int>(items_.size());
  const int rows = (n + columns_ - 1) / columns_;
  for (int i = 0; i < n; ++i) {
    auto* button = new QRadioButton(items_[i], this);
    button->setObjectName(objectName() + "_" + QString::number(i));
    group_->addButton(button, i);
    // Filled column by column, as radio groups are.
    grid_->addWidget(button, rows == 0 ? 0 : i % rows, rows == 0 ? 0 : i / rows);
  }
}

}  // namespace ui
