#include "ui/com_select_form.h"

#include <QComboBox>
#include <QPushButton>

#include "ui/dialog_hooks.h"
#include "ui_com_select_form.h"

namespace ui {

TComSelectForm::TComSelectForm(QWidget* parent, const serial::TPortProbe& probe)
    : QDialog(parent), form_(std::make_unique<Ui::TComSelectForm>()), selection_(probe) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  connect(form_->OkBtn, &QPushButton::clicked, this, &TComSelectForm::OkBtnClick);
  connect(form_->AbortBtn, &QPushButton::clicked, this, &QDialog::reject);
  FormCreate();
  connect(form_->PortsComboBox, &QComboBox::currentIndexChanged, this,
          [this](int index) { selection_.Select(index); });
}

TComSelectForm::~TComSelectForm() = default;

void TComSelectForm::FormCreate() {
  for (const std::string& entry : selection_.Entries()) {
    form_->PortsComboBox->addItem(QString::fromStdString(entry));
  }
  form_->PortsComboBox->setCurrentIndex(selection_.Selected());
  // Nothing to choose: only Cancel leads out.
  form_->OkBtn->setEnabled(selection_.CanConfirm());
}

void TComSelectForm::OkBtnClick() {
  if (selection_.CanConfirm()) accept();
}

bool SelectComPort(uint16_t& com_number) {
  TComSelectForm form;
  com_number = form.Selection().Answer(ExecModal(form) == QDialog::Accepted);
  return com_number != 0;
}

}  // namespace ui
