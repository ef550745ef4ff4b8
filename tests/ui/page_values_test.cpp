// What the window shows online is what the device reported: an event on a page
// acts on the device's values (read first when the page shows records the
// device did not report), a record the device did not report is shown without
// values and named in the status bar, and a connect that fails leaves page,
// records and a later save in one state. Against simulated devices.
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

#include "devicelink/block_commands.h"
#include "devicelink/link_state.h"
#include "parameter_page_fixture.h"
#include "services/parameter_edit.h"
#include "services/program_texts.h"
#include "services/text_modules.h"
#include "tools/flowsim/device_map.h"
#include "ui/pages/circuit_rules.h"
#include "ui/pages/system_rules.h"
#include "ui/settings_dialog.h"
#include "ui_settings_dialog.h"

using namespace ui;
using namespace ui::testing;
namespace m = flowsim::map;

namespace {

// The settings dialog: online (or not) on port com, with a transfer of the
// set (-1: none offered), OK.
void Connect(UiWorld& world, bool online, int com, int transfer = -1) {
  world.modal_scripts["TEinst"] = [=](QDialog& d) {
    auto& e = static_cast<TEinst&>(d);
    e.Form()->Zustand_Grp->SetItemIndex(online ? 1 : 0);
    e.Form()->Com_Grp->SetItemIndex(com);
    if (transfer >= 0) e.Form()->Akt_Grp->SetItemIndex(transfer);
    e.Form()->BtnOk->click();
  };
  world.Main()->mnu_EinstellungenClick();
}

int WritesTo(flowsim::FlowSimulator& sim, uint16_t address) {
  int n = 0;
  for (const TraceLine& l : Trace(sim.Requests())) n += l.write && l.address == address;
  return n;
}

// The line of circuit 2's pressure list whose dialog edits the upper end.
int MaxLine() {
  for (int line = 0; line < 10; ++line) {
    const std::optional<TEditRow> row = PressureEditRow(1, line);
    if (row && row->value == devicelink::PressureParams[1].Max) return line;
  }
  return -1;
}

}  // namespace

class PageValuesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  // One kind of control the operator uses, on its page.
  struct TControl {
    QWidget* page;
    uint16_t block;
    uint8_t n;
    std::function<void()> use;            // the operator's event
    std::function<void()> other_values;   // the device changes a field not edited
    std::function<bool()> shows_device;   // after a refusal: the device's values shown
  };

  TControl ControlOf(const QString& kind, Tfrm_Main& w) {
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = world->Device();
    if (kind == "list double-click") {
      return {f.TabPar2, uint16_t(m::kPressureParams + 32), 32,
              [&, this] {
                world->modal_scripts["InputDlg"] = [](QDialog& d) {
                  static_cast<TInputDlg&>(d).Form()->OKBtn->click();
                };
                DoubleClick(f.ListePD2, MaxLine());
              },
              [&] { PutDeviceFloat(sim, m::kPressureParams + 32 + 4, 95.5f); },
              [&] { return devicelink::PressureParams[1].Hyd == 95.5f; }};
    }
    if (kind == "combo") {
      return {f.TabParTrend, m::kTrendSettings, 4,
              [&] {
                Choose(f.ComboTrendinterval,
                       f.ComboTrendinterval->currentIndex() == 1 ? 2 : 1);
              },
              [&] { PutDeviceByte(sim, m::kTrendSettings + 3, *TrendIntervalMinutes(3)); },
              [&] { return f.ComboTrendinterval->currentIndex() == 3; }};
    }
    if (kind == "radio group") {
      return {f.TabParSystem, m::kLimitValues, 16,
              [&] { Click(f.RG_Grenzen, f.RG_Grenzen->ItemIndex() == 0 ? 1 : 0); },
              [&] {
                const int other = f.RG_Grenzen->ItemIndex() == 0 ? 1 : 0;
                PutDeviceFloat(sim, m::kLimitValues, LimitSetOf(other)->U_Max);
              },
              [&] {
                return devicelink::LimitValues.U_Max == DeviceFloat(sim, m::kLimitValues) &&
                       f.RG_Grenzen->ItemIndex() == LimitSetIndexOf(devicelink::LimitValues.U_Max);
              }};
    }
    // check box
    return {f.TabparEinheiten, m::kUnitSwitches, 4, [&] { f.CheckUserEinheiten->click(); },
            [&] { PutDeviceByte(sim, m::kUnitSwitches, 1); },
            [&] { return devicelink::UnitSwitches.Kind == 1; }};
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  // Each kind of control on a page the device reported, on one it did not
  // (the port opened again, or the whole set sent to it) and that agrees, and
  // on one whose device holds other values: sent or not, what the status bar
  // says, what the device receives.
  void anEventActsOnTheDevicesValues_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("writes");
    QTest::addColumn<int>("status");
    for (const char* control : {"list double-click", "combo", "radio group", "check box"}) {
      const std::string c = control;
      QTest::newRow((c + ", reported").c_str()) << QString(control) << "reported" << 1 << -1;
      QTest::newRow((c + ", not reported, the device agrees").c_str())
          << QString(control) << "reopened" << 1 << -1;
      QTest::newRow((c + ", sent as a whole set, the device agrees").c_str())
          << QString(control) << "whole set" << 1 << -1;
      QTest::newRow((c + ", not reported, the device differs").c_str())
          << QString(control) << "differs" << 0 << int(services::kNotSentReadAnew);
    }
  }
  void anEventActsOnTheDevicesValues() {
    QFETCH(QString, control);
    QFETCH(QString, state);
    QFETCH(int, writes);
    QFETCH(int, status);
    Tfrm_Main& w = StartOnlineQuick(*world);
    flowsim::FlowSimulator& sim = world->Device();
    const TControl c = ControlOf(control, w);
    ShowPage(w, c.page);
    if (state == "whole set") {
      Connect(*world, false, 0);
      QVERIFY(!devicelink::DeviceOnline);
      Connect(*world, true, 0, 1);
      QVERIFY(devicelink::DeviceOnline);
      // Read back as the page shows it after the set went out.
      QVERIFY(devicelink::Reported(c.block));
    } else if (state != "reported") {
      // The same port opened again, as the settings dialog's OK does.
      services::OpenComPort(1, static_cast<uint32_t>(services::BaudIndex));
      QVERIFY(devicelink::DeviceOnline);
      if (state == "differs") c.other_values();
    }
    w.SetStatusPanel(0, "");
    const std::vector<uint8_t> before = sim.ReadMemory(c.block, c.n);
    sim.ClearRequests();
    c.use();
    QTRY_VERIFY(!w.Gate().Busy());
    QCOMPARE(WritesTo(sim, c.block), writes);
    QCOMPARE(w.StatusPanel(0),
             status < 0 ? std::string() : services::GetText(static_cast<uint16_t>(status)));
    if (writes == 0) {
      QCOMPARE(Writes(sim), 0);
      QVERIFY(c.shows_device());
    } else {
      // The block as the device had it, but for the operator's change.
      std::vector<uint8_t> after = sim.ReadMemory(c.block, c.n);
      int changed = 0;
      for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
      QVERIFY2(changed <= 4, qPrintable(QString::number(changed)));
    }
  }

  // Another device on another port whose circuit-1 temperature block does not
  // answer: circuit 1's page shows no values for it (nor for what its read
  // left unread) and the status bar names the page and what it lacks; a later
  // read fills them and the note goes.
  void aPortChangeShowsNoDefaultsAsTheDevicesValues() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& com2 = world->StartOtherDevice(2);
    ShowPage(w, f.TabPar1);
    QVERIFY(f.ListePT1->count() > 0);
    devicelink::TransferTimeout = 200;
    com2.InjectFaultAt(flowsim::FaultKind::NoAnswer, m::kTempParams, flowsim::kEveryFrame);
    Connect(*world, true, 1);
    QTRY_VERIFY(!w.Gate().Busy());
    QCOMPARE(int(w.Port().ComNumber()), 2);
    QVERIFY(devicelink::DeviceOnline || f.Label_Online->text() == "OFFLINE");
    for (QListWidget* list : {f.ListePT1, f.ListePD1, f.ListePF1, f.ListePG1}) {
      QCOMPARE(list->count(), 0);
    }
    QCOMPARE(f.ComboPT1->currentIndex(), -1);
    const std::string note = w.StatusPanel(0);
    QVERIFY2(note.find("Kreis 1 Temperatur") != std::string::npos, note.c_str());
    QVERIFY2(note.find("\"Kreis 1\"") != std::string::npos, note.c_str());

    // In the other language, the note follows.
    f.mnu_Englisch->trigger();
    QTRY_VERIFY(!w.Gate().Busy());
    QVERIFY2(w.StatusPanel(0).find("Circuit 1 Temperature") != std::string::npos,
             w.StatusPanel(0).c_str());
    f.mnu_Deutsch->trigger();
    QTRY_VERIFY(!w.Gate().Busy());

    com2.ClearFaults();
    devicelink::DeviceOnline = true;
    w.NotebookMouseDown(f.NBParameter);
    QVERIFY(f.ListePT1->count() > 0);
    QVERIFY(f.ComboPT1->currentIndex() >= 0);
    QCOMPARE(w.StatusPanel(0), std::string());
  }

  // A connect to another device that identifies but whose system block cannot
  // be read: the set stays as the window showed it, the status bar says why,
  // and an offline save writes what the window showed.
  void aFailedConnectLeavesOneStateForASave() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& com1 = world->Device();
    flowsim::FlowSimulator& com2 = world->StartOtherDevice(2);
    PutDeviceFloat(com1, m::kPressureParams + 12, 987.0f);
    ShowPage(w, f.TabPar1);
    const QStringList shown = Lines(f.ListePD1);
    QVERIFY(shown.join("\n").contains("987.0000"));
    devicelink::TransferTimeout = 200;
    com2.InjectFaultAt(flowsim::FaultKind::NoAnswer, m::kSystemParams, flowsim::kEveryFrame);
    Connect(*world, true, 1);
    QTRY_VERIFY(!w.Gate().Busy());
    QVERIFY(!devicelink::DeviceOnline);
    QCOMPARE(w.StatusPanel(0), services::GetText(49));
    QCOMPARE(Lines(f.ListePD1), shown);
    QCOMPARE(devicelink::PressureParams[0].Max, 987.0f);

    const std::string file = world->Temp("after-failed-connect.PEG");
    SetFileDialogHook([&](const TFileRequest&) { return file; });
    f.mnu_Speichern->trigger();
    QTRY_VERIFY(!w.Gate().Busy());
    const std::string saved = ReadFile(file);
    QVERIFY2(saved.find("987") != std::string::npos, saved.c_str());
  }

  // A refresh of the operating display that fails says which page could not
  // be read, until a refresh that works.
  void aFailedRefreshSaysWhichPage() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = world->Device();
    f.Notebook->setCurrentWidget(f.TabBetrieb);
    f.NBBetrieb->setCurrentWidget(f.TabKreis1);
    w.NotebookMouseDown(f.NBBetrieb);
    QTRY_VERIFY(!w.Gate().Busy());
    QCOMPARE(w.StatusPanel(0), std::string());
    devicelink::TransferTimeout = 200;
    sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, m::kLiveValues, flowsim::kEveryFrame);
    w.RefreshTimerTimer();
    QCOMPARE(w.StatusPanel(0), services::ProgramText(services::text_id::kPageNotRead, {"Kreis 1"}));
    sim.ClearFaults();
    devicelink::DeviceOnline = true;
    w.RefreshTimerTimer();
    QCOMPARE(w.StatusPanel(0), std::string());
  }

  // A trend read the device breaks off says how far it came.
  void aTrendReadThatStopsSaysSo() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = world->Device();
    devicelink::TransferTimeout = 200;
    sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, m::TrendBlock(3), flowsim::kEveryFrame);
    f.cmd_ReadTrends->click();
    QTRY_VERIFY(!w.Gate().Busy());
    QCOMPARE(w.StatusPanel(0),
             services::ProgramText(services::text_id::kTrendReadStopped, {"3", "44"}));
  }
};

QTEST_MAIN(PageValuesTest)
#include "page_values_test.moc"
