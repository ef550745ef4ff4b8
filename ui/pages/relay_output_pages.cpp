#include "ui/pages/relay_output_pages.h"

#include "devicelink/device_data.h"
#include "ui_main_window.h"

namespace ui {

TRelayOutputPages::TRelayOutputPages(TPageContext& context) : TPage(context) {
  setObjectName("RelayOutputPages");
}

std::vector<QWidget*> TRelayOutputPages::Pages() const {
  return {Form().TabParRelais, Form().TabParAusgang};
}

TNavigation TRelayOutputPages::Navigate(QWidget* page) {
  if (page == Form().TabParAusgang) {
    Form().GroupAus2->setVisible(
        (devicelink::SystemParams.SystemTypeFlags & devicelink::kSingleCircuitFlags) == 0);
  }
  return {page, true};
}

}  // namespace ui
