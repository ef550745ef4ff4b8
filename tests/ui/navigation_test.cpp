// The busy flag, the page redirects of the notebooks and the device clock field.
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>

#include "tools/flowsim/device_map.h"
#include "ui/pages/operating_lines.h"
#include "ui/pages/operating_pages.h"
#include "ui/pages/trend_page.h"
#include "request_trace.h"
#include "ui_fixture.h"
#include "ui_main_window.h"

using namespace ui;
using namespace ui::testing;

class NavigationTest : public QObject {
  Q_OBJECT
  std::unique_ptr<UiWorld> world;

  Tfrm_Main& StartOffline() {
    world->WriteSettings(false);
    world->UseManualClock();
    if (world->Start()) qFatal("start failed");
    return *world->Main();
  }

  // Online, the window active, so the keyboard focus moves as the operator's.
  Tfrm_Main& StartOnlineActive() {
    world->StartDevice();
    world->WriteSettings(true);
    if (world->Start()) qFatal("start failed");
    Tfrm_Main& w = *world->Main();
    QApplication::setActiveWindow(&w);
    if (!QTest::qWaitForWindowActive(&w)) qFatal("window not active");
    return w;
  }

 private slots:
  void init() { world = std::make_unique<UiWorld>(); }
  void cleanup() { world.reset(); }

  void refreshTickDuringExchangeIsDropped() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QVERIFY(devicelink::DeviceOnline);
    // The click's first exchange answers late; the tick comes meanwhile.
    sim.InjectFault(flowsim::FaultKind::LateReply, 1, 500);
    struct Seen {
      uint8_t busy = 0;
      size_t requests_before = 0, requests_after = 0;
      int position_before = -1, position_after = -1;
      bool bar_visible_after = false;
      devicelink::TDeviceClock clock_before{}, clock_after{};
    } seen;
    QTimer::singleShot(150, [&] {
      seen.busy = CommBusy;
      seen.requests_before = sim.RequestCount();
      seen.position_before = w.ProgressPosition();
      seen.clock_before = devicelink::DeviceClock;
      w.RefreshTimerTimer();
      seen.requests_after = sim.RequestCount();
      seen.position_after = w.ProgressPosition();
      seen.bar_visible_after = FormOf(w).Zeitmesser->isVisible();
      seen.clock_after = devicelink::DeviceClock;
    });
    w.NotebookMouseDown(FormOf(w).NBBetrieb);
    QCOMPARE(seen.busy, uint8_t(1));
    QCOMPARE(seen.requests_after, seen.requests_before);
    QCOMPARE(seen.position_after, seen.position_before);
    QVERIFY(seen.bar_visible_after);
    QVERIFY(seen.clock_after == seen.clock_before);
    QCOMPARE(CommBusy, uint8_t(0));
    // Not queued: nothing follows on its own; the next tick refreshes.
    const size_t after_click = sim.RequestCount();
    QTest::qWait(100);
    QCOMPARE(sim.RequestCount(), after_click);
    w.RefreshTimerTimer();
    QVERIFY(sim.RequestCount() > after_click);
  }

  // However circuit 2's page is reached, and also when that happens while the
  // device is busy with another command, the device sees the reads of a click.
  // The wheel over the tabs changes no page.
  void everyWayToAPageReadsIt_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("focus_on_tabs");  // else in the list of the page left
    QTest::newRow("mouse") << "mouse" << false;
    QTest::newRow("mouse, focus on the tabs") << "mouse" << true;
    QTest::newRow("Ctrl+Tab") << "Ctrl+Tab" << false;
    QTest::newRow("Ctrl+Tab, focus on the tabs") << "Ctrl+Tab" << true;
    QTest::newRow("arrow key") << "arrow key" << true;
    QTest::newRow("program") << "program" << true;
    QTest::newRow("during a refresh") << "during a refresh" << false;
    QTest::newRow("during a trend read") << "during a trend read" << true;
    QTest::newRow("wheel") << "wheel" << true;  // changes no page
  }
  void everyWayToAPageReadsIt() {
    QFETCH(QString, way);
    QFETCH(bool, focus_on_tabs);
    Tfrm_Main& w = StartOnlineActive();
    flowsim::FlowSimulator& sim = world->Device();
    Ui::Tfrm_Main& f = FormOf(w);
    QTabBar* bar = f.NBBetrieb->tabBar();
    const auto click = [&](QWidget* page) {
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(f.NBBetrieb->indexOf(page)).center());
    };
    // Waits until the device has heard nothing for a while.
    const auto settle = [&] {
      size_t seen = 0;
      do {
        seen = sim.RequestCount();
        QTest::qWait(300);
      } while (sim.RequestCount() != seen || CommBusy != 0);
    };
    settle();
    sim.ClearRequests();
    click(f.TabKreis2);
    settle();
    const QStringList clicked = TraceText(Trace(sim.Requests()));
    QVERIFY(clicked.size() > 5);
    click(f.TabKreis1);
    settle();
    QCOMPARE(f.NBBetrieb->currentWidget(), f.TabKreis1);
    if (focus_on_tabs) {
      bar->setFocus();
    } else {
      f.ListeK1->setFocus();  // entering the page reads it
    }
    settle();
    f.ListeK2->clear();
    sim.ClearRequests();

    size_t before_way = 0;  // requests of the command the way came during
    if (way == "mouse") {
      click(f.TabKreis2);
    } else if (way == "Ctrl+Tab") {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    } else if (way == "arrow key") {
      QTest::keyClick(bar, Qt::Key_Right);
    } else if (way == "program") {
      f.NBBetrieb->setCurrentWidget(f.TabKreis2);
    } else if (way == "wheel") {
      const QPointF at = QRectF(bar->tabRect(0)).center();
      QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(bar, &wheel);
      settle();
      QCOMPARE(f.NBBetrieb->currentWidget(), f.TabKreis1);
      QCOMPARE(sim.RequestCount(), size_t(0));
      return;
    } else {
      // The command's first exchange answers late; the click comes meanwhile.
      sim.InjectFault(flowsim::FaultKind::LateReply, 1, 400);
      QTimer::singleShot(100, [&] { click(f.TabKreis2); });
      if (way == "during a refresh") {
        w.RefreshTimerTimer();
      } else {
        w.TrendPage().cmd_ReadTrendsClick(f.cmd_ReadTrends);
      }
      QCOMPARE(f.NBBetrieb->currentWidget(), f.TabKreis2);
      QCOMPARE(f.ListeK2->count(), 0);
      before_way = sim.RequestCount();
      QVERIFY(before_way > 0);
    }
    settle();
    QCOMPARE(f.NBBetrieb->currentWidget(), f.TabKreis2);
    QCOMPARE(TraceText(Trace(sim.Requests())).mid(static_cast<qsizetype>(before_way)), clicked);
    QVERIFY(f.ListeK2->count() > 10);
  }

  void notebookRedirects_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<QString>("shown");
    QTest::newRow("single-circuit flag 0x40") << 0x40 << 0 << "TabKreis2"
                                              << "TabKreis1";
    QTest::newRow("single-circuit flag 0x80") << 0x80 << 0 << "TabKreis2"
                                              << "TabKreis1";
    QTest::newRow("system type 1") << 0 << 1 << "TabKreis2"
                                   << "TabKreis1";
    QTest::newRow("system type 2") << 0 << 2 << "TabKreis2"
                                   << "TabKreis1";
    QTest::newRow("two circuits") << 0 << 4 << "TabKreis2"
                                  << "TabKreis2";
    QTest::newRow("no trend memory") << 0x02 << 0 << "TabTrend"
                                     << "TabKreis1";
    QTest::newRow("trend memory") << 0x01 << 0 << "TabTrend"
                                  << "TabTrend";
    QTest::newRow("parameters, single circuit") << 0x40 << 0 << "TabPar2"
                                                << "TabPar1";
    QTest::newRow("parameters, system type 2") << 0 << 2 << "TabPar2"
                                               << "TabPar1";
    QTest::newRow("parameters, two circuits") << 0 << 0 << "TabPar2"
                                              << "TabPar2";
    QTest::newRow("trend settings, no trend memory") << 0x20 << 0 << "TabParTrend"
                                                     << "TabPar1";
    QTest::newRow("trend settings") << 0 << 0 << "TabParTrend"
                                    << "TabParTrend";
  }
  void notebookRedirects() {
    QFETCH(int, flags);
    QFETCH(int, kind);
    QFETCH(QString, clicked);
    QFETCH(QString, shown);
    Tfrm_Main& w = StartOffline();
    devicelink::SystemParams.SystemTypeFlags = static_cast<uint8_t>(flags);
    devicelink::SystemParams.Kind = static_cast<uint8_t>(kind);
    const bool parameters = clicked.startsWith("TabPar");
    QTabWidget* nb = parameters ? FormOf(w).NBParameter : FormOf(w).NBBetrieb;
    FormOf(w).Notebook->setCurrentWidget(parameters ? FormOf(w).TabParameter
                                                    : FormOf(w).TabBetrieb);
    nb->setCurrentWidget(nb->findChild<QWidget*>(clicked));
    w.NotebookMouseDown(nb);
    QCOMPARE(nb->currentWidget()->objectName(), shown);
    QCOMPARE(CommBusy, uint8_t(0));
  }

  void singleCircuitHidesSecondGroups() {
    Tfrm_Main& w = StartOffline();
    w.show();
    for (int flags : {0x40, 0x00}) {
      devicelink::SystemParams.SystemTypeFlags = static_cast<uint8_t>(flags);
      FormOf(w).Notebook->setCurrentWidget(FormOf(w).TabBetrieb);
      FormOf(w).NBBetrieb->setCurrentWidget(FormOf(w).TabIntegrator);
      w.NotebookMouseDown(FormOf(w).NBBetrieb);
      QCOMPARE(FormOf(w).GroupInteg2->isVisible(), flags == 0);
      FormOf(w).Notebook->setCurrentWidget(FormOf(w).TabParameter);
      FormOf(w).NBParameter->setCurrentWidget(FormOf(w).TabParAusgang);
      w.NotebookMouseDown(FormOf(w).NBParameter);
      QCOMPARE(FormOf(w).GroupAus2->isVisible(), flags == 0);
      FormOf(w).NBParameter->setCurrentWidget(FormOf(w).TabParKorrektur);
      w.NotebookMouseDown(FormOf(w).NBParameter);
      QCOMPARE(FormOf(w).GroupFaktor2->isVisible(), flags == 0);
    }
  }

  // While a command runs, the timers' ticks do nothing and a navigation waits
  // for its end; then the navigation reads, once.
  void aRunningCommandHoldsTicksAndNavigation() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    const size_t before = sim.RequestCount();
    size_t during = 0;
    uint8_t busy = 0;
    w.Gate().Command(&w, [&] {
      w.RefreshTimerTimer();
      w.NotebookMouseDown(FormOf(w).NBBetrieb);
      w.NotebookMouseDown(FormOf(w).NBBetrieb);
      during = sim.RequestCount();
      busy = CommBusy;
    });
    QCOMPARE(during, before);
    QCOMPARE(busy, uint8_t(1));
    QTRY_COMPARE(CommBusy, uint8_t(0));
    QTRY_VERIFY(sim.RequestCount() > before);
    QTest::qWait(200);
    const size_t once = sim.RequestCount();
    w.NotebookMouseDown(FormOf(w).NBBetrieb);
    QCOMPARE(sim.RequestCount() - once, once - before);
  }

  void enteringAPageReadsIt() {
    Tfrm_Main& w = StartOnlineActive();
    flowsim::FlowSimulator& sim = world->Device();
    FormOf(w).NBBetrieb->setCurrentWidget(FormOf(w).TabKreis2);
    QVERIFY(FormOf(w).ListeK2->count() == 0);
    FormOf(w).ListeK2->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(FormOf(w).ListeK2->count() > 10, 5000);
    bool read_circuit_2 = false;
    for (const auto& r : sim.Requests()) {
      if (r.request.size() >= 3 &&
          (r.request[1] << 8 | r.request[2]) == flowsim::map::kLiveValues + 80) {
        read_circuit_2 = true;
      }
    }
    QVERIFY(read_circuit_2);
  }

  // The focus coming back to the window enters no page: closing a dialog, the
  // about box or a message box reads nothing from the device.
  void focusReturningToTheWindowReadsNothing() {
    Tfrm_Main& w = StartOnlineActive();
    flowsim::FlowSimulator& sim = world->Device();
    FormOf(w).ListeK1->setFocus();
    QTest::qWait(300);
    const size_t before = sim.RequestCount();

    world->modal_scripts["TEinst"] = [](QDialog& d) {
      QApplication::setActiveWindow(&d);
      QTest::qWait(50);
    };
    world->modal_scripts["TAboutBox"] = world->modal_scripts["TEinst"];
    w.mnu_EinstellungenClick();
    QTest::qWait(300);
    w.mnu_InfoClick();
    QTest::qWait(300);
    {
      // A real box of the program's own, closed by the operator.
      QMessageBox box(QMessageBox::Information, "vandrel2", "Hinweis", QMessageBox::Ok, &w);
      QTimer::singleShot(100, &box, [&box] { box.accept(); });
      box.exec();
    }
    QApplication::setActiveWindow(&w);
    QTest::qWait(300);
    QCOMPARE(sim.RequestCount(), before);

    // A move between controls of the window still enters the page.
    FormOf(w).NBBetrieb->setFocus();
    QTest::qWait(50);
    FormOf(w).ListeK1->setFocus();
    QTRY_VERIFY_WITH_TIMEOUT(sim.RequestCount() > before, 5000);
  }

  void clockFieldFollowsPcClockPlusOffset() {
    platform::ManualClock& clock = world->UseManualClock();
    Tfrm_Main& w = StartOffline();
    clock.SetStepPerRead(0);
    clock.SetNow({2024, 12, 31, 23, 59, 58, 0});
    devicelink::DeviceOnline = true;  // no traffic: the tick only computes
    devicelink::DeviceClock = {2024, 12, 31, 23, 59, 0};
    devicelink::ClockOffset = 2.5 / 86400.0;
    w.SystemTimerTimer();
    QCOMPARE(FormOf(w).Ed_DateTime->text(), QString("01.01.2025 00:00:00"));
    clock.Advance(1000);
    w.SystemTimerTimer();
    QCOMPARE(FormOf(w).Ed_DateTime->text(), QString("01.01.2025 00:00:01"));
    QCOMPARE(devicelink::DeviceClock.Year, uint16_t(2025));

    // A running command or an offline device leaves it alone.
    clock.Advance(1000);
    w.Gate().Command(&w, [&] { w.SystemTimerTimer(); });
    devicelink::DeviceOnline = false;
    w.SystemTimerTimer();
    QCOMPARE(FormOf(w).Ed_DateTime->text(), QString("01.01.2025 00:00:01"));
    devicelink::DeviceOnline = true;

    // A failed clock read empties the clock: the field keeps its text.
    devicelink::DeviceClock = {};
    clock.Advance(1000);
    w.SystemTimerTimer();
    QCOMPARE(FormOf(w).Ed_DateTime->text(), QString("01.01.2025 00:00:01"));
    devicelink::DeviceOnline = false;
  }

  void clockStopsAfterFailedDeviceRead() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    QVERIFY(devicelink::DeviceClock.Day != 0);
    w.SystemTimerTimer();
    const QString shown = FormOf(w).Ed_DateTime->text();
    QVERIFY(!shown.isEmpty());
    devicelink::TransferTimeout = 100;
    sim.InjectFaultAt(flowsim::FaultKind::NoAnswer, flowsim::map::kClock, flowsim::kEveryFrame);
    w.RefreshTimerTimer();
    QCOMPARE(devicelink::DeviceClock.Day, uint16_t(0));
    QTest::qWait(1100);
    w.SystemTimerTimer();
    QCOMPARE(FormOf(w).Ed_DateTime->text(), shown);
  }

  void setButtonSetsDeviceClockFromPc() {
    flowsim::FlowSimulator& sim = world->StartDevice();
    world->WriteSettings(true);
    QCOMPARE(world->Start(), std::nullopt);
    Tfrm_Main& w = *world->Main();
    sim.SetDeviceTime({2001, 2, 3, 4, 5, 6});
    w.RefreshTimerTimer();
    QCOMPARE(FormOf(w).Ed_DateTime->text(), QString("03.02.2001 04:05:06"));
    w.OperatingPages().cmd_SetDateTimeClick();
    const platform::LocalDateTime now = platform::Now();
    const flowsim::CivilTime device = sim.DeviceTime();
    QCOMPARE(device.year, now.year);
    QCOMPARE(device.day, now.day);
    const QString shown = FormOf(w).Ed_DateTime->text();
    QVERIFY2(shown.startsWith(QString("%1.%2.%3")
                                  .arg(now.day, 2, 10, QChar('0'))
                                  .arg(now.month, 2, 10, QChar('0'))
                                  .arg(now.year)),
             qPrintable(shown));
    QVERIFY(std::abs(devicelink::ClockOffset) * 86400.0 < 5.0);
    QCOMPARE(CommBusy, uint8_t(0));
  }

  void advanceClockRollsOverCalendar() {
    const TClockFields leap = AdvanceClock(2024, 2, 28, 23, 59, 59, 999, 1.0 / 86400.0);
    QCOMPARE(leap.month, 2);
    QCOMPARE(leap.day, 29);
    QCOMPARE(leap.second, 0);
    const TClockFields back = AdvanceClock(2025, 1, 1, 0, 0, 0, 0, -1.5 / 86400.0);
    QCOMPARE(back.year, 2024);
    QCOMPARE(back.hour, 23);
    QCOMPARE(back.second, 58);
  }
};

QTEST_MAIN(NavigationTest)
#include "navigation_test.moc"
