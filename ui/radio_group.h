// A captioned group of radio buttons chosen by index, laid out in columns.
// Setting the index from code runs the click handlers like a click does, as the
// dialogs count on.
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
  // Chooses item index (-1: none) and emits Click when a button gets chosen.
  void SetItemIndex(int index);
  QRadioButton* Button(int index) const;

 signals:
  // A button was chosen, by the user or by SetItemIndex.
  void Click();

 private:
  void Rebuild();

  QStringList items_;
  int columns_ = 1;
  QButtonGroup* group_;
  QGridLayout* grid_;
};

}  // namespace ui
