// The page preview: one image that the printout draws into.
#pragma once

#include <QDialog>

#include <memory>

class QPixmap;

namespace Ui {
class Tsansicht;
}

namespace ui {

class Tsansicht : public QDialog {
  Q_OBJECT

 public:
  explicit Tsansicht(QWidget* parent = nullptr);
  ~Tsansicht() override;
  Ui::Tsansicht* Form() const { return form_.get(); }
  // The image takes its own copy of the page and the page's size.
  void ShowPage(const QPixmap& page);

 protected:
  // The caption in the language in force when it opens.
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::Tsansicht> form_;
};

extern Tsansicht* sansicht;

}  // namespace ui
