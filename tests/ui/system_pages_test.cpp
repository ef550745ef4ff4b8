// The trend settings, system and correction factor pages against the simulated
// device: the system-type change with its resynchronisation, its refusal and
// failures, the limit sets, transmitters, system factor, presets, trend
// settings and correction factors on the wire.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include "devicelink/frame_transfer.h"
#include "devicelink/wire_values.h"
#include "services/app_window.h"
#include "tools/flowsim/device_map.h"
#include "parameter_page_fixture.h"

using namespace ui;
using namespace ui::testing;
namespace m = flowsim::map;

class SystemPagesTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  Tfrm_Main& Online(flowsim::SimulatorOptions options = {}) {
    Tfrm_Main& w = StartOnlineQuick(*world, std::move(options));
    devicelink::TransferTimeout = 300;
    return w;
  }
  flowsim::FlowSimulator& Sim() { return world->Device(); }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() {
    world.reset();
    devicelink::TransferTimeout = 1500;
  }

  // Type 0 to 1 on the page: 16 reads, 17 writes, then the page read again.
  // Meanwhile the window takes no click and no handler reads the device.
  void systemTypeChangeResynchronises() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParSystem);
    QCOMPARE(f.Combosystem->currentIndex(), 0);
    QVERIFY(!f.AnzahlMU->isEnabled());
    Sim().ClearRequests();
    struct {
      bool fired = false;
      uint8_t busy = 0;
      size_t requests_before = 0, requests_after = 0;
    } middle;
    QTimer::singleShot(400, [&] {
      middle.fired = true;
      middle.busy = CommBusy;
      // The operator clicks the circuit 1 tab; a timer asks for a refresh.
      auto* tab = f.NBParameter->parentWidget()->findChild<QToolButton*>("NBParameter_Tabs_0");
      QVERIFY(tab != nullptr);
      QTest::mouseClick(tab, Qt::LeftButton);
      middle.requests_before = Sim().RequestCount();
      w.NotebookMouseDown(f.NBParameter);
      w.RefreshTimerTimer();
      middle.requests_after = Sim().RequestCount();
    });
    Choose(f.Combosystem, 1);
    QVERIFY(middle.fired);
    QCOMPARE(middle.busy, uint8_t(1));
    QCOMPARE(middle.requests_after, middle.requests_before);
    QCOMPARE(f.NBParameter->currentWidget(), f.TabParSystem);
    QCOMPARE(CommBusy, uint8_t(0));

    const auto trace = Trace(Sim().Requests());
    QVERIFY(trace.size() > 33);
    int reads = 0, writes = 0;
    for (size_t i = 0; i < 33; ++i) (trace[i].write ? writes : reads)++;
    QCOMPARE(reads, 16);
    QCOMPARE(writes, 17);
    // Reads first, then the writes one after the other, the system block last.
    for (size_t i = 16; i < 33; ++i) QVERIFY(trace[i].write);
    QCOMPARE(TraceText(trace)[32], QString("W 80A0/16"));
    QCOMPARE(int(DeviceByte(Sim(), m::kSystemParams + 3)), 1);
    QCOMPARE(f.Combosystem->currentIndex(), 1);
    QVERIFY(f.AnzahlMU->isEnabled());
    QVERIFY(world->boxes.empty());
    QVERIFY(!f.Zeitmesser->isVisible());
  }

  // Mask 5 (the steam device): type 2 is refused with text 18; 1 and 4 pass.
  void disallowedTypeIsRefused() {
    flowsim::SimulatorOptions options;
    options.setup.model = flowsim::DeviceModel::Steam;
    Tfrm_Main& w = Online(options);
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParSystem);
    QCOMPARE(int(devicelink::SystemParams.KindMask), 5);
    Sim().ClearRequests();
    Choose(f.Combosystem, 2);
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, services::GetText(18));
    QCOMPARE(world->boxes[0].flags, kMbYesOnly | services::kMbIconError);
    QCOMPARE(f.Combosystem->currentIndex(), 0);
    QVERIFY(Sim().Requests().empty());
    Choose(f.Combosystem, 3);
    QCOMPARE(int(DeviceByte(Sim(), m::kSystemParams + 3)), 4);
    QCOMPARE(world->boxes.size(), size_t(1));
    // Type 4 shows the system factor.
    QVERIFY(f.ed_SystemFaktor->isEnabled());
    QVERIFY(!f.ed_SystemFaktor->text().isEmpty());
  }

  // A read that fails: nothing written, the type and its choice stay, the
  // operator is told.
  void failedReadKeepsTheType() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParSystem);
    Sim().ClearRequests();
    Sim().InjectFaultAt(flowsim::FaultKind::NoAnswer, m::kPulseParams + 8, flowsim::kEveryFrame);
    Choose(f.Combosystem, 2);
    Sim().ClearFaults();
    QCOMPARE(Writes(Sim()), 0);
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, services::GetText(19));
    QCOMPARE(int(devicelink::SystemParams.Kind), 0);
    QCOMPARE(f.Combosystem->currentIndex(), 0);
  }

  // The system block refused after every dependent block went out: the operator
  // is told so, not that sending stopped.
  void refusedSystemWriteIsTold() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParSystem);
    Sim().InjectFaultAt(flowsim::FaultKind::Reject, m::kSystemParams, flowsim::kEveryFrame);
    Choose(f.Combosystem, 2);
    Sim().ClearFaults();
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, services::GetText(22));
  }

  // Offline a type change changes the kind only.
  void offlineTypeChange() {
    Tfrm_Main& w = StartOfflineQuick(*world);
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParSystem);
    devicelink::AlarmParams[0].Param = 20;
    Choose(f.Combosystem, 2);
    QCOMPARE(int(devicelink::SystemParams.Kind), 2);
    QCOMPARE(int(devicelink::AlarmParams[0].Param), 20);
    QCOMPARE(f.Combosystem->currentIndex(), 2);
    QVERIFY(f.AnzahlMU->isEnabled());
  }

  void limitSetsOnTheWire() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParSystem);
    QCOMPARE(f.RG_Grenzen->ItemIndex(), 1);
    Sim().ClearRequests();
    Click(f.RG_Grenzen, 0);
    auto trace = Trace(Sim().Requests());
    QCOMPARE(TraceText(trace), QStringList({"W 80C0/16", "R 80C0/16"}));
    const std::vector<uint8_t> namur = {0x3F, 0xA8, 0x00, 0x00, 0x3F, 0xA4, 0x00, 0x00,
                                        0x3E, 0x75, 0xC2, 0x8F, 0x3E, 0x66, 0x66, 0x66};
    QCOMPARE(trace[0].data, namur);
    Sim().ClearRequests();
    Click(f.RG_Grenzen, 1);
    trace = Trace(Sim().Requests());
    const std::vector<uint8_t> industry = {0x3F, 0xB4, 0xCC, 0xCD, 0x3F, 0xB0, 0x00, 0x00,
                                           0x3E, 0x75, 0xC2, 0x8F, 0x3E, 0x66, 0x66, 0x66};
    QCOMPARE(trace.at(0).data, industry);
    QCOMPARE(f.RG_Grenzen->ItemIndex(), 1);
  }

  // The transmitters: written, read back, and the page read again.
  void transmitters() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    PutDeviceByte(Sim(), m::kSystemParams + 3, 1);
    ShowPage(w, f.TabParSystem);
    QVERIFY(f.AnzahlMU->isEnabled());
    Sim().ClearRequests();
    Click(f.AnzahlMU, 1);
    const QStringList trace = TraceOf(Sim());
    QCOMPARE(trace.mid(0, 3), QStringList({"W 80A0/16", "R 80A0/16", "R 80A0/16"}));  // then the page again
    QCOMPARE(int(DeviceByte(Sim(), m::kSystemParams + 1)), 3);
    QCOMPARE(f.AnzahlMU->ItemIndex(), 1);
  }

  void systemFactor() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    PutDeviceByte(Sim(), m::kSystemParams + 3, 4);
    ShowPage(w, f.TabParSystem);
    Sim().ClearRequests();
    InputDlg->Precision = 7;
    AnswerValueDialog(*world, "1.05");
    QTest::mouseDClick(f.ed_SystemFaktor, Qt::LeftButton);
    QCOMPARE(InputDlg->Precision, 5);
    QCOMPARE(InputDlg->Quantity, uint8_t(255));
    QCOMPARE(InputDlg->MinValue, 0.9f);
    QCOMPARE(InputDlg->MaxValue, 1.1f);
    QCOMPARE(TraceOf(Sim()).mid(0, 2), QStringList({"W 80A0/16", "R 80A0/16"}));
    QCOMPARE(DeviceFloat(Sim(), m::kSystemParams + 8), 1.05f);
    QCOMPARE(f.ed_SystemFaktor->text().trimmed(), QString("1.0500"));
  }

  void presets() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParSystem);
    QVERIFY(!f.Chk_Vorgabe->isChecked());
    QVERIFY(f.ListeVorgaben->isHidden());
    // The operator checks the box: the list shows, nothing is sent.
    Sim().ClearRequests();
    f.Chk_Vorgabe->click();
    QVERIFY(!f.ListeVorgaben->isHidden());
    QVERIFY(Sim().Requests().empty());
    // A preset: written without read-back.
    AnswerValueDialog(*world, "2.5");
    DoubleClick(f.ListeVorgaben, 5);
    QCOMPARE(TraceOf(Sim()), QStringList({"W 9134/4"}));
    QCOMPARE(DeviceFloat(Sim(), m::kPresetValues + 20), 2.5f);
    // The same value again: nothing.
    Sim().ClearRequests();
    AnswerValueDialog(*world, "2.5");
    DoubleClick(f.ListeVorgaben, 5);
    QVERIFY(Sim().Requests().empty());
    // Clearing the box: eight zeros, then the eight presets read back; the one
    // the device refused stays active and is shown.
    PutDeviceFloat(Sim(), m::kPresetValues + 8, 7);
    Sim().ClearRequests();
    Sim().InjectFaultAt(flowsim::FaultKind::Reject, m::kPresetValues + 8, 4);  // every attempt
    f.Chk_Vorgabe->click();
    QStringList expected;
    for (char kind : {'W', 'R'}) {
      for (int i = 0; i < 8; ++i) expected << QString("%1 %2/4").arg(kind).arg(0x9120 + 4 * i, 4, 16).toUpper();
    }
    QStringList trace = TraceOf(Sim());
    trace.erase(std::unique(trace.begin(), trace.end()), trace.end());  // repeated attempts
    QCOMPARE(trace, expected);
    QCOMPARE(DeviceFloat(Sim(), m::kPresetValues + 20), 0.0f);
    QCOMPARE(devicelink::PresetValues[2], 7.0f);
    QCOMPARE(world->boxes.size(), size_t(1));
    QCOMPARE(world->boxes[0].text, services::GetText(21));
    QVERIFY(f.Chk_Vorgabe->isChecked());
    QVERIFY(!f.ListeVorgaben->isHidden());
    // No line chosen: nothing.
    Sim().ClearRequests();
    DoubleClick(f.ListeVorgaben, -1);
    QVERIFY(Sim().Requests().empty());
  }

  void trendSettings() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParTrend);
    QCOMPARE(f.ComboTrendinterval->currentIndex(), 8);  // 15 minutes
    Sim().ClearRequests();
    Choose(f.ComboTrendinterval, 6);
    QCOMPARE(TraceOf(Sim()), QStringList({"W 8178/4", "R 8178/4"}));
    QCOMPARE(int(DeviceByte(Sim(), m::kTrendSettings + 3)), 10);
    Choose(f.ComboTrendinterval, 11);
    QCOMPARE(int(DeviceByte(Sim(), m::kTrendSettings + 3)), 60);
    Choose(f.ComboTrend, 1);
    QCOMPARE(int(DeviceByte(Sim(), m::kTrendSettings + 2)), 1);
    // An interval the list does not offer selects none.
    PutDeviceByte(Sim(), m::kTrendSettings + 3, 7);
    ShowPage(w, f.TabParTrend);
    QCOMPARE(f.ComboTrendinterval->currentIndex(), -1);
  }

  void singleCircuitTrendStaysOnCircuitOne() {
    flowsim::SimulatorOptions options;
    options.setup.singleCircuit = true;
    Tfrm_Main& w = Online(options);
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParTrend);
    Choose(f.ComboTrend, 1);
    QCOMPARE(int(DeviceByte(Sim(), m::kTrendSettings + 2)), 0);
    QCOMPARE(f.ComboTrend->currentIndex(), 0);
  }

  // A factor: written without read-back; column 0 (the labels) opens nothing.
  void correctionFactor() {
    Tfrm_Main& w = Online();
    Ui::Tfrm_Main& f = FormOf(w);
    ShowPage(w, f.TabParKorrektur);
    QCOMPARE(f.FlowKorr2->item(3, 1)->text().trimmed(), QString("1.0000"));
    Sim().ClearRequests();
    AnswerValueDialog(*world, "1.2");
    f.FlowKorr2->setCurrentCell(3, 1);  // the first click of the double-click
    QTest::mouseDClick(f.FlowKorr2->viewport(), Qt::LeftButton, Qt::NoModifier,
                       f.FlowKorr2->visualItemRect(f.FlowKorr2->item(3, 1)).center());
    QCOMPARE(InputDlg->MinValue, 0.25f);
    QCOMPARE(InputDlg->MaxValue, 10.0f);
    QCOMPARE(TraceOf(Sim()), QStringList({"W 8220/32"}));
    QCOMPARE(DeviceFloat(Sim(), m::kCorrectionFactors + 32 + 12), 1.2f);
    QCOMPARE(f.FlowKorr2->item(3, 1)->text().trimmed(), QString("1.2000"));
    Sim().ClearRequests();
    f.FlowKorr1->setCurrentCell(2, 0);
    QTest::mouseDClick(f.FlowKorr1->viewport(), Qt::LeftButton, Qt::NoModifier,
                       f.FlowKorr1->visualItemRect(f.FlowKorr1->item(2, 0)).center());
    QCOMPARE(world->modal_count["InputDlg"], 1);
    QVERIFY(Sim().Requests().empty());
  }
};

QTEST_MAIN(SystemPagesTest)
#include "system_pages_test.moc"
