#include "ui/print_preview.h"

#include <QPixmap>
#include <QShowEvent>

#include "services/program_texts.h"
#include "ui/qt_text.h"
#include "ui_print_preview.h"

namespace ui {

Tsansicht* sansicht = nullptr;

Tsansicht::Tsansicht(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::Tsansicht>()) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  setPalette(palette);
  if (sansicht == nullptr) sansicht = this;
}

void Tsansicht::ShowPage(const QPixmap& page) {
  form_->Image->setPixmap(page);
  form_->Image->resize(page.size());
}

void Tsansicht::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  setWindowTitle(Q(services::ProgramText(services::text_id::kPrintPreviewCaption)));
}

Tsansicht::~Tsansicht() {
  if (sansicht == this) sansicht = nullptr;
}

}  // namespace ui
