// The value input dialog of the parameter pages (its editing comes with the parameter pages).
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TInputDlg;
}

namespace ui {

class TInputDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TInputDlg(QWidget* parent = nullptr);
  ~TInputDlg() override;
  Ui::TInputDlg* Form() const { return form_.get(); }

 private:
  std::unique_ptr<Ui::TInputDlg> form_;
};

extern TInputDlg* InputDlg;

}  // namespace ui
