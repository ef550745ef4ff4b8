#include "ui/sat_table_editor.h"

#include "ui_sat_table_editor.h"

namespace ui {

Tfrm_UserSatTab* frm_UserSatTab = nullptr;

Tfrm_UserSatTab::Tfrm_UserSatTab(QWidget* parent)
    : QDialog(parent), form_(std::make_unique<Ui::Tfrm_UserSatTab>()) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  if (frm_UserSatTab == nullptr) frm_UserSatTab = this;
}

Tfrm_UserSatTab::~Tfrm_UserSatTab() {
  if (frm_UserSatTab == this) frm_UserSatTab = nullptr;
}

}  // namespace ui
