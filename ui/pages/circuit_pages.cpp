#include "ui/pages/circuit_pages.h"

#include "ui/pages/operating_lines.h"
#include "ui_main_window.h"

namespace ui {

TCircuitPages::TCircuitPages(TPageContext& context) : TPage(context) {
  setObjectName("CircuitPages");
}

std::vector<QWidget*> TCircuitPages::Pages() const {
  return {Form().TabPar1, Form().TabPar2};
}

TNavigation TCircuitPages::Navigate(QWidget* page) {
  if (page == Form().TabPar2 && IsSingleCircuitSystem()) return {Form().TabPar1, true};
  return {page, true};
}

}  // namespace ui
