#include "ui/pages/page_controls.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QListWidget>

#include <stdexcept>

#include "ui/dialog_hooks.h"
#include "ui/input_dialog.h"
#include "ui/qt_text.h"

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
