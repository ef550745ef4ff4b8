// The relay alarm page and the analog output page.
#pragma once

#include "ui/pages/page.h"

namespace ui {

class TRelayOutputPages : public TPage {
  Q_OBJECT

 public:
  explicit TRelayOutputPages(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  // The second output group only on a device with two circuits.
  TNavigation Navigate(QWidget* page) override;
};

}  // namespace ui
