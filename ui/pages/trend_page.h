// The trend page of the operating display.
#pragma once

#include "ui/pages/page.h"

namespace ui {

class TTrendPage : public TPage {
  Q_OBJECT

 public:
  explicit TTrendPage(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  // A device without trend memory shows circuit 1 instead, without reading it.
  TNavigation Navigate(QWidget* page) override;
};

}  // namespace ui
