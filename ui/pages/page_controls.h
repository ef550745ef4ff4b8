// Small pieces the parameter pages share: choice lists from text blocks, lines
// and selections set from the records, the selected line of a list,
// double-clicks anywhere on a control, and the value dialog for one edit.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "services/text_modules.h"
#include "ui/pages/dialog_row.h"

class QComboBox;
class QListWidget;
class QTableWidget;
class QWidget;

namespace ui {

using services::ListFrom;

// Replaces (or, without clear, extends) the entries; nothing is chosen after.
void SetChoices(QComboBox* combo, const std::vector<std::string>& entries, bool clear = true);
// Entry index when the combo has it, else none.
void Select(QComboBox* combo, int index);
void SetLines(QListWidget* list, const std::vector<std::string>& lines);
// The selected row, -1 when none.
int SelectedLine(const QListWidget* list);

// The line of each list and the cell of each grid chosen on a page, to be put
// back after the page is drawn again.
class TShownSelection {
 public:
  explicit TShownSelection(const QWidget* page);
  void Restore() const;

 private:
  std::vector<std::pair<QListWidget*, int>> lines_;
  std::vector<std::pair<QTableWidget*, std::pair<int, int>>> cells_;
};

// The state of the control the operator has just used, as the event saw it: a
// combo's entry, a radio group's button, a check box's mark, a list's line, a
// spin box's value. Put back before the event runs, when the page has been
// drawn anew meanwhile (read first, or refreshed by a command that ran
// before the event).
class TOperatorChoice {
 public:
  explicit TOperatorChoice(const QObject* control);
  void Restore() const;

 private:
  QPointer<QObject> control_;
  int value_ = -1;
};

// A control whose record the device has not reported shows no values: a list
// no lines, a choice no entry, a radio group no button, an edit no text, a
// grid's values column no numbers, a check box neither mark. Shown with
// values again, a check box takes back its two states.
void ShowWithoutValues(QWidget* control);
void ShowWithValues(QWidget* control);

// The fixed-pitch font of the lists: their lines stand in columns of characters.
void SetFixedFont(QWidget* widget);

// Calls handler on a double-click anywhere on the widget; for a list, between
// and below its lines too.
void OnDoubleClick(QWidget* widget, std::function<void()> handler);

// The value dialog with the row's quantity and limits, five significant digits
// and value; true and the value changed on OK.
bool EditValue(const TDialogRow& row, float& value);

}  // namespace ui
