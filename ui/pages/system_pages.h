// The trend settings page, the system page (system type, transmitters, limit
// set, presets, system factor, device clock) and the correction factor page.
#pragma once

#include "ui/pages/page.h"

class QListWidget;
class QTableWidget;

namespace ui {

class TSystemPages : public TPage {
  Q_OBJECT

 public:
  explicit TSystemPages(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  void LoadTexts() override;
  void Refresh(QWidget* page) override;
  std::vector<uint16_t> Records(QWidget* page) const override;
  // A device without trend memory shows circuit 1 for the trend settings; the
  // system group and the second correction group only where the device has
  // them.
  TNavigation Navigate(QWidget* page) override;

  // The preset list and its check box from the records; the list shows while a
  // preset is active.
  void ShowPresetValues();

 public slots:
  void ComboTrendChange();
  void ComboTrendintervalChange();
  void CombosystemClick();
  void AnzahlMUClick();
  void ed_SystemFaktorDblClick();
  void RG_GrenzenClick();
  void Chk_VorgabeClick();
  void ListeVorgabenDblClick();
  void FlowKorr1DblClick(QTableWidget* sender);

 private:
  void LoadTrendSettingChoices();
  void LoadSystemPageTexts();
  void LoadCorrectionTexts();
  // The pages' choices and lists from the records.
  void ShowTrendSettings();
  void ShowSystemType();
  void ShowLimitSet();
  void ShowCorrectionFactors();
  void RefreshSystemPage();
  void ClearPresets();
};

}  // namespace ui
