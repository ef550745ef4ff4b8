#include "ui/pages/page_controls.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QListWidget>
#include <QTableWidget>

#include <stdexcept>

#include "ui/dialog_hooks.h"
#include "ui/input_dialog.h"
#include "ui/qt_text.h"
#include "ui/radio_group.h"

namespace ui {
namespace {

class TDoubleClickFilter : public QObject {
 public:
  TDoubleClickFilter(QObject* parent, std::function<void()> handler)
      : QObject(parent), handler_(std::move(handler)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick) {
      handler_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> handler_;
};

}  // namespace

void SetChoices(QComboBox* combo, const std::vector<std::string>& entries, bool clear) {
  if (clear) combo->clear();
  for (const std::string& e : entries) combo->addItem(Q(e));
  combo->setCurrentIndex(-1);
}

void Select(QComboBox* combo, int index) {
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void SetLines(QListWidget* list, const std::vector<std::string>& lines) {
  list->clear();
  for (const std::string& line : lines) list->addItem(Q(line));
}

int SelectedLine(const QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.first());
}

TShownSelection::TShownSelection(const QWidget* page) {
  for (QListWidget* list : page->findChildren<QListWidget*>()) {
    lines_.emplace_back(list, SelectedLine(list));
  }
  for (QTableWidget* grid : page->findChildren<QTableWidget*>()) {
    cells_.push_back({grid, {grid->currentRow(), grid->currentColumn()}});
  }
}

void TShownSelection::Restore() const {
  for (const auto& [list, line] : lines_) {
    if (line >= 0 && line < list->count()) list->setCurrentRow(line);
  }
  for (const auto& [grid, cell] : cells_) {
    if (cell.first >= 0 && cell.second >= 0) grid->setCurrentCell(cell.first, cell.second);
  }
}

TOperatorChoice::TOperatorChoice(const QObject* control)
    : control_(const_cast<QObject*>(control)) {
  if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
    value_ = combo->currentIndex();
  } else if (const auto* group = qobject_cast<const TRadioGroup*>(control)) {
    value_ = group->ItemIndex();
  } else if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
    value_ = box->isChecked() ? 1 : 0;
  } else if (const auto* list = qobject_cast<const QListWidget*>(control)) {
    value_ = SelectedLine(list);
  } else if (const auto* spin = qobject_cast<const QSpinBox*>(control)) {
    value_ = spin->value();
  }
}

// Set as the program sets a control: no operator's signal, no handler.
void TOperatorChoice::Restore() const {
  QObject* control = control_.data();
  if (control == nullptr) return;
  if (auto* combo = qobject_cast<QComboBox*>(control)) {
    Select(combo, value_);
  } else if (auto* group = qobject_cast<TRadioGroup*>(control)) {
    const QSignalBlocker quiet(group);
    group->SetItemIndex(value_);
  } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
    box->setChecked(value_ == 1);
  } else if (auto* list = qobject_cast<QListWidget*>(control)) {
    if (value_ >= 0 && value_ < list->count()) list->setCurrentRow(value_);
  } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
    const QSignalBlocker quiet(spin);
    spin->setValue(value_);
  }
}

void ShowWithoutValues(QWidget* control) {
  if (auto* list = qobject_cast<QListWidget*>(control)) {
    list->clear();
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    combo->setCurrentIndex(-1);
  } else if (auto* group = qobject_cast<TRadioGroup*>(control)) {
    const QSignalBlocker quiet(group);
    group->SetItemIndex(-1);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->clear();
  } else if (auto* grid = qobject_cast<QTableWidget*>(control)) {
    // The first column names the points; the second holds the values.
    for (int r = 0; r < grid->rowCount(); ++r) {
      if (QTableWidgetItem* item = grid->item(r, 1)) item->setText(QString());
    }
  } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
  }
}

void ShowWithValues(QWidget* control) {
  auto* box = qobject_cast<QCheckBox*>(control);
  if (box != nullptr && box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
}

void SetFixedFont(QWidget* widget) {
  QFont fixed("Courier New");
  fixed.setStyleHint(QFont::TypeWriter);
  fixed.setPixelSize(13);
  widget->setFont(fixed);
}

void OnDoubleClick(QWidget* widget, std::function<void()> handler) {
  // A scroll area gets its mouse events on the viewport.
  QWidget* target = widget;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) target = area->viewport();
  target->installEventFilter(new TDoubleClickFilter(widget, std::move(handler)));
}

bool EditValue(const TDialogRow& row, float& value) {
  if (InputDlg == nullptr) throw std::logic_error("the value input dialog does not exist");
  InputDlg->Precision = 5;
  InputDlg->Quantity = row.quantity;
  InputDlg->MinValue = row.min;
  InputDlg->MaxValue = row.max;
  InputDlg->Value = value;
  if (ExecModal(*InputDlg) != QDialog::Accepted) return false;
  value = InputDlg->Value;
  return true;
}

}  // namespace ui
