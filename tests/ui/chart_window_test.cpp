// The chart window on a trend store made by hand: one curve per record, the
// sample times as UTC, values in the display unit, the three buttons, when the
// charts are emptied, printing and the two-by-two layout.
#include <QAbstractAxis>
#include <QAction>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLineSeries>
#include <QPicture>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include <cmath>
#include <limits>
#include <set>

#include "devicelink/device_data.h"
#include "platform/folders.h"
#include "services/app_state.h"
#include "services/text_modules.h"
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

QCategoryAxis* Axis(QChart* chart, Qt::Orientation o) {
  return static_cast<QCategoryAxis*>(chart->axes(o).value(0));
}

// Layouts and the marks that follow them run from posted events.
void Settle() {
  for (int n = 0; n < 10; ++n) QApplication::processEvents();
}

// Checks that every label the chart's axes draw is its whole text, apart from
// the others and inside the chart's frame, as the scene holds them.
void CheckLabelsWhole(Tfrm_Grafik& w, int i, const QString& where) {
  QChart* chart = w.Chart(i);
  QStringList expected;
  for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical}) {
    expected << Axis(chart, o)->categoriesLabels();
  }
  QStringList drawn;
  QStringList texts;  // beside their rectangles
  QList<QRectF> rects;
  for (QGraphicsItem* item : chart->scene()->items()) {
    auto* text = dynamic_cast<QGraphicsTextItem*>(item);
    if (text == nullptr || !text->isVisible() || !chart->isAncestorOf(text) || text == w.Note(i)) {
      continue;
    }
    const QString t = text->toPlainText();
    if (t.isEmpty() || t == chart->title()) continue;
    drawn << t;
    texts << t;
    rects << text->sceneBoundingRect();
  }
  expected.sort();
  drawn.sort();
  QVERIFY2(drawn == expected,
           qPrintable(where + ": drawn " + drawn.join("|") + ", set " + expected.join("|")));
  qreal l = 0, t = 0, r = 0, b = 0;
  chart->layout()->getContentsMargins(&l, &t, &r, &b);
  const QRectF frame = chart->mapRectToScene(chart->rect().adjusted(l, t, -r, -b));
  for (qsizetype i = 0; i < rects.size(); ++i) {
    QVERIFY2(frame.contains(rects[i]),
             qPrintable(where + ": \"" + texts[i] + "\" outside the frame"));
    for (qsizetype j = 0; j < i; ++j) {
      QVERIFY2(!rects[i].intersects(rects[j]),
               qPrintable(QString("%1: \"%2\" and \"%3\" overlap").arg(where, texts[i], texts[j])));
    }
  }
}

}  // namespace

class ChartWindowTest : public QObject {
  Q_OBJECT
  FakeTrendPage page;
  std::unique_ptr<Tfrm_Grafik> window;

 private slots:
  void init() {
    services::ProgramFolder = platform::ProgramFolder() + "/";
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
    QCOMPARE(TimeAxisTicks(from, from + 50000, 5).front().label, std::string("05.03. 10:45:00"));
  }

  // Marks of seconds and minutes name the day on the first mark and where a
  // new day begins.
  void timeTicksNameTheDay() {
    const auto ticks = TimeAxisTicks(Utc(2024, 12, 31, 23, 58), Utc(2025, 1, 1, 0, 2), 5);
    QStringList labels;
    for (const TTimeTick& t : ticks) labels << QString::fromStdString(t.label);
    QCOMPARE(labels.join("|"), QString("31.12. 23:58|23:59|01.01. 00:00|00:01|00:02"));
    const auto seconds = TimeAxisTicks(Utc(2024, 3, 5, 23, 59, 58), Utc(2024, 3, 6, 0, 0, 1), 5);
    labels.clear();
    for (const TTimeTick& t : seconds) labels << QString::fromStdString(t.label);
    QCOMPARE(labels.join("|"), QString("05.03. 23:59:58|23:59:59|06.03. 00:00:00|00:00:01"));
  }

  // With the axis's room, marks whose labels would touch are too many: the
  // step grows. A label that would cross an edge is left out (a mark on the
  // span's start has no room for its left half), and the first one shown
  // names the day. Every span starts at 10:00; labels are so many pixels a
  // character.
  void timeTicksInTheirRoom_data() {
    QTest::addColumn<int>("minutes");
    QTest::addColumn<double>("char_width");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("right");
    QTest::addColumn<QString>("labels");
    // Six hours on 360 pixels: a minute a pixel, labels 120 wide.
    QTest::newRow("6 hours on 360") << 360 << 10.0 << 360.0 << 360.0 << "05.03. 12:00|05.03. 15:00";
    QTest::newRow("6 hours on 720") << 360 << 10.0 << 720.0 << 720.0 << "05.03. 12:00|05.03. 14:00";
    QTest::newRow("room past the plot's end")
        << 360 << 10.0 << 720.0 << 780.0 << "05.03. 12:00|05.03. 14:00|05.03. 16:00";
    QTest::newRow("too narrow for any") << 360 << 10.0 << 100.0 << 100.0 << "";
    QTest::newRow("2 minutes, room for three")
        << 2 << 7.0 << 600.0 << 600.0 << "05.03. 10:00:30|10:01:00|10:01:30";
    // The dated label would touch its neighbour at half-minute steps.
    QTest::newRow("2 minutes, room for one") << 2 << 7.0 << 300.0 << 300.0 << "05.03. 10:01";
  }
  void timeTicksInTheirRoom() {
    QFETCH(int, minutes);
    QFETCH(double, char_width);
    QFETCH(double, width);
    QFETCH(double, right);
    QFETCH(QString, labels);
    TLabelRoom room;
    room.width = width;
    room.right = right;
    room.gap = 8;
    room.label_width = [&](const std::string& l) {
      return char_width * static_cast<double>(l.size());
    };
    const double from = Utc(2024, 3, 5, 10, 0);
    QStringList got;
    for (const TTimeTick& t : TimeAxisTicks(from, from + minutes * 60e3, 5, &room)) {
      got << QString::fromStdString(t.label);
    }
    QCOMPARE(got.join("|"), labels);
  }

  // Finite values of any size, also beyond the dates a label can name, give
  // marks within years 0 to 9999 only (no overflowing cast on the way).
  void timeTicksOfAbsurdSpans_data() {
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    const double denormal = std::numeric_limits<double>::denorm_min();
    const double huge = std::numeric_limits<double>::max();
    QTest::newRow("whole double range") << -huge << huge;
    QTest::newRow("far future") << 1e300 << 1e301;
    QTest::newRow("far past") << -1e301 << -1e300;
    QTest::newRow("past to 1970") << -1e300 << 0.0;
    QTest::newRow("denormals") << denormal << 1e5 * denormal;
    QTest::newRow("denormals around 1970") << -denormal << denormal;
    QTest::newRow("int64 edge") << 9.3e18 << 9.3e21;
  }
  void timeTicksOfAbsurdSpans() {
    QFETCH(double, from);
    QFETCH(double, to);
    const double first = ChartTime({{0, 1, 1, 0, 0}, 0});
    const double last = ChartTime({{9999, 12, 31, 23, 59}, 59});
    for (int max_ticks : {1, 5}) {
      const auto ticks = TimeAxisTicks(from, to, max_ticks);
      QVERIFY(ticks.size() <= static_cast<size_t>(max_ticks));
      for (const TTimeTick& t : ticks) {
        QVERIFY2(t.x >= std::max(from, first) && t.x <= std::min(to, last), t.label.c_str());
        QVERIFY(t.label.size() <= 15);
      }
    }
  }

  void valueScales_data() {
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("max_ticks");
    QTest::addColumn<QString>("labels");
    QTest::newRow("0-1") << 0.0 << 1.0 << 6 << "0.0 0.2 0.4 0.6 0.8 1.0";
    QTest::newRow("0-1500") << 0.0 << 1500.0 << 6 << "0 500 1000 1500";
    QTest::newRow("0-4e6") << 0.0 << 4e6 << 6 << "0 1000000 2000000 3000000 4000000";
    QTest::newRow("negative") << -45.5 << -12.0 << 6 << "-50 -40 -30 -20 -10";
    QTest::newRow("step 0.05") << 0.1 << 0.3 << 6 << "0.10 0.15 0.20 0.25 0.30";
    QTest::newRow("up to 0, no -0") << -1.2 << 0.0 << 7 << "-1.2 -1.0 -0.8 -0.6 -0.4 -0.2 0.0";
    QTest::newRow("across 0 with 2") << -0.1 << 0.1 << 2 << "-0.1 0.0 0.1";
    QTest::newRow("one value") << 20.0 << 20.0 << 5 << "19.0 19.5 20.0 20.5 21.0";
    QTest::newRow("billions") << 0.0 << 2e9 << 5 << "0 5.0e+08 1.0e+09 1.5e+09 2.0e+09";
    QTest::newRow("largest floats") << -3.4e38 << 3.4e38 << 6 << "-4e+38 -2e+38 0 2e+38 4e+38";
    QTest::newRow("tiny") << 0.0 << 5e-12 << 6 << "0 1e-12 2e-12 3e-12 4e-12 5e-12";
    QTest::newRow("denormal") << 0.0 << std::numeric_limits<double>::denorm_min() << 5
                              << "-1.0 -0.5 0.0 0.5 1.0";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 1.0 << 5 << "";
    QTest::newRow("span beyond double") << -1.7e308 << 1.7e308 << 5 << "";
  }
  void valueScales() {
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, max_ticks);
    QFETCH(QString, labels);
    const TValueScale scale = ValueAxisScale(min, max, max_ticks);
    QStringList got;
    for (const TValueTick& t : scale.ticks) got << QString::fromStdString(t.label);
    QCOMPARE(got.join(" "), labels);
    if (scale.ticks.empty()) return;
    QCOMPARE(scale.ticks.front().y, scale.min);
    QCOMPARE(scale.ticks.back().y, scale.max);
    QVERIFY(scale.min <= std::min(min, max) && scale.max >= std::max(min, max));
    for (const TValueTick& t : scale.ticks) {
      QCOMPARE(t.y, QString::fromStdString(t.label).toDouble());  // the label is the value
    }
  }

  // Whatever the span, from minutes to decades (a record stamped 1999 beside
  // those of 2024), a few marks at round times, each labelled once.
  void timeTicksForAnySpan_data() {
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QString>("first");
    const double start = Utc(2024, 3, 5, 10, 45);
    QTest::newRow("2 minutes") << start << start + 120e3 << "05.03. 10:45:00";
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
      QVERIFY(!window->Note(i)->isVisible());
    }
    QCOMPARE(Series(*window, 0)[0]->at(2).x(), Utc(2024, 3, 6, 9, 30));
    // A column without a single value: bare axes, and the chart says so.
    for (float& v : devicelink::TrendStore->Records[10].MassFlowSamples) {
      v = std::numeric_limits<float>::quiet_NaN();
    }
    window->Form()->SpeedButton3->click();
    QVERIFY(Series(*window, 3).isEmpty());
    QVERIFY(window->Note(3)->isVisible() && !window->Note(2)->isVisible());
    QCOMPARE(window->Note(3)->toPlainText(),
             QString("Keine gültigen Werte in den Trendaufzeichnungen dieses Kreises"));
    // Without records of the circuit: titled charts with bare axes, in the
    // language and medium in force.
    devicelink::TrendStore->Records[10].Status = 0;
    for (int32_t medium : {0, 1}) {
      for (int32_t language : {0, 1}) {
        services::Medium = medium;
        services::Language = language;
        window->Form()->SpeedButton3->click();
        Settle();
        for (int i = 0; i < 4; ++i) {
          QChart* chart = window->Chart(i);
          QCOMPARE(chart->title(), QString("Spalte %1[x]").arg(i + 1));
          QVERIFY(Series(*window, i).isEmpty());
          QVERIFY(Axis(chart, Qt::Horizontal)->isVisible() &&
                  Axis(chart, Qt::Vertical)->isVisible());
          QVERIFY(window->Note(i)->isVisible());
          QCOMPARE(window->Note(i)->toPlainText(),
                   language == 0 ? QString("Keine Trendaufzeichnungen dieses Kreises")
                                 : QString("No trend records of this circuit"));
          QVERIFY(chart->plotArea().contains(
              chart->mapRectFromItem(window->Note(i), window->Note(i)->boundingRect())));
        }
      }
    }
    services::Medium = 0;
    services::Language = 0;
    window->Form()->SpeedButton2->click();
    window->Form()->SpeedButton1->click();
    for (int i = 0; i < 4; ++i) {
      QVERIFY(Series(*window, i).isEmpty());
      QVERIFY(window->Chart(i)->title().isEmpty());
      QVERIFY(!Axis(window->Chart(i), Qt::Horizontal)->isVisible());
      QVERIFY(!window->Note(i)->isVisible());
    }
  }

  // At the window's start size, whatever the values and the span, every mark's
  // label is drawn whole and apart from the others; the values are marked by
  // round steps with the decimals they need.
  void labelsWholeAtTheStartSize_data() {
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<QString>("span");
    const std::pair<const char*, std::pair<double, double>> values[] = {
        {"0-1", {0, 1}}, {"0-1500", {0, 1500}}, {"0-4e6", {0, 4e6}}, {"negative", {-45.5, -12}}};
    for (const auto& [name, range] : values) {
      for (const char* span : {"2 minutes", "6 hours", "3 days", "25 years"}) {
        QTest::addRow("%s, %s", name, span) << range.first << range.second << QString(span);
      }
    }
  }
  void labelsWholeAtTheStartSize() {
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(QString, span);
    auto& records = devicelink::TrendStore->Records;
    for (TTrendRecord& r : records) r.Status = 0;
    if (span == "2 minutes") {
      records[0] = testing::TrendRecord(0, 100, 2024, 3, 5, 10, 0, 59);
      records[1] = testing::TrendRecord(0, 100, 2024, 3, 5, 10, 1, 59);
    } else if (span == "6 hours") {
      records[0] = testing::TrendRecord(0, 6, 2024, 3, 5, 10, 0, 59);
    } else if (span == "3 days") {
      records[0] = testing::TrendRecord(0, 72, 2024, 2, 27, 10, 0, 59);
    } else {
      records[0] = testing::TrendRecord(0, 15, 2000, 1, 1, 0, 0, 59);
      records[1] = testing::TrendRecord(0, 15, 2025, 1, 1, 0, 0, 59);
    }
    for (TTrendRecord& r : records) {
      for (size_t j = 0; j < 60; ++j) {
        const float v = static_cast<float>(low + (high - low) * static_cast<double>(j) / 59);
        r.TempSamples[j] = 2731.0f + 10.0f * v;
        r.StdFlowSamples[j] = v;
        r.MassFlowSamples[j] = v;
      }
    }
    window.reset();
    window = std::make_unique<Tfrm_Grafik>(&page);
    window->show();
    window->Form()->SpeedButton2->click();
    Settle();
    const QRegularExpression day("^\\d\\d\\.\\d\\d\\. ");
    for (int i = 0; i < 4; ++i) {
      QChart* chart = window->Chart(i);
      const QString where = QString("chart %1").arg(i + 1);
      CheckLabelsWhole(*window, i, where);
      const QStringList times = Axis(chart, Qt::Horizontal)->categoriesLabels();
      QVERIFY2(!times.isEmpty(), qPrintable(where));
      if (span == "2 minutes" || span == "6 hours") {
        QVERIFY2(!times.filter(day).isEmpty(),
                 qPrintable(where + ": no day in " + times.join("|")));
      }
      // The value marks are a scale of the rule for some number of marks.
      QCategoryAxis* y = Axis(chart, Qt::Vertical);
      bool scale_found = false;
      for (int n = 3; n <= 7 && !scale_found; ++n) {
        const TValueScale scale = ValueAxisScale(i == 1 ? 400 : low, i == 1 ? 459 : high, n);
        QStringList labels;
        for (const TValueTick& t : scale.ticks) labels << QString::fromStdString(t.label);
        scale_found =
            labels == y->categoriesLabels() && y->min() == scale.min && y->max() == scale.max;
      }
      QVERIFY2(scale_found, qPrintable(where + ": " + y->categoriesLabels().join("|")));
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

  // A printed chart draws nothing off its page, whatever the window's size: the
  // view, headings, labels and notes included, scaled into a landscape page.
  void aPrintedChartStaysOnThePage() {
    for (const QSize size : {QSize(1000, 700), QSize(400, 900), QSize(1600, 300)}) {
      window->resize(size);
      window->Form()->SpeedButton2->click();
      Settle();
      for (int i = 0; i < 4; ++i) {
        const QRectF page(0, 0, 1100, 850);
        QPicture picture;
        QPainter painter(&picture);
        window->RenderChart(i, painter, page);
        painter.end();
        QVERIFY(!picture.boundingRect().isEmpty());
        QVERIFY2(page.contains(QRectF(picture.boundingRect())),
                 qPrintable(QString("chart %1 at %2x%3: drawn over %4,%5 %6x%7")
                                .arg(i)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(picture.boundingRect().x())
                                .arg(picture.boundingRect().y())
                                .arg(picture.boundingRect().width())
                                .arg(picture.boundingRect().height())));
      }
    }
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
    Settle();
    CheckLabelsWhole(*window, 0, "dragged");

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, from);
    QCOMPARE(x->min(), whole_min);
    QCOMPARE(x->max(), whole_max);
    QVERIFY(y->min() < -70);
  }

  // A resized window marks its axes anew for the room it has.
  void labelsWholeWhenResized() {
    window->Form()->SpeedButton2->click();
    for (QSize size : {QSize(640, 479), QSize(1020, 740), QSize(900, 640)}) {
      window->resize(size);
      Settle();
      for (int i = 0; i < 4; ++i) {
        CheckLabelsWhole(*window, i, QString("%1x%2").arg(size.width()).arg(size.height()));
      }
    }
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
