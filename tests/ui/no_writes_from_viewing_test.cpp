// Looking at a page never changes the device: for each situation in which a
// selection or check mark set by the program used to run a handler that writes,
// the simulated device records no write, and the page shows what the device has.
#include <QCheckBox>
#include <QListWidget>
#include <QTabWidget>

#include "tools/flowsim/device_map.h"
#include "ui/settings_dialog.h"
#include "ui_settings_dialog.h"
#include "parameter_page_fixture.h"

using namespace ui;
using namespace ui::testing;
namespace m = flowsim::map;

class NoWritesFromViewingTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  flowsim::FlowSimulator& Sim() { return world->Device(); }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() {
    world.reset();
    devicelink::TransferTimeout = 1500;
  }

  void viewingWritesNothing_data() {
    QTest::addColumn<QString>("situation");
    QTest::newRow("custom limit set") << "limits";
    QTest::newRow("Anzahl 3 with the group on item 0") << "transmitters";
    QTest::newRow("first visit of every page") << "first visit";
    QTest::newRow("presets 0 and -5") << "presets";
    QTest::newRow("a failing preset read") << "preset read fails";
    QTest::newRow("user units on with other variants") << "units on";
    QTest::newRow("units off with the box checked") << "units off";
    QTest::newRow("language switch with the box checked") << "language";
    QTest::newRow("connecting to a device of the other medium") << "other medium";
  }

  void viewingWritesNothing() {
    QFETCH(QString, situation);
    flowsim::SimulatorOptions options;
    if (situation == "other medium") options.setup.model = flowsim::DeviceModel::Steam;
    Tfrm_Main& w = StartOnlineQuick(*world, options);
    devicelink::TransferTimeout = 300;
    Ui::Tfrm_Main& f = FormOf(w);
    flowsim::FlowSimulator& sim = Sim();

    if (situation == "limits") {
      PutDeviceFloat(sim, m::kLimitValues, 1.4f);
      f.RG_Grenzen->SetItemIndex(0);
      sim.ClearRequests();
      ShowPage(w, f.TabParSystem);
      QCOMPARE(f.RG_Grenzen->ItemIndex(), 1);
      QCOMPARE(DeviceFloat(sim, m::kLimitValues), 1.4f);
    } else if (situation == "transmitters") {
      PutDeviceByte(sim, m::kSystemParams + 1, 3);
      f.AnzahlMU->SetItemIndex(0);
      sim.ClearRequests();
      ShowPage(w, f.TabParSystem);
      QCOMPARE(f.AnzahlMU->ItemIndex(), 1);
    } else if (situation == "first visit") {
      sim.ClearRequests();
      for (QWidget* page : {f.TabParRelais, f.TabParAusgang, f.TabParTrend, f.TabParSystem,
                            f.TabParKorrektur, f.TabparEinheiten, f.TabParBemerkung}) {
        ShowPage(w, page);
      }
      QVERIFY(sim.RequestCount() > 0);
    } else if (situation == "presets") {
      PutDeviceFloat(sim, m::kPresetValues + 12, -5);
      sim.ClearRequests();
      ShowPage(w, f.TabParSystem);
      // A preset other than 0 replaces a measured value: the list shows it.
      QVERIFY(f.Chk_Vorgabe->isChecked());
      QVERIFY(!f.ListeVorgaben->isHidden());
      QCOMPARE(devicelink::PresetValues[3], -5.0f);
      // All back at 0 on the device: the box clears, still without a write.
      PutDeviceFloat(sim, m::kPresetValues + 12, 0);
      ShowPage(w, f.TabParSystem);
      QVERIFY(!f.Chk_Vorgabe->isChecked());
      QVERIFY(f.ListeVorgaben->isHidden());
    } else if (situation == "preset read fails") {
      devicelink::PresetValues[4] = 3;
      sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, m::kPresetValues + 16, flowsim::kEveryFrame);
      sim.ClearRequests();
      ShowPage(w, f.TabParSystem);
      sim.ClearFaults();
    } else if (situation == "units on") {
      PutDeviceByte(sim, m::kUnitSwitches + 1, 1);
      sim.WriteMemory(m::kUserUnits + 16, std::vector<uint8_t>{3});
      sim.WriteMemory(m::kUserUnits + 16 * 7, std::vector<uint8_t>{5});
      devicelink::UserUnits[1].Variant = 1;
      f.Radio_E_Druck->SetItemIndex(1);
      sim.ClearRequests();
      ShowPage(w, f.TabparEinheiten);
      QVERIFY(f.CheckUserEinheiten->isChecked());
      QCOMPARE(f.Radio_E_Druck->ItemIndex(), 3);
      QCOMPARE(f.Radio_E_BetrVS->ItemIndex(), 5);
    } else if (situation == "units off") {
      PutDeviceByte(sim, m::kUnitSwitches + 1, 1);
      ShowPage(w, f.TabparEinheiten);
      QVERIFY(f.CheckUserEinheiten->isChecked());
      PutDeviceByte(sim, m::kUnitSwitches + 1, 0);
      sim.ClearRequests();
      ShowPage(w, f.TabparEinheiten);
      QVERIFY(!f.CheckUserEinheiten->isChecked());
      QVERIFY(f.PC_Usereinheiten->isHidden());
    } else if (situation == "language") {
      PutDeviceByte(sim, m::kUnitSwitches + 1, 1);
      ShowPage(w, f.TabparEinheiten);
      sim.ClearRequests();
      w.mnu_SpracheClick(f.mnu_Englisch);
      QVERIFY(f.CheckUserEinheiten->isChecked());
      QCOMPARE(int(DeviceByte(sim, m::kUnitSwitches + 1)), 1);
      w.mnu_SpracheClick(f.mnu_Deutsch);
    } else if (situation == "other medium") {
      // The program came up for gas with the unit page shown and user units on;
      // the settings dialog connects to a steam device with user units on.
      PutDeviceByte(sim, m::kUnitSwitches + 1, 1);
      services::Medium = 0;
      w.ApplyLanguageTexts();
      ShowPage(w, f.TabparEinheiten);
      sim.ClearRequests();
      world->modal_scripts["TEinst"] = [](QDialog& d) {
        auto& e = static_cast<TEinst&>(d);
        e.Form()->Zustand_Grp->SetItemIndex(1);
        e.Form()->Com_Grp->SetItemIndex(0);
        e.Form()->Ref_Grp->SetItemIndex(0);
        e.Form()->BtnOk->click();
      };
      w.mnu_EinstellungenClick();
      QVERIFY(devicelink::DeviceOnline);
      QCOMPARE(services::Medium, 1);
      QVERIFY(f.CheckUserEinheiten->isChecked());
      QVERIFY(sim.RequestCount() > 0);
    }
    QString writes;
    for (const TraceLine& l : Trace(sim.Requests())) {
      if (l.write) writes += l.Text() + "; ";
    }
    QVERIFY2(writes.isEmpty(), qPrintable(writes));
  }
};

QTEST_MAIN(NoWritesFromViewingTest)
#include "no_writes_from_viewing_test.moc"
