// The circuit parameter pages against the simulated device: the requests of
// every edit path, the refresh, device codes without a list entry, faults at
// the device, the table editors, the loaders and the language switch.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include <cstring>

#include "devicelink/block_commands.h"
#include "services/bulk_transfer.h"
#include "services/parameter_edit.h"
#include "services/port_opening.h"
#include "ui/pages/circuit_rules.h"
#include "tools/flowsim/device_map.h"
#include "ui/input_dialog.h"
#include "ui/pages/circuit_pages.h"
#include "ui/table_editor.h"
#include "ui_fixture.h"
#include "ui_input_dialog.h"
#include "ui_main_window.h"
#include "request_trace.h"

using namespace ui;
using namespace ui::testing;
namespace dl = devicelink;
namespace map = flowsim::map;

namespace {

QString W(uint16_t address, int count) {
  return QString("W %1/%2").arg(address, 4, 16, QChar('0')).arg(count).toUpper();
}
QString R(uint16_t address, int count) {
  return QString("R %1/%2").arg(address, 4, 16, QChar('0')).arg(count).toUpper();
}

// Device blocks by circuit.
uint16_t Temp(int c) { return static_cast<uint16_t>(map::kTempParams + 32 * c); }
uint16_t Press(int c) { return static_cast<uint16_t>(map::kPressureParams + 32 * c); }
uint16_t Flow(int c) { return static_cast<uint16_t>(map::kFlowParams + 32 * c); }
uint16_t Flow2(int c) { return static_cast<uint16_t>(map::kFlowParams2 + 32 * c); }
uint16_t Med(int c) { return static_cast<uint16_t>(map::kMediumParams + 32 * c); }
uint16_t Pulse(int c) { return static_cast<uint16_t>(map::kPulseParams + 8 * c); }
uint16_t Supply(int c) { return static_cast<uint16_t>(map::kSupplyValues + 16 * c); }

float DeviceFloat(flowsim::FlowSimulator& sim, uint16_t address) {
  const std::vector<uint8_t> b = sim.ReadMemory(address, 4);
  const uint32_t bits = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

QStringList Lines(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QStringList Items(QComboBox* combo) {
  QStringList out;
  for (int i = 0; i < combo->count(); ++i) out << combo->itemText(i);
  return out;
}

}  // namespace

class CircuitPagesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  Tfrm_Main& StartOnline(flowsim::DeviceModel model = flowsim::DeviceModel::Gas, int language = 0) {
    flowsim::SimulatorOptions options;
    options.setup.model = model;
    world->StartDevice(options);
    world->WriteSettings(true, language);
    if (world->Start()) qFatal("start failed");
    if (!dl::DeviceOnline) qFatal("device not online");
    return *world->Main();
  }

  static TCircuitPages& Pages(Tfrm_Main& w) {
    auto* p = w.findChild<TCircuitPages*>("CircuitPages");
    if (p == nullptr) qFatal("no circuit pages");
    return *p;
  }

  // The operator opens circuit c's parameter page.
  static void Show(Tfrm_Main& w, int c) {
    Ui::Tfrm_Main& f = FormOf(w);
    f.Notebook->setCurrentWidget(f.TabParameter);
    f.NBParameter->setCurrentWidget(c == 0 ? f.TabPar1 : f.TabPar2);
    w.NotebookMouseDown(f.NBParameter);
  }

  // The operator picks entry i.
  static void Choose(QComboBox* combo, int i) {
    combo->setCurrentIndex(i);
    emit combo->activated(i);
  }

  static void Pick(QListWidget* list, int line) {
    list->clearSelection();
    if (line >= 0) list->item(line)->setSelected(true);
  }

  // The value dialog, when it opens, gets this text and OK.
  void Answer(const QString& text) {
    world->modal_scripts["InputDlg"] = [text](QDialog& d) {
      auto& dlg = static_cast<TInputDlg&>(d);
      dlg.Form()->Input->setText(text);
      dlg.Form()->OKBtn->click();
    };
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  // Every edit path: the blocks written and read back, in order, each write
  // followed by the 50 ms pause.
  void editTraffic() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    TCircuitPages& p = Pages(w);
    struct Case {
      const char* name;
      int circuit;
      std::function<void()> setup;
      std::function<void()> action;
      QStringList expected;
      std::function<bool()> after;
    };
    auto& t = dl::TempParams;
    auto& pr = dl::PressureParams;
    const Case cases[] = {
        {"temperature mode", 0, [&] { t[0].Kind = 0; },
         [&] { Choose(f.ComboPT1, 1); }, {W(Temp(0), 32), R(Temp(0), 32)},
         [&] { return sim.ReadMemory(Temp(0) + 2, 1)[0] == 1; }},
        {"circuit 2 takes circuit 1's temperature", 1, [&] { t[0].Eq = t[1].Eq = 0; },
         [&] { Choose(f.ComboPT2, 6); }, {W(Temp(0), 32), W(Temp(1), 32), R(Temp(1), 32)},
         [&] {
           return t[1].Eq == 2 && t[0].Eq == 1 && sim.ReadMemory(Temp(0) + 3, 1)[0] == 1 &&
                  sim.ReadMemory(Temp(1) + 3, 1)[0] == 2;
         }},
        {"temperature range: the high bound follows", 0,
         [&] { t[0].Kind = 1; t[0].Min = 0; t[0].Max = 60; Pick(f.ListePT1, -1); Answer("70"); },
         [&] { Pick(f.ListePT1, 0); p.ListePT1DblClick(f.ListePT1); },
         {W(Temp(0), 32), R(Temp(0), 32)},
         [&] { return t[0].Min == 70 && t[0].Max == 70 && DeviceFloat(sim, Temp(0) + 8) == 70; }},
        {"cancelled edit sends nothing", 0, [&] { t[0].Kind = 0; },
         [&] { p.ListePT1DblClick(f.ListePT1); }, {}, [] { return true; }},
        {"pressure mode", 1, [] {}, [&] { Choose(f.ComboPD2, 0); },
         {W(Press(1), 32), R(Press(1), 32)}, [] { return true; }},
        {"circuit 1 takes circuit 2's pressure", 0, [&] { pr[0].Eq = pr[1].Eq = 0; },
         [&] { Choose(f.ComboPD1, 3); }, {W(Press(1), 32), W(Press(0), 32), R(Press(0), 32)},
         [&] { return pr[0].Eq == 2 && pr[1].Eq == 1; }},
        {"ambient pressure clamped", 0, [&] { pr[0].Kind = 1; pr[0].Eq = 0; Answer("150"); },
         [&] { p.ShowPressureParams(); Pick(f.ListePD1, 2); p.ListePD1DblClick(f.ListePD1); },
         {W(Press(0), 32), R(Press(0), 32)},
         [&] { return pr[0].Hyd == 120 && DeviceFloat(sim, Press(0) + 4) == 120; }},
        {"flow mode", 0, [] {}, [&] { Choose(f.ComboPF1, 3); },
         {W(Flow(0), 32), R(Flow(0), 32)}, [&] { return dl::FlowParams[0].Kind == 3; }},
        {"a flow line writes both flow blocks", 1,
         [&] { dl::FlowParams[1].Kind = 3; dl::FlowParams[1].Max = 100; Answer("500"); },
         [&] { p.ShowFlowParams(); Pick(f.ListePF2, 1); p.ListePF1DblClick(f.ListePF2); },
         {W(Flow2(1), 32), W(Flow(1), 32), R(Flow2(1), 32), R(Flow(1), 32)},
         [&] { return dl::FlowParams[1].Max == 500 && DeviceFloat(sim, Flow(1) + 8) == 500; }},
        {"medium kind: circuit 1's pulse source first", 0, [] {},
         [&] { Choose(f.ComboPG1, 7); },
         {W(Pulse(0), 8), R(Pulse(0), 8), W(Med(0), 32), R(Med(0), 32)},
         [&] { return dl::MediumParams[0].Kind == 7; }},
        {"gas composition kind on circuit 2 reads the gas values", 1, [] {},
         [&] { Choose(f.ComboPG2, 6); },
         {W(Pulse(0), 8), R(Pulse(0), 8), W(Med(1), 32), R(Med(1), 32),
          R(map::kGasCommon, 16)},
         [] { return true; }},
        {"calorific value: checked, then both blocks", 0,
         [&] { dl::MediumParams[0].Kind = 6; Answer("11500"); },  // shown in Wh/m3
         [&] { p.ShowMediumParams(); Pick(f.ListePG1, 0); p.ListePG1DblClick(f.ListePG1); },
         {W(Med(0), 32), W(map::kGasCommon, 16), R(map::kGasCommon, 16), R(Med(0), 32)},
         [&] {
           return dl::GasCommon.Ho == 11.5f && DeviceFloat(sim, map::kGasCommon) == 11.5f &&
                  dl::MediumParams[0].Dummy2 == dl::MediumParams[1].Dummy2;
         }},
        {"density of gas kind 7", 0, [&] { dl::MediumParams[0].Kind = 7; Answer("1.5"); },
         [&] { p.ShowMediumParams(); Pick(f.ListePG1, 0); p.ListePG1DblClick(f.ListePG1); },
         {W(Med(0), 32), R(Med(0), 32)}, [&] { return dl::MediumParams[0].Rho == 1.5f; }},
        {"circuit 2's pulse source from its own combo", 1, [] {},
         [&] { Choose(f.ComboIA2, 2); }, {W(Pulse(1), 8), R(Pulse(1), 8)},
         [&] { return dl::PulseOutputParams[1].Kind == 2; }},
        {"pulse value", 0, [&] { dl::PulseOutputParams[0].Kind = 1; Answer("20"); },
         [&] { p.ListeImp1DblClick(f.ListeImp1); }, {W(Pulse(0), 8), R(Pulse(0), 8)},
         [&] { return DeviceFloat(sim, Pulse(0) + 4) == 20; }},
        {"supply temperature", 1, [&] { Answer("15"); },
         [&] { Pick(f.ListeVL2, 0); p.ListeVL1DblClick(f.ListeVL2); },
         {W(Supply(1), 16), R(Supply(1), 16)},
         [&] { return dl::SupplyValues[1].T0 == 15; }},
        {"circuit 1's pulse source without an entry is not sent", 1,
         [&] {
           sim.WriteMemory(Pulse(0) + 3, std::vector<uint8_t>{5});
           dl::ReadPulseOutputParams(0);
         },
         [&] { Choose(f.ComboPG2, 7); }, {W(Med(1), 32), R(Med(1), 32)},
         [&] { return dl::PulseOutputParams[0].Kind == 5 && f.ComboIA1->currentIndex() == -1; }},
    };
    for (const Case& k : cases) {
      Show(w, k.circuit);
      world->modal_scripts.clear();
      world->modal_count.clear();
      k.setup();
      sim.ClearRequests();
      k.action();
      const std::vector<TraceLine> trace = Trace(sim.Requests());
      QCOMPARE(TraceText(trace), k.expected);
      for (size_t i = 0; i + 1 < trace.size(); ++i) {
        if (trace[i].write) {
          QVERIFY2(trace[i + 1].time_ms - trace[i].time_ms >= 50,
                   qPrintable(QString(k.name) + ": no pause after " + trace[i].Text()));
        }
      }
      QVERIFY2(k.after(), k.name);
      QVERIFY2(!f.Zeitmesser->isVisible(), k.name);
      QCOMPARE(CommBusy, uint8_t(0));
    }
  }

  // A rule that sends the other circuit's block sends it only as the device
  // last reported it: read first when its record was not read since the port
  // opened, nothing sent from it when that read fails.
  void otherCircuitsBlockOnlyAsTheDeviceReportedIt() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    dl::TransferTimeout = 300;
    QStringList no_answer;
    for (int i = 0; i < 4; ++i) no_answer << R(Pulse(0), 8);
    QStringList temp_no_answer;
    for (int i = 0; i < 4; ++i) temp_no_answer << R(Temp(0), 32);
    struct Case {
      const char* name;
      std::function<void()> stale;  // how circuit 1's record came to be
      uint16_t unanswered;          // a block the device does not answer, 0: none
      std::function<void()> action;
      uint16_t guarded;  // circuit 1's block that must stay as the device has it
      int guarded_n;
      QStringList expected;
    };
    auto stale_pulse = [] { dl::PulseOutputParams[0] = {0, 0, 0, 2, 99.0f}; };
    // The shown page (circuit 2's) is read again after the port opened; circuit
    // 1's records were read before.
    auto reopened = [&w] {
      dl::ReadPulseOutputParams(0);
      dl::ReadTempParams(0);
      services::OpenComPort(1, static_cast<uint32_t>(services::BaudIndex));
      w.RefreshParameterPage();
      dl::PulseOutputParams[0] = {0, 0, 0, 2, 99.0f};
      dl::TempParams[0].Min = -99.0f;
    };
    const Case cases[] = {
        {"medium on circuit 2, pulse record never read", stale_pulse, 0,
         [&] { Choose(f.ComboPG2, 7); }, Pulse(0), 8,
         {R(Pulse(0), 8), W(Pulse(0), 8), R(Pulse(0), 8), W(Med(1), 32), R(Med(1), 32)}},
        {"medium on circuit 2, pulse record read before the port opened again", reopened, 0,
         [&] { Choose(f.ComboPG2, 8); }, Pulse(0), 8,
         {R(Pulse(0), 8), W(Pulse(0), 8), R(Pulse(0), 8), W(Med(1), 32), R(Med(1), 32)}},
        {"medium on circuit 2, pulse record unreadable", reopened, Pulse(0),
         [&] { Choose(f.ComboPG2, 7); }, Pulse(0), 8, no_answer},
        {"circuit 2 takes circuit 1's temperature, record read before the port opened again",
         reopened, 0, [&] { Choose(f.ComboPT2, 6); }, Temp(0), 32,
         {R(Temp(0), 32), W(Temp(0), 32), W(Temp(1), 32), R(Temp(1), 32)}},
        {"circuit 2 takes circuit 1's temperature, record unreadable", reopened, Temp(0),
         [&] { Choose(f.ComboPT2, 6); }, Temp(0), 32, temp_no_answer},
    };
    for (const Case& k : cases) {
      Show(w, 1);
      dl::TempParams[0].Eq = dl::TempParams[1].Eq = 0;
      sim.WriteMemory(Temp(0) + 3, std::vector<uint8_t>{0});
      sim.WriteMemory(Temp(1) + 3, std::vector<uint8_t>{0});
      const dl::TTemperatureSettings temp2 = dl::TempParams[1];
      k.stale();
      if (k.unanswered != 0)
        sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, k.unanswered, flowsim::kEveryFrame);
      const std::vector<uint8_t> before = sim.ReadMemory(k.guarded, k.guarded_n);
      sim.ClearRequests();
      k.action();
      sim.ClearFaults();
      QVERIFY2(TraceText(Trace(sim.Requests())) == k.expected,
               qPrintable(QString(k.name) + ": " + TraceText(Trace(sim.Requests())).join(", ")));
      std::vector<uint8_t> after = sim.ReadMemory(k.guarded, k.guarded_n);
      if (k.guarded == Temp(0) && k.unanswered == 0) {
        // The one change the rule makes: circuit 1's temperature is lent.
        QCOMPARE(after[3], uint8_t(1));
        after[3] = before[3];
      }
      QVERIFY2(after == before, k.name);
      if (k.unanswered == Temp(0)) {
        // Nothing stored either: the combo shows circuit 2's own mode again.
        QCOMPARE(dl::TempParams[1].Eq, temp2.Eq);
        QCOMPARE(dl::TempParams[0].Eq, uint8_t(0));
        QCOMPARE(f.ComboPT2->currentIndex(), TemperatureChoiceIndex(temp2));
      }
      if (k.unanswered != 0) {
        // The status bar says why nothing was sent.
        QCOMPARE(w.StatusPanel(0), services::GetText(services::kNotSentUnread));
        QCOMPARE(f.ComboPG2->currentIndex(), int(dl::MediumParams[1].Kind));
      }
      QCOMPARE(CommBusy, uint8_t(0));
      devicelink::DeviceOnline = true;  // the failed reads leave the port open
    }
  }

  // The refresh reads and shows; a selection it sets runs no handler.
  void refreshReadsOnlyAndSelects() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    sim.ClearRequests();
    Show(w, 0);
    for (const TraceLine& l : Trace(sim.Requests())) QVERIFY2(!l.write, qPrintable(l.Text()));
    QCOMPARE(f.ComboPT1->currentText(), QString("4-20 mA"));
    QCOMPARE(f.ComboPD1->currentText(), QString("Absolutdruck 4-20 mA"));
    QCOMPARE(f.ComboPF1->currentText(), QString("Impulseingang"));
    QCOMPARE(f.ComboPG1->currentText(), QString("Erdgas (SGERG-88)"));
    QCOMPARE(f.ComboIA1->currentText(), QString("Normvolumen"));
    QCOMPARE(Lines(f.ListePT1).size(), 2);
    QCOMPARE(Lines(f.ListePG1).value(4), QString("ISO                 OK"));
    QCOMPARE(Lines(f.ListeVL1).size(), 3);
    QCOMPARE(Items(f.ComboPT2).last(), QString("Von Kreis 1"));
    QCOMPARE(Items(f.ComboPT1).last(), QString("Von Kreis 2"));
    QCOMPARE(f.ComboPG1->count(), 16);  // gas kinds, then steam kinds
    // The remarks page reads nothing.
    sim.ClearRequests();
    f.NBParameter->setCurrentWidget(f.TabParBemerkung);
    w.NotebookMouseDown(f.NBParameter);
    QCOMPARE(sim.RequestCount(), size_t(0));
    QVERIFY(!f.Zeitmesser->isVisible());
    // Values and units stand in the same columns.
    const QStringList flow = Lines(f.ListePF1);
    QCOMPARE(flow.size(), 4);
    for (int i : {2, 3}) {
      QCOMPARE(flow[i].indexOf('.', 18), flow[0].indexOf('.', 18));
      QCOMPARE(flow[i].size(), flow[i].trimmed().size());
    }
  }

  // Codes the lists do not hold select nothing and show no lines.
  void deviceCodesWithoutEntries() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    sim.WriteMemory(Temp(0) + 2, std::vector<uint8_t>{9});
    sim.WriteMemory(Med(0) + 3, std::vector<uint8_t>{20});
    sim.WriteMemory(Pulse(0) + 3, std::vector<uint8_t>{5});
    services::Medium = 0;
    Show(w, 0);
    QCOMPARE(f.ComboPT1->currentIndex(), -1);
    QVERIFY(Lines(f.ListePT1).isEmpty());
    QCOMPARE(f.ComboPG1->currentIndex(), -1);
    QVERIFY(Lines(f.ListePG1).isEmpty());
    QCOMPARE(services::Medium, 0);
    QCOMPARE(f.ComboIA1->currentIndex(), -1);
    QCOMPARE(f.ComboIA1->placeholderText(), QString("Nicht definiert"));
    QVERIFY(Lines(f.ListeImp1).isEmpty());
    // A source with an entry shows it again.
    sim.WriteMemory(Pulse(0) + 3, std::vector<uint8_t>{2});
    Show(w, 0);
    QCOMPARE(f.ComboIA1->currentIndex(), 2);
    QVERIFY(f.ComboIA1->placeholderText().isEmpty());
  }

  void faultsAtTheDevice() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    TCircuitPages& p = Pages(w);
    Show(w, 0);
    // An unanswered read-back: the edited value stays, the label says OFFLINE.
    dl::TempParams[0].Kind = 0;
    Answer("33");
    sim.InjectFaultAt(flowsim::FaultKind::BadChecksum, Temp(0), flowsim::kEveryFrame);
    p.ListePT1DblClick(f.ListePT1);
    sim.ClearFaults();
    QCOMPARE(dl::TempParams[0].Konst, 33.f);
    QCOMPARE(f.Label_Online->text(), QString("OFFLINE"));
    QVERIFY(Lines(f.ListePT1).value(0).contains("33.0000"));
    // A refused write: the read-back brings the device's value back.
    Show(w, 0);
    const float held = dl::TempParams[0].Konst;
    dl::TempParams[0].Kind = 0;
    Answer("44");
    // Refused at every attempt.
    sim.InjectFaultAt(flowsim::FaultKind::Reject, Temp(0), 4);
    p.ListePT1DblClick(f.ListePT1);
    QCOMPARE(dl::TempParams[0].Konst, held);
    QCOMPARE(f.Label_Online->text(), QString("ONLINE"));
  }

  // A steam kind the device refuses: the pulse sources are named for the gas
  // medium it kept.
  void refusedMediumKindKeepsTheMedium() {
    Tfrm_Main& w = StartOnline();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    Show(w, 0);
    sim.InjectFaultAt(flowsim::FaultKind::Reject, Med(0), 4);
    Choose(f.ComboPG1, 10);
    QCOMPARE(dl::MediumParams[0].Kind, uint8_t(6));
    QCOMPARE(services::Medium, 0);
    QCOMPARE(Items(f.ComboIA1).value(1), QString("Normvolumen"));
    QVERIFY(Lines(f.ListeImp1).value(0).contains("Nm"));
    // Accepted, the choice switches the medium and the pulse sources.
    Choose(f.ComboPG1, 10);
    QCOMPARE(services::Medium, 1);
    QCOMPARE(Items(f.ComboIA1).value(1), QString("Energie"));
    QCOMPARE(Lines(f.ListePG1).size(), 1);
  }

  void offlineAndBusy() {
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    Ui::Tfrm_Main& f = FormOf(w);
    TCircuitPages& p = Pages(w);
    world->UseSystemClock();
    Show(w, 0);
    // Offline an edit changes the record and the list only.
    dl::TempParams[0].Kind = 0;
    Answer("12");
    p.ListePT1DblClick(f.ListePT1);
    QCOMPARE(dl::TempParams[0].Konst, 12.f);
    QVERIFY(Lines(f.ListePT1).value(0).contains("12.0000"));
    QVERIFY(!f.Zeitmesser->isVisible());
    // Chosen while another command runs, an operator's event waits for its
    // end, then runs once, as chosen, though the page was drawn anew.
    world->modal_count.clear();
    bool waited = false;
    w.Gate().Command(&w, [&] {
      p.ListePT1DblClick(f.ListePT1);
      p.ListePT1DblClick(f.ListePT1);
      Choose(f.ComboPT1, 1);
      w.RefreshParameterPage();
      waited = world->modal_count["InputDlg"] == 0 && dl::TempParams[0].Kind == 0 &&
               f.ComboPT1->currentIndex() == 0;
    });
    QVERIFY(waited);
    QTRY_COMPARE(f.ComboPT1->currentIndex(), 1);
    QCOMPARE(world->modal_count["InputDlg"], 1);
    QCOMPARE(TemperatureChoiceIndex(dl::TempParams[0]), 1);
    // A double-click below the lines edits with no line selected.
    dl::TempParams[0].Kind = 0;
    w.RefreshParameterPage();
    Pick(f.ListePT1, -1);
    QWidget* area = f.ListePT1->viewport();
    Answer("21");
    QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(10, area->height() - 3));
    QCOMPARE(world->modal_count["InputDlg"], 2);
    QCOMPARE(dl::TempParams[0].Konst, 21.f);
  }

  // The steam device's table kinds open their editors with the line as caption.
  void tableEditorsOfTheMediumGroup() {
    Tfrm_Main& w = StartOnline(flowsim::DeviceModel::Steam);
    Ui::Tfrm_Main& f = FormOf(w);
    TCircuitPages& p = Pages(w);
    Show(w, 0);
    QString title;
    int tag = -1;
    world->modal_scripts["Tfrm_Tabelle"] = [&](QDialog& d) {
      title = d.windowTitle();
      tag = static_cast<Tfrm_Tabelle&>(d).Tag;
    };
    world->modal_scripts["Tfrm_UserSatTab"] = [&](QDialog& d) { title = d.windowTitle(); };
    dl::MediumParams[0].Kind = 14;
    p.ShowMediumParams();
    Pick(f.ListePG1, 1);
    p.ListePG1DblClick(f.ListePG1);
    QCOMPARE(tag, 1);
    QCOMPARE(title, QString("Enthalpietabelle"));
    dl::MediumParams[0].Kind = 14;
    p.ShowMediumParams();
    Pick(f.ListePG1, 0);
    p.ListePG1DblClick(f.ListePG1);
    QCOMPARE(tag, 0);
    dl::MediumParams[0].Kind = 15;
    p.ShowMediumParams();
    Pick(f.ListePG1, 0);
    p.ListePG1DblClick(f.ListePG1);
    QCOMPARE(title, QString("Sättigungstabelle"));
    QCOMPARE(world->modal_count["Tfrm_UserSatTab"], 1);
  }

  // A language switch reloads the lists for the medium the device has.
  void languageSwitchKeepsTheSteamMedium() {
    Tfrm_Main& w = StartOnline(flowsim::DeviceModel::Steam);
    Ui::Tfrm_Main& f = FormOf(w);
    Show(w, 0);
    w.mnu_SpracheClick(f.mnu_Englisch);
    QCOMPARE(services::Medium, 1);
    QCOMPARE(f.GBox1->title(), QString("Medium"));
    QCOMPARE(f.TBox1->title(), QString("Temperature - AI1"));
    QCOMPARE(f.PBox2->title(), QString("Pressure - AI6"));
    QCOMPARE(f.IBox2->title(), QString("Pulse output - DO2"));
    QCOMPARE(f.ComboPG1->count(), 16);
    QCOMPARE(f.ComboPG1->itemText(9), QString("Saturated steam"));
    QCOMPARE(f.ComboPG1->currentIndex(), 9);
    QCOMPARE(Items(f.ComboIA1).value(1), QString("Energy"));
    QVERIFY(Lines(f.ListePG1).value(0).startsWith("Sat. tolerance"));
    QVERIFY(Lines(f.ListeImp1).value(0).endsWith("kWh"));
  }

  // The loaders from a small module: suffixes, list ends, a missing block
  // leaving the form's captions.
  void loadersFromASmallModule() {
    const std::string folder = world->Temp("program");
    std::filesystem::create_directories(folder);
    for (const char* name : {"Ltx1en.txt", "Ltx2de.txt", "Ltx2en.txt"}) {
      std::filesystem::copy_file(platform::ProgramFolder() + "/" + name, folder + "/" + name);
    }
    WriteFile(folder + "/Ltx1de.txt",
              "0=NGX7\n2048=T\n2049=a\n2050=b\n2051=c\n3072=P\n3073=x\n3074=y\n3075=z\n3076=w\n"
              "3077=v\n4096=F\n4097=f0\n4098=f1\n5120=G\n5121=g0\n5122=g1\n");
    world->WriteSettings(false);
    world->UseManualClock();
    QCOMPARE(world->Start(folder), std::nullopt);
    Ui::Tfrm_Main& f = FormOf(*world->Main());
    QCOMPARE(f.TBox1->title(), QString("T - AI1"));
    QCOMPARE(f.TBox2->title(), QString("T - AI2"));
    QCOMPARE(Items(f.ComboPT1), QStringList({"a", "b", "c 2"}));
    QCOMPARE(Items(f.ComboPT2), QStringList({"a", "b", "c 1"}));
    QCOMPARE(Items(f.ComboPD1), QStringList({"x", "y", "z", "w 2", "v"}));
    QCOMPARE(Items(f.ComboPD2), QStringList({"x", "y", "z", "w 1", "v"}));
    QCOMPARE(f.FBox2->title(), QString("F - AI5"));
    QCOMPARE(Items(f.ComboPF1), QStringList({"f0", "f1"}));
    // The gas module's kinds, then the steam module's; its s0 is the caption.
    QCOMPARE(Items(f.ComboPG1).mid(0, 3), QStringList({"g0", "g1", "Sattdampf"}));
    QCOMPARE(f.ComboPG2->count(), 9);
    QCOMPARE(f.GBox1->title(), QString("Medium"));
    // No pulse block in this module: the form's caption stays.
    QCOMPARE(f.IBox1->title(), QString("Impulsausgang"));
    QCOMPARE(f.ComboIA1->count(), 0);
  }
};

QTEST_MAIN(CircuitPagesTest)
#include "circuit_pages_test.moc"
