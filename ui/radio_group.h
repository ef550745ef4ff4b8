// A captioned group of radio buttons chosen by index, laid out in columns.
// Choosing another item, by the operator or from code, emits Click, as the
// dialogs count on; choosing the item already chosen emits nothing. Pages whose
// handlers write to the device listen to OperatorClick, which a choice made by
// the program never emits.
#pragma once

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QStringList>

namespace ui {

class TRadioGroup : public QGroupBox {
  Q_OBJECT
  Q_PROPERTY(QStringList items READ Items WRITE SetItems)
  Q_PROPERTY(int columns READ Columns WRITE SetColumns)
  Q_PROPERTY(int itemIndex READ ItemIndex WRITE SetItemIndex)

 public:
  explicit TRadioGroup(QWidget* parent = nullptr);

  QStringList Items() const { return items_; }
  // Replaces the buttons; nothing is chosen afterwards.
  void SetItems(const QStringList& items);
  int Columns() const { return columns_; }
  void SetColumns(int columns);
  // -1 when nothing is chosen.
  int ItemIndex() const;
  // Chooses item index (-1: none) and emits Click when that changes the chosen
  // button.
  void SetItemIndex(int index);
  QRadioButton* Button(int index) const;

 signals:
  // Another button was chosen, by the user or by SetItemIndex.
  void Click();
  // Another button was chosen by the user.
  void OperatorClick();

 private:
  void Rebuild();

  QStringList items_;
  int columns_ = 1;
  QButtonGroup* group_;
  QGridLayout* grid_;
  int chosen_ = -1;
};

}  // namespace ui
