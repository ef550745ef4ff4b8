// The tabs of a notebook in as many rows as its captions need at the window's
// fixed width, so every caption is shown whole. The notebook's own tab bar,
// which would scroll and cut captions, is hidden; these tabs sit below the
// pages and switch them as its tabs did.
#pragma once

#include <QWidget>

#include <vector>

class QButtonGroup;
class QTabWidget;
class QToolButton;
class QVBoxLayout;

namespace ui {

class TTabRows : public QWidget {
  Q_OBJECT

 public:
  // Takes the notebook's place in its parent's layout: the notebook and the
  // rows are stacked in a box of their own.
  explicit TTabRows(QTabWidget* notebook);

  // Captions and rows again from the notebook (after its tab texts changed).
  void UpdateTabs();
  // The tab of page index; for tests and pictures.
  QToolButton* Tab(int index) const;
  int RowCount() const { return rows_; }

 signals:
  // The operator clicked tab index; the notebook shows its page already.
  void TabClicked(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();

  QTabWidget* notebook_;
  QButtonGroup* group_;
  std::vector<QToolButton*> tabs_;
  int rows_ = 0;
  int laid_out_width_ = -1;
};

}  // namespace ui
