// The trend page's rules without a window: the calendar of a record, the
// statistics, the list line and order, the grid heading and the export lines.
#include <QTest>

#include <cmath>
#include <limits>

#include "devicelink/device_data.h"
#include "services/app_state.h"
#include "services/text_modules.h"
#include "services/value_format.h"
#include "tests/ui/trend_records.h"
#include "ui/pages/trend_rules.h"

using namespace ui;
using devicelink::TTrendRecord;
using devicelink::TTrendStore;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TTrendRecord Record(int interval, int year, int month, int day, int hour, int minute, int count,
                    int circuit = 0) {
  return testing::TrendRecord(circuit, interval, year, month, day, hour, minute, count);
}

QStringList Times(const TTrendRecord& r) {
  QStringList out;
  for (const TSampleTime& s : SampleTimes(r)) out << QString::fromStdString(SampleTimeText(s));
  return out;
}

QString ListLine(TTrendRecord r) {
  ComputeTrendStatistics(r);
  return QString::fromStdString(TrendListLine(r));
}

// The step as it always was, for the intervals the trend settings offer (they
// divide the hour, so the minute lands on 60 exactly).
void OldStep(TTrendTime& t, int interval) {
  if (interval > 60) return;
  t.minute += interval;
  if (t.minute >= 60) {
    t.minute = 0;
    if (++t.hour >= 24) {
      t.hour = 0;
      ++t.day;
    }
  }
  const bool leap = t.year % 4 == 0;
  if (t.month == 2 ? t.day > (leap ? 29 : 28)
                   : t.day > 31 || (t.day > 30 && (t.month == 4 || t.month == 6 ||
                                                   t.month == 9 || t.month == 11))) {
    t.day = 1;
    ++t.month;
  }
  if (t.month > 12) {
    t.month = 1;
    ++t.year;
  }
}

}  // namespace

class TrendRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    devicelink::ResetDeviceData();
    services::Medium = 0;
  }

  void calendar_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<QList<int>>("start");  // year, month, day, hour, minute
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    using L = QList<int>;
    QTest::newRow("15 min from 10:37") << 15 << L{2024, 3, 5, 10, 37} << 5
                                       << "Kreis 1: 05.03.2024 10:30  -  05.03.2024 11:45 [05]"
                                       << "05.03.2024 10:45:00" << "05.03.2024 11:45:00";
    QTest::newRow("one second") << 100 << L{2024, 3, 5, 10, 37} << 12
                                << "Kreis 1: 05.03.2024 10:37  -  05.03.2024 10:37 [12]"
                                << "05.03.2024 10:37:00" << "05.03.2024 10:37:11";
    QTest::newRow("leap day") << 60 << L{2024, 2, 28, 23, 0} << 2
                              << "Kreis 1: 28.02.2024 23:00  -  29.02.2024 01:00 [02]"
                              << "29.02.2024 00:00:00" << "29.02.2024 01:00:00";
    QTest::newRow("no leap day") << 60 << L{2023, 2, 28, 23, 0} << 2
                                 << "Kreis 1: 28.02.2023 23:00  -  01.03.2023 01:00 [02]"
                                 << "01.03.2023 00:00:00" << "01.03.2023 01:00:00";
    QTest::newRow("end of February in a leap year")
        << 30 << L{2024, 2, 29, 23, 30} << 1 << "Kreis 1: 29.02.2024 23:30  -  01.03.2024 00:00 [01]"
        << "01.03.2024 00:00:00" << "01.03.2024 00:00:00";
    QTest::newRow("30-day month") << 30 << L{2024, 4, 30, 23, 45} << 1
                                  << "Kreis 1: 30.04.2024 23:30  -  01.05.2024 00:00 [01]"
                                  << "01.05.2024 00:00:00" << "01.05.2024 00:00:00";
    QTest::newRow("31-day month") << 20 << L{2024, 1, 31, 23, 40} << 1
                                  << "Kreis 1: 31.01.2024 23:40  -  01.02.2024 00:00 [01]"
                                  << "01.02.2024 00:00:00" << "01.02.2024 00:00:00";
    QTest::newRow("year") << 15 << L{2024, 12, 31, 23, 50} << 3
                          << "Kreis 1: 31.12.2024 23:45  -  01.01.2025 00:30 [03]"
                          << "01.01.2025 00:00:00" << "01.01.2025 00:30:00";
    // Intervals that do not divide the hour carry what is left of the minutes.
    QTest::newRow("45 min") << 45 << L{2024, 3, 5, 10, 50} << 3
                            << "Kreis 1: 05.03.2024 10:45  -  05.03.2024 13:00 [03]"
                            << "05.03.2024 11:30:00" << "05.03.2024 13:00:00";
    QTest::newRow("75 min") << 75 << L{2024, 3, 5, 23, 37} << 2
                            << "Kreis 1: 05.03.2024 23:00  -  06.03.2024 01:30 [02]"
                            << "06.03.2024 00:15:00" << "06.03.2024 01:30:00";
    QTest::newRow("99 min across midnight") << 99 << L{2024, 12, 31, 22, 59} << 1
                                            << "Kreis 1: 31.12.2024 22:00  -  31.12.2024 23:39 [01]"
                                            << "31.12.2024 23:39:00" << "31.12.2024 23:39:00";
  }

  void calendar() {
    QFETCH(int, interval);
    QFETCH(QList<int>, start);
    QFETCH(int, count);
    QFETCH(QString, line);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const TTrendRecord r = Record(interval, start[0], start[1], start[2], start[3], start[4], count);
    QCOMPARE(ListLine(r), line);
    const QStringList times = Times(r);
    QCOMPARE(times.size(), count);
    QCOMPARE(times.first(), first);
    QCOMPARE(times.last(), last);
  }

  // Every interval the trend settings offer gives the times it always gave.
  void offeredIntervalsAsBefore() {
    for (int interval : {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60}) {
      for (int minute = 0; minute < 60; ++minute) {
        const TTrendRecord r = Record(interval, 2024, 2, 28, 22, minute, 60);
        TTrendTime now = TrendStartTime(r);
        TTrendTime before = now;
        QCOMPARE(now.minute % interval, 0);
        for (int step = 0; step < 200; ++step) {
          AdvanceTrendTime(now, interval);
          OldStep(before, interval);
          if (!(now == before)) QFAIL(qPrintable(QString("interval %1 step %2").arg(interval).arg(step)));
        }
      }
    }
  }

  void shownCountAndStatistics() {
    // 59 shows 60 rows, but the statistics see 59 samples.
    TTrendRecord r = Record(15, 2024, 3, 5, 10, 0, 59);
    r.TempSamples[59] = 5000.0f;
    r.PressureSamples[59] = 0;
    QCOMPARE(ShownSampleCount(r), 60);
    QCOMPARE(Times(r).size(), 60);
    ComputeTrendStatistics(r);
    QCOMPARE(r.MaxValues[0], double(float((2931.0f + 58 - 2731.0f) / 10.0f)));
    QCOMPARE(r.MinValues[1], 400.0);
    QCOMPARE(r.MeanValues[1], 400 + 29.0);
    QCOMPARE(r.StartText, std::string("05.03.2024 10:00"));
    QCOMPARE(r.EndText, std::string("06.03.2024 00:45"));  // 59 intervals
    r.Count = 60;
    QCOMPARE(ShownSampleCount(r), 60);
    ComputeTrendStatistics(r);
    QCOMPARE(r.MaxValues[0], double(float((5000.0f - 2731.0f) / 10.0f)));
    QCOMPARE(r.MinValues[1], 0.0);
    QCOMPARE(r.MaxValues[3], 280.0);
    QCOMPARE(r.MinValues[3], 221.0);
    QCOMPARE(r.MeanValues[2], 350 + 29.5);
    QCOMPARE(ShownSampleCount(Record(15, 2024, 3, 5, 10, 0, 58)), 58);
  }

  void temperatureColumn() {
    TTrendRecord r = Record(15, 2024, 3, 5, 10, 0, 2);
    r.TempSamples[0] = 2731;
    r.TempSamples[1] = 0;
    QCOMPARE(TrendColumnValue(r, 0, 0), 0.0);
    QCOMPARE(TrendColumnValue(r, 0, 1), double(-273.1f));
    QCOMPARE(services::FormatValue(0, 0, 1, float(TrendColumnValue(r, 0, 0))),
             std::string("   0.0000   "));
    QCOMPARE(services::FormatValue(0, 0, 1, float(TrendColumnValue(r, 0, 1))),
             std::string("-273.1000   "));
  }

  // A sample that is not a number is left out of the statistics; the store keeps it.
  void notANumber_data() {
    QTest::addColumn<int>("position");
    QTest::newRow("first") << 0;
    QTest::newRow("later") << 3;
  }
  void notANumber() {
    QFETCH(int, position);
    TTrendRecord r = Record(15, 2024, 3, 5, 10, 0, 5);
    r.StdFlowSamples[static_cast<size_t>(position)] = kNaN;
    r.MassFlowSamples.fill(kNaN);
    const TTrendRecord before = r;
    ComputeTrendStatistics(r);
    double max = -1e9, min = 1e9, sum = 0;
    for (int j = 0; j < 5; ++j) {
      if (j == position) continue;
      max = std::max(max, 350.0 + j);
      min = std::min(min, 350.0 + j);
      sum += 350.0 + j;
    }
    QCOMPARE(r.MaxValues[2], max);
    QCOMPARE(r.MinValues[2], min);
    QCOMPARE(r.MeanValues[2], sum / 4);
    // The other columns are untouched by it.
    QCOMPARE(r.MaxValues[0], double(float((2931.0f + 4 - 2731.0f) / 10.0f)));
    QCOMPARE(r.MeanValues[1], 402.0);
    // A column without a number shows NAN.
    QVERIFY(std::isnan(r.MaxValues[3]) && std::isnan(r.MinValues[3]) && std::isnan(r.MeanValues[3]));
    QCOMPARE(services::FormatValue(4, 0, 1, float(r.MeanValues[3])), std::string("NAN"));
    for (size_t j = 0; j < 60; ++j) {
      QCOMPARE(r.TempSamples[j], before.TempSamples[j]);
      QCOMPARE(r.PressureSamples[j], before.PressureSamples[j]);
      QCOMPARE(std::isnan(r.StdFlowSamples[j]), std::isnan(before.StdFlowSamples[j]));
      QVERIFY(std::isnan(r.MassFlowSamples[j]));
    }
    const QStringList lines = QString::fromStdString(TrendExportLines(r, 1, "")).split("\r\n");
    QVERIFY(lines.at(position).endsWith(";NAN;NAN"));
    QVERIFY(lines.at(position + 1).endsWith("   ;NAN"));
  }

  void listOrder_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("newest");
    QTest::addColumn<QList<int>>("filled");
    QTest::addColumn<QList<int>>("order");
    using L = QList<int>;
    QTest::newRow("newest 5") << 1 << 5 << L{0, 3, 5, 6, 43} << L{5, 3, 0, 43, 6};
    QTest::newRow("newest 43") << 1 << 43 << L{0, 1, 42, 43} << L{43, 42, 1, 0};
    // A wrapped ring starts one after the newest.
    QTest::newRow("newest 43, wrapped") << 2 << 43 << L{0, 1, 42, 43} << L{0, 43, 42, 1};
    QTest::newRow("newest 10, wrapped") << 2 << 10 << L{9, 10, 11, 12} << L{11, 10, 9, 12};
    QTest::newRow("newest 50 reads as 0") << 1 << 50 << L{0, 1, 43} << L{0, 43, 1};
    QTest::newRow("newest 50, wrapped") << 2 << 50 << L{0, 1, 43} << L{1, 0, 43};
    QTest::newRow("empty ring") << 1 << 0 << L{} << L{};
  }
  void listOrder() {
    QFETCH(int, state);
    QFETCH(int, newest);
    QFETCH(QList<int>, filled);
    QFETCH(QList<int>, order);
    TTrendStore store;
    store.TrendRingState = static_cast<uint8_t>(state);
    store.TrendNewest = static_cast<uint8_t>(newest);
    for (int k : filled) store.Records[static_cast<size_t>(k)] = Record(15, 2024, 3, 5, 10, 0, 5);
    // Without samples or without a complete read a record is not listed.
    store.Records[20] = Record(15, 2024, 3, 5, 10, 0, 0);
    store.Records[21] = Record(15, 2024, 3, 5, 10, 0, 5);
    store.Records[21].Status = 0;
    const std::vector<int> got = TrendListOrder(store);
    QCOMPARE(QList<int>(got.begin(), got.end()), order);
  }

  void headingsAndExportLines() {
    services::TextBlock t;
    t[0] = "Zeit";
    t[1] = "Temperatur";
    t[2] = "Druck";
    t[3] = "Normvolumenstrom";
    t[4] = "Massestrom";
    const std::array<std::string, 5> h = TrendGridHeadings(t);
    QCOMPARE(QString::fromStdString(TrendExportHeading(h)),
             QString("SerNo;Kreis;Zeit;Temperatur[°C];Druck[kPa];Normvolumenstrom[Nm³/h];"
                     "Massestrom[kg/h]"));
    // The headings follow the units in force.
    devicelink::UnitSwitches.Einheiten = 1;
    devicelink::UserUnits[4].Variant = 6;
    QCOMPARE(TrendGridHeadings(t)[4], std::string("Massestrom[t/h]"));

    TTrendRecord r = Record(15, 2024, 3, 5, 10, 37, 2, 1);
    r.MassFlowSamples[0] = 2000.0f;
    r.MassFlowSamples[1] = 0.5f;
    QCOMPARE(QString::fromStdString(TrendExportLines(r, 2, "SN 7            ")),
             QString("SN 7            ;2;05.03.2024 10:45:00;  20.0000   ; 400.0000   ;"
                         " 350.0000   ;   2.0000   \r\n"
                         "SN 7            ;2;05.03.2024 11:00:00;  20.1000   ; 401.0000   ;"
                         " 351.0000   ;   0.5000E-3\r\n"));
  }
};

QTEST_MAIN(TrendRulesTest)
#include "trend_rules_test.moc"
