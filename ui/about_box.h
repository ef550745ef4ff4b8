// The about box: program name, version and maker texts. Also the splash screen
// of the start and the wait screen of the language switch.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAboutBox;
}

namespace ui {

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;
  Ui::TAboutBox* Form() const { return form_.get(); }
  // The memo's lines as shown.
  QStringList MemoLines() const;

 public slots:
  void FormActivate();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TAboutBox> form_;
};

}  // namespace ui
