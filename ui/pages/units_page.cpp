#include "ui/pages/units_page.h"

#include "ui_main_window.h"

namespace ui {

TUnitsPage::TUnitsPage(TPageContext& context) : TPage(context) {
  setObjectName("UnitsPage");
}

std::vector<QWidget*> TUnitsPage::Pages() const {
  return {Form().TabparEinheiten};
}

}  // namespace ui
