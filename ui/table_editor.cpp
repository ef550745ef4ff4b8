#include "ui/table_editor.h"

#include "ui_table_editor.h"

namespace ui {

Tfrm_Tabelle* frm_Tabelle = nullptr;

Tfrm_Tabelle::Tfrm_Tabelle(QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::Tfrm_Tabelle>()) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  if (frm_Tabelle == nullptr) frm_Tabelle = this;
}

Tfrm_Tabelle::~Tfrm_Tabelle() {
  if (frm_Tabelle == this) frm_Tabelle = nullptr;
}

}  // namespace ui
