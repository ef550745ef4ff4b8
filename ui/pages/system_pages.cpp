#include "ui/pages/system_pages.h"

#include "devicelink/device_data.h"
#include "ui/pages/operating_lines.h"
#include "ui_main_window.h"

namespace ui {

TSystemPages::TSystemPages(TPageContext& context) : TPage(context) {
  setObjectName("SystemPages");
}

std::vector<QWidget*> TSystemPages::Pages() const {
  return {Form().TabParTrend, Form().TabParSystem, Form().TabParKorrektur};
}

TNavigation TSystemPages::Navigate(QWidget* page) {
  Ui::Tfrm_Main& f = Form();
  const uint8_t flags = devicelink::SystemParams.SystemTypeFlags;
  if (page == f.TabParTrend && (flags & devicelink::kNoTrendFlags) != 0) return {f.TabPar1, true};
  if (page == f.TabParSystem) {
    f.GroupSystem->setVisible((flags & devicelink::kSingleCircuitFlags) == 0);
  }
  if (page == f.TabParKorrektur) f.GroupFaktor2->setVisible(!IsSingleCircuitSystem());
  return {page, true};
}

}  // namespace ui
