#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "services/sat_table_grid.h"
#include "services/table_grid.h"
#include "tests/platform/temp_folder.h"

namespace services {
namespace {

using platform::testing::TempFolder;
using platform::testing::WriteBytes;

devicelink::TPropertyTable Table() {
  devicelink::TPropertyTable t;
  for (int i = 0; i < 14; ++i) t.Pressures[i] = static_cast<uint16_t>(100 * (i + 1));
  for (int j = 0; j < 18; ++j) {
    t.Temperatures[j] = static_cast<uint16_t>(253 + 5 * j);
    for (int i = 0; i < 14; ++i) t.Values[j][i] = 0.9f + 0.001f * static_cast<float>(j * 14 + i);
  }
  return t;
}

uint32_t Bits(float f) {
  return std::bit_cast<uint32_t>(f);
}

TEST(PropertyGridTest, CellKinds) {
  EXPECT_EQ(TPropertyGrid::Kind(0, 0), TTableCellKind::kCorner);
  EXPECT_EQ(TPropertyGrid::Kind(0, 18), TTableCellKind::kTemperature);
  EXPECT_EQ(TPropertyGrid::Kind(14, 0), TTableCellKind::kPressure);
  EXPECT_EQ(TPropertyGrid::Kind(14, 18), TTableCellKind::kValue);
  EXPECT_THROW(TPropertyGrid::Kind(15, 1), std::out_of_range);
  EXPECT_THROW(TPropertyGrid::Kind(1, 19), std::out_of_range);
  EXPECT_THROW(TPropertyGrid::Kind(-1, 1), std::out_of_range);
}

TEST(PropertyGridTest, DialogParametersPerCell) {
  struct Case {
    const char* what;
    int medium, tag, column, row;
    bool integer_only;
    uint8_t quantity;
    float min, max, value;
  };
  const std::vector<Case> cases = {
      {"first temperature: 0 is the least", 0, 0, 0, 1, true, 15, 0, 1000, 253},
      {"temperature row 5: row 4 is the least", 0, 0, 0, 5, true, 15, 268, 1000, 273},
      {"first pressure", 0, 0, 1, 0, true, 255, 0, 65000, 100},
      {"pressure column 5 in kPa, column 4 the least", 1, 0, 5, 0, true, 255, 400, 65000, 500},
      {"gas value", 0, 1, 3, 2, false, 255, 0, 1000, 0.9f + 0.001f * 16},
      {"density value", 1, 0, 3, 2, false, 255, 0, 1500, 0.9f + 0.001f * 16},
      {"enthalpy value", 1, 1, 14, 18, false, 255, 0, 5000, 0.9f + 0.001f * 251},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TPropertyGrid grid(c.medium, c.tag);
    grid.Receive(Table());
    const TCellInput in = grid.InputFor(c.column, c.row);
    EXPECT_EQ(in.integer_only, c.integer_only);
    EXPECT_EQ(in.quantity, c.quantity);
    EXPECT_EQ(in.min, c.min);
    EXPECT_EQ(in.max, c.max);
    EXPECT_EQ(in.value, c.value);
    EXPECT_EQ(in.precision, 7);
  }
  TPropertyGrid empty;
  EXPECT_EQ(empty.InputFor(0, 3).value, 0);  // an empty axis cell starts at its least
  EXPECT_THROW(empty.InputFor(0, 0), std::invalid_argument);
}

TEST(PropertyGridTest, ContinuousEntryGoesDownThenRight) {
  using P = std::pair<int, int>;
  EXPECT_EQ(TPropertyGrid::NextEntryCell(1, 1), P(1, 2));
  EXPECT_EQ(TPropertyGrid::NextEntryCell(3, 17), P(3, 18));
  EXPECT_EQ(TPropertyGrid::NextEntryCell(3, 18), P(4, 1));
  EXPECT_EQ(TPropertyGrid::NextEntryCell(14, 18), P(1, 1));
}

TEST(PropertyGridTest, EnteredValues) {
  TPropertyGrid grid(0, 0);
  grid.Receive(Table());
  EXPECT_TRUE(grid.Enter(0, 5, 300.9f));  // axis cells take the integer part
  EXPECT_EQ(grid.Cell(0, 5).text, "300");
  EXPECT_TRUE(grid.Enter(2, 2, 1.2345678f));
  EXPECT_EQ(grid.Cell(2, 2).text, "1.234568");
  // The device gets what the cell shows.
  EXPECT_EQ(grid.Cell(2, 2).value, 1.234568f);
  EXPECT_FALSE(grid.Enter(2, 2, std::numeric_limits<float>::quiet_NaN()));
}

TEST(PropertyGridTest, PasteClampsAndRefuses) {
  struct Case {
    int column, row;
    const char* text;
    TPasteResult result;
    const char* cell;  // the text afterwards; nullptr: as before
  };
  const std::vector<Case> cases = {
      {1, 0, "70000", TPasteResult::kChanged, "65000"},
      {1, 0, "-5", TPasteResult::kChanged, "0"},
      {0, 1, "-5", TPasteResult::kChanged, "0"},
      {0, 1, "1300", TPasteResult::kChanged, "1200"},
      {0, 1, "300,7", TPasteResult::kChanged, "300"},
      {0, 1, "253", TPasteResult::kUnchanged, "253"},
      {2, 2, "1,5", TPasteResult::kChanged, "1.5"},
      {2, 2, " 12.25\r\n", TPasteResult::kChanged, "12.25"},
      {2, 2, "-1E38", TPasteResult::kChanged, "-1E38"},
      {2, 2, "abc", TPasteResult::kRefused, nullptr},
      {2, 2, "12abc", TPasteResult::kRefused, nullptr},
      {2, 2, "1e39", TPasteResult::kRefused, nullptr},
      {2, 2, "1e-50", TPasteResult::kRefused, nullptr},  // would become 0
      {2, 2, "nan", TPasteResult::kRefused, nullptr},
      {2, 2, "", TPasteResult::kRefused, nullptr},
      {2, 2, "1\t2", TPasteResult::kRefused, nullptr},
      {0, 0, "5", TPasteResult::kRefused, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TPropertyGrid grid;
    grid.Receive(Table());
    const std::string before = grid.Cell(c.column, c.row).text;
    EXPECT_EQ(grid.Paste(c.column, c.row, c.text), c.result);
    EXPECT_EQ(grid.Cell(c.column, c.row).text, c.cell ? std::string(c.cell) : before);
    EXPECT_EQ(grid.ChangedSinceSave, c.result == TPasteResult::kChanged);
  }
}

// Both flags after each action, from a grid read from the device (flags clear)
// and from one with both flags set.
TEST(PropertyGridTest, ChangeFlags) {
  TempFolder dir;
  const std::string good = dir / "good.KTB";
  const std::string bad = dir / "bad.KTB";
  TPropertyGrid saved;
  saved.Receive(Table());
  saved.SaveFile(good);
  WriteBytes(bad, "[Werte]\r\n0 - 0=x\r\n");

  struct Case {
    const char* what;
    std::function<void(TPropertyGrid&)> action;
    bool transfer_from_clear, save_from_clear;  // flags afterwards, starting clear
    bool transfer_from_set, save_from_set;      // starting with both set
  };
  const std::vector<Case> cases = {
      {"dialog with the value shown", [](auto& g) { g.Enter(3, 3, g.InputFor(3, 3).value); }, false,
       false, true, true},
      {"dialog with another value", [](auto& g) { g.Enter(3, 3, 5); }, true, true, true, true},
      {"axis dialog, same whole number", [](auto& g) { g.Enter(0, 3, 263.5f); }, false, false, true,
       true},
      {"paste of the shown text", [](auto& g) { g.Paste(3, 3, g.Cell(3, 3).text); }, false, false,
       true, true},
      {"paste of another number", [](auto& g) { g.Paste(3, 3, "2"); }, true, true, true, true},
      {"paste refused", [](auto& g) { g.Paste(3, 3, "x"); }, false, false, true, true},
      {"delete", [](auto& g) { g.Delete(3, 3); }, true, true, true, true},
      {"delete of a 0 cell",
       [](auto& g) {
         g.Delete(3, 3);
         g.Sent();
         g.ChangedSinceSave = false;
         g.Delete(3, 3);
       },
       false, false, false, false},
      {"new", [](auto& g) { g.New(); }, false, false, false, false},
      {"load", [&](auto& g) { g.LoadFile(good); }, true, false, true, false},
      {"failed load", [&](auto& g) { EXPECT_ANY_THROW(g.LoadFile(bad)); }, false, false, true,
       true},
      {"save", [&](auto& g) { g.SaveFile(dir / "out.KTB"); }, false, false, true, false},
      {"failed save", [&](auto& g) { EXPECT_ANY_THROW(g.SaveFile(dir / "no/out.KTB")); }, false,
       false, true, true},
      {"receive", [](auto& g) { g.Receive(Table()); }, false, false, false, true},
      {"sent", [](auto& g) { g.Sent(); }, false, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TPropertyGrid clear;
    clear.Receive(Table());
    c.action(clear);
    EXPECT_EQ(clear.ChangedSinceTransfer, c.transfer_from_clear);
    EXPECT_EQ(clear.ChangedSinceSave, c.save_from_clear);
    TPropertyGrid set;
    set.Receive(Table());
    set.ChangedSinceTransfer = set.ChangedSinceSave = true;
    c.action(set);
    EXPECT_EQ(set.ChangedSinceTransfer, c.transfer_from_set);
    EXPECT_EQ(set.ChangedSinceSave, c.save_from_set);
  }
}

TEST(PropertyGridTest, NewFillsZerosAndForgetsTheFile) {
  TPropertyGrid grid(1, 1);
  grid.FileName = "/x/y.ETB";
  grid.New();
  EXPECT_EQ(grid.FileName, "");
  EXPECT_EQ(grid.Cell(0, 0).text, "");
  for (auto [c, r] : {std::pair{0, 1}, {1, 0}, {14, 18}}) EXPECT_EQ(grid.Cell(c, r).text, "0");
}

TEST(PropertyGridTest, UntouchedCellsKeepTheirBits) {
  devicelink::TPropertyTable read = Table();
  read.Values[0][0] = 1.0000001f;  // shows "1"
  read.Values[4][9] = -0.0f;
  read.Values[17][13] = 1.2345678e-30f;
  TPropertyGrid grid;
  grid.Receive(read);
  EXPECT_EQ(grid.Cell(1, 1).text, "1");
  EXPECT_TRUE(grid.Enter(5, 5, 3.5f));
  EXPECT_FALSE(grid.Enter(1, 1, 1.0f));  // the dialog confirmed what it showed
  devicelink::TPropertyTable sent;
  grid.ToTable(sent);
  for (int j = 0; j < 18; ++j) {
    for (int i = 0; i < 14; ++i) {
      if (j == 4 && i == 4) {
        EXPECT_EQ(sent.Values[j][i], 3.5f);
      } else {
        EXPECT_EQ(Bits(sent.Values[j][i]), Bits(read.Values[j][i])) << j << " - " << i;
      }
    }
  }
  EXPECT_EQ(sent.Pressures, read.Pressures);
  EXPECT_EQ(sent.Temperatures, read.Temperatures);
}

TEST(PropertyGridTest, EmptyCellsGoAsZero) {
  TPropertyGrid grid;
  devicelink::TPropertyTable sent = Table();
  grid.ToTable(sent);
  EXPECT_EQ(sent.Pressures[3], 0);
  EXPECT_EQ(sent.Temperatures[17], 0);
  EXPECT_EQ(sent.Values[17][13], 0.0f);
}

TEST(PropertyGridTest, TableIdentityAndFileKind) {
  const TPropertyGrid gas(0, 1), density(1, 0), enthalpy(1, 1);
  EXPECT_TRUE(gas.IsFor(0, 1));
  EXPECT_FALSE(gas.IsFor(0, 0));
  EXPECT_FALSE(gas.IsFor(1, 1));
  EXPECT_EQ(std::string(gas.FileKind().extension), ".KTB");
  EXPECT_EQ(std::string(gas.FileKind().filter), "Kompr. Tabellen (*.KTB *.ktb)|*.KTB;*.ktb");
  EXPECT_EQ(std::string(density.FileKind().default_ext), "DTB");
  EXPECT_EQ(std::string(density.FileKind().filter), "Dichte Tabellen (*.DTB *.dtb)|*.DTB;*.dtb");
  EXPECT_EQ(std::string(enthalpy.FileKind().filter),
            "Enthalpie Tabellen (*.ETB *.etb)|*.ETB;*.etb");
  EXPECT_EQ(std::string(TSatGrid().FileKind().filter), "Satt. Tabellen (*.STB *.stb)|*.STB;*.stb");
}

// ---------------------------------------------------------------------------
// Saturation grid

devicelink::TSatTable SatTable() {
  devicelink::TSatTable t{};
  for (int r = 0; r < 32; ++r) t[r] = {373.15f + r, 101.325f * (r + 1), 0.5f + r, 2676.1f + r};
  return t;
}

TEST(SatGridTest, DialogParametersPerColumn) {
  TSatGrid grid;
  grid.Receive(SatTable());
  struct Case {
    int column, row;
    uint8_t quantity;
    float min, max;
  };
  const std::vector<Case> cases = {
      {0, 1, 15, 0, 1270},        {0, 2, 15, 373.15f, 1270}, {1, 1, 1, 0, 65000},
      {1, 2, 1, 101.325f, 65000}, {2, 32, 2, 30.5f, 3500},   {3, 5, 255, 0, 10000},
  };
  for (const Case& c : cases) {
    const TCellInput in = grid.InputFor(c.column, c.row);
    EXPECT_FALSE(in.integer_only);
    EXPECT_EQ(in.quantity, c.quantity);
    EXPECT_EQ(in.min, c.min) << c.column << "/" << c.row;
    EXPECT_EQ(in.max, c.max);
    EXPECT_EQ(in.precision, 7);
    EXPECT_EQ(in.value, grid.Cell(c.column, c.row).value);
  }
  EXPECT_EQ(TSatGrid().InputFor(1, 2).min, 0);  // an empty cell above counts as 0
  EXPECT_THROW(grid.InputFor(0, 0), std::out_of_range);
  EXPECT_THROW(grid.InputFor(4, 1), std::out_of_range);
  EXPECT_EQ(std::string(TSatGrid::Heading(2)), "rho[kg/m\xC2\xB3]");
}

TEST(SatGridTest, EditsFlagsAndExactBits) {
  devicelink::TSatTable read = SatTable();
  read[7].rho = 1.0000001f;
  TSatGrid grid;
  grid.Receive(read);
  EXPECT_FALSE(grid.Enter(2, 8, 1.0f));  // the text shown already
  EXPECT_FALSE(grid.ChangedSinceSave);
  EXPECT_EQ(grid.Paste(3, 1, "abc"), TPasteResult::kRefused);
  EXPECT_FALSE(grid.ChangedSinceTransfer);
  EXPECT_EQ(grid.Paste(3, 1, "2700,5"), TPasteResult::kChanged);
  EXPECT_TRUE(grid.ChangedSinceTransfer && grid.ChangedSinceSave);
  devicelink::TSatTable sent{};
  grid.ToTable(sent);
  EXPECT_EQ(Bits(sent[7].rho), Bits(1.0000001f));
  EXPECT_EQ(sent[0].h, 2700.5f);
  EXPECT_TRUE(grid.Delete(0, 32));
  EXPECT_EQ(grid.Cell(0, 32).text, "0");

  grid.FileName = "/a.STB";
  grid.Clear();
  EXPECT_FALSE(grid.HasContent());
  EXPECT_EQ(grid.FileName, "/a.STB");
  grid.ToTable(sent);
  EXPECT_EQ(sent[31].T, 0.0f);  // empty cells go as 0
  grid.New();
  EXPECT_EQ(grid.FileName, "");
  EXPECT_FALSE(grid.ChangedSinceTransfer || grid.ChangedSinceSave);
}

}  // namespace
}  // namespace services
