// The relay alarm and analog output pages against the simulated device: the
// operator's choices and edits on the wire, the single-circuit rules, codes the
// lists do not have, the fixed current, and offline edits.
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>

#include "devicelink/wire_values.h"
#include "services/value_format.h"
#include "tools/flowsim/device_map.h"
#include "ui/pages/relay_output_pages.h"
#include "parameter_page_fixture.h"
#include "ui/pages/relay_output_rules.h"

using namespace ui;
using namespace ui::testing;
namespace m = flowsim::map;

namespace {

QString FV(uint8_t kind, float value) {
  return QString::fromStdString(services::FormatValue(kind, 1, 1, value));
}

}  // namespace

class RelayOutputPagesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  Tfrm_Main& Online(flowsim::SimulatorOptions options = {}) {
    return StartOnlineQuick(*world, std::move(options));
  }
  flowsim::FlowSimulator& Sim() { return world->Device(); }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  // Relay 1 has circuit 1's temperature with a high limit of 40 degC.
  void alarmLimitEditOnTheWire() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParRelais);
    QCOMPARE(f.ComboAlm1->currentIndex(), 1);
    QCOMPARE(f.ComboAlmKind1->currentIndex(), 1);
    QCOMPARE(Lines(f.ListeAlm1), QStringList({QString("Obergrenze").leftJustified(13) + FV(0, 40)}));
    Sim().ClearRequests();
    AnswerValueDialog(*world, "55");
    DoubleClick(f.ListeAlm1, 0);
    QCOMPARE(InputDlg->Quantity, uint8_t(0));
    QCOMPARE(InputDlg->MinValue, -273.15f);
    QCOMPARE(InputDlg->MaxValue, 1500.0f);
    QCOMPARE(InputDlg->Precision, 5);
    const auto t = Trace(Sim().Requests());
    QCOMPARE(TraceText(t), QStringList({"W 8040/16", "R 8040/16"}));
    QVERIFY(t[1].time_ms - t[0].time_ms >= 50);
    const std::string sent(t[0].data.begin(), t[0].data.end());
    QCOMPARE(sent.substr(0, 4), std::string("\x00\x00\x01\x01", 4));
    QCOMPARE(sent.substr(8, 4), devicelink::SingleToBytes(55));
    QCOMPARE(DeviceFloat(Sim(), m::kAlarmParams + 8), 55.0f);
    QCOMPARE(Lines(f.ListeAlm1).value(0), QString("Obergrenze").leftJustified(13) + FV(0, 55));
    QVERIFY(!f.Zeitmesser->isVisible());
  }

  // Relay 2: low and high limit of circuit 1's pressure, 200 and 600 kPa.
  void bothLimitsPushEachOther() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParRelais);
    QCOMPARE(Lines(f.ListeAlm2).size(), 2);
    AnswerValueDialog(*world, "700");
    DoubleClick(f.ListeAlm2, 0);
    QCOMPARE(DeviceFloat(Sim(), m::kAlarmParams + 16 + 4), 700.0f);
    QCOMPARE(DeviceFloat(Sim(), m::kAlarmParams + 16 + 8), 700.0f);
    AnswerValueDialog(*world, "100");
    DoubleClick(f.ListeAlm2, 1);
    QCOMPARE(DeviceFloat(Sim(), m::kAlarmParams + 16 + 4), 100.0f);
    QCOMPARE(DeviceFloat(Sim(), m::kAlarmParams + 16 + 8), 100.0f);
    // No line of the pair chosen, or cancelled: nothing edited, nothing sent.
    Sim().ClearRequests();
    AnswerValueDialog(*world, "300");
    DoubleClick(f.ListeAlm2, -1);
    AnswerValueDialog(*world, "300", false);
    DoubleClick(f.ListeAlm2, 1);
    QCOMPARE(world->modal_count["InputDlg"], 3);
    QVERIFY(Sim().Requests().empty());
  }

  void sourceChoicesStoreTheirCodes() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParRelais);
    for (const auto& [index, code] : {std::pair{8, 9}, {15, 17}, {22, 28}, {33, 39}, {0, 0}}) {
      Choose(f.ComboAlm1, index);
      QCOMPARE(int(DeviceByte(Sim(), m::kAlarmParams + 2)), code);
      QCOMPARE(f.ComboAlm1->currentIndex(), index);
      QCOMPARE(f.ComboAlmKind1->isEnabled(), code != 0);
    }
    QCOMPARE(f.ListeAlm1->count(), 0);  // no source: no limits
    ShowPage(w, f.TabParAusgang);
    for (const auto& [index, code] : {std::pair{6, 9}, {11, 17}, {16, 28}, {21, 33}}) {
      Choose(f.ComboAus2, index);
      QCOMPARE(int(DeviceByte(Sim(), m::kOutputParams + 16 + 3)), code);
      QCOMPARE(f.ComboAus2->currentIndex(), index);
    }
    // The alarm kind.
    ShowPage(w, f.TabParRelais);
    Choose(f.ComboAlm1, 2);
    Choose(f.ComboAlmKind1, 2);
    QCOMPARE(int(DeviceByte(Sim(), m::kAlarmParams + 3)), 2);
    QCOMPARE(f.ListeAlm1->count(), 2);
  }

  // One circuit: no alarm source beyond circuit 1 (the choice goes back and
  // nothing is written); an output source of circuit 2 becomes circuit 1's
  // temperature.
  void singleCircuitDevice() {
    flowsim::SimulatorOptions options;
    options.setup.singleCircuit = true;
    Tfrm_Main& w = Online(options);
    Ui::Tfrm_Main& f = FormOf(w);
    PutDeviceByte(Sim(), m::kAlarmParams + 2, 2);
    ShowPage(w, f.TabParRelais);
    Sim().ClearRequests();
    Choose(f.ComboAlm1, 8);
    QCOMPARE(f.ComboAlm1->currentIndex(), 2);
    QVERIFY(Sim().Requests().empty());
    QCOMPARE(int(devicelink::AlarmParams[0].Param), 2);
    ShowPage(w, f.TabParAusgang);
    Choose(f.ComboAus1, 8);
    QCOMPARE(int(DeviceByte(Sim(), m::kOutputParams + 3)), 1);
    QCOMPARE(f.ComboAus1->currentIndex(), 1);
  }

  // A code no entry gives shows no entry, and its list opens no dialog.
  void codesWithoutAnEntry() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    PutDeviceByte(Sim(), m::kAlarmParams + 2, 16);
    PutDeviceByte(Sim(), m::kOutputParams + 3, 7);
    ShowPage(w, f.TabParRelais);
    QCOMPARE(f.ComboAlm1->currentIndex(), -1);
    ShowPage(w, f.TabParAusgang);
    QCOMPARE(f.ComboAus1->currentIndex(), -1);
    QCOMPARE(f.ListeAus1->count(), 3);
    Sim().ClearRequests();
    AnswerValueDialog(*world, "5");
    DoubleClick(f.ListeAus1, 0);
    ShowPage(w, f.TabParRelais);
    DoubleClick(f.ListeAlm1, 0);
    QCOMPARE(world->modal_count["InputDlg"], 0);
    QCOMPARE(Writes(Sim()), 0);
  }

  // Fixed current: the byte comes into 1.0..23.0 mA, the scale of the
  // previous source is kept; entering 12.46 mA stores 125.
  void fixedCurrent() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    PutDeviceByte(Sim(), m::kOutputParams + 2, 0);
    PutDeviceFloat(Sim(), m::kOutputParams + 4, -500);
    PutDeviceFloat(Sim(), m::kOutputParams + 8, 5000);
    ShowPage(w, f.TabParAusgang);
    Choose(f.ComboAus1, 0);
    QCOMPARE(int(DeviceByte(Sim(), m::kOutputParams + 3)), 0);
    QCOMPARE(int(DeviceByte(Sim(), m::kOutputParams + 2)), 10);
    QCOMPARE(DeviceFloat(Sim(), m::kOutputParams + 4), -500.0f);
    QCOMPARE(DeviceFloat(Sim(), m::kOutputParams + 8), 5000.0f);
    QCOMPARE(Lines(f.ListeAus1), QStringList({QString("Konstantstrom") + FV(17, 1.0f)}));
    AnswerValueDialog(*world, "12.46");
    DoubleClick(f.ListeAus1, 0);
    QCOMPARE(InputDlg->Quantity, uint8_t(17));
    QCOMPARE(int(DeviceByte(Sim(), m::kOutputParams + 2)), 125);
    QCOMPARE(Lines(f.ListeAus1), QStringList({QString("Konstantstrom") + FV(17, 12.5f)}));
    // Back to a source: the scale is fitted to it (online only).
    Choose(f.ComboAus1, 1);
    QCOMPARE(DeviceFloat(Sim(), m::kOutputParams + 4), -273.15f);
    QCOMPARE(DeviceFloat(Sim(), m::kOutputParams + 8), 1500.0f);
    // The same source again changes nothing.
    Sim().ClearRequests();
    Choose(f.ComboAus1, 1);
    QVERIFY(Sim().Requests().empty());
  }

  void outputScaleAndFaultCurrent() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParAusgang);
    AnswerValueDialog(*world, "1200");
    DoubleClick(f.ListeAus1, 0);
    QCOMPARE(DeviceFloat(Sim(), m::kOutputParams + 4), 1200.0f);
    QCOMPARE(DeviceFloat(Sim(), m::kOutputParams + 8), 1200.0f);  // the high end follows
    AnswerValueDialog(*world, "3.6");
    DoubleClick(f.ListeAus1, 2);
    QCOMPARE(InputDlg->Quantity, uint8_t(255));
    QCOMPARE(DeviceFloat(Sim(), m::kOutputParams + 12), 3.6f);
  }

  // Offline every change stays in the records and the lists.
  void offlineChangesOnlyTheRecords() {
    Tfrm_Main& w = StartOfflineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParRelais);
    Choose(f.ComboAlm2, 10);
    Choose(f.ComboAlmKind2, 0);
    AnswerValueDialog(*world, "2.5");
    DoubleClick(f.ListeAlm2, 0);
    QCOMPARE(int(devicelink::AlarmParams[1].Param), 11);
    QCOMPARE(devicelink::AlarmParams[1].Min, 2.5f);
    QCOMPARE(Lines(f.ListeAlm2), QStringList({QString("Untergrenze").leftJustified(13) + FV(2, 2.5f)}));
    ShowPage(w, f.TabParAusgang);
    devicelink::OutputParams[0].Konstant = 0;
    Choose(f.ComboAus1, 0);
    QCOMPARE(int(devicelink::OutputParams[0].Konstant), 10);
    QVERIFY(!f.Zeitmesser->isVisible());
  }

  // A choice while another handler exchanges is refused; the choice shows the
  // record again.
  // Chosen while another command runs, a choice waits for its end and then
  // goes out as the operator made it, though the page was drawn anew from the
  // records meanwhile; a choice on a page no longer shown goes nowhere.
  void aChoiceDuringAnotherCommandRunsAfterIt() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParAusgang);
    ShowPage(w, f.TabParRelais);
    const uint8_t output_before = DeviceByte(Sim(), m::kOutputParams + 16 + 3);
    Sim().ClearRequests();
    bool kept = false;
    w.Gate().Command(&w, [&] {
      Choose(f.ComboAlm1, 5);
      Choose(f.ComboAus2, 3);
      w.RefreshParameterPage();
      kept = Sim().RequestCount() == 2 && f.ComboAlm1->currentIndex() == 1;
    });
    QVERIFY(kept);
    QTRY_COMPARE(Writes(Sim()), 1);
    QCOMPARE(TraceOf(Sim()).mid(2), QStringList({"W 8040/16", "R 8040/16"}));
    QCOMPARE(f.ComboAlm1->currentIndex(), 5);
    QCOMPARE(DeviceByte(Sim(), m::kAlarmParams + 2), *AlarmCodeOfIndex(5));
    QCOMPARE(DeviceByte(Sim(), m::kOutputParams + 16 + 3), output_before);
  }
};

QTEST_MAIN(RelayOutputPagesTest)
#include "relay_output_pages_test.moc"
