// Asks for the device password. The entry stays between uses for the whole run.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TPasswordDlg;
}

namespace ui {

class TPasswordDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TPasswordDlg(QWidget* parent = nullptr);
  ~TPasswordDlg() override;
  Ui::TPasswordDlg* Form() const { return form_.get(); }
  QString Text() const;
  void SetText(const QString& text);

 public slots:
  void FormActivate();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TPasswordDlg> form_;
};

extern TPasswordDlg* PasswordDlg;

}  // namespace ui
