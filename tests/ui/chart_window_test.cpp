// The chart window on a trend store made by hand: one curve per record, the
// sample times as UTC, values in the display unit, the three buttons, when the
// charts are emptied, printing and the two-by-two layout.
#include <QAbstractAxis>
#include <QAction>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QLineSeries>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <cmath>
#include <limits>
#include <set>

#include "devicelink/device_data.h"
#include "services/app_state.h"
#include "tests/platform/temp_folder.h"
#include "tests/ui/trend_records.h"
#include "tests/ui/ui_fixture.h"
#include "ui/chart_rules.h"
#include "ui/chart_window.h"
#include "ui/dialog_hooks.h"
#include "ui_chart_window.h"

using namespace ui;
using devicelink::TTrendRecord;

namespace {

class FakeTrendPage : public TTrendSource {
 public:
  std::string TrendHeading(int column) const override {
    return "Spalte " + std::to_string(column) + "[x]";
  }
  bool TrendReadRunning() const override { return running; }
  bool running = false;
};

double Utc(int year, int month, int day, int hour, int minute, int second = 0) {
  return static_cast<double>(
      QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toMSecsSinceEpoch());
}

QList<QLineSeries*> Series(Tfrm_Grafik& w, int chart) {
  QList<QLineSeries*> out;
  for (QAbstractSeries* s : w.Chart(chart)->series()) out << static_cast<QLineSeries*>(s);
  return out;
}

}  // namespace

class ChartWindowTest : public QObject {
  Q_OBJECT
  FakeTrendPage page;
  std::unique_ptr<Tfrm_Grafik> window;

 private slots:
  void init() {
    devicelink::ResetDeviceData();
    services::Medium = 0;
    devicelink::TrendStore = std::make_unique<devicelink::TTrendStore>();
    auto& records = devicelink::TrendStore->Records;
    records[3] = testing::TrendRecord(0, 15, 2024, 3, 5, 10, 37, 5, 0);
    // Over the night the clocks of central Europe go forward.
    records[7] = testing::TrendRecord(0, 60, 2024, 3, 30, 22, 0, 59, 10);
    records[10] = testing::TrendRecord(1, 30, 2024, 3, 6, 8, 0, 3, 20);
    records[12] = testing::TrendRecord(0, 15, 2024, 3, 7, 8, 0, 5, 30);
    records[12].Status = 0;  // not completely read
    records[13] = testing::TrendRecord(0, 15, 2024, 3, 8, 8, 0, 0, 40);
    page.running = false;
    window = std::make_unique<Tfrm_Grafik>(&page);
    window->resize(800, 600);
    window->show();
  }
  void cleanup() {
    window.reset();
    SetPrintDialogHook(nullptr);
    devicelink::TrendStore.reset();
    devicelink::ResetDeviceData();
  }

  void chartTimeIsUtcOfTheDeviceClock() {
    const TSampleTime at{{2024, 3, 31, 2, 30}, 15};  // no such local time in Berlin
    QCOMPARE(ChartTime(at), Utc(2024, 3, 31, 2, 30, 15));
    QCOMPARE(ChartTime({{1999, 12, 31, 23, 59}, 59}) + 1000, Utc(2000, 1, 1, 0, 0));
  }

  void halves() {
    const std::pair<int, int> cases[] = {{0, 0}, {1, 0}, {3, 2}, {5, 2}, {7, 4}, {8, 4},
                                         {449, 224}, {451, 226}};
    for (auto [length, half] : cases) QCOMPARE(HalfToEven(length), half);
  }

  void curvesSplitWhereASampleIsMissing() {
    TTrendRecord r = testing::TrendRecord(0, 15, 2024, 3, 5, 10, 0, 6);
    r.MassFlowSamples[0] = std::numeric_limits<float>::quiet_NaN();
    r.MassFlowSamples[3] = std::numeric_limits<float>::infinity();
    const auto curves = TrendCurves(r, 3);
    QCOMPARE(curves.size(), size_t(2));
    QCOMPARE(curves[0].size(), size_t(2));  // samples 1 and 2
    QCOMPARE(curves[0][0].x, Utc(2024, 3, 5, 10, 30));
    QCOMPARE(curves[1].size(), size_t(2));  // samples 4 and 5
    QCOMPARE(curves[1][1].y, 275.0);
    QCOMPARE(TrendCurves(r, 2).size(), size_t(1));
  }

  void timeTicks() {
    const double from = Utc(2024, 3, 5, 10, 45);
    const auto ticks = TimeAxisTicks(from, Utc(2024, 3, 5, 15, 45), 5);
    QVERIFY(!ticks.empty() && ticks.size() <= 5);
    QCOMPARE(ticks.front().x, Utc(2024, 3, 5, 11, 0));
    QCOMPARE(ticks.front().label, std::string("05.03. 11:00"));
    const auto days = TimeAxisTicks(Utc(2024, 2, 27, 5, 0), Utc(2024, 3, 1, 23, 0), 5);
    QCOMPARE(days.size(), size_t(3));
    QCOMPARE(days.front().label, std::string("28.02.2024"));
    QCOMPARE(days[1].label, std::string("29.02.2024"));
    QCOMPARE(days.back().label, std::string("01.03.2024"));
    QCOMPARE(TimeAxisTicks(from, from + 50000, 5).front().label, std::string("10:45:00"));
  }

  // Whatever the span, from minutes to decades (a record stamped 1999 beside
  // those of 2024), a few marks at round times, each labelled once.
  void timeTicksForAnySpan_data() {
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QString>("first");
    const double start = Utc(2024, 3, 5, 10, 45);
    QTest::newRow("2 minutes") << start << start + 120e3 << "10:45:00";
    QTest::newRow("1 hour") << start << Utc(2024, 3, 5, 11, 45) << "05.03. 10:45";
    QTest::newRow("3 days") << start << Utc(2024, 3, 8, 10, 45) << "06.03.2024";
    QTest::newRow("5 weeks") << start << Utc(2024, 4, 9, 10, 45) << "07.03.2024";
    QTest::newRow("4 months") << start << Utc(2024, 7, 5, 0, 0) << "04.2024";
    QTest::newRow("13 months") << start << Utc(2025, 4, 5, 0, 0) << "04.2024";
    QTest::newRow("3 years") << start << Utc(2027, 3, 5, 0, 0) << "2025";
    QTest::newRow("1999 beside 2024") << Utc(1999, 12, 31, 0, 15) << Utc(2024, 3, 5, 11, 45)
                                      << "2000";
    QTest::newRow("25 years") << Utc(2000, 1, 1, 0, 0) << Utc(2025, 1, 1, 0, 0) << "2000";
  }
  void timeTicksForAnySpan() {
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(QString, first);
    for (int max_ticks : {5, 10}) {
      const auto ticks = TimeAxisTicks(from, to, max_ticks);
      QVERIFY2(ticks.size() >= 2 && ticks.size() <= static_cast<size_t>(max_ticks),
               qPrintable(QString::number(ticks.size())));
      std::set<std::string> labels;
      for (size_t i = 0; i < ticks.size(); ++i) {
        QVERIFY(ticks[i].x >= from && ticks[i].x <= to);
        if (i > 0) QVERIFY(ticks[i].x > ticks[i - 1].x);
        QVERIFY(labels.insert(ticks[i].label).second);
      }
      if (max_ticks == 5) QCOMPARE(QString::fromStdString(ticks.front().label), first);
    }
  }

  void circuitOneHasACurvePerRecord() {
    // Mass flow shown in t/h.
    devicelink::UnitSwitches.Einheiten = 1;
    devicelink::UserUnits[4].Variant = 6;
    QVERIFY(window->Form()->SpeedButton1->isChecked());
    window->Form()->SpeedButton2->click();
    QVERIFY(window->Form()->SpeedButton2->isChecked());
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(window->Chart(i)->title(), QString("Spalte %1[x]").arg(i + 1));
      const QList<QLineSeries*> s = Series(*window, i);
      QCOMPARE(s.size(), 2);
      QCOMPARE(s[0]->count(), 5);
      QCOMPARE(s[1]->count(), 60);  // a count of 59 shows 60 samples
      QCOMPARE(s[0]->at(0).x(), Utc(2024, 3, 5, 10, 45));
      QCOMPARE(s[0]->at(4).x(), Utc(2024, 3, 5, 11, 45));
      // An hour apart each, also where the local clock jumps.
      QCOMPARE(s[1]->at(0).x(), Utc(2024, 3, 30, 23, 0));
      QCOMPARE(s[1]->at(59).x(), Utc(2024, 4, 2, 10, 0));
      for (int j = 1; j < 60; ++j) QCOMPARE(s[1]->at(j).x() - s[1]->at(j - 1).x(), 3600000.0);
      // The axes cover every point.
      auto* x = static_cast<QValueAxis*>(window->Chart(i)->axes(Qt::Horizontal).value(0));
      auto* y = static_cast<QValueAxis*>(window->Chart(i)->axes(Qt::Vertical).value(0));
      QVERIFY(x->isVisible() && y->isVisible());
      for (QLineSeries* series : s) {
        for (const QPointF& p : series->points()) {
          QVERIFY(p.x() >= x->min() && p.x() <= x->max());
          QVERIFY(p.y() >= y->min() && p.y() <= y->max());
        }
      }
    }
    const QList<QLineSeries*> t = Series(*window, 0);
    QCOMPARE(t[0]->at(0).y(), 20.0);
    QCOMPARE(t[1]->at(59).y(), double((2931.0f + 10 + 59 - 2731.0f) / 10.0f));
    QCOMPARE(Series(*window, 1)[0]->at(4).y(), 404.0);
    QCOMPARE(Series(*window, 2)[1]->at(0).y(), 360.0);
    QCOMPARE(Series(*window, 3)[0]->at(0).y(), double(280.0f * 0.001f));
  }

  void circuitTwoAndTheClearingButton() {
    window->Form()->SpeedButton3->click();
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(Series(*window, i).size(), 1);
      QCOMPARE(Series(*window, i)[0]->count(), 3);
    }
    QCOMPARE(Series(*window, 0)[0]->at(2).x(), Utc(2024, 3, 6, 9, 30));
    // Without records of the circuit: titled charts without curves or axes.
    devicelink::TrendStore->Records[10].Status = 0;
    window->Form()->SpeedButton3->click();
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(window->Chart(i)->title(), QString("Spalte %1[x]").arg(i + 1));
      QVERIFY(Series(*window, i).isEmpty());
      QVERIFY(!window->Chart(i)->axes(Qt::Horizontal).value(0)->isVisible());
    }
    window->Form()->SpeedButton2->click();
    window->Form()->SpeedButton1->click();
    for (int i = 0; i < 4; ++i) {
      QVERIFY(Series(*window, i).isEmpty());
      QVERIFY(window->Chart(i)->title().isEmpty());
    }
  }

  // Switching windows keeps the view; showing the window again empties it.
  void emptiedOnShowOnly() {
    window->Form()->SpeedButton2->click();
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    QCOMPARE(Series(*window, 0).size(), 2);
    window->hide();
    window->show();
    QVERIFY(Series(*window, 0).isEmpty());
    QVERIFY(window->Form()->SpeedButton1->isChecked());
  }

  void buttonsWaitForARunningRead() {
    window->Form()->SpeedButton2->click();
    page.running = true;
    window->Form()->SpeedButton3->click();
    QVERIFY(window->Form()->SpeedButton2->isChecked());
    QCOMPARE(Series(*window, 0).size(), 2);
    window->Form()->SpeedButton1->click();
    QCOMPARE(Series(*window, 0).size(), 2);
    page.running = false;
    window->Form()->SpeedButton3->click();
    QCOMPARE(Series(*window, 0).size(), 1);
  }

  void printsAChart() {
    window->Form()->SpeedButton2->click();
    platform::testing::TempFolder folder;
    const std::string pdf = folder / "chart.pdf";
    int asked = 0;
    std::string offered;
    SetPrintDialogHook([&](QPrinter& printer) {
      ++asked;
      offered = printer.outputFileName().toStdString();
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return asked == 1;  // the second time the user cancels
    });
    auto* item = window->findChild<QAction*>("mnu_Print2");
    QVERIFY(item != nullptr && item->text() == "Drucken...");
    item->trigger();
    QCOMPARE(asked, 1);
    // Printing to a file starts in the documents folder, named after the chart.
    if (QPrinterInfo::availablePrinters().isEmpty()) QCOMPARE(offered, PrintFileName("Grafik2"));
    const std::string bytes = testing::ReadFile(pdf);
    QVERIFY(bytes.rfind("%PDF", 0) == 0);
    QVERIFY(bytes.size() > 1000);
    std::filesystem::remove(pdf);
    SetPrintDialogHook([&](QPrinter&) { return ++asked == 1; });
    window->findChild<QAction*>("mnu_Print4")->trigger();
    QCOMPARE(asked, 2);
    QVERIFY(!std::filesystem::exists(pdf));
  }

  // A record stamped 1999 beside those of 2024: dragging across the chart shows
  // the span dragged over, labelled anew and with the values fitted to it; a
  // double-click shows the whole again.
  void aLongSpanIsReadByDraggingAcross() {
    devicelink::TrendStore->Records[20] = testing::TrendRecord(0, 15, 1999, 12, 31, 23, 0, 5, -1000);
    window->Form()->SpeedButton2->click();
    QChartView* view = window->ChartView(0);
    QChart* chart = view->chart();
    QCOMPARE(view->rubberBand(), QChartView::HorizontalRubberBand);
    auto* x = static_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    auto* y = static_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    const double whole_min = x->min();
    const double whole_max = x->max();
    QVERIFY(whole_min <= Utc(2000, 1, 1, 0, 0) && whole_max >= Utc(2024, 4, 2, 10, 0));
    QVERIFY(y->min() < -70);

    // From the last fiftieth of the plot, where the 2024 records are, to its end.
    const QRectF area = chart->plotArea();
    const QPoint from = view->mapFromScene(
        chart->mapToScene(QPointF(area.right() - area.width() / 50, area.center().y())));
    const QPoint to = view->mapFromScene(chart->mapToScene(QPointF(area.right() - 1, area.center().y())));
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view->viewport(), (from + to) / 2);
    QTest::mouseMove(view->viewport(), to);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
    QVERIFY2(x->min() > Utc(2023, 1, 1, 0, 0), qPrintable(QString::number(x->min())));
    QVERIFY(x->max() <= whole_max);
    const QStringList labels = x->categoriesLabels();
    QVERIFY2(labels.size() >= 2 && labels.size() <= 5, qPrintable(labels.join(" ")));
    for (const QString& label : labels) {
      const double v = x->endValue(label);
      QVERIFY(v >= x->min() && v <= x->max());
    }
    // Only the 2024 samples are in the span: 20 °C and more.
    QVERIFY2(y->min() >= 0 && y->min() <= 20, qPrintable(QString::number(y->min())));

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, from);
    QCOMPARE(x->min(), whole_min);
    QCOMPARE(x->max(), whole_max);
    QVERIFY(y->min() < -70);
  }

  void twoByTwo() {
    for (QSize size : {QSize(801, 601), QSize(640, 479)}) {
      window->resize(size);
      QApplication::processEvents();
      const QSize panel = window->Form()->Panel2->size();
      QCOMPARE(window->Form()->Panel3->height(), HalfToEven(panel.height()));
      QCOMPARE(window->ChartView(0)->width(), HalfToEven(panel.width()));
      QCOMPARE(window->ChartView(2)->width(), HalfToEven(panel.width()));
      QVERIFY(window->ChartView(1)->x() > window->ChartView(0)->x());
      QVERIFY(window->Form()->Panel4->y() > window->Form()->Panel3->y());
    }
    QCOMPARE(window->Form()->Panel1->height(), 57);
  }
};

QTEST_MAIN(ChartWindowTest)
#include "chart_window_test.moc"
