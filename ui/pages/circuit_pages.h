// The two circuit parameter pages: temperature, pressure, medium, flow, pulse
// output and supply values of each circuit. Every builder and handler works on
// the circuit whose page the parameter notebook shows, whichever of the twin
// controls raised the event; only the pulse-source choice takes the circuit
// from its combo.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "ui/pages/page.h"

class QComboBox;
class QGroupBox;
class QListWidget;

namespace ui {

struct TEditRow;

class TCircuitPages : public TPage {
  Q_OBJECT

 public:
  explicit TCircuitPages(TPageContext& context);

  std::vector<QWidget*> Pages() const override;
  // A single-circuit device shows circuit 1 for circuit 2.
  TNavigation Navigate(QWidget* page) override;
  void LoadTexts() override;
  void Refresh(QWidget* page) override;
  std::vector<uint16_t> Records(QWidget* page) const override;

  // Loaders of the choice lists (blocks 2048, 3072, 4096, 5120, 6144).
  void LoadTemperatureChoices();
  void LoadPressureChoices();
  void LoadFlowChoices();
  void LoadMediumChoices(bool clear);
  void LoadPulseOutputChoices();

  // The lists of the shown circuit rebuilt from the records.
  void ShowTemperatureParams();
  void ShowPressureParams();
  void ShowMediumParams();
  void ShowFlowParams();
  void ShowPulseOutputParams();
  void ShowSupplyValues();

 public slots:
  // The operator's choices and double-clicks; each does nothing while another
  // handler or an exchange runs.
  void ComboPT1Click(QComboBox* sender);
  void ComboPD1Click(QComboBox* sender);
  void ComboPG1Click(QComboBox* sender);
  void ComboPF1Click(QComboBox* sender);
  void ComboIA1Click(QComboBox* sender);
  void ListePT1DblClick(QListWidget* sender);
  void ListePD1DblClick(QListWidget* sender);
  void ListePG1DblClick(QListWidget* sender);
  void ListePF1DblClick(QListWidget* sender);
  void ListeImp1DblClick(QListWidget* sender);
  void ListeVL1DblClick(QListWidget* sender);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The controls of one circuit's page.
  struct Controls {
    QComboBox* temperature;
    QListWidget* temperature_list;
    QComboBox* pressure;
    QListWidget* pressure_list;
    QComboBox* medium;
    QListWidget* medium_list;
    QComboBox* flow;
    QListWidget* flow_list;
    QComboBox* pulse;
    QListWidget* pulse_list;
    QGroupBox* supply_box;
    QListWidget* supply_list;
  };
  Controls Of(int c) const;

  // The bodies of the handlers; handlers that run another call its body.
  void ChooseTemperatureMode(QComboBox* sender);
  void ChoosePressureMode(QComboBox* sender);
  void ChooseMedium(QComboBox* sender);
  void ChooseFlowMode(QComboBox* sender);
  void ChoosePulseSource(QComboBox* sender);
  void EditTemperature(QListWidget* sender);
  void EditPressure(QListWidget* sender);
  void EditMedium(QListWidget* sender);
  void EditFlow(QListWidget* sender);
  void EditPulse(QListWidget* sender);
  void EditSupply(QListWidget* sender);

  void ShowTemperature(int c);
  void ShowPressure(int c);
  void ShowMedium(int c);
  void ShowFlow(int c);
  void ShowPulse(int c);
  void ShowSupply(int c);
  // Both pulse combos set from the records.
  void SelectPulseChoices();
  // The mode and medium combos of circuit c from the records.
  void SelectModeChoices(int c);
  void Choice(QComboBox* sender, std::function<void()> body);
  // The value dialog for the row; false when cancelled.
  bool EditValue(const TEditRow& row);
  // True when the line has a row and its dialog ended with OK.
  bool Entered(const std::optional<TEditRow>& row);

  // The Medium whose module the pulse choices came from.
  int32_t pulse_choices_medium_ = -1;
};

}  // namespace ui
