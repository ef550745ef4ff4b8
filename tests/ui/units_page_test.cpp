// The user units page against the simulated device: a unit choice on the
// wire, switching user units on and off, offline choices, and the unit groups
// preset at start-up without a write.
#include <QCheckBox>
#include <QTabWidget>

#include "services/unit_tables.h"
#include "tools/flowsim/device_map.h"
#include "ui/pages/units_page.h"
#include "parameter_page_fixture.h"

using namespace ui;
using namespace ui::testing;
namespace m = flowsim::map;

namespace {

// A user-unit record of the device: variant, symbol length, decimals, symbol.
void PutUserUnit(flowsim::FlowSimulator& sim, int kind, uint8_t variant) {
  sim.WriteMemory(static_cast<uint16_t>(m::kUserUnits + 16 * kind), std::vector<uint8_t>{variant});
}

}  // namespace

class UnitsPageTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  flowsim::FlowSimulator& Sim() { return world->Device(); }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  // "bar" copies its table row into entry 1 and sends entry 1 only; "°F"
  // reaches the device in its single-byte code page.
  void unitChoiceOnTheWire() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    PutDeviceByte(Sim(), m::kUnitSwitches + 1, 1);
    ShowPage(w, f.TabparEinheiten);
    QVERIFY(f.CheckUserEinheiten->isChecked());
    QVERIFY(!f.PC_Usereinheiten->isHidden());
    f.PC_Usereinheiten->setCurrentIndex(1);
    Sim().ClearRequests();
    Click(f.Radio_E_Druck, 1);
    auto trace = Trace(Sim().Requests());
    QCOMPARE(TraceText(trace), QStringList({"W 9010/16"}));
    const std::vector<uint8_t> bar = {1, 3, '2', ' ', ' ', 'b', 'a', 'r',
                                      0x3C, 0x23, 0xD7, 0x0A, 0, 0, 0, 0};
    QCOMPARE(trace[0].data, bar);
    QCOMPARE(devicelink::UserUnits[1].Factor, 0.01f);

    f.PC_Usereinheiten->setCurrentIndex(0);
    Sim().ClearRequests();
    Click(f.Radio_E_Temp, 1);
    trace = Trace(Sim().Requests());
    QCOMPARE(trace.size(), size_t(1));
    const std::vector<uint8_t> symbol(trace[0].data.begin() + 3, trace[0].data.begin() + 8);
    QCOMPARE(symbol, (std::vector<uint8_t>{' ', ' ', ' ', 0xB0, 'F'}));
    QCOMPARE(trace[0].data[0], uint8_t(1));
    QCOMPARE(trace[0].data[1], uint8_t(2));
    QCOMPARE(DeviceFloat(Sim(), m::kUserUnits + 8), 1.8f);
    QCOMPARE(DeviceFloat(Sim(), m::kUserUnits + 12), 32.0f);
  }

  // On: the sixteen records are read, the groups show them, and only the
  // switch is written and read back. Off: the sheets go, the switch is sent.
  void switchingOnAndOff() {
    Tfrm_Main& w = StartOnlineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    PutUserUnit(Sim(), 4, 6);
    PutUserUnit(Sim(), 8, 3);
    PutUserUnit(Sim(), 9, 4);
    ShowPage(w, f.TabparEinheiten);
    QVERIFY(!f.CheckUserEinheiten->isChecked());
    QVERIFY(f.PC_Usereinheiten->isHidden());
    Sim().ClearRequests();
    f.CheckUserEinheiten->click();
    QStringList expected;
    for (int k = 0; k < 16; ++k) expected << QString("R %1/16").arg(m::kUserUnits + 16 * k, 4, 16).toUpper();
    expected << "W 817C/4" << "R 817C/4";
    QCOMPARE(TraceOf(Sim()), expected);
    QCOMPARE(int(DeviceByte(Sim(), m::kUnitSwitches + 1)), 1);
    QVERIFY(!f.PC_Usereinheiten->isHidden());
    QCOMPARE(f.Radio_E_Masse->ItemIndex(), 6);
    QCOMPARE(f.Radio_E_Leistung->ItemIndex(), 3);
    QCOMPARE(f.Radio_E_Arbeit->ItemIndex(), 4);
    QVERIFY(!f.Zeitmesser->isVisible());

    Sim().ClearRequests();
    f.CheckUserEinheiten->click();
    QCOMPARE(TraceOf(Sim()), QStringList({"W 817C/4", "R 817C/4"}));
    QCOMPARE(int(DeviceByte(Sim(), m::kUnitSwitches + 1)), 0);
    QVERIFY(f.PC_Usereinheiten->isHidden());
  }

  void offlineChangesTheSwitchAndTheGroupsOnly() {
    Tfrm_Main& w = StartOfflineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabparEinheiten);
    devicelink::UserUnits[2].Variant = 2;
    f.CheckUserEinheiten->click();
    QCOMPARE(int(devicelink::UnitSwitches.Einheiten), 1);
    QCOMPARE(f.Radio_E_Dichte->ItemIndex(), 2);
    QVERIFY(!f.PC_Usereinheiten->isHidden());
    f.PC_Usereinheiten->setCurrentIndex(3);
    Click(f.Radio_E_Normvolumenstrom, 6);
    QCOMPARE(devicelink::UserUnits[3].Variant, uint8_t(6));
    QCOMPARE(devicelink::UserUnits[3].Factor, 38.0441f);
    QVERIFY(!f.Zeitmesser->isVisible());
  }

  // A real start online: the groups show the device's records and nothing is
  // written on the way.
  void startUpPresetsTheGroups() {
    world->StartDevice();
    PutDeviceByte(Sim(), m::kUnitSwitches + 1, 1);
    PutUserUnit(Sim(), 1, 2);
    PutUserUnit(Sim(), 9, 5);
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QCOMPARE(FormOf(w).Radio_E_Druck->ItemIndex(), 2);
    QCOMPARE(FormOf(w).Radio_E_Arbeit->ItemIndex(), 5);
    QCOMPARE(Writes(Sim()), 0);
  }
};

QTEST_MAIN(UnitsPageTest)
#include "units_page_test.moc"
