// The boundaries where a device could get what nobody asked for: another
// device on another port, a close in the middle of a run, a command chosen
// during a refresh and due after the close. Against simulated devices.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "devicelink/link_state.h"
#include "parameter_page_fixture.h"
#include "services/parameter_edit.h"
#include "services/text_modules.h"
#include "tools/flowsim/device_map.h"
#include "ui/pages/circuit_rules.h"
#include "ui/settings_dialog.h"
#include "ui/table_editor.h"
#include "ui_settings_dialog.h"

using namespace ui;
using namespace ui::testing;
namespace m = flowsim::map;

namespace {

// Circuit 2's pressure block as a second device has it: every field other
// than the first device's.
struct TPressureBlock {
  uint8_t kind;
  uint8_t eq;
  float hyd, min, max, konst;
};

void PutPressure(flowsim::FlowSimulator& sim, uint16_t at, const TPressureBlock& p) {
  PutDeviceByte(sim, at + 2, p.kind);
  PutDeviceByte(sim, at + 3, p.eq);
  PutDeviceFloat(sim, at + 4, p.hyd);
  PutDeviceFloat(sim, at + 8, p.min);
  PutDeviceFloat(sim, at + 12, p.max);
  PutDeviceFloat(sim, at + 20, p.konst);
}

// The lines a list shows of the records as they are.
QStringList RecordLines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& l : lines) out << QString::fromStdString(l);
  return out;
}

int WritesTo(flowsim::FlowSimulator& sim, uint16_t address) {
  int n = 0;
  for (const TraceLine& l : Trace(sim.Requests())) n += l.write && l.address == address;
  return n;
}

}  // namespace

class DeviceBoundariesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  // The settings dialog: online on port com (0: COM1), OK.
  void ConnectTo(int com) {
    world->modal_scripts["TEinst"] = [com](QDialog& d) {
      auto& e = static_cast<TEinst&>(d);
      e.Form()->Zustand_Grp->SetItemIndex(1);
      e.Form()->Com_Grp->SetItemIndex(com);
      e.Form()->BtnOk->click();
    };
    world->Main()->mnu_EinstellungenClick();
  }

  // The value dialog's OK on the text it shows, or on text.
  void AnswerValue(const QString& text) {
    world->modal_scripts["InputDlg"] = [text](QDialog& d) {
      auto& dlg = static_cast<TInputDlg&>(d);
      if (!text.isEmpty()) dlg.Form()->Input->setText(text);
      dlg.Form()->OKBtn->click();
    };
  }

  // The line of circuit 2's pressure list whose dialog edits the upper end.
  static int MaxLine(float max) {
    for (int line = 0; line < 10; ++line) {
      const std::optional<TEditRow> row = PressureEditRow(1, line);
      if (row && row->value == max) return line;
    }
    return -1;
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  // Online on COM1 on circuit 2's page, then COM2 in the settings: the page
  // shows COM2's values, and an edit sends COM2 its own block with the
  // operator's change only.
  void aPortChangeShowsAndWritesTheNewDevicesBlock_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<float>("max");
    QTest::newRow("OK on the unchanged value") << QString() << 777.0f;
    QTest::newRow("the upper end edited") << QString("800") << 800.0f;
  }
  void aPortChangeShowsAndWritesTheNewDevicesBlock() {
    QFETCH(QString, entry);
    QFETCH(float, max);
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& com1 = world->Device();
    flowsim::FlowSimulator& com2 = world->StartOtherDevice(2);
    const uint16_t block = m::kPressureParams + 32;
    PutPressure(com1, block, {1, 0, 101.325f, 0.0f, 1010.0f, 500.0f});
    PutPressure(com2, block, {2, 1, 95.0f, 5.0f, 777.0f, 321.0f});
    // COM1's error log, read before; the page shown is circuit 2's.
    w.OperatingPages().Refresh(f.TabFehler);
    QVERIFY(f.ErrorListe->count() > 0);
    ShowPage(w, f.TabPar2);
    QCOMPARE(devicelink::PressureParams[1].Max, 1010.0f);

    ConnectTo(1);
    QCOMPARE(f.ErrorListe->count(), 0);
    QCOMPARE(int(w.Port().ComNumber()), 2);
    const devicelink::TPressureSettings& p = devicelink::PressureParams[1];
    QCOMPARE(int(p.Kind), 2);
    QCOMPARE(p.Hyd, 95.0f);
    QCOMPARE(p.Max, 777.0f);
    QCOMPARE(Lines(f.ListePD2), RecordLines(PressureLines(1)));

    const std::vector<uint8_t> before = com2.ReadMemory(block, 32);
    com1.ClearRequests();
    com2.ClearRequests();
    AnswerValue(entry);
    const int line = MaxLine(777.0f);
    QVERIFY(line >= 0);
    DoubleClick(f.ListePD2, line);
    QCOMPARE(world->modal_count["InputDlg"], 1);
    QCOMPARE(WritesTo(com2, block), 1);
    QCOMPARE(com1.RequestCount(), size_t(0));
    std::vector<uint8_t> expected = before;
    uint32_t bits;
    std::memcpy(&bits, &max, 4);
    for (int i = 0; i < 4; ++i) expected[12 + i] = uint8_t(bits >> (24 - 8 * i));
    QCOMPARE(com2.ReadMemory(block, 32), expected);
    QCOMPARE(Lines(f.ListePD2), RecordLines(PressureLines(1)));
  }

  // A page showing what the device did not report (the port opened again, a
  // failed read) is read before an edit: the edit goes on when the device
  // holds what was shown; otherwise the page shows the device's values and
  // nothing is sent; when the read fails, nothing is sent either. The status
  // bar says why.
  void anEditReadsAPageTheDeviceDidNotReportFirst_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("writes");
    QTest::addColumn<int>("status");
    QTest::newRow("the device holds what is shown") << "same" << 1 << -1;
    QTest::newRow("the device holds other values")
        << "other" << 0 << int(services::kNotSentReadAnew);
    QTest::newRow("the device does not answer") << "silent" << 0 << int(services::kNotSentUnread);
  }
  void anEditReadsAPageTheDeviceDidNotReportFirst() {
    QFETCH(QString, device);
    QFETCH(int, writes);
    QFETCH(int, status);
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = world->Device();
    const uint16_t block = m::kPressureParams + 32;
    PutPressure(sim, block, {1, 0, 101.325f, 0.0f, 1010.0f, 500.0f});
    ShowPage(w, f.TabPar2);
    // The same port opened again, as the settings dialog's OK does.
    services::OpenComPort(1, static_cast<uint32_t>(services::BaudIndex));
    QVERIFY(devicelink::DeviceOnline);
    if (device == "other") PutDeviceFloat(sim, block + 12, 1200.0f);
    if (device == "silent") sim.InjectFault(flowsim::FaultKind::NoAnswer, 1000);
    devicelink::TransferTimeout = 200;
    w.SetStatusPanel(0, "");
    sim.ClearRequests();
    AnswerValue("900");
    DoubleClick(f.ListePD2, MaxLine(1010.0f));
    sim.ClearFaults();
    QCOMPARE(WritesTo(sim, block), writes);
    QCOMPARE(world->modal_count["InputDlg"], writes);
    QCOMPARE(w.StatusPanel(0),
             status < 0 ? std::string() : services::GetText(static_cast<uint16_t>(status)));
    if (device == "other") {
      QCOMPARE(DeviceFloat(sim, block + 12), 1200.0f);
      QCOMPARE(devicelink::PressureParams[1].Max, 1200.0f);
    }
    if (device == "same") QCOMPARE(DeviceFloat(sim, block + 12), 900.0f);
    QVERIFY(world->boxes.empty());
  }

  // The window closed during each kind of run: a write run reaches the device
  // whole, a run of reads ends at its next exchange; nothing reads like a
  // failure of the device, and nothing is sent after the close.
  void aCloseDuringARun_data() {
    QTest::addColumn<QString>("run");
    QTest::addColumn<bool>("writes");
    QTest::newRow("bulk write (Neu)") << "new set" << true;
    QTest::newRow("table send") << "table send" << true;
    QTest::newRow("system-type resync") << "system type" << true;
    QTest::newRow("trend read") << "trend read" << false;
    QTest::newRow("bulk read (Speichern)") << "bulk read" << false;
  }
  void aCloseDuringARun() {
    QFETCH(QString, run);
    QFETCH(bool, writes);
    flowsim::SimulatorOptions options;
    if (run == "table send") options.setup.model = flowsim::DeviceModel::Steam;
    Tfrm_Main& w = StartOnlineQuick(*world, options);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = world->Device();
    int dialogs = 0;
    SetFileDialogHook([&](const TFileRequest&) {
      ++dialogs;
      return std::string();
    });
    world->modal_scripts["Tfrm_Tabelle"] = [](QDialog& d) {
      static_cast<Tfrm_Tabelle&>(d).mnu_TransmitClick();
    };
    if (frm_Tabelle != nullptr) frm_Tabelle->Tag = 0;
    if (run == "system type") ShowPage(w, f.TabParSystem);
    const std::function<void()> action = [&] {
      if (run == "new set") {
        f.mnu_Neu->trigger();
      } else if (run == "table send") {
        w.Gate().Command(frm_Tabelle, [] { ExecModal(*frm_Tabelle); });
      } else if (run == "system type") {
        Choose(f.Combosystem, 1);
      } else if (run == "trend read") {
        f.cmd_ReadTrends->click();
      } else {
        f.mnu_Speichern->trigger();
      }
    };
    // The whole run once without a close: the writes it sends.
    int whole = 17;  // the resync: 16 dependent blocks, then the system block
    if (writes && run != "system type") {
      sim.ClearRequests();
      action();
      whole = Writes(sim);
      QVERIFY(whole > 3);
    }
    world->boxes.clear();
    sim.ClearRequests();

    // A write run is closed once it has begun to write, a read run after a
    // few reads.
    size_t at_close = 0;
    size_t boxes_before_close = 0;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (writes ? Writes(sim) < 2 : sim.RequestCount() < 4) return;
      poll.stop();
      at_close = sim.RequestCount();
      boxes_before_close = world->boxes.size();
      w.close();
    });
    poll.start();
    action();
    QTRY_VERIFY_WITH_TIMEOUT(w.FormClosed(), 20000);
    QVERIFY(at_close > 0);
    const size_t at_end = sim.RequestCount();
    QTest::qWait(300);
    QCOMPARE(sim.RequestCount(), at_end);
    if (writes) {
      QCOMPARE(Writes(sim), whole);
    } else {
      // The exchange under way when the close came, then none.
      QVERIFY2(at_end <= at_close + 1,
               qPrintable(QString("%1 after %2").arg(at_end).arg(at_close)));
      QCOMPARE(Writes(sim), 0);
    }
    QCOMPARE(world->boxes.size(), boxes_before_close);
    QCOMPARE(dialogs, 0);
    QVERIFY(f.Label_Online->text() != "OFFLINE");
    QCOMPARE(world->ErrorLog(), std::string());
  }

  // "Neu" and a page change chosen while a refresh waits for its reply, then
  // the close: during the refresh, or right after it, before the commands
  // kept for its end have run. Nothing reaches the device after the close and
  // no question is asked.
  void commandsKeptDuringARefreshDoNotOutliveTheClose_data() {
    QTest::addColumn<bool>("during");
    QTest::newRow("closed during the refresh") << true;
    QTest::newRow("closed right after the refresh") << false;
  }
  void commandsKeptDuringARefreshDoNotOutliveTheClose() {
    QFETCH(bool, during);
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = world->Device();
    f.Notebook->setCurrentWidget(f.TabBetrieb);
    f.NBBetrieb->setCurrentWidget(f.TabKreis1);
    QTRY_VERIFY(CommBusy == 0 && !devicelink::ExchangeRunning());
    sim.InjectFault(flowsim::FaultKind::LateReply, 1, 400);
    QTimer::singleShot(100, [&] {
      f.mnu_Neu->trigger();
      f.NBBetrieb->setCurrentWidget(f.TabFehler);
      if (during) w.close();
    });
    w.RefreshTimerTimer();
    if (!during) w.close();
    QTRY_VERIFY_WITH_TIMEOUT(w.FormClosed(), 5000);
    const size_t at_close = sim.RequestCount();
    QTest::qWait(400);
    QCOMPARE(sim.RequestCount(), at_close);
    QCOMPARE(Writes(sim), 0);
    QVERIFY(world->boxes.empty());
    QVERIFY(devicelink::ComPort() == nullptr);
  }
};

QTEST_MAIN(DeviceBoundariesTest)
#include "device_boundaries_test.moc"
