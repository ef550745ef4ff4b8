#include "services/parameter_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/parameter_file.h"
#include "services/text_modules.h"
#include "tests/devicelink/link_fixture.h"
#include "tests/services/fake_app_window.h"

namespace services {
namespace {

namespace dl = devicelink;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Fixed metrics: every character 10 pixels wide, every line 20 high, a page of
// 1000 x 1380 (remarks lines 3 to 68 fit). Texts are recorded with their trailing
// blanks cut, as "B|P x y text" (bold or plain), lines as "L x1 y1 x2 y2", "N" for
// a new page.
class RecordingCanvas : public TReportCanvas {
 public:
  int PageWidth() const override { return width; }
  int PageHeight() const override { return 1380; }
  void SetBold(bool bold) override { bold_ = bold; }
  int TextWidth(const std::string& text) override {
    return 10 * static_cast<int>(platform::Utf8Length(text));
  }
  int TextHeight(const std::string&) override { return 20; }
  void TextOut(int x, int y, const std::string& text) override {
    // Every text inside the page, with its full width (trailing blanks too).
    if (x < 0 || y < 0 || x + TextWidth(text) > PageWidth() || y + 20 > PageHeight()) {
      outside.push_back(std::to_string(x) + " " + std::to_string(y) + " " + text);
    }
    std::string shown = text;
    shown.erase(shown.find_last_not_of(' ') + 1);
    ops.push_back(std::string(bold_ ? "B " : "P ") + std::to_string(x) + " " + std::to_string(y) +
                  " " + shown);
  }
  void Line(int x1, int y1, int x2, int y2) override {
    ops.push_back("L " + std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) +
                  " " + std::to_string(y2));
  }
  void NewPage() override { ops.push_back("N"); }

  // The texts drawn on one line (y = 20 x line) of page 1.
  std::vector<std::string> OnLine(int line) const {
    std::vector<std::string> out;
    const std::string y = " " + std::to_string(20 * line) + " ";
    for (const std::string& op : ops) {
      if (op == "N") break;
      if (op[0] == 'L') continue;
      const size_t after_x = op.find(' ', 2);
      if (op.compare(after_x, y.size(), y) == 0) out.push_back(op);
    }
    return out;
  }

  std::vector<std::string> ops;
  std::vector<std::string> outside;  // texts drawn (partly) off the page
  int width = 1000;

 private:
  bool bold_ = false;
};

// Report texts of a fixture module pair: each text starts with "g" (gas module) or
// "s" (steam module), so every line tells which module it came from.
class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMainThread(&ui_);
    platform::SetClock(&clock_);
    clock_.SetStepPerRead(1);
    saved_folder_ = ProgramFolder;
    ProgramFolder = std::string(VANDREL_TEST_DATA) + "/report_texts/";
    Language = 0;
    ResetModel();
  }
  void ResetModel() {
    Medium = 0;
    dl::ResetDeviceData();
    dl::DeviceOnline = false;
    for (auto& factors : dl::CorrectionFactors) factors.fill(1.0f);
    dl::OutputParams.at(0).Konstant = 40;
    dl::OutputParams.at(1).Konstant = 40;
    canvas_.ops.clear();
  }
  void TearDown() override {
    ProgramFolder = saved_folder_;
    ParameterSetFile.clear();
    Medium = 0;
    dl::ResetDeviceData();
    platform::SetClock(nullptr);
    platform::SetMainThread(nullptr);
  }

  int Draw(bool remarks = true) { return DrawParameterReport(canvas_, {remarks, "10.12.2026"}); }

  platform::QueueMainThread ui_;
  platform::ManualClock clock_{5000};
  testing::FakeAppWindow window_;
  RecordingCanvas canvas_;
  std::string saved_folder_;
};

// Two circuits of a gas device: circuit 1 with range temperature and pressure, a
// differential-pressure flow, one correction factor off 1.0 and a gas medium;
// circuit 2 taking temperature and pressure from circuit 1, a pulse-input flow
// and a steam medium, whose medium, pulse and supply texts and units come from
// the steam module, and no gas factor line.
TEST_F(ReportTest, WholePageOfTwoCircuits) {
  ParameterSetFile = "anlage.PEG";
  auto& t = dl::TempParams;
  t[0] = {};
  t[0].Kind = 1;
  t[0].Min = -20;
  t[0].Max = 60;
  t[1].Eq = 2;
  auto& p = dl::PressureParams;
  p[0].Kind = 1;
  p[0].Min = 0;
  p[0].Max = 1000;
  p[0].Hyd = 100;
  p[1].Eq = 2;
  dl::FlowParams[0].Kind = 1;
  dl::FlowParams[0].Exp_zahl = 1;
  dl::FlowParams[0].Schleich = 0.5f;
  dl::FlowParams2[0].Desdp = 25;
  dl::FlowParams2[0].DesQN = 500;
  dl::FlowParams2[0].DesT = 20;
  dl::FlowParams2[0].Desp = 400;
  dl::FlowParams[1].Kind = 5;
  dl::FlowParams[1].KFak = 100;
  dl::FlowParams[1].MaxFreq = 5000;
  dl::FlowParams[1].TKK = 0;
  dl::FlowParams[1].BTemp = 20;
  dl::CorrectionFactors[0][2] = 1.0001f;
  dl::MediumParams[0].Kind = 7;
  dl::MediumParams[0].Rho = 0.8f;
  dl::MediumParams[0].BRho = 1.2f;
  dl::MediumParams[0].BT = 20;
  dl::MediumParams[0].Bp = 101.325f;
  dl::MediumParams[1].Kind = 9;
  dl::MediumParams[1].Satt_Tol = 5;
  dl::PulseOutputParams[0] = {0, 0, 0, 1, 10.0f};
  dl::PulseOutputParams[1] = {0, 0, 0, 2, 1.0f};
  dl::SupplyValues[0] = {15, 101.325f, 0, 1};
  dl::SupplyValues[1] = {20, 200, 0, 1};
  dl::AlarmParams[0] = {0, 0, 28, 2, 0, 500, 0};
  dl::AlarmParams[1] = {0, 0, 0, 0, 0, 0, 0};
  dl::OutputParams[0] = {0, 0, 40, 0, 0, 0, 0};
  dl::OutputParams[1] = {0, 0, 0, 17, 0, 50, 3.6f};

  EXPECT_EQ(Draw(), 1);

  EXPECT_THAT(canvas_.ops, ElementsAreArray(std::vector<std::string>{
                               "P 415 20 gList  anlage.PEG",
                               "P 880 20 10.12.2026",
                               "B 20 60 gC1",
                               "B 520 60 gC2",
                               // temperature
                               "B 20 100 gTemp",
                               "B 410 100 gTRange",
                               "P 20 120 gTMin",
                               "P 280 120  -20.0000    °C",
                               "P 20 140 gTMax",
                               "P 280 140   60.0000    °C",
                               "B 520 100 gTemp",
                               "B 890 100 gTOther 1",
                               // pressure
                               "B 20 180 gPress",
                               "B 410 180 gPRange",
                               "P 20 200 gPMin",
                               "P 280 200    0.0000    kPa",
                               "P 20 220 gPMax",
                               "P 280 220    1.0000E+3 kPa",
                               "P 20 240 gPHyd",
                               "P 280 240  100.0000    kPa",
                               "B 520 180 gPress",
                               "B 890 180 gPOther 1",
                               // flow
                               "B 20 280 gFlow",
                               "B 440 280 gFDp",
                               "P 20 300 gdp",
                               "P 280 300   25.0000    kPa",
                               "P 20 320 gQN",
                               "P 280 320  500.0000    kg/h",
                               "P 20 340 gDesT",
                               "P 280 340   20.0000    °C",
                               "P 20 360 gDesp",
                               "P 280 360  400.0000    kPa",
                               "P 20 380 gExp",
                               "P 280 380    1.0000",
                               "P 20 400 gCut",
                               "P 280 400    0.5000    kPa",
                               "B 520 280 gFlow",
                               "B 910 280 gFPulse",
                               "P 520 300 gKFak",
                               "P 780 300  100.0000    Imp/l",
                               "P 520 320 gfMax",
                               "P 780 320 5000         Hz",
                               "P 520 340 gTKK",
                               "P 780 340    0.0000    1/K",
                               "P 520 360 gBTemp",
                               "P 780 360   20.0000    °C",
                               // correction factors: circuit 1 only
                               "B 20 520 gCorr 1",
                               "P 20 540 gk1",
                               "P 280 540    1.0000",
                               "P 20 560 gk2",
                               "P 280 560    1.0000",
                               "P 20 580 gk3",
                               "P 280 580    1.0001",
                               "P 20 600 gk4",
                               "P 280 600    1.0000",
                               "P 20 620 gk5",
                               "P 280 620    1.0000",
                               "P 20 640 gk6",
                               "P 280 640    1.0000",
                               "P 20 660 gk7",
                               "P 280 660    1.0000",
                               "P 20 680 gk8",
                               "P 280 680    1.0000",
                               // medium
                               "B 20 720 gMedium",
                               "B 450 720 gM7",
                               "P 20 740 gRho",
                               "P 280 740    0.8000    kg/m³",
                               "P 20 760 gBRho",
                               "P 280 760    1.2000    kg/m³",
                               "P 20 780 gBT",
                               "P 280 780   20.0000    °C",
                               "P 20 800 gBp",
                               "P 280 800  101.3250    kPa",
                               "B 520 720 sMedium",
                               "B 950 720 sM0",
                               "P 520 740 sTol",
                               "P 780 740    5.0000    K",
                               // pulse output
                               "B 20 860 gPulse",
                               "B 450 860 gP1",
                               "P 280 880   10.0000    Nm³",
                               "B 520 860 sPulse",
                               "B 950 860 sP2",
                               "P 780 880    1.0000    kg",
                               // supply values
                               "B 20 920 gSupply",
                               "P 20 940 gT0",
                               "P 280 940   15.0000    °C",
                               "P 20 960 gp0",
                               "P 280 960  101.3250    kPa",
                               "P 20 980 gFaktor",
                               "P 280 980    1.0000",
                               "B 520 920 sSupply",
                               "P 520 940 sT0",
                               "P 780 940   20.0000    °C",
                               "P 520 960 sp0",
                               "P 780 960  200.0000    kPa",
                               // relays, back in the gas module
                               "B 20 1040 gRelay 1",
                               "B 440 1040 gR22",
                               "P 20 1060 gAMin",
                               "P 280 1060    0.0000    Nm³/h",
                               "P 20 1080 gAMax",
                               "P 280 1080  500.0000    Nm³/h",
                               "B 520 1040 gRelay 2",
                               "B 950 1040 gR0",
                               // analog outputs
                               "B 20 1140 gOut 1",
                               "P 20 1160 gO0",
                               "P 280 1160    4.0000    mA",
                               "B 520 1140 gOut 2",
                               "B 940 1140 gO11",
                               "P 520 1160 gOMin",
                               "P 780 1160    0.0000    K",
                               "P 520 1180 gOMax",
                               "P 780 1180   50.0000    K",
                               "P 520 1200 gOErr",
                               "P 780 1200    3.6000    mA",
                               // ruling
                               "L 500 60 500 1240",
                               "L 20 1020 980 1020",
                               "L 20 1120 980 1120",
                               "L 20 1240 980 1240",
                           }));
  // The program's medium is what it was, though circuit 2 printed as steam.
  EXPECT_EQ(Medium, 0);
}

// A steam device printing a gas circuit: the circuit's medium, pulse and supply
// sections switch to the gas module and back, and Medium is restored.
TEST_F(ReportTest, SteamDeviceWithAGasCircuit) {
  Medium = 1;
  dl::SystemParams.SystemTypeFlags = 0x40;  // one circuit
  dl::MediumParams[0].Kind = 8;
  dl::MediumParams[0].Rho = 1.25f;
  dl::MediumParams[0].RN = 0.287f;
  dl::PulseOutputParams[0] = {0, 0, 0, 1, 2.5f};
  dl::SupplyValues[0] = {0, 0, 0, 1};
  Draw();
  EXPECT_THAT(canvas_.OnLine(1), ElementsAre("P 460 20 sList 1C", "P 880 20 10.12.2026"));
  EXPECT_THAT(canvas_.OnLine(3), ElementsAre("B 20 60 sC1"));
  EXPECT_THAT(canvas_.OnLine(5), ElementsAre("B 20 100 sTemp", "B 430 100 sTFix"));
  EXPECT_THAT(canvas_.OnLine(6), ElementsAre("P 20 120 sKonst", "P 280 120    0.0000    °C"));
  EXPECT_THAT(canvas_.OnLine(36), ElementsAre("B 20 720 gMedium", "B 450 720 gM8"));
  EXPECT_THAT(canvas_.OnLine(38), ElementsAre("P 20 760 gRN", "P 280 760  287.0000    J/kgK"));
  // Pulse source 1 counts standard volume in a gas circuit.
  EXPECT_THAT(canvas_.OnLine(44), ElementsAre("P 280 880    2.5000    Nm³"));
  EXPECT_THAT(canvas_.OnLine(49), ElementsAre("P 20 980 gFaktor", "P 280 980    1.0000"));
  EXPECT_THAT(canvas_.OnLine(52), ElementsAre("B 20 1040 sRelay 1", "B 450 1040 sR0",
                                              "B 520 1040 sRelay 2", "B 950 1040 sR0"));
  // Output 2 is left out on a one-circuit device.
  EXPECT_THAT(canvas_.OnLine(57), ElementsAre("B 20 1140 sOut 1"));
  EXPECT_EQ(Medium, 1);
}

TEST_F(ReportTest, SteamCircuitPulseSourceOneCountsEnergy) {
  Medium = 1;
  dl::MediumParams[0].Kind = 9;
  dl::PulseOutputParams[0] = {0, 0, 0, 1, 2.5f};
  Draw();
  EXPECT_THAT(canvas_.OnLine(44), ElementsAre("P 280 880    2.5000    kWh"));
}

TEST_F(ReportTest, TitleByFlagsOffline) {
  struct Case {
    uint8_t flags;
    const char* title;
  };
  for (const Case& c :
       {Case{0x00, "P 415 20 gList  anlage.PEG"}, Case{0x01, "P 415 20 gList  anlage.PEG"},
        Case{0x40, "P 400 20 gList 1C  anlage.PEG"}, Case{0xC1, "P 400 20 gList 1C  anlage.PEG"},
        Case{0x02, "P 375 20 gList noTrend  anlage.PEG"},
        Case{0x42, "P 360 20 gList 1C noTrend  anlage.PEG"},
        Case{0xFF, "P 360 20 gList 1C noTrend  anlage.PEG"}}) {
    SCOPED_TRACE(static_cast<int>(c.flags));
    ResetModel();
    ParameterSetFile = "anlage.PEG";
    dl::SystemParams.SystemTypeFlags = c.flags;
    Draw();
    EXPECT_THAT(canvas_.OnLine(1), ElementsAre(c.title, "P 880 20 10.12.2026"));
  }
}

// The title line: the title, two blanks and the set's file as panel 0 shows it,
// the date at the right. What does not fit beside the date: the name on line 2.
TEST_F(ReportTest, TitleLineCarriesTheShortenedNameAndTheDate) {
  struct Case {
    std::string file;
    std::vector<std::string> line1;
    std::vector<std::string> line2;
  };
  const std::vector<Case> cases = {
      {"/home/techniker/Anlagen/Nord/Station 4/Kreis 1 neu.PEG",
       {"P 275 20 gList 1C noTrend  /home/ ... /Kreis 1 neu.PEG", "P 880 20 10.12.2026"},
       {}},
      // 200 characters: panel 0's form, the tail its last 22 characters.
      {"/home/techniker/Anlagen/Nord/Station 4/Kreis 1/Messstelle Eingang West/" +
           std::string(110, 'x') + "/Gasmengenumwerter_Kreis1.PEG",
       {"P 245 20 gList 1C noTrend  /home/ ... genumwerter_Kreis1.PEG",
        "P 880 20 10.12.2026"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ResetModel();
    dl::SystemParams.SystemTypeFlags = 0x42;
    ParameterSetFile = c.file;
    Draw();
    EXPECT_THAT(canvas_.OnLine(1), ElementsAreArray(c.line1));
    EXPECT_THAT(canvas_.OnLine(2), ElementsAreArray(c.line2));
  }
  // A page too narrow for title and name beside the date (56 characters).
  ResetModel();
  canvas_.width = 560;
  dl::SystemParams.SystemTypeFlags = 0x42;
  ParameterSetFile = "/home/techniker/Anlagen/Nord/Station 4/Kreis 1 neu.PEG";
  Draw();
  EXPECT_THAT(canvas_.OnLine(1), ElementsAre("P 200 20 gList 1C noTrend", "P 440 20 10.12.2026"));
  EXPECT_THAT(canvas_.OnLine(2), ElementsAre("P 145 40 /home/ ... /Kreis 1 neu.PEG"));
  // Narrower still: the name loses characters at the front of its tail.
  ResetModel();
  canvas_.width = 300;
  ParameterSetFile = "/home/techniker/Anlagen/Nord/Station 4/Kreis 1 neu.PEG";
  Draw();
  EXPECT_THAT(canvas_.OnLine(2), ElementsAre("P 20 40 /home/ ... Kreis 1 neu.PEG"));
  EXPECT_TRUE(canvas_.outside.empty()) << canvas_.outside.front();
}

// Every text of the report on the page, whatever the title, the file name and the
// page: offline and online, gas and steam, German and English, the shortest and
// the longest title, names of 10 to 200 characters, pages of 95 and 60 characters.
TEST_F(ReportTest, EveryTextStaysOnThePage) {
  ProgramFolder = std::string(VANDREL_SOURCE_DIR) + "/texts/";
  const std::string names[] = {
      "anlage.PEG",
      "/home/anna/Dokumente/vandrel2/Kunde.PEG",  // 40: whole
      "/home/anna/Dokumente/vandrel2/Anlagen/Nord/Station 12/Kreis 1 und Kreis 2 neu.PEG",
      "/home/anna/Dokumente/vandrel2/" + std::string(140, 'n') +
          "/Gasmengenumwerter_Kreis1_und_Kreis2.PEG",
  };
  for (int width : {950, 600}) {
    for (int32_t medium : {0, 1}) {
      for (int32_t language : {0, 1}) {
        for (uint8_t flags : {0x00, 0xC2}) {
          for (const std::string& name : names) {
            SCOPED_TRACE(std::to_string(width) + " " + std::to_string(medium) +
                         std::to_string(language) + " " + std::to_string(flags) + " " + name);
            ResetModel();
            canvas_.width = width;
            Medium = medium;
            Language = language;
            dl::SystemParams.SystemTypeFlags = flags;
            ParameterSetFile = name;
            window_.memo = {"Zähler getauscht " + std::string(300, 'w')};
            Draw();
            EXPECT_TRUE(canvas_.outside.empty()) << canvas_.outside.front();
            ASSERT_FALSE(canvas_.OnLine(1).empty());
            // The title first, the date last on line 1; the name there or on line 2.
            EXPECT_TRUE(canvas_.OnLine(1).back().ends_with(" 10.12.2026"));
            std::string title_lines;
            for (int line : {1, 2}) {
              for (const std::string& op : canvas_.OnLine(line)) title_lines += op + "\n";
            }
            const std::string tail = name.substr(name.size() - 8);
            EXPECT_NE(title_lines.find(tail), std::string::npos) << title_lines;
          }
        }
      }
    }
  }
}

// Panel 0 may hold a connect message, never the set's file.
TEST_F(ReportTest, OfflineWithoutFileNameHasTheTitleAlone) {
  ParameterSetFile.clear();
  window_.panels[0] = "Kein GAS- oder DAMPF Rechner";
  Draw();
  EXPECT_THAT(canvas_.OnLine(1), ElementsAre("P 475 20 gList", "P 880 20 10.12.2026"));
}

TEST_F(ReportTest, SystemTypesAndCircuits) {
  struct Case {
    uint8_t kind;
    uint8_t flags;
    std::vector<std::string> kind_line;
    bool circuit2;
    bool output2;
  };
  const std::vector<Case> cases = {
      {0, 0x00, {"B 20 60 gC1", "B 520 60 gC2"}, true, true},
      {0, 0x40, {"B 20 60 gC1"}, false, false},
      {0, 0x80, {"B 20 60 gC1"}, false, false},
      {1, 0x00, {"B 20 60 gRange"}, false, true},
      {2, 0x00, {"B 20 60 gRedundant"}, false, true},
      {3, 0x00, {"B 20 60 gSum1", "B 520 60 gSum2"}, true, true},
      {4, 0x00, {"B 20 60 gDiff1", "B 520 60 gDiff2"}, true, true},
      {7, 0x00, {}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + "/" + std::to_string(c.flags));
    canvas_.ops.clear();
    dl::SystemParams.Kind = c.kind;
    dl::SystemParams.SystemTypeFlags = c.flags;
    Draw();
    EXPECT_THAT(canvas_.OnLine(3), ElementsAreArray(c.kind_line));
    // Temperature heading of circuit 2, and the relays are always both there.
    EXPECT_EQ(canvas_.OnLine(5).size(), c.circuit2 ? 4u : 2u);
    EXPECT_EQ(canvas_.OnLine(52).size(), 4u);
    EXPECT_EQ(canvas_.OnLine(57).size(), c.output2 ? 2u : 1u);
    // No supply section on a difference system.
    EXPECT_EQ(canvas_.OnLine(46).empty(), c.kind == 4);
  }
}

TEST_F(ReportTest, DifferentialPressureLinesOfOneCircuitSystems) {
  dl::SystemParams.Kind = 1;
  dl::SystemParams.Anzahl = 4;
  dl::FlowParams[0].Kind = 2;
  dl::FlowParams2[0].Desdp2 = 2;
  dl::FlowParams2[0].Desdp3 = 3;
  dl::FlowParams2[0].Desdp4 = 4;
  Draw();
  EXPECT_THAT(canvas_.OnLine(21), ElementsAre("P 20 420 gdp2", "P 280 420    2.0000    kPa"));
  EXPECT_THAT(canvas_.OnLine(22), ElementsAre("P 20 440 gdp3", "P 280 440    3.0000    kPa"));
  EXPECT_THAT(canvas_.OnLine(23), ElementsAre("P 20 460 gdp4", "P 280 460    4.0000    kPa"));

  canvas_.ops.clear();
  dl::SystemParams.Anzahl = 2;
  Draw();
  EXPECT_EQ(canvas_.OnLine(21).size(), 2u);
  EXPECT_TRUE(canvas_.OnLine(22).empty());
  EXPECT_TRUE(canvas_.OnLine(23).empty());
}

TEST_F(ReportTest, CorrectionFactorsAllOneLeaveTheBlockOut) {
  Draw();
  for (int line = 26; line <= 34; ++line) EXPECT_TRUE(canvas_.OnLine(line).empty()) << line;
}

// Device codes beyond the choices a text block holds print no name and no values
// (one circuit, so only relay 2 shows beside circuit 1).
TEST_F(ReportTest, CodesOutsideTheirChoices) {
  struct Case {
    const char* what;
    void (*set)();
    int from;
    int to;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"temperature kind 15", [] { dl::TempParams[0].Kind = 15; }, 5, 7, {"B 20 100 gTemp"}},
      {"temperature kind 14", [] { dl::TempParams[0].Kind = 14; }, 5, 7, {"B 20 100 gTemp"}},
      {"medium kind 25", [] { dl::MediumParams[0].Kind = 25; }, 36, 41, {"B 20 720 sMedium"}},
      {"pulse kind 128",
       [] {
         dl::PulseOutputParams[0] = {0, 0, 0, 128, 3};
       },
       43,
       44,
       {"B 20 860 gPulse"}},
      {"pulse kind 129 has a name but no value",
       [] {
         dl::PulseOutputParams[0] = {0, 0, 0, 129, 3};
       },
       43,
       44,
       {"B 20 860 gPulse", "B 450 860 gP1"}},
      // Codes the choice list cannot produce: their limits are on the paper all
      // the same, of the quantity kind of "any other" code, under the code itself.
      {"relay code 8",
       [] { dl::AlarmParams[0] = {0, 0, 8, 0, 1, 2, 0}; },
       52,
       54,
       {"B 20 1040 gRelay 1", "B 420 1040 Code 8", "B 520 1040 gRelay 2", "B 950 1040 gR0",
        "P 20 1060 gAMin", "P 280 1060    1.0000    kg"}},
      {"relay code 25 with both limits",
       [] { dl::AlarmParams[0] = {0, 0, 25, 2, 1, 2, 0}; },
       52,
       54,
       {"B 20 1040 gRelay 1", "B 410 1040 Code 25", "B 520 1040 gRelay 2", "B 950 1040 gR0",
        "P 20 1060 gAMin", "P 280 1060    1.0000    kg", "P 20 1080 gAMax",
        "P 280 1080    2.0000    kg"}},
      {"relay code 9",
       [] { dl::AlarmParams[0] = {0, 0, 9, 0, 1, 2, 0}; },
       52,
       54,
       {"B 20 1040 gRelay 1", "B 450 1040 gR8", "B 520 1040 gRelay 2", "B 950 1040 gR0",
        "P 20 1060 gAMin", "P 280 1060    1.0000    °C"}},
      {"relay code 17",
       [] { dl::AlarmParams[0] = {0, 0, 17, 0, 4, 2, 0}; },
       52,
       54,
       {"B 20 1040 gRelay 1", "B 440 1040 gR15", "B 520 1040 gRelay 2", "B 950 1040 gR0",
        "P 20 1060 gAMin", "P 280 1060    4.0000    K"}},
      {"relay code 39 from the third block",
       [] { dl::AlarmParams[0] = {0, 0, 39, 1, 1, 2, 0}; },
       52,
       54,
       {"B 20 1040 gRelay 1", "B 440 1040 gR33", "B 520 1040 gRelay 2", "B 950 1040 gR0",
        "P 20 1060 gAMax", "P 280 1060    2.0000    kWh"}},
      {"relay code 255",
       [] { dl::AlarmParams[0] = {0, 0, 255, 0, 1, 2, 0}; },
       52,
       54,
       {"B 20 1040 gRelay 1", "B 400 1040 Code 255", "B 520 1040 gRelay 2", "B 950 1040 gR0",
        "P 20 1060 gAMin", "P 280 1060    1.0000    kg"}},
      {"output code 6",
       [] { dl::OutputParams[0] = {0, 0, 0, 6, 1, 2, 3}; },
       57,
       60,
       {"B 20 1140 gOut 1", "B 420 1140 Code 6", "P 20 1160 gOMin", "P 280 1160    1.0000    kg/h",
        "P 20 1180 gOMax", "P 280 1180    2.0000    kg/h", "P 20 1200 gOErr",
        "P 280 1200    3.0000    mA"}},
      {"output code 255",
       [] { dl::OutputParams[0] = {0, 0, 0, 255, 1, 2, 3}; },
       57,
       58,
       {"B 20 1140 gOut 1", "B 400 1140 Code 255", "P 20 1160 gOMin",
        "P 280 1160    1.0000    kg/h"}},
      {"output code 9",
       [] { dl::OutputParams[0] = {0, 0, 0, 9, 1, 2, 3}; },
       57,
       60,
       {"B 20 1140 gOut 1", "B 450 1140 gO6", "P 20 1160 gOMin", "P 280 1160    1.0000    °C",
        "P 20 1180 gOMax", "P 280 1180    2.0000    °C", "P 20 1200 gOErr",
        "P 280 1200    3.0000    mA"}},
      {"output code 33 from the second block",
       [] { dl::OutputParams[0] = {0, 0, 0, 33, 1, 2, 3}; },
       57,
       58,
       {"B 20 1140 gOut 1", "B 440 1140 gO21", "P 20 1160 gOMin", "P 280 1160    1.0000    kW"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetModel();
    dl::SystemParams.SystemTypeFlags = 0x40;
    c.set();
    Draw();
    std::vector<std::string> drawn;
    for (int line = c.from; line <= c.to; ++line) {
      for (const std::string& op : canvas_.OnLine(line)) drawn.push_back(op);
    }
    EXPECT_THAT(drawn, ElementsAreArray(c.expected));
    EXPECT_EQ(Medium, 0);
  }
}

TEST_F(ReportTest, RemarksContinueOnFurtherPages) {
  struct Case {
    size_t lines;
    int pages;
  };
  for (const Case& c : {Case{0, 1}, Case{1, 2}, Case{66, 2}, Case{67, 3}}) {
    SCOPED_TRACE(c.lines);
    canvas_.ops.clear();
    window_.memo.clear();
    for (size_t i = 1; i <= c.lines; ++i) window_.memo.push_back("line " + std::to_string(i));
    EXPECT_EQ(Draw(), c.pages);
    std::vector<std::string> after_rules;
    size_t rules = 0;
    for (const std::string& op : canvas_.ops) {
      if (rules == 4) after_rules.push_back(op);
      if (op[0] == 'L') ++rules;
    }
    std::vector<std::string> expected;
    // Each page of remarks under the title line of the report.
    const std::vector<std::string> page = {"N", "P 475 20 gList", "P 880 20 10.12.2026"};
    if (c.lines >= 1) expected = page;
    if (c.lines == 1) expected.push_back("P 20 60 line 1");
    if (c.lines >= 66) {
      for (int i = 1; i <= 66; ++i) {
        expected.push_back("P 20 " + std::to_string(40 + 20 * i) + " line " + std::to_string(i));
      }
    }
    if (c.lines == 67) {
      expected.insert(expected.end(), page.begin(), page.end());
      expected.push_back("P 20 60 line 67");
    }
    EXPECT_THAT(after_rules, ElementsAreArray(expected));
  }
}

// A remark typed as one paragraph is wrapped to the text width (96 characters of
// 10 pixels between the margins) at blanks; a word longer than a line is broken
// within it; the memo itself keeps its lines.
TEST_F(ReportTest, RemarksAreWrappedToTheTextWidth) {
  const std::string word = "Messstelle ";  // 11 characters with its blank
  std::string paragraph;
  for (int i = 0; i < 20; ++i) paragraph += word;  // 220 characters
  const std::string long_word(200, 'x');
  struct Case {
    std::string remark;
    std::vector<std::string> printed;
  };
  std::string eight;  // 8 words, 87 characters without the last blank
  for (int i = 0; i < 8; ++i) eight += word;
  eight.pop_back();
  const std::vector<Case> cases = {
      {paragraph, {eight, eight, "Messstelle Messstelle Messstelle Messstelle"}},
      {"kurz " + long_word + " Ende",
       {"kurz", long_word.substr(0, 96), long_word.substr(96, 96), long_word.substr(192) + " Ende"}},
      {"  eingerückt " + std::string(90, 'y'), {"  eingerückt", std::string(90, 'y')}},
      {std::string(96, 'z'), {std::string(96, 'z')}},
      {"Δp " + std::string(95, 'w'), {"Δp", std::string(95, 'w')}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remark);
    canvas_.ops.clear();
    window_.memo = {c.remark, "Ende der Bemerkungen"};
    Draw();
    std::vector<std::string> printed;
    bool remarks = false;
    for (const std::string& op : canvas_.ops) {
      if (op == "N") remarks = true;
      if (remarks && op.rfind("P 20 ", 0) == 0) printed.push_back(op.substr(op.find(' ', 5) + 1));
    }
    std::vector<std::string> expected = c.printed;
    expected.push_back("Ende der Bemerkungen");
    EXPECT_THAT(printed, ElementsAreArray(expected));
    EXPECT_EQ(window_.memo[0], c.remark);
  }
}

TEST_F(ReportTest, PreviewLeavesTheRemarksOut) {
  window_.memo = {"a remark"};
  EXPECT_EQ(Draw(/*remarks=*/false), 1);
  EXPECT_EQ(canvas_.ops.back(), "L 20 1240 980 1240");
}

// A canvas that fails in the middle of the steam circuit's section.
class FailingCanvas : public RecordingCanvas {
 public:
  void TextOut(int x, int y, const std::string& text) override {
    if (text.rfind("sMedium", 0) == 0) throw std::runtime_error("printer gone");
    RecordingCanvas::TextOut(x, y, text);
  }
};

TEST_F(ReportTest, MediumComesBackWhenTheDrawingFails) {
  dl::MediumParams[1].Kind = 10;
  dl::DeviceOnline = false;
  FailingCanvas canvas;
  dl::testing::RecordingWindowLink link;
  dl::SetWindowLink(&link);
  EXPECT_THROW(DrawParameterReport(canvas, {true, "x"}), std::runtime_error);
  dl::SetWindowLink(nullptr);
  EXPECT_EQ(Medium, 0);
  // Progress bar hidden and the cursor back however it ended.
  EXPECT_FALSE(link.progress_visible);
  EXPECT_EQ(link.cursors.back(), dl::TCursorShape::Default);
}

TEST_F(ReportTest, ProgressCountsNineStages) {
  dl::testing::RecordingWindowLink link;
  dl::SetWindowLink(&link);
  Draw();
  dl::SetWindowLink(nullptr);
  EXPECT_THAT(link.progress_events, ElementsAre("max 9", "show", "hide"));
  EXPECT_EQ(link.progress_position, 9);
}

// Online: the serial number is read for the title; a failed read prints none
// rather than the number of the device read before.
class OnlineReportTest : public dl::testing::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    saved_folder_ = ProgramFolder;
    ProgramFolder = std::string(VANDREL_TEST_DATA) + "/report_texts/";
    Medium = 0;
    Language = 0;
  }
  void TearDown() override {
    ProgramFolder = saved_folder_;
    ParameterSetFile.clear();
    LinkTest::TearDown();
  }
  testing::FakeAppWindow window_;
  RecordingCanvas canvas_;
  std::string saved_folder_;
};

TEST_F(OnlineReportTest, TitleCarriesTheSerialNumberReadNow) {
  ParameterSetFile = "anlage.PEG";
  dl::SystemParams.SystemTypeFlags = 0x02;
  DrawParameterReport(canvas_, {true, "10.12.2026"});
  EXPECT_THAT(canvas_.OnLine(1), ElementsAre("P 305 20 gList noTrend SerialNo:NGX7 2305-004711",
                                             "P 880 20 10.12.2026"));
  ASSERT_EQ(Requests().size(), 1u);
}

// Online, gas and steam, the longest titles: every text on the page, the serial
// number beside the title or on line 2.
TEST_F(OnlineReportTest, EveryTextStaysOnThePage) {
  ProgramFolder = std::string(VANDREL_SOURCE_DIR) + "/texts/";
  for (int32_t medium : {0, 1}) {
    for (uint8_t flags : {0x00, 0xC2}) {
      SCOPED_TRACE(std::to_string(medium) + " " + std::to_string(flags));
      canvas_.ops.clear();
      canvas_.width = 950;
      Medium = medium;
      dl::SystemParams.SystemTypeFlags = flags;
      DrawParameterReport(canvas_, {true, "10.12.2026"});
      EXPECT_TRUE(canvas_.outside.empty()) << canvas_.outside.front();
      std::string title_lines;
      for (int line : {1, 2}) {
        for (const std::string& op : canvas_.OnLine(line)) title_lines += op + "\n";
      }
      EXPECT_NE(title_lines.find("SerialNo:NGX7 2305-004711"), std::string::npos) << title_lines;
    }
  }
}

TEST_F(OnlineReportTest, FailedSerialNumberReadLeavesTheNumberEmpty) {
  dl::DeviceSerialNo = "HTX7 1999-000001";
  sim_->InjectFaultAt(flowsim::FaultKind::NoAnswer, 0x8FC0, flowsim::kEveryFrame);
  DrawParameterReport(canvas_, {true, "10.12.2026"});
  EXPECT_THAT(canvas_.OnLine(1), ElementsAre("P 425 20 gList SerialNo:", "P 880 20 10.12.2026"));
}

}  // namespace
}  // namespace services
