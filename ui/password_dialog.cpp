#include "ui/password_dialog.h"

#include <QShowEvent>

#include "services/program_texts.h"
#include "services/text_modules.h"
#include "ui/dialog_frame.h"
#include "ui/qt_text.h"
#include "ui_password_dialog.h"

namespace ui {

TPasswordDlg* PasswordDlg = nullptr;

TPasswordDlg::TPasswordDlg(QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::TPasswordDlg>()) {
  form_->setupUi(this);
  UseDialogFrame(*this);
  // Every character of the entry is shown as "*".
  form_->Password->setStyleSheet("lineedit-password-character: 42;");
  connect(form_->mrOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(form_->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  if (PasswordDlg == nullptr) PasswordDlg = this;
}

TPasswordDlg::~TPasswordDlg() {
  if (PasswordDlg == this) PasswordDlg = nullptr;
}

QString TPasswordDlg::Text() const {
  return form_->Password->text();
}
void TPasswordDlg::SetText(const QString& text) {
  form_->Password->setText(text);
}

void TPasswordDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TPasswordDlg::FormActivate() {
  // The label and buttons in the current language where the module has them,
  // the caption and Cancel also where it has not. The German caption is the
  // form's "Paßwort", which block 21600 spells otherwise.
  setWindowTitle(Q(services::ProgramText(services::text_id::kPasswordCaption)));
  form_->CancelBtn->setText(Q(services::ProgramText(services::text_id::kCancel)));
  services::TextBlock t;
  if (services::GetTextBlock(21600, 1, t)) {
    if (!t[1].empty()) form_->Label1->setText(QString::fromStdString(t[1]));
    if (!t[2].empty()) form_->mrOk->setText(QString::fromStdString(t[2]));
    if (!t[3].empty()) form_->CancelBtn->setText(QString::fromStdString(t[3]));
  }
  form_->Password->setFocus();
}

}  // namespace ui
