// The user units page.
#pragma once

#include "ui/pages/page.h"

namespace ui {

class TUnitsPage : public TPage {
  Q_OBJECT

 public:
  explicit TUnitsPage(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
};

}  // namespace ui
