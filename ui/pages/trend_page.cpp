#include "ui/pages/trend_page.h"

#include "devicelink/device_data.h"
#include "ui_main_window.h"

namespace ui {

TTrendPage::TTrendPage(TPageContext& context) : TPage(context) {
  setObjectName("TrendPage");
}

std::vector<QWidget*> TTrendPage::Pages() const {
  return {Form().TabTrend};
}

TNavigation TTrendPage::Navigate(QWidget* page) {
  if ((devicelink::SystemParams.SystemTypeFlags & devicelink::kNoTrendFlags) != 0) {
    return {Form().TabKreis1, false};
  }
  return {page, true};
}

}  // namespace ui
