#include "ui/pages/system_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "services/app_state.h"
#include "services/app_window.h"
#include "services/bulk_transfer.h"
#include "services/parameter_edit.h"
#include "services/system_type_sync.h"
#include "services/text_modules.h"
#include "services/value_format.h"
#include "ui/busy_scopes.h"
#include "ui/dialog_hooks.h"
#include "ui/pages/operating_lines.h"
#include "ui/pages/page_controls.h"
#include "ui/pages/system_rules.h"
#include "ui/qt_text.h"
#include "ui_main_window.h"

namespace ui {

namespace dl = devicelink;

namespace {

// A message of the text module in an error box.
void TellError(QWidget* parent, uint16_t id, uint32_t buttons = services::kMbOk) {
  ShowMessageBox(parent, services::GetText(id), "vandrel2", buttons | services::kMbIconError);
}

QTableWidgetItem* Cell(QTableWidget* grid, int row, int column) {
  QTableWidgetItem* item = grid->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    grid->setItem(row, column, item);
  }
  return item;
}

}  // namespace

TSystemPages::TSystemPages(TPageContext& context) : TPage(context) {
  setObjectName("SystemPages");
  Ui::Tfrm_Main& f = Form();
  connect(f.ComboTrend, &QComboBox::activated, this, &TSystemPages::ComboTrendChange);
  connect(f.ComboTrendinterval, &QComboBox::activated, this,
          &TSystemPages::ComboTrendintervalChange);
  connect(f.Combosystem, &QComboBox::activated, this, &TSystemPages::CombosystemClick);
  connect(f.AnzahlMU, &TRadioGroup::OperatorClick, this, &TSystemPages::AnzahlMUClick);
  connect(f.RG_Grenzen, &TRadioGroup::OperatorClick, this, &TSystemPages::RG_GrenzenClick);
  connect(f.Chk_Vorgabe, &QCheckBox::clicked, this, &TSystemPages::Chk_VorgabeClick);
  SetFixedFont(f.ListeVorgaben);
  OnDoubleClick(f.ListeVorgaben, [this] { ListeVorgabenDblClick(); });
  OnDoubleClick(f.ed_SystemFaktor, [this] { ed_SystemFaktorDblClick(); });
  for (QTableWidget* grid : {f.FlowKorr1, f.FlowKorr2}) {
    SetFixedFont(grid);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setColumnWidth(0, 150);
    OnDoubleClick(grid, [this, grid] { FlowKorr1DblClick(grid); });
  }
  // Two columns of four presets: circuit 1, then circuit 2.
  f.ListeVorgaben->setGridSize(QSize(290, 17));
  f.ListeVorgaben->hide();
}

std::vector<QWidget*> TSystemPages::Pages() const {
  return {Form().TabParTrend, Form().TabParSystem, Form().TabParKorrektur};
}

TNavigation TSystemPages::Navigate(QWidget* page) {
  Ui::Tfrm_Main& f = Form();
  const uint8_t flags = dl::SystemParams.SystemTypeFlags;
  if (page == f.TabParTrend && (flags & dl::kNoTrendFlags) != 0) return {f.TabPar1, true};
  if (page == f.TabParSystem) f.GroupSystem->setVisible((flags & dl::kSingleCircuitFlags) == 0);
  if (page == f.TabParKorrektur) f.GroupFaktor2->setVisible(!IsSingleCircuitSystem());
  return {page, true};
}

// ---- Texts

void TSystemPages::LoadTexts() {
  LoadTrendSettingChoices();
  LoadSystemPageTexts();
  LoadCorrectionTexts();
  // Reloaded choices have lost their selection: show the records until the
  // next refresh reads the device.
  ShowTrendSettings();
  ShowSystemType();
  ShowLimitSet();
  ShowPresetValues();
  ShowCorrectionFactors();
}

void TSystemPages::LoadTrendSettingChoices() {
  Ui::Tfrm_Main& f = Form();
  services::TextBlock t;
  if (!services::GetTextBlock(10240, 1, t)) return;
  f.GroupTrend->setTitle(Q(t[0]));
  SetChoices(f.ComboTrend, ListFrom(t, 1));
  if (!services::GetTextBlock(10256, 1, t)) return;
  f.GroupIntervall->setTitle(Q(t[0]));
  SetChoices(f.ComboTrendinterval, ListFrom(t, 1));
}

void TSystemPages::LoadSystemPageTexts() {
  Ui::Tfrm_Main& f = Form();
  services::TextBlock t;
  if (!services::GetTextBlock(11264, 1, t)) return;
  f.GroupSystem->setTitle(Q(t[0]));
  SetChoices(f.Combosystem, ListFrom(t, 1));
  auto items = [&t] {
    QStringList list;
    for (const std::string& s : ListFrom(t, 1)) list << Q(s);
    return list;
  };
  if (!services::GetTextBlock(11280, 1, t)) return;
  f.AnzahlMU->setTitle(Q(t[0]));
  f.AnzahlMU->SetItems(items());
  if (!services::GetTextBlock(11296, 1, t)) return;
  f.RG_Grenzen->setTitle(Q(t[0]));
  f.RG_Grenzen->SetItems(items());
  if (services::GetTextBlock(11312, 1, t)) f.Chk_Vorgabe->setText(Q(t[0]));
  const bool factor = services::GetTextBlock(11328, 1, t);
  if (factor) f.lbl_Systemfaktor->setText(Q(t[0]));
  f.lbl_Systemfaktor->setVisible(factor);
  f.ed_SystemFaktor->setVisible(factor);
}

void TSystemPages::LoadCorrectionTexts() {
  Ui::Tfrm_Main& f = Form();
  services::TextBlock t;
  if (!services::GetTextBlock(12288, 1, t)) return;
  f.GroupFaktor1->setTitle(Q(t[0] + " 1"));
  f.GroupFaktor2->setTitle(Q(t[0] + " 2"));
  // Labels beyond the grid's rows have no row to go to.
  for (QTableWidget* grid : {f.FlowKorr1, f.FlowKorr2}) {
    for (int row = 0; row < grid->rowCount() && row + 1 < static_cast<int>(t.size()); ++row) {
      Cell(grid, row, 0)->setText(Q(t[static_cast<size_t>(row + 1)]));
    }
  }
}

// ---- Refresh and lists

void TSystemPages::Refresh(QWidget* page) {
  Ui::Tfrm_Main& f = Form();
  const bool online = dl::DeviceOnline;
  dl::TProgressScope progress;
  if (page == f.TabParTrend) {
    if (online) {
      services::StartProgress(1);
      if (dl::ReadTrendSettings()) services::StepProgress();
    }
    ShowTrendSettings();
  } else if (page == f.TabParSystem) {
    RefreshSystemPage();
  } else if (page == f.TabParKorrektur) {
    if (online) services::StartProgress(2);
    for (int c : {0, 1}) {
      if (online && dl::ReadCorrectionFactors(c)) services::StepProgress();
    }
    ShowCorrectionFactors();
  }
}

std::vector<uint16_t> TSystemPages::Records(QWidget* page) const {
  Ui::Tfrm_Main& f = Form();
  using dl::BlockAddressOf;
  if (page == f.TabParTrend) return {BlockAddressOf(dl::TrendSettings)};
  if (page == f.TabParKorrektur) {
    return {BlockAddressOf(dl::CorrectionFactors[0]), BlockAddressOf(dl::CorrectionFactors[1])};
  }
  if (page != f.TabParSystem) return {};
  std::vector<uint16_t> blocks = {BlockAddressOf(dl::SystemParams), BlockAddressOf(dl::LimitValues)};
  for (const float& preset : dl::PresetValues) blocks.push_back(BlockAddressOf(preset));
  return blocks;
}

void TSystemPages::RefreshSystemPage() {
  const bool online = dl::DeviceOnline;
  if (online) {
    services::StartProgress(3);
    if (dl::ReadSystemParams()) services::StepProgress();
  }
  // Selections set here run no handler: looking at the page writes nothing.
  ShowSystemType();
  if (online && dl::ReadLimitValues()) services::StepProgress();
  ShowLimitSet();
  if (online) {
    for (int k = 0; k < kPresetCount; ++k) dl::ReadPresetValue(k);
  }
  ShowPresetValues();
  if (online) {
    services::StepProgress();
    services::WaitMs(100);
  }
}

void TSystemPages::ShowTrendSettings() {
  Ui::Tfrm_Main& f = Form();
  Select(f.ComboTrend, dl::TrendSettings.Param);
  Select(f.ComboTrendinterval, TrendIntervalIndex(dl::TrendSettings.Time));
}

void TSystemPages::ShowSystemType() {
  Ui::Tfrm_Main& f = Form();
  f.AnzahlMU->SetItemIndex(TransmitterIndexOf(dl::SystemParams.Anzahl));
  const std::optional<TSystemTypeView> view = SystemTypeViewOf(dl::SystemParams.Kind);
  if (!view) {
    Select(f.Combosystem, -1);
    return;
  }
  Select(f.Combosystem, view->choice);
  f.AnzahlMU->setEnabled(view->transmitters);
  QLineEdit* factor = f.ed_SystemFaktor;
  factor->setEnabled(view->factor);
  QPalette palette = factor->palette();
  palette.setColor(QPalette::Base, view->factor ? QPalette().color(QPalette::Base)
                                                : QColor(192, 192, 192));
  factor->setPalette(palette);
  factor->setText(view->factor ? Q(services::FormatValue(255, 0, 1, dl::SystemParams.Faktor))
                               : QString());
}

void TSystemPages::ShowLimitSet() {
  Form().RG_Grenzen->SetItemIndex(LimitSetIndexOf(dl::LimitValues.U_Max));
}

void TSystemPages::ShowPresetValues() {
  Ui::Tfrm_Main& f = Form();
  services::TextBlock t;
  if (services::GetTextBlock(11312, 1, t)) f.Chk_Vorgabe->setText(Q(t[0]));
  SetLines(f.ListeVorgaben, PresetLines(dl::PresetValues, t, services::Medium));
  const bool active = AnyPresetActive(dl::PresetValues);
  f.Chk_Vorgabe->setChecked(active);
  f.ListeVorgaben->setVisible(active);
}

void TSystemPages::ShowCorrectionFactors() {
  Ui::Tfrm_Main& f = Form();
  for (int c : {0, 1}) {
    QTableWidget* grid = c == 0 ? f.FlowKorr1 : f.FlowKorr2;
    for (int k = 0; k < kCorrectionRows; ++k) {
      const float factor = dl::CorrectionFactors.at(static_cast<size_t>(c)).at(static_cast<size_t>(k));
      Cell(grid, k, 1)->setText(Q(services::FormatValue(255, 0, 1, factor)));
    }
  }
}

// ---- Trend settings

void TSystemPages::ComboTrendChange() {
  if (!Operator(Form().ComboTrend, [=, this] {
    QComboBox* combo = Form().ComboTrend;
    int index = combo->currentIndex();
    if (index < 0) {
      ShowTrendSettings();
      return;
    }
    // One circuit: only circuit 1 can be recorded.
    if (IsSingleCircuitSystem() && index > 0) index = 0;
    dl::TrendSettings.Param = static_cast<uint8_t>(index);
    services::WriteAndReadBack(dl::WriteTrendSettings, dl::ReadTrendSettings);
    ShowTrendSettings();
  })) {
    ShowTrendSettings();
  }
}

void TSystemPages::ComboTrendintervalChange() {
  if (!Operator(Form().ComboTrendinterval, [=, this] {
    const std::optional<uint8_t> minutes = TrendIntervalMinutes(Form().ComboTrendinterval->currentIndex());
    if (minutes) {
      dl::TrendSettings.Time = *minutes;
      services::WriteAndReadBack(dl::WriteTrendSettings, dl::ReadTrendSettings);
    }
    ShowTrendSettings();
  })) {
    ShowTrendSettings();
  }
}

// ---- System page

void TSystemPages::CombosystemClick() {
  if (!Operator(Form().Combosystem, [=, this] {
    const std::optional<uint8_t> type = SystemTypeOfIndex(Form().Combosystem->currentIndex());
    if (!type) {
      ShowSystemType();
      return;
    }
    if (dl::DeviceOnline && !SystemTypeAllowed(dl::SystemParams.KindMask, *type)) {
      TellError(Context().DialogParent(), 18, kMbYesOnly);
      Select(Form().Combosystem, SystemIndexOfType(dl::SystemParams.Kind));
      return;
    }
    services::TSystemTypeChange change;
    {
      // The run takes seconds: no click may read the device meanwhile.
      TInputBlockScope block(Context().DialogParent());
      change = services::ChangeSystemType(*type);
    }
    using Outcome = services::TSystemTypeChange::Outcome;
    if (change.outcome == Outcome::ReadFailed) {
      TellError(Context().DialogParent(), 19);
    } else if (change.outcome == Outcome::WriteFailed) {
      TellError(Context().DialogParent(), 20);
    } else if (change.outcome == Outcome::SystemWriteFailed && IsSingleCircuitType(*type)) {
      // Every dependent block went out; only the type itself did not.
      TellError(Context().DialogParent(), 22);
    }
    Context().RefreshParameterPage();
  })) {
    ShowSystemType();
  }
}

void TSystemPages::AnzahlMUClick() {
  if (!Operator(Form().AnzahlMU, [=, this] {
    const std::optional<uint8_t> n = TransmittersOfIndex(Form().AnzahlMU->ItemIndex());
    if (!n) return;
    dl::SystemParams.Anzahl = *n;
    services::WriteAndReadBack(dl::WriteSystemParams, dl::ReadSystemParams);
    Context().RefreshParameterPage();
  })) {
    ShowSystemType();
  }
}

void TSystemPages::ed_SystemFaktorDblClick() {
  Operator(Form().ed_SystemFaktor, [=, this] {
    if (!Form().ed_SystemFaktor->isEnabled()) return;
    float factor = dl::SystemParams.Faktor;
    if (!EditValue(SystemFactorDialog(), factor)) return;
    dl::SystemParams.Faktor = factor;
    services::RunEditSteps({services::WriteStep(dl::WriteSystemParams),
                            services::PauseStep(services::kEditPauseMs),
                            services::ReadStep(dl::ReadSystemParams),
                            services::PauseStep(services::kEditPauseMs)});
    Context().RefreshParameterPage();
  });
}

void TSystemPages::RG_GrenzenClick() {
  if (!Operator(Form().RG_Grenzen, [=, this] {
    const std::optional<dl::TLimitValues> set = LimitSetOf(Form().RG_Grenzen->ItemIndex());
    if (!set) return;
    dl::LimitValues = *set;
    services::WriteAndReadBack(dl::WriteLimitValues, dl::ReadLimitValues);
    ShowLimitSet();
  })) {
    ShowLimitSet();
  }
}

void TSystemPages::Chk_VorgabeClick() {
  if (!Operator(Form().Chk_Vorgabe, [=, this] {
    Ui::Tfrm_Main& f = Form();
    if (f.Chk_Vorgabe->isChecked() || f.ListeVorgaben->isHidden()) {
      f.ListeVorgaben->show();
      return;
    }
    f.ListeVorgaben->hide();
    ClearPresets();
  })) {
    ShowPresetValues();
  }
}

void TSystemPages::ClearPresets() {
  dl::PresetValues.fill(0);
  if (dl::DeviceOnline) {
    std::vector<services::TEditStep> steps;
    for (int i = 0; i < kPresetCount; ++i) {
      steps.push_back(services::WriteStep([i] { return dl::WritePresetValue(i); }));
    }
    // Presets replace measured values: what the device keeps must show.
    for (int i = 0; i < kPresetCount; ++i) {
      steps.push_back(services::ReadStep([i] { return dl::ReadPresetValue(i); }));
    }
    services::TEditResult result;
    {
      TInputBlockScope block(Context().DialogParent());
      result = services::RunEditSteps(steps);
    }
    if (!result.ok) TellError(Context().DialogParent(), 21);
  }
  ShowPresetValues();
}

void TSystemPages::ListeVorgabenDblClick() {
  Operator(Form().ListeVorgaben, [=, this] {
    const int line = SelectedLine(Form().ListeVorgaben);
    const std::optional<TDialogRow> row = PresetDialogRow(line, services::Medium);
    if (!row) return;
    float& preset = dl::PresetValues.at(static_cast<size_t>(line));
    float value = preset;
    if (!EditValue(*row, value) || value == preset) return;
    preset = value;
    services::WriteWithoutReadBack([line] { return dl::WritePresetValue(line); });
    ShowPresetValues();
  });
}

// ---- Correction factors

void TSystemPages::FlowKorr1DblClick(QTableWidget* sender) {
  Operator(sender, [=, this] {
    const int row = sender->currentRow();
    if (sender->currentColumn() != 1 || row < 0 || row >= kCorrectionRows) return;
    const int c = sender == Form().FlowKorr2 ? 1 : 0;
    float& factor = dl::CorrectionFactors.at(static_cast<size_t>(c)).at(static_cast<size_t>(row));
    float value = factor;
    if (!EditValue(CorrectionFactorDialog(), value)) return;
    factor = value;
    Cell(sender, row, 1)->setText(Q(services::FormatValue(255, 0, 1, factor)));
    services::WriteWithoutReadBack([c] { return dl::WriteCorrectionFactors(c); });
  });
}

}  // namespace ui
