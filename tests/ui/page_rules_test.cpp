// The rules of the relay, output, trend, system, correction and unit pages as
// tables: device codes and choices, quantity kinds, dialog limits, the fixed
// current, the limit sets, the presets and the unit choices. No window.
#include <QTest>

#include <cmath>
#include <set>

#include "services/app_state.h"
#include "services/value_format.h"
#include "ui/pages/relay_output_rules.h"
#include "ui/pages/system_rules.h"
#include "ui/pages/units_rules.h"

using namespace ui;

namespace {

services::TextBlock Labels(std::initializer_list<const char*> texts) {
  services::TextBlock t;
  size_t i = 0;
  for (const char* s : texts) t[i++] = s;
  return t;
}

std::string FV(uint8_t kind, float value) {
  return services::FormatValue(kind, 1, 1, value);
}

}  // namespace

class PageRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { services::Medium = 0; }

  void alarmSourcesAndCodes() {
    // index ranges -> first code of the range
    const struct {
      int first_index, last_index, first_code;
    } ranges[] = {{0, 7, 0}, {8, 14, 9}, {15, 21, 17}, {22, 33, 28}};
    for (const auto& r : ranges) {
      for (int i = r.first_index; i <= r.last_index; ++i) {
        const int code = r.first_code + (i - r.first_index);
        QCOMPARE(AlarmCodeOfIndex(i), std::optional<uint8_t>(static_cast<uint8_t>(code)));
        QCOMPARE(AlarmIndexOfCode(static_cast<uint8_t>(code)), i);
      }
    }
    for (int code : {8, 16, 24, 25, 26, 27, 40, 255}) {
      QCOMPARE(AlarmIndexOfCode(static_cast<uint8_t>(code)), -1);
    }
    QCOMPARE(AlarmCodeOfIndex(-1), std::nullopt);
    QCOMPARE(AlarmCodeOfIndex(34), std::nullopt);
  }

  void outputSourcesAndCodes() {
    const struct {
      int first_index, last_index, first_code;
    } ranges[] = {{0, 5, 0}, {6, 10, 9}, {11, 15, 17}, {16, 21, 28}};
    for (const auto& r : ranges) {
      for (int i = r.first_index; i <= r.last_index; ++i) {
        const int code = r.first_code + (i - r.first_index);
        QCOMPARE(OutputCodeOfIndex(i), std::optional<uint8_t>(static_cast<uint8_t>(code)));
        QCOMPARE(OutputIndexOfCode(static_cast<uint8_t>(code)), i);
      }
    }
    for (int code : {6, 7, 8, 14, 15, 16, 22, 23, 24, 25, 26, 27, 34}) {
      QCOMPARE(OutputIndexOfCode(static_cast<uint8_t>(code)), -1);
    }
    QCOMPARE(OutputCodeOfIndex(22), std::nullopt);
  }

  // The kind that formats a source's list is the kind its dialog edits in, for
  // every source of both lists; codes without an entry open no dialog.
  void quantityKindsAgreeWithTheDialogs() {
    for (int i = 1; i < kAlarmSourceCount; ++i) {
      const uint8_t code = *AlarmCodeOfIndex(i);
      const std::optional<TDialogRow> row = AlarmDialogRow(code);
      QVERIFY2(row.has_value(), qPrintable(QString("alarm index %1").arg(i)));
      QCOMPARE(row->quantity, AlarmLimitKind(code));
      QVERIFY(row->min < row->max);
    }
    QCOMPARE(AlarmDialogRow(0), std::nullopt);
    QCOMPARE(AlarmDialogRow(8), std::nullopt);
    for (int i = 0; i < kOutputSourceCount; ++i) {
      const uint8_t code = *OutputCodeOfIndex(i);
      const std::optional<TDialogRow> row = OutputDialogRow(code);
      QVERIFY(row.has_value());
      QCOMPARE(row->quantity, OutputScaleKind(code));
    }
    QCOMPARE(OutputDialogRow(7), std::nullopt);
    // Spot checks of the tables.
    const struct {
      uint8_t code, kind;
      float min, max;
    } alarms[] = {{1, 0, -273.15f, 1500},  {18, 1, -100000, 100000}, {17, 15, -1273.15f, 1273.15f},
                  {28, 3, 0, 2e7f},         {29, 4, 0, 2e8f},          {31, 6, 0, 1e9f},
                  {36, 8, -1e8f, 1e8f},     {37, 9, -1e9f, 1e9f},      {38, 8, 0, 2e8f}};
    for (const auto& a : alarms) {
      const TDialogRow row = *AlarmDialogRow(a.code);
      QCOMPARE(row.quantity, a.kind);
      QCOMPARE(row.min, a.min);
      QCOMPARE(row.max, a.max);
    }
    QCOMPARE(OutputDialogRow(0)->quantity, uint8_t(17));
    QCOMPARE(OutputDialogRow(33)->min, -2e8f);
    QCOMPARE(OutputScaleKind(7), uint8_t(17));
    QCOMPARE(AlarmLimitKind(31), uint8_t(6));
  }

  void fixedCurrent() {
    const std::pair<float, int> cases[] = {{12.46f, 125}, {12.25f, 123}, {1.0f, 10},
                                           {23.0f, 230},  {0.5f, 10},    {40.0f, 230}};
    for (const auto& [ma, byte] : cases) QCOMPARE(int(KonstantOfCurrent(ma)), byte);
    QCOMPARE(int(KonstantOfCurrent(NAN)), 10);
    QCOMPARE(int(ClampKonstant(0)), 10);
    QCOMPARE(int(ClampKonstant(125)), 125);
    QCOMPARE(int(ClampKonstant(250)), 230);
  }

  // A new source fits the scale into what its dialog accepts, never less.
  void outputScaleFit() {
    const struct {
      uint8_t code;
      float min, max, fit_min, fit_max;
    } cases[] = {
        {1, -500, 5000, -273.15f, 1500},
        {18, -200, 300, -200, 300},           // a pressure difference may be negative
        {28, 0, 1.5e7f, 0, 1.5e7f},            // the sum of two flows reaches 2e7
        {30, -5e7f, 5e7f, -5e7f, 5e7f},        // power to 1e8
        {3, 0, 9000, 0.08f, 5000},
        {3, 6000, 7000, 5000, 5000},
        {2, NAN, NAN, 0, 100000},
    };
    for (const auto& c : cases) {
      devicelink::TOutputSettings o;
      o.Min = c.min;
      o.Max = c.max;
      FitOutputScale(c.code, o);
      QCOMPARE(o.Min, c.fit_min);
      QCOMPARE(o.Max, c.fit_max);
    }
    devicelink::TOutputSettings o;
    o.Min = -1e9f;
    FitOutputScale(0, o);
    QCOMPARE(o.Min, -1e9f);
  }

  void limitEdits() {
    QCOMPARE(AlarmLimitOfLine(0, -1), std::optional(TAlarmLimit::Low));
    QCOMPARE(AlarmLimitOfLine(1, 0), std::optional(TAlarmLimit::High));
    QCOMPARE(AlarmLimitOfLine(2, 1), std::optional(TAlarmLimit::High));
    QCOMPARE(AlarmLimitOfLine(2, -1), std::nullopt);
    QCOMPARE(AlarmLimitOfLine(3, 0), std::nullopt);
    float low = 10, high = 20;
    SetLowBound(low, high, 25);
    QCOMPARE(low, 25.0f);
    QCOMPARE(high, 25.0f);
    SetHighBound(low, high, 5);
    QCOMPARE(low, 5.0f);
    QCOMPARE(high, 5.0f);
    SetHighBound(low, high, 8);
    QCOMPARE(low, 5.0f);

    QCOMPARE(OutputValueOfLine(0, 0), std::optional(TOutputValue::Konstant));
    QCOMPARE(OutputValueOfLine(0, 1), std::nullopt);
    QCOMPARE(OutputValueOfLine(4, 2), std::optional(TOutputValue::Err));
    QCOMPARE(OutputValueOfLine(4, -1), std::nullopt);
    const TDialogRow err = *OutputLineDialog(4, TOutputValue::Err);
    QCOMPARE(err.quantity, uint8_t(255));
    QCOMPARE(err.min, 1.0f);
    QCOMPARE(err.max, 23.0f);
  }

  void listLines() {
    const services::TextBlock kinds = Labels({"Low          ", "High         "});
    devicelink::TAlarmSettings alarm;
    alarm.Param = 9;
    alarm.Min = -5;
    alarm.Max = 80;
    const struct {
      uint8_t kind;
      std::vector<std::string> lines;
    } cases[] = {{0, {"Low          " + FV(0, -5)}},
                 {1, {"High         " + FV(0, 80)}},
                 {2, {"Low          " + FV(0, -5), "High         " + FV(0, 80)}},
                 {3, {}}};
    for (const auto& c : cases) {
      alarm.Kind = c.kind;
      QCOMPARE(AlarmLines(alarm, kinds), c.lines);
    }
    alarm.Param = 0;
    alarm.Kind = 2;
    QVERIFY(AlarmLines(alarm, kinds).empty());

    const services::TextBlock labels = Labels({"Start", "End", "Fault", "Fixed"});
    devicelink::TOutputSettings output;
    output.Param = 17;
    output.Min = -10;
    output.Max = 10;
    output.Err = 3.6f;
    output.Konstant = 125;
    QCOMPARE(OutputLines(output, labels),
             (std::vector<std::string>{"Start" + FV(15, -10), "End" + FV(15, 10), "Fault" + FV(17, 3.6f)}));
    output.Param = 0;
    QCOMPARE(OutputLines(output, labels), std::vector<std::string>{"Fixed" + FV(17, 12.5f)});
  }

  void trendIntervalsAndSystemTypes() {
    const int minutes[] = {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60};
    for (int i = 0; i < 12; ++i) {
      QCOMPARE(TrendIntervalMinutes(i), std::optional<uint8_t>(static_cast<uint8_t>(minutes[i])));
      QCOMPARE(TrendIntervalIndex(static_cast<uint8_t>(minutes[i])), i);
    }
    QCOMPARE(TrendIntervalMinutes(12), std::nullopt);
    for (int m : {0, 7, 100, 255}) QCOMPARE(TrendIntervalIndex(static_cast<uint8_t>(m)), -1);

    const std::pair<int, int> types[] = {{0, 0}, {1, 1}, {2, 2}, {3, 4}};
    for (const auto& [index, type] : types) {
      QCOMPARE(SystemTypeOfIndex(index), std::optional<uint8_t>(static_cast<uint8_t>(type)));
      QCOMPARE(SystemIndexOfType(static_cast<uint8_t>(type)), index);
    }
    QCOMPARE(SystemIndexOfType(3), -1);
    QCOMPARE(SystemTypeOfIndex(4), std::nullopt);
    // Mask 5 allows types 1 and 4 (and 0), not 2.
    QVERIFY(SystemTypeAllowed(5, 0) && SystemTypeAllowed(5, 1) && SystemTypeAllowed(5, 4));
    QVERIFY(!SystemTypeAllowed(5, 2));
    QCOMPARE(SystemTypeViewOf(4)->factor, true);
    QCOMPARE(SystemTypeViewOf(1)->transmitters, true);
    QCOMPARE(SystemTypeViewOf(0)->transmitters, false);
    QCOMPARE(SystemTypeViewOf(3), std::nullopt);
    const std::pair<int, int> transmitters[] = {{1, -1}, {2, 0}, {3, 1}, {4, 2}, {5, -1}};
    for (const auto& [n, index] : transmitters) QCOMPARE(TransmitterIndexOf(static_cast<uint8_t>(n)), index);
    QCOMPARE(TransmittersOfIndex(1), std::optional<uint8_t>(3));
    QCOMPARE(TransmittersOfIndex(2), std::nullopt);
  }

  void limitSets() {
    const std::pair<float, int> cases[] = {{1.3125f, 0}, {1.374f, 0}, {1.3745f, 1}, {1.4f, 1}, {1.4125f, 1}};
    for (const auto& [u_max, set] : cases) QCOMPARE(LimitSetIndexOf(u_max), set);
    const devicelink::TLimitValues namur = *LimitSetOf(0);
    QCOMPARE(namur.U_Max * 16, 21.0f);
    QCOMPARE(namur.U_Min * 16, 20.5f);
    QCOMPARE(namur.L_Min * 16, 3.6f);
    const devicelink::TLimitValues industry = *LimitSetOf(1);
    QCOMPARE(industry.U_Max, 1.4125f);
    QCOMPARE(industry.U_Min, 1.375f);
    QCOMPARE(LimitSetIndexOf(namur.U_Max), 0);
    QCOMPARE(LimitSetIndexOf(industry.U_Max), 1);
    QCOMPARE(LimitSetOf(2), std::nullopt);
  }

  void presets() {
    const struct {
      int index, medium, kind;
      float max;
    } cases[] = {{0, 0, 15, 1273.15f}, {4, 1, 15, 1273.15f}, {1, 0, 1, 100000}, {5, 1, 1, 100000},
                 {2, 0, 3, 1e7f},       {6, 1, 8, 1e8f},       {3, 0, 4, 1e8f},   {7, 1, 4, 1e8f}};
    for (const auto& c : cases) {
      QCOMPARE(int(PresetKind(c.index, c.medium)), c.kind);
      const TDialogRow row = *PresetDialogRow(c.index, c.medium);
      QCOMPARE(int(row.quantity), c.kind);
      QCOMPARE(row.min, 0.0f);
      QCOMPARE(row.max, c.max);
    }
    QCOMPARE(PresetDialogRow(-1, 0), std::nullopt);
    QCOMPARE(PresetDialogRow(8, 0), std::nullopt);
    QVERIFY(!AnyPresetActive({}));
    QVERIFY(AnyPresetActive({0, 0, 0, -5, 0, 0, 0, 0}));

    const services::TextBlock t = Labels({"Presets", "T1", "p1", "Flow 1", "M1", "T2", "p2", "Flow 2", "M2"});
    const std::vector<std::string> lines = PresetLines({293.15f, 0, 0, 0, 0, 0, 500, 0}, t, 1);
    QCOMPARE(lines.size(), size_t(8));
    QCOMPARE(lines[0], "T1     " + FV(15, 293.15f));
    QCOMPARE(lines[2], "Flow 1 " + FV(8, 0));
    QCOMPARE(lines[6], "Flow 2 " + FV(8, 500));
    QCOMPARE(PresetLines({}, t, 0)[6], "Flow 2 " + FV(3, 0));
  }

  void unitChoices() {
    QCOMPARE(UnitChoices(0, 0), (std::vector<std::string>{"°C", "°F", "K"}));
    QCOMPARE(UnitChoices(1, 1).at(1), std::string("bar"));
    QCOMPARE(UnitChoices(4, 0).size(), size_t(12));
    QVERIFY(UnitChoices(10, 0).size() == 1);
    const std::pair<int, int> columns[] = {{1, 1}, {4, 1}, {5, 2}, {8, 2}, {9, 3}, {12, 3}, {13, 4}};
    for (const auto& [count, n] : columns) QCOMPARE(UnitChoiceColumns(count), n);
  }
};

QTEST_MAIN(PageRulesTest)
#include "page_rules_test.moc"
