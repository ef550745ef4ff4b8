// The user units page: the device's user display units on or off, and the
// unit of each of the ten quantities that have a choice.
#pragma once

#include <array>

#include "ui/pages/page.h"

namespace ui {

class TRadioGroup;
class TTabRows;

class TUnitsPage : public TPage {
  Q_OBJECT

 public:
  explicit TUnitsPage(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  void LoadTexts() override;
  void Refresh(QWidget* page) override;
  std::vector<uint16_t> Records(QWidget* page) const override;

  // Each unit group chooses the variant its user-unit record holds; runs no
  // handler.
  void SelectUnitChoices();
  // The unit group of quantity kind 0..9.
  TRadioGroup* UnitGroup(int kind) const;

 public slots:
  void CheckUserEinheitenClick();
  // The operator chose a unit in group sender.
  void Radio_E_TempClick(TRadioGroup* sender);

 private:
  void FillUnitChoices();
  void LoadUnitPageTexts();
  // The check box and the unit sheets as the unit switch stands.
  void ShowUnitSwitch();

  std::array<TRadioGroup*, 10> groups_;
  TTabRows* unit_tabs_;
};

}  // namespace ui
