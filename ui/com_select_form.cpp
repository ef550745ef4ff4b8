#include "ui/com_select_form.h"

#include <QComboBox>
#include <QLayout>
#include <QPushButton>

#include <algorithm>

#include "services/app_state.h"
#include "services/program_texts.h"
#include "ui/dialog_hooks.h"
#include "ui/qt_text.h"
#include "ui_com_select_form.h"

namespace ui {

TComSelectForm::TComSelectForm(QWidget* parent, const serial::TPortProbe& probe, uint32_t last)
    : QDialog(parent), form_(std::make_unique<Ui::TComSelectForm>()), selection_(probe, last) {
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
  namespace ids = services::text_id;
  setWindowTitle(Q(services::ProgramText(ids::kSelectPortCaption)));
  form_->Label1->setText(Q(services::ProgramText(ids::kSelectPortLine1)));
  form_->Label2->setText(Q(services::ProgramText(ids::kSelectPortLine2)));
  form_->OkBtn->setText(Q(services::ProgramText(ids::kSelectPortOk)));
  form_->AbortBtn->setText(Q(services::ProgramText(ids::kSelectPortCancel)));
  for (const std::string& entry : selection_.Entries()) {
    form_->PortsComboBox->addItem(QString::fromStdString(entry));
  }
  form_->PortsComboBox->setCurrentIndex(selection_.Selected());
  // A port this user may not open is no choice; the technician is told why it
  // is missing from the list.
  std::string ports;
  for (uint16_t n : selection_.Refused()) {
    ports += (ports.empty() ? "COM" : ", COM") + std::to_string(n);
  }
  const std::string refused =
      ports.empty() ? std::string() : services::ProgramText(ids::kSelectPortRefused, {ports});
  form_->Label3->setText(QString::fromStdString(refused));
  form_->Label3->setVisible(!refused.empty());
  // Taller by the note, as wide as it was laid out.
  if (!refused.empty()) resize(width(), std::max(height(), layout()->totalHeightForWidth(width())));
  // Nothing to choose: only Cancel leads out.
  form_->OkBtn->setEnabled(selection_.CanConfirm());
}

void TComSelectForm::OkBtnClick() {
  if (selection_.CanConfirm()) accept();
}

bool SelectComPort(uint16_t& com_number) {
  TComSelectForm form(nullptr, serial::ProbePort, services::kPortChoices);
  com_number = form.Selection().Answer(ExecModal(form) == QDialog::Accepted);
  return com_number != 0;
}

}  // namespace ui
