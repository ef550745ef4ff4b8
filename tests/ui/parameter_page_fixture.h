// What the parameter page tests share: the program started quickly and brought
// online with the simulated device, a page shown as the operator's tab click
// shows it, the operator's choices and double-clicks, the value dialog
// answered, and the device traffic as a decoded trace.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include <cstring>

#include "services/port_opening.h"
#include "ui/pages/operating_pages.h"
#include "request_trace.h"
#include "ui/input_dialog.h"
#include "ui/radio_group.h"
#include "ui_fixture.h"
#include "ui_input_dialog.h"
#include "ui_main_window.h"

namespace ui::testing {

// Quick start offline (no splash wait), then online at the simulated device as
// the settings dialog would connect, and circuit 1 read as start-up reads it.
inline Tfrm_Main& StartOnlineQuick(UiWorld& world, flowsim::SimulatorOptions options = {}) {
  world.StartDevice(std::move(options));
  world.WriteSettings(false);
  world.UseManualClock();
  if (world.Start()) qFatal("start failed");
  world.UseSystemClock();
  devicelink::DeviceOnline = true;
  services::IdentifyDevice();
  if (!devicelink::DeviceOnline) qFatal("device not online");
  // As start-up reads circuit 1 when online (system block, outputs, units).
  world.Main()->OperatingPages().RefreshCircuitValues(0);
  return *world.Main();
}

inline Tfrm_Main& StartOfflineQuick(UiWorld& world) {
  world.WriteSettings(false);
  world.UseManualClock();
  if (world.Start()) qFatal("start failed");
  world.UseSystemClock();
  return *world.Main();
}

// The operator clicks the page's tab: the page is read and shown.
inline void ShowPage(Tfrm_Main& w, QWidget* page) {
  Ui::Tfrm_Main& f = FormOf(w);
  f.Notebook->setCurrentWidget(f.TabParameter);
  f.NBParameter->setCurrentWidget(page);
  w.NotebookMouseDown(f.NBParameter);
}

// The operator picks entry index of a combo.
inline void Choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

// The operator clicks item index of a radio group.
inline void Click(TRadioGroup* group, int index) {
  // On the indicator: a radio button takes clicks on its indicator and caption only.
  QRadioButton* button = group->Button(index);
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
}

// The operator double-clicks line row of a list; -1: the empty area below the
// lines, with nothing selected.
inline void DoubleClick(QListWidget* list, int row) {
  QPoint at;
  if (row >= 0) {
    list->setCurrentRow(row);
    at = list->visualItemRect(list->item(row)).center();
  } else {
    list->clearSelection();
    list->setCurrentRow(-1);
    at = QPoint(list->viewport()->width() / 2, list->viewport()->height() - 2);
  }
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  if (row < 0) {
    list->clearSelection();
  }
}

// The value dialog's next use types text and presses OK, or cancels.
inline void AnswerValueDialog(UiWorld& world, const QString& text, bool ok = true) {
  world.modal_scripts["InputDlg"] = [text, ok](QDialog& d) {
    auto& dlg = static_cast<TInputDlg&>(d);
    if (!ok) {
      dlg.Form()->CancelBtn->click();
      return;
    }
    dlg.Form()->Input->setText(text);
    dlg.Form()->OKBtn->click();
  };
}

inline QStringList TraceOf(flowsim::FlowSimulator& sim) {
  return TraceText(Trace(sim.Requests()));
}

inline int Writes(flowsim::FlowSimulator& sim) {
  int n = 0;
  for (const TraceLine& l : Trace(sim.Requests())) n += l.write;
  return n;
}

// The device's memory as the tests set and check it (singles most significant
// byte first).
inline uint8_t DeviceByte(flowsim::FlowSimulator& sim, uint16_t address) {
  return sim.ReadMemory(address, 1)[0];
}
inline void PutDeviceByte(flowsim::FlowSimulator& sim, uint16_t address, uint8_t value) {
  sim.WriteMemory(address, std::vector<uint8_t>{value});
}
inline float DeviceFloat(flowsim::FlowSimulator& sim, uint16_t address) {
  const std::vector<uint8_t> b = sim.ReadMemory(address, 4);
  const uint32_t u = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline void PutDeviceFloat(flowsim::FlowSimulator& sim, uint16_t address, float value) {
  uint32_t u;
  std::memcpy(&u, &value, 4);
  sim.WriteMemory(address, std::vector<uint8_t>{uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8),
                                                uint8_t(u)});
}

inline QStringList Lines(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

}  // namespace ui::testing
