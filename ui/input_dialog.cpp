#include "ui/input_dialog.h"

#include "ui_input_dialog.h"

namespace ui {

TInputDlg* InputDlg = nullptr;

TInputDlg::TInputDlg(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::TInputDlg>()) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  if (InputDlg == nullptr) InputDlg = this;
}

TInputDlg::~TInputDlg() {
  if (InputDlg == this) InputDlg = nullptr;
}

}  // namespace ui
