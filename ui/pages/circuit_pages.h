// The two circuit parameter pages: temperature, pressure, medium, flow, pulse
// output and supply values of each circuit.
#pragma once

#include "ui/pages/page.h"

namespace ui {

class TCircuitPages : public TPage {
  Q_OBJECT

 public:
  explicit TCircuitPages(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  // A single-circuit device shows circuit 1 for circuit 2.
  TNavigation Navigate(QWidget* page) override;
};

}  // namespace ui
