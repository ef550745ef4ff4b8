#include "ui/pages/units_page.h"

#include <QCheckBox>
#include <QTabWidget>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "services/app_state.h"
#include "services/bulk_transfer.h"
#include "services/parameter_edit.h"
#include "services/text_modules.h"
#include "services/unit_tables.h"
#include "ui/busy_flags.h"
#include "ui/busy_scopes.h"
#include "ui/pages/units_rules.h"
#include "ui/qt_text.h"
#include "ui/radio_group.h"
#include "ui/tab_rows.h"
#include "ui_main_window.h"

namespace ui {

namespace dl = devicelink;

TUnitsPage::TUnitsPage(TPageContext& context) : TPage(context) {
  setObjectName("UnitsPage");
  Ui::Tfrm_Main& f = Form();
  groups_ = {f.Radio_E_Temp,     f.Radio_E_Druck,          f.Radio_E_Dichte,
             f.Radio_E_Normvolumenstrom, f.Radio_E_Masse, f.Radio_E_TotNormVolumen,
             f.Radio_E_TotMasse, f.Radio_E_BetrVS,         f.Radio_E_Leistung,
             f.Radio_E_Arbeit};
  for (TRadioGroup* group : groups_) {
    connect(group, &TRadioGroup::OperatorClick, this, [this, group] { Radio_E_TempClick(group); });
  }
  connect(f.CheckUserEinheiten, &QCheckBox::clicked, this, &TUnitsPage::CheckUserEinheitenClick);
  // Ten sheets: their tabs in rows, every caption whole.
  unit_tabs_ = new TTabRows(f.PC_Usereinheiten);
  ShowUnitSwitch();
}

std::vector<QWidget*> TUnitsPage::Pages() const {
  return {Form().TabparEinheiten};
}

TRadioGroup* TUnitsPage::UnitGroup(int kind) const {
  return groups_.at(static_cast<size_t>(kind));
}

// ---- Texts

void TUnitsPage::LoadTexts() {
  FillUnitChoices();
  LoadUnitPageTexts();
  SelectUnitChoices();
}

void TUnitsPage::FillUnitChoices() {
  for (size_t k = 0; k < groups_.size(); ++k) {
    QStringList items;
    for (const std::string& unit : UnitChoices(static_cast<uint8_t>(k), services::Medium)) {
      items << Q(unit);
    }
    groups_[k]->SetItems(items);
    groups_[k]->SetColumns(UnitChoiceColumns(items.size()));
  }
}

void TUnitsPage::LoadUnitPageTexts() {
  services::TextBlock marker, t;
  if (!services::GetTextBlock(9216, 1, marker) || !services::GetTextBlock(9232, 1, marker)) return;
  if (!services::GetTextBlock(9248, 1, t) || t[0].empty()) return;
  Ui::Tfrm_Main& f = Form();
  // Captions only: the check mark is the device's unit switch and stays.
  f.CheckUserEinheiten->setText(Q(t[0]));
  QTabWidget* sheets = f.PC_Usereinheiten;
  for (int j = 0; j < sheets->count() && j + 1 < static_cast<int>(t.size()); ++j) {
    const std::string& caption = t[static_cast<size_t>(j + 1)];
    if (caption.empty()) break;
    sheets->setTabText(j, Q(caption));
  }
  unit_tabs_->UpdateTabs();
}

void TUnitsPage::SelectUnitChoices() {
  for (size_t k = 0; k < groups_.size(); ++k) {
    groups_[k]->SetItemIndex(dl::UserUnits.at(k).Variant);
  }
}

void TUnitsPage::ShowUnitSwitch() {
  Ui::Tfrm_Main& f = Form();
  const bool on = dl::UnitSwitches.Einheiten != 0;
  f.CheckUserEinheiten->setChecked(on);
  f.PC_Usereinheiten->setVisible(on);
  unit_tabs_->setVisible(on);
}

// ---- Refresh

void TUnitsPage::Refresh(QWidget* /*page*/) {
  const bool online = dl::DeviceOnline;
  dl::TProgressScope progress;
  if (online) {
    services::StartProgress(17);
    if (dl::ReadUnitSwitches()) services::StepProgress();
  }
  if (dl::UnitSwitches.Einheiten != 0 && online) {
    // The device's own choices, read only: looking at the page writes nothing.
    for (uint8_t k = 0; k < 16; ++k) {
      if (dl::ReadUserUnit(k)) services::StepProgress();
    }
  }
  SelectUnitChoices();
  ShowUnitSwitch();
}

std::vector<uint16_t> TUnitsPage::Records(QWidget* /*page*/) const {
  std::vector<uint16_t> blocks = {dl::BlockAddressOf(dl::UnitSwitches)};
  // The unit sheets show the device's choices only while user units are on.
  if (dl::UnitSwitches.Einheiten != 0) {
    for (const dl::TUserUnit& unit : dl::UserUnits) blocks.push_back(dl::BlockAddressOf(unit));
  }
  return blocks;
}

// ---- Handlers

void TUnitsPage::Radio_E_TempClick(TRadioGroup* sender) {
  if (!Operator(sender, [=, this] {
    if (FormReady == 0) return;
    int kind = -1;
    for (size_t k = 0; k < groups_.size(); ++k) {
      if (groups_[k] == sender) kind = static_cast<int>(k);
    }
    if (kind < 0 || sender->ItemIndex() < 0) return;
    const services::TUnitRow* row =
        services::FindUserUnitRow(static_cast<uint8_t>(kind), static_cast<uint8_t>(sender->ItemIndex()));
    if (row == nullptr) return;
    dl::UserUnits.at(static_cast<size_t>(kind)) = services::UserUnitOf(*row);
    services::WriteWithoutReadBack(
        [kind] { return dl::WriteUserUnit(static_cast<uint8_t>(kind)); });
  })) {
    SelectUnitChoices();
  }
}

void TUnitsPage::CheckUserEinheitenClick() {
  if (!Operator(Form().CheckUserEinheiten, [=, this] {
    const bool on = Form().CheckUserEinheiten->isChecked();
    Form().PC_Usereinheiten->setVisible(on);
    unit_tabs_->setVisible(on);
    dl::UnitSwitches.Einheiten = on ? 1 : 0;
    std::vector<services::TEditStep> steps;
    if (on) {
      // The device's own unit choices first: the sheets show them.
      for (uint8_t k = 0; k < 16; ++k) {
        steps.push_back(services::ReadStep([k] { return dl::ReadUserUnit(k); }));
      }
      steps.push_back(services::PauseStep(services::kEditPauseMs));
    }
    steps.push_back(services::WriteStep(dl::WriteUnitSwitches));
    steps.push_back(services::PauseStep(services::kEditPauseMs));
    steps.push_back(services::ReadStep(dl::ReadUnitSwitches));
    {
      TInputBlockScope block(Context().DialogParent());
      services::RunEditSteps(steps, on ? 17 : 2);
    }
    if (on) SelectUnitChoices();
    ShowUnitSwitch();
  })) {
    ShowUnitSwitch();
  }
}

}  // namespace ui
