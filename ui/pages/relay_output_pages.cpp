#include "ui/pages/relay_output_pages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>

#include "devicelink/block_commands.h"
#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "devicelink/window_scopes.h"
#include "platform/main_thread.h"
#include "services/bulk_transfer.h"
#include "services/parameter_edit.h"
#include "services/text_modules.h"
#include "ui/pages/operating_lines.h"
#include "ui/pages/page_controls.h"
#include "ui/pages/relay_output_rules.h"
#include "ui/qt_text.h"
#include "ui_main_window.h"

namespace ui {

namespace dl = devicelink;

TRelayOutputPages::TRelayOutputPages(TPageContext& context) : TPage(context) {
  setObjectName("RelayOutputPages");
  Ui::Tfrm_Main& f = Form();
  for (QComboBox* combo : {f.ComboAlm1, f.ComboAlm2}) {
    connect(combo, &QComboBox::activated, this, [this, combo] { ComboAlm1Change(combo); });
  }
  for (QComboBox* combo : {f.ComboAlmKind1, f.ComboAlmKind2}) {
    connect(combo, &QComboBox::activated, this, [this, combo] { ComboAlmKind1Click(combo); });
  }
  for (QComboBox* combo : {f.ComboAus1, f.ComboAus2}) {
    connect(combo, &QComboBox::activated, this, [this, combo] { ComboAus1Click(combo); });
  }
  for (QListWidget* list : {f.ListeAlm1, f.ListeAlm2}) {
    SetFixedFont(list);
    OnDoubleClick(list, [this, list] { ListeAlm1DblClick(list); });
  }
  for (QListWidget* list : {f.ListeAus1, f.ListeAus2}) {
    SetFixedFont(list);
    OnDoubleClick(list, [this, list] { ListeAus1DblClick(list); });
  }
}

std::vector<QWidget*> TRelayOutputPages::Pages() const {
  return {Form().TabParRelais, Form().TabParAusgang};
}

TNavigation TRelayOutputPages::Navigate(QWidget* page) {
  if (page == Form().TabParAusgang) {
    Form().GroupAus2->setVisible((dl::SystemParams.SystemTypeFlags & dl::kSingleCircuitFlags) == 0);
  }
  return {page, true};
}

int TRelayOutputPages::AlarmOf(const QObject* sender) const {
  const Ui::Tfrm_Main& f = Form();
  return sender == f.ComboAlm2 || sender == f.ComboAlmKind2 || sender == f.ListeAlm2 ? 1 : 0;
}

int TRelayOutputPages::OutputOf(const QObject* sender) const {
  const Ui::Tfrm_Main& f = Form();
  return sender == f.ComboAus2 || sender == f.ListeAus2 ? 1 : 0;
}

// ---- Texts

void TRelayOutputPages::LoadTexts() {
  LoadRelayChoices();
  LoadAnalogOutputChoices();
  // The refresh selects again; until then the choices show the records.
  for (int i : {0, 1}) {
    ShowAlarm(i);
    ShowOutput(i);
  }
}

void TRelayOutputPages::LoadRelayChoices() {
  Ui::Tfrm_Main& f = Form();
  services::TextBlock t;
  if (!services::GetTextBlock(7168, 1, t)) return;
  f.GroupAlm1->setTitle(Q(t[0] + " 1" + " - REL1"));
  f.GroupAlm2->setTitle(Q(t[0] + " 2" + " - REL2"));
  for (QComboBox* combo : {f.ComboAlm1, f.ComboAlm2}) SetChoices(combo, ListFrom(t, 1));
  for (uint16_t base : {7184, 7200}) {
    if (!services::GetTextBlock(base, 1, t)) return;
    for (QComboBox* combo : {f.ComboAlm1, f.ComboAlm2}) SetChoices(combo, ListFrom(t, 0), false);
  }
  if (!services::GetTextBlock(7216, 1, t)) return;
  for (QComboBox* combo : {f.ComboAlmKind1, f.ComboAlmKind2}) SetChoices(combo, ListFrom(t, 0));
}

void TRelayOutputPages::LoadAnalogOutputChoices() {
  Ui::Tfrm_Main& f = Form();
  services::TextBlock t;
  if (!services::GetTextBlock(8192, 1, t)) return;
  f.GroupAus1->setTitle(Q(t[0] + " 1" + " - AO1"));
  f.GroupAus2->setTitle(Q(t[0] + " 2" + " - AO2"));
  for (QComboBox* combo : {f.ComboAus1, f.ComboAus2}) SetChoices(combo, ListFrom(t, 1));
  if (!services::GetTextBlock(8208, 1, t)) return;
  for (QComboBox* combo : {f.ComboAus1, f.ComboAus2}) SetChoices(combo, ListFrom(t, 0), false);
}

// ---- Refresh and lists

void TRelayOutputPages::Refresh(QWidget* page) {
  const bool online = dl::DeviceOnline;
  dl::TProgressScope progress;
  auto read = [online](bool (*command)(int32_t), int i) {
    if (online && command(i)) services::StepProgress();
  };
  if (page == Form().TabParRelais) {
    if (online) services::StartProgress(2);
    for (int a : {0, 1}) {
      read(dl::ReadAlarmParams, a);
      ShowAlarm(a);
    }
  } else if (page == Form().TabParAusgang) {
    if (online) services::StartProgress(4);
    for (int o = 0; o < 4; ++o) {
      read(dl::ReadOutputParams, o);
      ShowOutput(o);
    }
  }
}

std::vector<uint16_t> TRelayOutputPages::Records(QWidget* page) const {
  std::vector<uint16_t> blocks;
  if (page == Form().TabParRelais) {
    for (const dl::TAlarmSettings& alarm : dl::AlarmParams) blocks.push_back(dl::BlockAddressOf(alarm));
  } else if (page == Form().TabParAusgang) {
    for (const dl::TOutputSettings& out : dl::OutputParams) blocks.push_back(dl::BlockAddressOf(out));
  }
  return blocks;
}

void TRelayOutputPages::ShowAlarm(int a) {
  Ui::Tfrm_Main& f = Form();
  const dl::TAlarmSettings& alarm = dl::AlarmParams.at(static_cast<size_t>(a));
  // A code or kind the lists do not have selects nothing.
  Select(a == 0 ? f.ComboAlm1 : f.ComboAlm2, AlarmIndexOfCode(alarm.Param));
  Select(a == 0 ? f.ComboAlmKind1 : f.ComboAlmKind2, alarm.Kind < kAlarmKindCount ? alarm.Kind : -1);
  ShowAlarmRelayParams(a);
}

void TRelayOutputPages::ShowAlarmRelayParams(int a) {
  Ui::Tfrm_Main& f = Form();
  const dl::TAlarmSettings& alarm = dl::AlarmParams.at(static_cast<size_t>(a));
  QListWidget* list = a == 0 ? f.ListeAlm1 : f.ListeAlm2;
  (a == 0 ? f.ComboAlmKind1 : f.ComboAlmKind2)->setEnabled(alarm.Param != 0);
  services::TextBlock labels;
  services::GetTextBlock(7216, 13, labels);
  SetLines(list, AlarmLines(alarm, labels));
}

void TRelayOutputPages::ShowOutput(int o) {
  Ui::Tfrm_Main& f = Form();
  const dl::TOutputSettings& output = dl::OutputParams.at(static_cast<size_t>(o));
  if (o == 0 || o == 1) Select(o == 0 ? f.ComboAus1 : f.ComboAus2, OutputIndexOfCode(output.Param));
  ShowAnalogOutputParams(o);
}

void TRelayOutputPages::ShowAnalogOutputParams(int o) {
  if (o != 0 && o != 1) return;
  Ui::Tfrm_Main& f = Form();
  services::TextBlock labels;
  services::GetTextBlock(8224, 13, labels);
  SetLines(o == 0 ? f.ListeAus1 : f.ListeAus2,
           OutputLines(dl::OutputParams.at(static_cast<size_t>(o)), labels));
}

// ---- Writes

void TRelayOutputPages::WriteAlarm(int a) {
  services::WriteAndReadBack([a] { return dl::WriteAlarmParams(a); },
                             [a] { return dl::ReadAlarmParams(a); });
  platform::ProcessMessages();
  ShowAlarm(a);
}

void TRelayOutputPages::WriteOutput(int o) {
  services::WriteAndReadBack([o] { return dl::WriteOutputParams(o); },
                             [o] { return dl::ReadOutputParams(o); });
  platform::ProcessMessages();
  ShowOutput(o);
}

// ---- Handlers

void TRelayOutputPages::ComboAlm1Change(QComboBox* sender) {
  const int a = AlarmOf(sender);
  if (!Operator(sender, [=, this] {
    const int index = sender->currentIndex();
    const std::optional<uint8_t> code = AlarmCodeOfIndex(index);
    // A single-circuit device has no sources of circuit 2 and beyond: the
    // choice goes back to the device's source, and nothing is written.
    if (!code || (IsSingleCircuitSystem() && index > 7)) {
      ShowAlarm(a);
      return;
    }
    dl::AlarmParams.at(static_cast<size_t>(a)).Param = *code;
    WriteAlarm(a);
  })) {
    ShowAlarm(a);
  }
}

void TRelayOutputPages::ComboAlmKind1Click(QComboBox* sender) {
  const int a = AlarmOf(sender);
  if (!Operator(sender, [=, this] {
    const int index = sender->currentIndex();
    if (index < 0 || index >= kAlarmKindCount) {
      ShowAlarm(a);
      return;
    }
    dl::AlarmParams.at(static_cast<size_t>(a)).Kind = static_cast<uint8_t>(index);
    WriteAlarm(a);
  })) {
    ShowAlarm(a);
  }
}

void TRelayOutputPages::ListeAlm1DblClick(QListWidget* sender) {
  Operator(sender, [=, this] {
    const int a = AlarmOf(sender);
    dl::TAlarmSettings& alarm = dl::AlarmParams.at(static_cast<size_t>(a));
    // No source, a source without a choice, or no line of a pair: nothing to edit.
    const std::optional<TDialogRow> row = AlarmDialogRow(alarm.Param);
    const std::optional<TAlarmLimit> limit = AlarmLimitOfLine(alarm.Kind, SelectedLine(sender));
    if (!row || !limit) return;
    float value = *limit == TAlarmLimit::Low ? alarm.Min : alarm.Max;
    if (!EditValue(*row, value)) return;
    if (*limit == TAlarmLimit::Low) {
      SetLowBound(alarm.Min, alarm.Max, value);
    } else {
      SetHighBound(alarm.Min, alarm.Max, value);
    }
    WriteAlarm(a);
  });
}

void TRelayOutputPages::ComboAus1Click(QComboBox* sender) {
  const int o = OutputOf(sender);
  if (!Operator(sender, [=, this] {
    dl::TOutputSettings& output = dl::OutputParams.at(static_cast<size_t>(o));
    std::optional<uint8_t> code = OutputCodeOfIndex(sender->currentIndex());
    if (code && IsSingleCircuitSystem() && *code > 8) code = 1;
    // Out of the list, or the source the output has: nothing changes.
    if (!code || *code == output.Param) {
      ShowOutput(o);
      return;
    }
    output.Param = *code;
    if (*code == 0) {
      // The fixed current must be one the output can drive; the scale of the
      // previous source stays as it was.
      output.Konstant = ClampKonstant(output.Konstant);
    } else if (dl::DeviceOnline) {
      FitOutputScale(*code, output);
    }
    WriteOutput(o);
  })) {
    ShowOutput(o);
  }
}

void TRelayOutputPages::ListeAus1DblClick(QListWidget* sender) {
  Operator(sender, [=, this] {
    const int o = OutputOf(sender);
    dl::TOutputSettings& output = dl::OutputParams.at(static_cast<size_t>(o));
    if (OutputIndexOfCode(output.Param) < 0) return;
    const std::optional<TOutputValue> what = OutputValueOfLine(output.Param, SelectedLine(sender));
    if (!what) return;
    const std::optional<TDialogRow> row = OutputLineDialog(output.Param, *what);
    if (!row) return;
    float value = 0;
    switch (*what) {
      case TOutputValue::Konstant: value = static_cast<float>(output.Konstant) / 10.0f; break;
      case TOutputValue::Min: value = output.Min; break;
      case TOutputValue::Max: value = output.Max; break;
      case TOutputValue::Err: value = output.Err; break;
    }
    if (!EditValue(*row, value)) return;
    switch (*what) {
      case TOutputValue::Konstant: output.Konstant = KonstantOfCurrent(value); break;
      case TOutputValue::Min: SetLowBound(output.Min, output.Max, value); break;
      case TOutputValue::Max: SetHighBound(output.Min, output.Max, value); break;
      case TOutputValue::Err: output.Err = value; break;
    }
    WriteOutput(o);
  });
}

}  // namespace ui
