#include "ui/chart_window.h"

#include "ui_chart_window.h"

namespace ui {

Tfrm_Grafik* frm_Grafik = nullptr;

Tfrm_Grafik::Tfrm_Grafik(QWidget* parent)
    : QWidget(parent), form_(std::make_unique<Ui::Tfrm_Grafik>()) {
  form_->setupUi(this);
  setWindowFlags(Qt::Window);
  if (frm_Grafik == nullptr) frm_Grafik = this;
}

Tfrm_Grafik::~Tfrm_Grafik() {
  if (frm_Grafik == this) frm_Grafik = nullptr;
}

}  // namespace ui
