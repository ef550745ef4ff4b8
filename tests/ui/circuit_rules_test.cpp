// The rules of the circuit parameter pages without a window: choice lists,
// combo entries from device codes, list lines, and the edit row of every line
// with the rule that follows an entry.
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "platform/folders.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/value_format.h"
#include "ui/pages/circuit_rules.h"

using namespace ui;
namespace dl = devicelink;

namespace {

services::TextBlock Block(std::initializer_list<const char*> strings) {
  services::TextBlock t;
  size_t i = 0;
  for (const char* s : strings) t[i++] = s;
  return t;
}

std::vector<std::string> V(std::initializer_list<const char*> strings) {
  return {strings.begin(), strings.end()};
}

std::string FV(uint8_t kind, float value) {
  return services::FormatValue(kind, 1, 1, value);
}

std::string Label(const char* text) {
  return platform::PadRightChars(text, 18);
}

}  // namespace

class CircuitRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    services::ProgramFolder = platform::ProgramFolder() + "/";
    dl::ResetDeviceData();
    services::Medium = 0;
    services::Language = 0;
  }
  void cleanup() {
    dl::ResetDeviceData();
    services::Medium = 0;
  }

  void choiceLists() {
    // The last entry takes the other circuit's measurement and names it.
    TTwinChoices t = TemperatureChoiceLists(Block({"T", "a", "b", "c"}));
    QCOMPARE(t.circuit1, V({"a", "b", "c 2"}));
    QCOMPARE(t.circuit2, V({"a", "b", "c 1"}));
    // A block without an end: s15 is the last entry, nothing is read past it.
    t = TemperatureChoiceLists(
        Block({"T", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}));
    QCOMPARE(t.circuit1.size(), size_t(15));
    QCOMPARE(t.circuit1.back(), std::string("15 2"));
    QCOMPARE(t.circuit2[13], std::string("14"));
    QVERIFY(TemperatureChoiceLists(Block({"T"})).circuit1.empty());
    // Pressure: s4 is named, whatever follows.
    const TTwinChoices p = PressureChoiceLists(Block({"P", "a", "b", "c", "d", "e"}));
    QCOMPARE(p.circuit1, V({"a", "b", "c", "d 2", "e"}));
    QCOMPARE(p.circuit2, V({"a", "b", "c", "d 1", "e"}));
    QCOMPARE(ListFrom(Block({"x", "a", "", "c"}), 1), V({"a"}));
  }

  void mediumComesBackAfterAnError() {
    services::Medium = 1;
    try {
      TMediumKeeper keep;
      services::Medium = 0;
      throw std::runtime_error("loader failed");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(services::Medium, 1);
  }

  void comboEntries() {
    dl::TTemperatureSettings t;
    t.Kind = 3;
    QCOMPARE(TemperatureChoiceIndex(t), 3);
    t.Eq = 1;  // lent to the other circuit: still its own mode
    QCOMPARE(TemperatureChoiceIndex(t), 3);
    t.Eq = 2;
    QCOMPARE(TemperatureChoiceIndex(t), 6);
    dl::TPressureSettings p;
    p.Kind = 2;
    p.Eq = 2;
    QCOMPARE(PressureChoiceIndex(p), 3);
    dl::TPulseSettings pulse;
    for (auto [kind, index] : {std::pair{0, 0}, {2, 2}, {3, -1}, {5, -1}, {130, -1}}) {
      pulse.Kind = static_cast<uint8_t>(kind);
      QCOMPARE(PulseChoiceIndex(pulse), index);
    }
    QCOMPARE(MediumOfKind(0), std::optional<int32_t>(0));
    QCOMPARE(MediumOfKind(8), std::optional<int32_t>(0));
    QCOMPARE(MediumOfKind(9), std::optional<int32_t>(1));
    QCOMPARE(MediumOfKind(15), std::optional<int32_t>(1));
    QCOMPARE(MediumOfKind(16), std::nullopt);
  }

  // (Eq of c, Eq of the other, entry chosen) -> Kind and both Eq, and whether
  // the other circuit's block is written.
  void modeChoice() {
    struct Case {
      uint8_t eq_c, eq_o;
      int entry;
      uint8_t kind, new_eq_c, new_eq_o;
      bool other;
    };
    const Case cases[] = {
        {0, 0, 2, 2, 0, 0, false},  // an own mode
        {1, 2, 3, 3, 1, 2, false},  // lent to the other circuit: stays lent
        {2, 1, 0, 0, 0, 1, false},  // back to its own: the other keeps 1
        {0, 0, 6, 5, 2, 1, true},   // the other circuit's: Kind kept
    };
    for (const Case& k : cases) {
      for (int c : {0, 1}) {
        dl::ResetDeviceData();
        dl::TempParams[c].Kind = 5;
        dl::TempParams[c].Eq = k.eq_c;
        dl::TempParams[1 - c].Eq = k.eq_o;
        QCOMPARE(ApplyModeChoice(dl::TempParams, c, k.entry, kTemperatureModes), k.other);
        QCOMPARE(dl::TempParams[c].Kind, k.kind);
        QCOMPARE(dl::TempParams[c].Eq, k.new_eq_c);
        QCOMPARE(dl::TempParams[1 - c].Eq, k.new_eq_o);
      }
    }
  }

  void lineFormats() {
    QCOMPARE(GasCheckLine('0'), std::string("ISO                 OK"));
    QCOMPARE(GasCheckLine('3'), std::string("ISO                 A43 ERROR"));
    QCOMPARE(GasCheckLine('5'), std::string("ISO                 A45 ERROR"));
    QCOMPARE(GasCheckLine('1'), std::string("ISO              ???49"));
    QCOMPARE(GasCheckLine(0), std::string("ISO              ???0"));
    QCOMPARE(MaxFreqText(7), std::string("   7          Hz"));
    QCOMPARE(MaxFreqText(99), std::string("  99          Hz"));
    QCOMPARE(MaxFreqText(1000), std::string("1000          Hz"));
    QCOMPARE(ParameterLine("Festwert", 0, 15), Label("Festwert") + FV(0, 15));
    // A label is padded by characters, not bytes.
    QCOMPARE(ParameterLine("Wärme", 255, 1).substr(0, 19), std::string("Wärme") + std::string(13, ' '));
  }

  void temperatureAndPressureLines() {
    dl::TempParams[0].Kind = 1;
    dl::TempParams[0].Min = -20;
    dl::TempParams[0].Max = 80;
    QCOMPARE(TemperatureLines(0), std::vector<std::string>({Label("Anfangswert 4 mA") + FV(0, -20),
                                                            Label("Endwert 20 mA") + FV(0, 80)}));
    dl::TempParams[0].Eq = 2;  // taken from the other circuit
    QVERIFY(TemperatureLines(0).empty());
    dl::TempParams[1].Kind = 4;  // a mode without values
    QVERIFY(TemperatureLines(1).empty());
    dl::TempParams[1].Kind = 200;  // a code beyond the list
    QVERIFY(TemperatureLines(1).empty());
    dl::PressureParams[1].Kind = 1;
    dl::PressureParams[1].Hyd = 101.325f;
    QCOMPARE(PressureLines(1).size(), size_t(3));
    QCOMPARE(PressureLines(1)[2], Label("Umgebungsdruck") + FV(1, 101.325f));
    dl::PressureParams[1].Kind = 2;
    QCOMPARE(PressureLines(1).size(), size_t(2));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, TemperatureLines(2));
  }

  void flowLines() {
    struct Case {
      uint8_t system, anzahl;
      int circuit;
      size_t lines;
    };
    // Lines 6 to 8: the further transmitters of single-circuit systems, on
    // circuit 1's page only.
    const Case cases[] = {{0, 4, 0, 6}, {4, 4, 0, 6}, {1, 2, 0, 7}, {1, 3, 0, 8},
                          {2, 4, 0, 9}, {2, 4, 1, 6}, {3, 4, 0, 6}};
    for (const Case& k : cases) {
      dl::ResetDeviceData();
      dl::SystemParams.Kind = k.system;
      dl::SystemParams.Anzahl = k.anzahl;
      dl::FlowParams[k.circuit].Kind = 2;
      QCOMPARE(FlowLines(k.circuit).size(), k.lines);
    }
    dl::FlowParams[0].Kind = 5;
    dl::FlowParams[0].MaxFreq = 7;
    QCOMPARE(FlowLines(0).at(1), Label("Max. Frequenz") + "   7          Hz");
    dl::FlowParams[0].Kind = 0;
    QVERIFY(FlowLines(0).empty());
    dl::FlowParams[0].Kind = 6;
    QVERIFY(FlowLines(0).empty());
  }

  void mediumPulseAndSupplyLines() {
    dl::MediumParams[0].Kind = 6;
    dl::MediumParams[0].Dummy2 = '3';
    const std::vector<std::string> gas = MediumLines(0);
    QCOMPARE(gas.size(), size_t(5));
    QCOMPARE(gas[4], std::string("ISO                 A43 ERROR"));
    dl::MediumParams[0].Kind = 8;
    QCOMPARE(MediumLines(0).at(2), Label("Realgasfaktoren"));
    dl::MediumParams[0].Kind = 3;
    QVERIFY(MediumLines(0).empty());
    dl::MediumParams[0].Kind = 16;
    QVERIFY(MediumLines(0).empty());
    // Steam kinds take their labels from the steam module at the blocks of
    // the gas kinds 0 to 6.
    services::Medium = 1;
    dl::MediumParams[1].Kind = 14;
    QCOMPARE(MediumLines(1), std::vector<std::string>({Label("Dichtetabelle"), Label("Enthalpietabelle")}));
    dl::MediumParams[1].Kind = 15;
    QCOMPARE(MediumLines(1), std::vector<std::string>({Label("Sättigungstabelle")}));

    // Pulse source 1 counts standard volume (gas) or energy (steam).
    dl::PulseOutputParams[0].Kind = 1;
    dl::PulseOutputParams[0].Compare = 10;
    services::Medium = 0;
    QCOMPARE(PulseLines(0), std::vector<std::string>({Label("Impulsausgang") + FV(5, 10)}));
    services::Medium = 1;
    QCOMPARE(PulseLines(0), std::vector<std::string>({Label("Impulsausgang") + FV(9, 10)}));
    dl::PulseOutputParams[0].Kind = 0;
    QVERIFY(PulseLines(0).empty());

    // Supply: the factor for gas only; system type 4 has none at all.
    services::Medium = 0;
    TSupplyShow s = SupplyLines(0);
    QCOMPARE(s.lines.size(), size_t(3));
    QCOMPARE(s.lines[2], Label("Korrekturfaktor") + services::FormatValue(255, 1, 1, 0));
    QCOMPARE(s.caption, std::optional<std::string>(Label("Vorlaufwerte")));
    services::Medium = 1;
    QCOMPARE(SupplyLines(0).lines.size(), size_t(2));
    dl::SystemParams.Kind = 4;
    s = SupplyLines(0);
    QVERIFY(s.lines.empty());
    QVERIFY(!s.caption);
  }

  // Every edit row: dialog quantity and limits, and the records after an entry.
  void editRows() {
    struct Case {
      const char* name;
      std::function<void()> setup;
      std::function<std::optional<TEditRow>()> row;
      uint8_t quantity;
      float min, max;
      float entered;
      std::function<bool()> after;
    };
    auto& t0 = dl::TempParams[0];
    auto& p1 = dl::PressureParams[1];
    auto& f0 = dl::FlowParams[0];
    auto& d0 = dl::FlowParams2[0];
    auto& d1 = dl::FlowParams2[1];
    auto& s0 = dl::SupplyValues[0];
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {"temperature fixed value, no line selected", [&] { t0.Kind = 0; },
         [] { return TemperatureEditRow(0, -1); }, 0, -273.15f, 1500, 30, [&] { return t0.Konst == 30; }},
        {"temperature low bound lifts the high one", [&] { t0 = {0, 0, 1, 0, 0, 50}; },
         [] { return TemperatureEditRow(0, 0); }, 0, -273.15f, 1500, 70,
         [&] { return t0.Min == 70 && t0.Max == 70; }},
        {"temperature high bound lowers the low one", [&] { t0 = {0, 0, 1, 0, 20, 50}; },
         [] { return TemperatureEditRow(0, 1); }, 0, -273.15f, 1500, 10,
         [&] { return t0.Min == 10 && t0.Max == 10; }},
        {"pressure gauge: the bound follows", [&] { p1.Kind = 1; p1.Max = 100; },
         [] { return PressureEditRow(1, 0); }, 1, 0, 100000, 200,
         [&] { return p1.Min == 200 && p1.Max == 200; }},
        {"pressure absolute: bounds kept as entered", [&] { p1.Kind = 2; p1.Max = 100; },
         [] { return PressureEditRow(1, 0); }, 1, 0, 100000, 200,
         [&] { return p1.Min == 200 && p1.Max == 100; }},
        {"ambient pressure limits", [&] { p1.Kind = 1; },
         [] { return PressureEditRow(1, 2); }, 1, 90, 120, 100, [&] { return p1.Hyd == 100; }},
        {"dp range, system type 1: each range capped", [&] {
           f0.Kind = 1; dl::SystemParams.Kind = 1; d0.Desdp2 = 80; d0.Desdp3 = 40; d0.Desdp4 = 60; },
         [] { return FlowEditRow(0, 0); }, 1, 0, 1000, 50,
         [&] { return d0.Desdp == 50 && d0.Desdp2 == 50 && d0.Desdp3 == 40 && d0.Desdp4 == 50; }},
        {"dp range, system type 2: all ranges follow", [&] {
           f0.Kind = 2; dl::SystemParams.Kind = 2; d0.Desdp2 = 10; d0.Desdp3 = 90; },
         [] { return FlowEditRow(0, 0); }, 1, 0, 1000, 50,
         [&] { return d0.Desdp2 == 50 && d0.Desdp3 == 50 && d0.Desdp4 == 50; }},
        {"dp range, system type 0: no other range", [&] { f0.Kind = 1; d0.Desdp2 = 80; },
         [] { return FlowEditRow(0, 0); }, 1, 0, 1000, 50, [&] { return d0.Desdp2 == 80; }},
        {"dp range of circuit 2 leaves circuit 1's ranges", [&] {
           dl::FlowParams[1].Kind = 1; dl::SystemParams.Kind = 2; d0.Desdp = 70; d0.Desdp2 = 80; },
         [] { return FlowEditRow(1, 0); }, 1, 0, 1000, 50,
         [&] { return d1.Desdp == 50 && d0.Desdp2 == 80; }},
        {"cut-off limited by the dp range", [&] { f0.Kind = 1; d0.Desdp = 25; },
         [] { return FlowEditRow(0, 5); }, 1, 0, 25, 5, [&] { return f0.Schleich == 5; }},
        {"cut-off limit from a record that is no number", [&] { f0.Kind = 1; d0.Desdp = nan; },
         [] { return FlowEditRow(0, 5); }, 1, 0, 0, 0, [&] { return f0.Schleich == 0; }},
        {"third range limited by the second", [&] { f0.Kind = 1; d0.Desdp2 = 30; },
         [] { return FlowEditRow(0, 7); }, 1, 0, 30, 20, [&] { return d0.Desdp3 == 20; }},
        {"negative limit from a record", [&] { f0.Kind = 1; d0.Desdp3 = -5; },
         [] { return FlowEditRow(0, 8); }, 1, 0, 0, 0, [&] { return d0.Desdp4 == 0; }},
        {"expansion number is plain", [&] { f0.Kind = 2; },
         [] { return FlowEditRow(0, 4); }, 255, 0.5f, 1, 0.9f, [&] { return f0.Exp_zahl == 0.9f; }},
        {"mass flow: a lowered range end pulls the cut-off", [&] {
           f0.Kind = 3; f0.Min = 10; f0.Max = 500; f0.Schleich = 100; },
         [] { return FlowEditRow(0, 1); }, 4, 0, 100000000, 5,
         [&] { return f0.Max == 5 && f0.Min == 5 && f0.Schleich == 5; }},
        {"mass flow: a start above the end lifts it", [&] { f0.Kind = 3; f0.Max = 50; },
         [] { return FlowEditRow(0, 0); }, 4, 0, 100000000, 80,
         [&] { return f0.Min == 80 && f0.Max == 80; }},
        {"mass flow: cut-off capped at the end", [&] { f0.Kind = 3; f0.Max = 50; },
         [] { return FlowEditRow(0, 2); }, 4, 0, 100000000, 80, [&] { return f0.Schleich == 50; }},
        {"volume flow: temperature coefficient", [&] { f0.Kind = 4; },
         [] { return FlowEditRow(0, 2); }, 11, 0, 0.001f, 0.0001f, [&] { return f0.TKK == 0.0001f; }},
        {"volume flow: cut-off capped at the end", [&] { f0.Kind = 4; f0.Max = 50; },
         [] { return FlowEditRow(0, 4); }, 7, 0, 100000000, 80, [&] { return f0.Schleich == 50; }},
        {"pulse input: frequency truncated", [&] { f0.Kind = 5; f0.MaxFreq = 100; },
         [] { return FlowEditRow(0, 1); }, 16, 0, 9999, 1234.9f, [&] { return f0.MaxFreq == 1234; }},
        {"pulse input: pulse value", [&] { f0.Kind = 5; },
         [] { return FlowEditRow(0, 0); }, 10, 0.005f, 1000, 2, [&] { return f0.KFak == 2; }},
        {"supply factor", [] {}, [] { return SupplyEditRow(0, 2); }, 255, 0.9f, 1.1f, 1.05f,
         [&] { return s0.Faktor == 1.05f; }},
        {"supply pressure", [] {}, [] { return SupplyEditRow(0, 1); }, 1, 0, 100000, 400,
         [&] { return s0.p0 == 400; }},
        {"pulse value of standard volume", [] { dl::PulseOutputParams[0].Kind = 1; },
         [] { return PulseEditRow(0); }, 5, 0, 10000000, 3,
         [] { return dl::PulseOutputParams[0].Compare == 3; }},
        {"pulse value of energy", [] { dl::PulseOutputParams[0].Kind = 1; services::Medium = 1; },
         [] { return PulseEditRow(0); }, 9, 0, 100000000, 3,
         [] { return dl::PulseOutputParams[0].Compare == 3; }},
        {"pulse value of mass", [] { dl::PulseOutputParams[1].Kind = 2; },
         [] { return PulseEditRow(1); }, 6, 0, 100000000, 3,
         [] { return dl::PulseOutputParams[1].Compare == 3; }},
    };
    for (const Case& k : cases) {
      dl::ResetDeviceData();
      services::Medium = 0;
      k.setup();
      const std::optional<TEditRow> row = k.row();
      QVERIFY2(row.has_value(), k.name);
      QVERIFY2(row->quantity == k.quantity, k.name);
      QVERIFY2(row->min == k.min && row->max == k.max, k.name);
      row->store(k.entered);
      QVERIFY2(k.after(), k.name);
    }
  }

  void linesWithoutDialog() {
    const std::pair<const char*, std::function<bool()>> cases[] = {
        {"temperature range, no line", [] { dl::TempParams[0].Kind = 1; return !TemperatureEditRow(0, -1); }},
        {"temperature mode without values", [] { dl::TempParams[0].Kind = 3; return !TemperatureEditRow(0, 0); }},
        {"pressure mode 3", [] { dl::PressureParams[0].Kind = 3; return !PressureEditRow(0, 0); }},
        {"flow mode 0", [] { return !FlowEditRow(0, 0); }},
        {"flow mode 6", [] { dl::FlowParams[0].Kind = 6; return !FlowEditRow(0, 0); }},
        {"dp range 2 on circuit 2", [] { dl::FlowParams[1].Kind = 1; return !FlowEditRow(1, 6); }},
        {"pulse source 0", [] { return !PulseEditRow(0); }},
        {"pulse source code 5", [] { dl::PulseOutputParams[0].Kind = 5; return !PulseEditRow(0); }},
        {"steam supply has no factor", [] { services::Medium = 1; return !SupplyEditRow(0, 2); }},
        {"supply line 3", [] { return !SupplyEditRow(0, 3); }},
    };
    for (const auto& [name, check] : cases) {
      dl::ResetDeviceData();
      services::Medium = 0;
      QVERIFY2(check(), name);
    }
  }

  void mediumActions() {
    using K = TMediumAction::Kind;
    auto& m = dl::MediumParams[0];
    struct Case {
      uint8_t kind;
      int line;
      K action;
      int table;
    };
    const Case cases[] = {{6, 0, K::Value, 0},         {6, 4, K::None, 0},
                          {8, 2, K::PropertyTable, 1}, {14, 0, K::PropertyTable, 0},
                          {14, 1, K::PropertyTable, 1}, {14, -1, K::None, 0},
                          {15, 0, K::SaturationTable, 0}, {15, -1, K::None, 0},
                          {9, -1, K::Value, 0},         {3, 0, K::None, 0},
                          {13, 4, K::Value, 0},         {7, 4, K::None, 0},
                          {200, 0, K::None, 0}};
    for (const Case& k : cases) {
      m.Kind = k.kind;
      const TMediumAction a = MediumEditAction(0, k.line);
      QVERIFY(a.kind == k.action);
      if (a.kind == K::PropertyTable) QCOMPARE(a.table, k.table);
    }
    // A changed gas value clears Ready; the same value stores nothing.
    m.Kind = 6;
    m.Ready = 1;
    dl::GasCommon.Ho = 11.2f;
    TMediumAction a = MediumEditAction(0, 0);
    QCOMPARE(a.row.quantity, uint8_t(12));
    QCOMPARE(a.row.min, 6.f);
    QCOMPARE(a.row.max, 13.f);
    a.row.store(11.2f);
    QCOMPARE(m.Ready, uint8_t(1));
    a.row.store(11.5f);
    QCOMPARE(dl::GasCommon.Ho, 11.5f);
    QCOMPARE(m.Ready, uint8_t(0));
    m.Kind = 8;
    a = MediumEditAction(0, 1);
    QCOMPARE(a.row.quantity, uint8_t(14));
    QCOMPARE(a.row.max, 3000.f);
    m.Kind = 12;
    a = MediumEditAction(0, 1);
    QCOMPARE(a.row.max, 5.f);
  }
};

QTEST_MAIN(CircuitRulesTest)
#include "circuit_rules_test.moc"
