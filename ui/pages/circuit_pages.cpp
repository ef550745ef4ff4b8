#include "ui/pages/circuit_pages.h"

#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QListWidget>
#include <QStyle>

#include <cmath>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "platform/main_thread.h"
#include "services/app_state.h"
#include "services/bulk_transfer.h"
#include "services/parameter_edit.h"
#include "services/sgerg88.h"
#include "services/text_modules.h"
#include "ui/busy_flags.h"
#include "ui/dialog_hooks.h"
#include "ui/input_dialog.h"
#include "ui/pages/circuit_rules.h"
#include "ui/pages/operating_lines.h"
#include "ui/pages/page_controls.h"
#include "ui/qt_text.h"
#include "ui/sat_table_editor.h"
#include "ui/table_editor.h"
#include "ui_main_window.h"

namespace ui {

namespace dl = devicelink;
using services::PauseStep;
using services::ReadStep;
using services::WriteStep;

namespace {

QString LineText(const QListWidget* list, int line) {
  const QListWidgetItem* item = list->item(line);
  return item != nullptr ? item->text().trimmed() : QString();
}

}  // namespace

TCircuitPages::TCircuitPages(TPageContext& context) : TPage(context) {
  setObjectName("CircuitPages");
  for (int c : {0, 1}) {
    const Controls k = Of(c);
    // Each list as high as its most lines and as wide as its longest line:
    // an 18-character label, the value and a unit of up to 4 characters on
    // the left (temperature, pressure, totals), up to 7 on the right.
    const std::pair<QListWidget*, QSize> lists[] = {
        {k.temperature_list, {35, 2}}, {k.pressure_list, {35, 3}}, {k.pulse_list, {35, 1}},
        {k.supply_list, {35, 3}},      {k.medium_list, {38, 5}},   {k.flow_list, {38, 9}}};
    for (const auto& [list, chars_rows] : lists) {
      SetFixedFont(list);
      list->setUniformItemSizes(true);
      list->addItem("0");
      const int row = list->sizeHintForRow(0);
      list->clear();
      const int frame = 2 * list->frameWidth();
      // A whole line measured, not a rounded advance times its characters: that
      // is 7 pixels too wide at 38 characters, and both columns wider than the
      // page. The style keeps a margin on either side of an item's text.
      const double line =
          QFontMetricsF(list->font()).horizontalAdvance(QString(chars_rows.width(), QChar('0')));
      const int text_margins =
          2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
      list->setFixedSize(static_cast<int>(std::ceil(line)) + text_margins + frame,
                         chars_rows.height() * row + frame + 2);
      // A double-click anywhere in the list, between lines too.
      list->viewport()->installEventFilter(this);
    }
    connect(k.temperature, &QComboBox::activated, this,
            [this, combo = k.temperature] { ComboPT1Click(combo); });
    connect(k.pressure, &QComboBox::activated, this,
            [this, combo = k.pressure] { ComboPD1Click(combo); });
    connect(k.medium, &QComboBox::activated, this,
            [this, combo = k.medium] { ComboPG1Click(combo); });
    connect(k.flow, &QComboBox::activated, this,
            [this, combo = k.flow] { ComboPF1Click(combo); });
    connect(k.pulse, &QComboBox::activated, this,
            [this, combo = k.pulse] { ComboIA1Click(combo); });
  }
}

std::vector<QWidget*> TCircuitPages::Pages() const {
  return {Form().TabPar1, Form().TabPar2};
}

TNavigation TCircuitPages::Navigate(QWidget* page) {
  if (page == Form().TabPar2 && IsSingleCircuitSystem()) return {Form().TabPar1, true};
  return {page, true};
}

TCircuitPages::Controls TCircuitPages::Of(int c) const {
  Ui::Tfrm_Main& f = Form();
  if (c == 0) {
    return {f.ComboPT1, f.ListePT1, f.ComboPD1, f.ListePD1,  f.ComboPG1, f.ListePG1,
            f.ComboPF1, f.ListePF1, f.ComboIA1, f.ListeImp1, f.VBox1,    f.ListeVL1};
  }
  if (c == 1) {
    return {f.ComboPT2, f.ListePT2, f.ComboPD2, f.ListePD2,  f.ComboPG2, f.ListePG2,
            f.ComboPF2, f.ListePF2, f.ComboIA2, f.ListeImp2, f.VBox2,    f.ListeVL2};
  }
  throw std::out_of_range("circuit index");
}

bool TCircuitPages::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::MouseButtonDblClick) return TPage::eventFilter(watched, event);
  for (int c : {0, 1}) {
    const Controls k = Of(c);
    const std::pair<QListWidget*, void (TCircuitPages::*)(QListWidget*)> lists[] = {
        {k.temperature_list, &TCircuitPages::ListePT1DblClick},
        {k.pressure_list, &TCircuitPages::ListePD1DblClick},
        {k.medium_list, &TCircuitPages::ListePG1DblClick},
        {k.flow_list, &TCircuitPages::ListePF1DblClick},
        {k.pulse_list, &TCircuitPages::ListeImp1DblClick},
        {k.supply_list, &TCircuitPages::ListeVL1DblClick}};
    for (const auto& [list, handler] : lists) {
      if (watched == list->viewport()) {
        (this->*handler)(list);
        return true;
      }
    }
  }
  return TPage::eventFilter(watched, event);
}

// ---- Texts

void TCircuitPages::LoadTexts() {
  LoadTemperatureChoices();
  LoadPressureChoices();
  LoadFlowChoices();
  {
    // The gas kinds, then the steam kinds: entry index = medium kind.
    TMediumKeeper keep;
    services::Medium = 0;
    LoadMediumChoices(true);
    services::Medium = 1;
    LoadMediumChoices(false);
  }
  LoadPulseOutputChoices();
}

void TCircuitPages::LoadTemperatureChoices() {
  services::TextBlock t;
  if (!services::GetTextBlock(2048, 1, t)) return;
  Ui::Tfrm_Main& f = Form();
  f.TBox1->setTitle(Q(t[0] + " - AI1"));
  f.TBox2->setTitle(Q(t[0] + " - AI2"));
  const TTwinChoices choices = TemperatureChoiceLists(t);
  SetChoices(f.ComboPT1, choices.circuit1);
  SetChoices(f.ComboPT2, choices.circuit2);
}

void TCircuitPages::LoadPressureChoices() {
  services::TextBlock t;
  if (!services::GetTextBlock(3072, 1, t)) return;
  Ui::Tfrm_Main& f = Form();
  f.PBox1->setTitle(Q(t[0] + " - AI3"));
  f.PBox2->setTitle(Q(t[0] + " - AI6"));
  const TTwinChoices choices = PressureChoiceLists(t);
  SetChoices(f.ComboPD1, choices.circuit1);
  SetChoices(f.ComboPD2, choices.circuit2);
}

void TCircuitPages::LoadFlowChoices() {
  services::TextBlock t;
  if (!services::GetTextBlock(4096, 1, t)) return;
  Ui::Tfrm_Main& f = Form();
  f.FBox1->setTitle(Q(t[0] + " - AI4"));
  f.FBox2->setTitle(Q(t[0] + " - AI5"));
  SetChoices(f.ComboPF1, ListFrom(t, 1));
  SetChoices(f.ComboPF2, ListFrom(t, 1));
}

void TCircuitPages::LoadMediumChoices(bool clear) {
  services::TextBlock t;
  if (!services::GetTextBlock(5120, 1, t)) return;
  Ui::Tfrm_Main& f = Form();
  f.GBox1->setTitle(Q(t[0]));
  f.GBox2->setTitle(Q(t[0]));
  SetChoices(f.ComboPG1, ListFrom(t, 1), clear);
  SetChoices(f.ComboPG2, ListFrom(t, 1), clear);
}

void TCircuitPages::LoadPulseOutputChoices() {
  services::TextBlock t;
  if (!services::GetTextBlock(6144, 1, t)) return;
  Ui::Tfrm_Main& f = Form();
  f.IBox1->setTitle(Q(t[0] + " - DO1"));
  f.IBox2->setTitle(Q(t[0] + " - DO2"));
  SetChoices(f.ComboIA1, ListFrom(t, 1));
  SetChoices(f.ComboIA2, ListFrom(t, 1));
  pulse_choices_medium_ = services::Medium;
  // A choice made before the next refresh must find the device's source.
  SelectPulseChoices();
}

void TCircuitPages::SelectPulseChoices() {
  services::TextBlock undefined;
  services::GetTextBlock(6149, 1, undefined);
  for (int c : {0, 1}) {
    QComboBox* combo = Of(c).pulse;
    const int index = PulseChoiceIndex(dl::PulseOutputParams.at(static_cast<size_t>(c)));
    Select(combo, index);
    // A source without an entry is named in the empty combo.
    combo->setPlaceholderText(index < 0 ? Q(undefined[0]) : QString());
  }
}

void TCircuitPages::SelectModeChoices(int c) {
  const Controls k = Of(c);
  const auto i = static_cast<size_t>(c);
  Select(k.temperature, TemperatureChoiceIndex(dl::TempParams[i]));
  Select(k.pressure, PressureChoiceIndex(dl::PressureParams[i]));
  Select(k.flow, dl::FlowParams[i].Kind);
  Select(k.medium, dl::MediumParams[i].Kind);
}

// ---- Refresh

void TCircuitPages::Refresh(QWidget* page) {
  const int c = page == Form().TabPar2 ? 1 : 0;
  dl::TProgressScope progress;
  const bool online = dl::DeviceOnline;
  if (online) services::StartProgress(3);
  auto read = [online, c](bool (*command)(int32_t)) {
    if (online && command(c)) services::StepProgress();
  };
  read(dl::ReadCircuitParams);
  SelectModeChoices(c);
  ShowTemperature(c);
  ShowPressure(c);
  ShowFlow(c);
  ShowMedium(c);
  // The pulse sources are named by the module of the medium just shown.
  if (services::Medium != pulse_choices_medium_) LoadPulseOutputChoices();
  read(dl::ReadSupplyValues);
  ShowSupply(c);
  read(dl::ReadPulseOutputParams);
  SelectPulseChoices();
  ShowPulse(c);
}

std::vector<uint16_t> TCircuitPages::Records(QWidget* page) const {
  const size_t c = page == Form().TabPar2 ? 1 : 0;
  using dl::BlockAddressOf;
  return {BlockAddressOf(dl::TempParams[c]),       BlockAddressOf(dl::PressureParams[c]),
          BlockAddressOf(dl::FlowParams[c]),       BlockAddressOf(dl::FlowParams2[c]),
          BlockAddressOf(dl::MediumParams[c]),     BlockAddressOf(dl::GasCommon),
          BlockAddressOf(dl::SupplyValues[c]),     BlockAddressOf(dl::PulseOutputParams[c])};
}

// ---- Lists

void TCircuitPages::ShowTemperatureParams() {
  ShowTemperature(Context().ShownCircuit());
}
void TCircuitPages::ShowPressureParams() {
  ShowPressure(Context().ShownCircuit());
}
void TCircuitPages::ShowMediumParams() {
  ShowMedium(Context().ShownCircuit());
}
void TCircuitPages::ShowFlowParams() {
  ShowFlow(Context().ShownCircuit());
}
void TCircuitPages::ShowPulseOutputParams() {
  ShowPulse(Context().ShownCircuit());
}
void TCircuitPages::ShowSupplyValues() {
  ShowSupply(Context().ShownCircuit());
}

void TCircuitPages::ShowTemperature(int c) {
  SetLines(Of(c).temperature_list, TemperatureLines(c));
}

void TCircuitPages::ShowPressure(int c) {
  SetLines(Of(c).pressure_list, PressureLines(c));
}

void TCircuitPages::ShowMedium(int c) {
  QListWidget* list = Of(c).medium_list;
  list->clear();
  // A kind the device should not have leaves Medium as it is.
  const std::optional<int32_t> medium = MediumOfKind(dl::MediumParams.at(static_cast<size_t>(c)).Kind);
  if (!medium) return;
  services::Medium = *medium;
  SetLines(list, MediumLines(c));
}

void TCircuitPages::ShowFlow(int c) {
  SetLines(Of(c).flow_list, FlowLines(c));
}

void TCircuitPages::ShowPulse(int c) {
  SetLines(Of(c).pulse_list, PulseLines(c));
}

void TCircuitPages::ShowSupply(int c) {
  const Controls k = Of(c);
  const TSupplyShow show = SupplyLines(c);
  if (show.caption) k.supply_box->setTitle(Q(*show.caption));
  SetLines(k.supply_list, show.lines);
}

// ---- Handlers

void TCircuitPages::ComboPT1Click(QComboBox* sender) {
  Choice(sender, [this, sender] { ChooseTemperatureMode(sender); });
}
void TCircuitPages::ComboPD1Click(QComboBox* sender) {
  Choice(sender, [this, sender] { ChoosePressureMode(sender); });
}
void TCircuitPages::ComboPG1Click(QComboBox* sender) {
  Choice(sender, [this, sender] { ChooseMedium(sender); });
}
void TCircuitPages::ComboPF1Click(QComboBox* sender) {
  Choice(sender, [this, sender] { ChooseFlowMode(sender); });
}
void TCircuitPages::ComboIA1Click(QComboBox* sender) {
  Choice(sender, [this, sender] { ChoosePulseSource(sender); });
}
// A choice dropped as the program closes: the combos show the records again,
// not a mode that was neither stored nor sent.
void TCircuitPages::Choice(QComboBox* sender, std::function<void()> body) {
  if (Operator(sender, std::move(body))) return;
  SelectModeChoices(Context().ShownCircuit());
  SelectPulseChoices();
}
void TCircuitPages::ListePT1DblClick(QListWidget* sender) {
  Operator(sender, [this, sender] { EditTemperature(sender); });
}
void TCircuitPages::ListePD1DblClick(QListWidget* sender) {
  Operator(sender, [this, sender] { EditPressure(sender); });
}
void TCircuitPages::ListePG1DblClick(QListWidget* sender) {
  Operator(sender, [this, sender] { EditMedium(sender); });
}
void TCircuitPages::ListePF1DblClick(QListWidget* sender) {
  Operator(sender, [this, sender] { EditFlow(sender); });
}
void TCircuitPages::ListeImp1DblClick(QListWidget* sender) {
  Operator(sender, [this, sender] { EditPulse(sender); });
}
void TCircuitPages::ListeVL1DblClick(QListWidget* sender) {
  Operator(sender, [this, sender] { EditSupply(sender); });
}

namespace {

// A mode of a temperature or pressure combo: the other circuit's block goes
// first when the circuit takes its measurement; it is not read back. That block
// goes out only as the device reported it; when it cannot be read, nothing is
// stored or sent (false).
template <class Record>
bool WriteModeChoice(std::array<Record, 2>& records, int c, int i, int n,
                     bool (*write)(int32_t), bool (*read)(int32_t)) {
  const int o = 1 - c;
  if (TakesOtherCircuit(i, n) &&
      !services::ReportedOrRead(dl::BlockAddressOf(records.at(static_cast<size_t>(o))),
                                [&] { return read(o); })) {
    return false;
  }
  std::vector<services::TEditStep> steps;
  if (ApplyModeChoice(records, c, i, n)) {
    steps.push_back(services::UncountedWriteStep([&] { return write(o); }));
    steps.push_back(PauseStep(services::kEditPauseMs));
  }
  steps.push_back(WriteStep([&] { return write(c); }));
  steps.push_back(PauseStep(services::kEditPauseMs));
  steps.push_back(ReadStep([&] { return read(c); }));
  services::RunEditSteps(steps);
  return true;
}

}  // namespace

void TCircuitPages::ChooseTemperatureMode(QComboBox* sender) {
  if (FormReady == 0) return;
  const int c = Context().ShownCircuit();
  const int i = sender->currentIndex();
  if (i < 0) return;
  if (!WriteModeChoice(dl::TempParams, c, i, kTemperatureModes, dl::WriteTempParams,
                       dl::ReadTempParams)) {
    SelectModeChoices(c);
  }
  if (dl::DeviceOnline) platform::ProcessMessages();
  ShowTemperature(c);
}

void TCircuitPages::ChoosePressureMode(QComboBox* sender) {
  const int c = Context().ShownCircuit();
  const int i = sender->currentIndex();
  if (i < 0) return;
  if (!WriteModeChoice(dl::PressureParams, c, i, kPressureModes, dl::WritePressureParams,
                       dl::ReadPressureParams)) {
    SelectModeChoices(c);
  }
  ShowPressure(c);
}

void TCircuitPages::ChooseFlowMode(QComboBox* sender) {
  const int c = Context().ShownCircuit();
  const int i = Of(c).flow->currentIndex();
  (void)sender;  // the shown circuit's combo is the one chosen
  if (i < 0) return;
  dl::FlowParams.at(static_cast<size_t>(c)).Kind = static_cast<uint8_t>(i);
  services::WriteAndReadBack([c] { return dl::WriteFlowParams(c); },
                             [c] { return dl::ReadFlowParams(c); });
  ShowFlow(c);
}

void TCircuitPages::ChoosePulseSource(QComboBox* sender) {
  const int shown = Context().ShownCircuit();
  const int k = sender == Form().ComboIA1 ? 0 : 1;
  const int i = sender->currentIndex();
  // No entry (a source the list does not name): nothing to store or send.
  if (i >= 0) {
    dl::PulseOutputParams.at(static_cast<size_t>(k)).Kind = static_cast<uint8_t>(i);
    services::WriteAndReadBack([k] { return dl::WritePulseOutputParams(k); },
                               [k] { return dl::ReadPulseOutputParams(k); });
  }
  ShowPulse(shown);
}

void TCircuitPages::ChooseMedium(QComboBox* sender) {
  const int c = Context().ShownCircuit();
  const int i = sender->currentIndex();
  if (i < 0 || i > kLastMediumKind) return;
  // Circuit 1's pulse source is sent again with the new medium. That block goes
  // out only as the device reported it: read first when its record is not; when
  // that read fails, nothing of the choice is sent.
  if (!services::ReportedOrRead(dl::BlockAddressOf(dl::PulseOutputParams[0]),
                                [] { return dl::ReadPulseOutputParams(0); })) {
    SelectModeChoices(c);
    return;
  }
  // Pulse sources of the new medium's module, selected from the records; then
  // circuit 1's source is sent again and the shown pulse list takes the new
  // medium's units.
  services::Medium = i >= kFirstSteamKind ? 1 : 0;
  LoadPulseOutputChoices();
  SelectPulseChoices();
  ChoosePulseSource(Form().ComboIA1);
  dl::MediumParams.at(static_cast<size_t>(c)).Kind = static_cast<uint8_t>(i);
  std::vector<services::TEditStep> steps = {
      WriteStep([c] { return dl::WriteMediumParams(c); }), PauseStep(services::kEditPauseMs),
      ReadStep([c] { return dl::ReadMediumParams(c); })};
  if (services::Medium == 0 && i == kGasComposition) steps.push_back(ReadStep(dl::ReadGasCommon));
  services::RunEditSteps(steps, 3);
  if (dl::DeviceOnline) platform::ProcessMessages();
  ShowMedium(c);
  // The device refused the kind: its medium names the pulse sources again.
  if (services::Medium != pulse_choices_medium_) {
    LoadPulseOutputChoices();
    ShowPulse(c);
  }
}

bool TCircuitPages::EditValue(const TEditRow& row) {
  float value = row.value;
  if (!ui::EditValue({row.quantity, row.min, row.max}, value)) return false;
  row.store(value);
  return true;
}

bool TCircuitPages::Entered(const std::optional<TEditRow>& row) {
  // A line without a row opens no dialog, and what opens nothing sends nothing:
  // the block would carry the record as it stands, stale after a failed read.
  return row && EditValue(*row);
}

void TCircuitPages::EditTemperature(QListWidget* /*sender*/) {
  const int c = Context().ShownCircuit();
  if (!Entered(TemperatureEditRow(c, SelectedLine(Of(c).temperature_list)))) return;
  services::WriteAndReadBack([c] { return dl::WriteTempParams(c); },
                             [c] { return dl::ReadTempParams(c); });
  ShowTemperature(c);
}

void TCircuitPages::EditPressure(QListWidget* /*sender*/) {
  const int c = Context().ShownCircuit();
  if (!Entered(PressureEditRow(c, SelectedLine(Of(c).pressure_list)))) return;
  services::WriteAndReadBack([c] { return dl::WritePressureParams(c); },
                             [c] { return dl::ReadPressureParams(c); });
  ShowPressure(c);
}

void TCircuitPages::EditFlow(QListWidget* /*sender*/) {
  const int c = Context().ShownCircuit();
  if (!Entered(FlowEditRow(c, SelectedLine(Of(c).flow_list)))) return;
  // Both flow blocks, whatever line was edited.
  services::WriteAndReadBack(
      {[c] { return dl::WriteFlowParams2(c); }, [c] { return dl::WriteFlowParams(c); }},
      {[c] { return dl::ReadFlowParams2(c); }, [c] { return dl::ReadFlowParams(c); }});
  ShowFlow(c);
}

void TCircuitPages::EditPulse(QListWidget* /*sender*/) {
  const int c = Context().ShownCircuit();
  if (!Entered(PulseEditRow(c))) return;
  services::WriteAndReadBack([c] { return dl::WritePulseOutputParams(c); },
                             [c] { return dl::ReadPulseOutputParams(c); });
  ShowPulse(c);
}

void TCircuitPages::EditSupply(QListWidget* /*sender*/) {
  const int c = Context().ShownCircuit();
  if (!Entered(SupplyEditRow(c, SelectedLine(Of(c).supply_list)))) return;
  services::WriteAndReadBack([c] { return dl::WriteSupplyValues(c); },
                             [c] { return dl::ReadSupplyValues(c); });
  ShowSupply(c);
}

void TCircuitPages::EditMedium(QListWidget* /*sender*/) {
  const int c = Context().ShownCircuit();
  QListWidget* list = Of(c).medium_list;
  const int line = SelectedLine(list);
  const TMediumAction action = MediumEditAction(c, line);
  switch (action.kind) {
    case TMediumAction::Kind::Value:
      if (!EditValue(action.row)) return;
      break;
    case TMediumAction::Kind::PropertyTable:
      if (frm_Tabelle == nullptr) throw std::logic_error("the table editor does not exist");
      frm_Tabelle->Tag = action.table;
      frm_Tabelle->setWindowTitle(LineText(list, line));
      ExecModal(*frm_Tabelle);
      break;
    case TMediumAction::Kind::SaturationTable:
      if (frm_UserSatTab == nullptr) throw std::logic_error("the table editor does not exist");
      frm_UserSatTab->setWindowTitle(LineText(list, line));
      ExecModal(*frm_UserSatTab);
      break;
    case TMediumAction::Kind::None:
      return;
  }
  // The gas check result goes into the medium block of both circuits.
  const bool gas = services::Medium == 0 &&
                   dl::MediumParams.at(static_cast<size_t>(c)).Kind == kGasComposition;
  if (gas) {
    const dl::TGasComposition& g = dl::GasCommon;
    const char code = services::CheckGasParameters(g.Ho, g.Rho, g.CO2, g.H2);
    dl::MediumParams[0].Dummy2 = static_cast<uint8_t>(code);
    dl::MediumParams[1].Dummy2 = static_cast<uint8_t>(code);
  }
  std::vector<services::TEditStep> steps = {WriteStep([c] { return dl::WriteMediumParams(c); }),
                                            PauseStep(services::kEditPauseMs)};
  if (gas) {
    steps.insert(steps.end(), {WriteStep(dl::WriteGasCommon), PauseStep(services::kEditPauseMs),
                               ReadStep(dl::ReadGasCommon), PauseStep(services::kEditPauseMs)});
  }
  steps.push_back(ReadStep([c] { return dl::ReadMediumParams(c); }));
  services::RunEditSteps(steps, 4);
  ShowMedium(c);
  ShowFlow(c);
}

}  // namespace ui
