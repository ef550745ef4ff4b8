// The trend settings page, the system page (system type, transmitters, limit
// set, presets, system factor, device clock) and the correction factor page.
#pragma once

#include "ui/pages/page.h"

namespace ui {

class TSystemPages : public TPage {
  Q_OBJECT

 public:
  explicit TSystemPages(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  // A device without trend memory shows circuit 1 for the trend settings; the
  // system group and the second correction group only where the device has
  // them.
  TNavigation Navigate(QWidget* page) override;
};

}  // namespace ui
