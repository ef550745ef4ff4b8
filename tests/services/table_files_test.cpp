#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devicelink/device_data.h"
#include "services/sat_table_files.h"
#include "services/sat_table_grid.h"
#include "services/table_files.h"
#include "services/table_grid.h"
#include "tests/platform/odd_files.h"
#include "tests/platform/temp_folder.h"

namespace services {
namespace {

using platform::testing::ReadBytes;
using platform::testing::TempFolder;
using platform::testing::WriteBytes;

// Pressures 100 (i + 1) kPa, temperatures 253 + 5 j K, values j + i / 100, with
// the values that test the format in chosen cells.
devicelink::TPropertyTable Fixture() {
  devicelink::TPropertyTable t;
  for (int i = 0; i < 14; ++i) t.Pressures[i] = static_cast<uint16_t>(100 * (i + 1));
  for (int j = 0; j < 18; ++j) {
    t.Temperatures[j] = static_cast<uint16_t>(253 + 5 * j);
    for (int i = 0; i < 14; ++i)
      t.Values[j][i] = static_cast<float>(j) + static_cast<float>(i) / 100;
  }
  t.Values[0][0] = 1.0000001f;
  t.Values[1][1] = 0;
  t.Values[2][3] = -0.5f;
  t.Values[17][13] = 12345678;
  t.Values[5][7] = 1.234567e-6f;
  return t;
}

// j + i / 100 as a person writes it: "3", "3.05", "3.1".
std::string RegularValueText(int j, int i) {
  std::string s = std::to_string(j);
  if (i == 0) return s;
  std::string d = (i < 10 ? "0" : "") + std::to_string(i);
  if (d.back() == '0') d.pop_back();
  return s + "." + d;
}

std::string ExpectedFixtureFile() {
  std::string f = "[Temperatur]\r\n";
  for (int j = 0; j < 18; ++j) f += std::to_string(j) + "=" + std::to_string(253 + 5 * j) + "\r\n";
  f += "[Druck]\r\n";
  for (int i = 0; i < 14; ++i)
    f += std::to_string(i) + "=" + std::to_string(100 * (i + 1)) + "\r\n";
  f += "[Werte]\r\n";
  for (int j = 0; j < 18; ++j) {
    for (int i = 0; i < 14; ++i) {
      std::string v = RegularValueText(j, i);
      if (j == 0 && i == 0) v = "1";
      if (j == 1 && i == 1) v = "0";
      if (j == 2 && i == 3) v = "-0.5";
      if (j == 17 && i == 13) v = "1.234568E7";
      if (j == 5 && i == 7) v = "1.234567E-6";
      f += std::to_string(j) + " - " + std::to_string(i) + "=" + v + "\r\n";
    }
  }
  return f;
}

TPropertyGrid FixtureGrid() {
  TPropertyGrid grid(1, 0);
  grid.Receive(Fixture());
  return grid;
}

TEST(PropertyTableFileTest, WrittenByteForByte) {
  TempFolder dir;
  TPropertyGrid grid = FixtureGrid();
  const std::string path = dir / "table.DTB";
  grid.SaveFile(path);
  EXPECT_EQ(ReadBytes(path), ExpectedFixtureFile());
  EXPECT_EQ(grid.FileName, path);
  // Only the file itself: the temporary file it was written to is gone.
  EXPECT_EQ(dir.List(), std::vector<std::string>{"table.DTB"});
}

TEST(PropertyTableFileTest, SaveOverAnExistingFileReplacesItWhole) {
  TempFolder dir;
  const std::string path = dir / "table.KTB";
  WriteBytes(path, "; old notes\r\n[Row_01]\r\nT=1\r\n[Werte]\r\n0 - 0=5\r\nextra=1\r\n");
  TPropertyGrid grid = FixtureGrid();
  grid.SaveFile(path);
  EXPECT_EQ(ReadBytes(path), ExpectedFixtureFile());
}

TEST(PropertyTableFileTest, FailedSaveKeepsFileNameFlagAndOldFile) {
  TempFolder dir;
  TPropertyGrid grid = FixtureGrid();
  grid.Enter(1, 1, 7);
  grid.FileName = dir / "old.KTB";
  EXPECT_THROW(grid.SaveFile(dir / "missing-folder/table.KTB"), platform::FileError);
  EXPECT_EQ(grid.FileName, dir / "old.KTB");
  EXPECT_TRUE(grid.ChangedSinceSave);
}

TEST(PropertyTableFileTest, LoadGivesBackWhatWasSaved) {
  TempFolder dir;
  const std::string path = dir / "t.KTB";
  WriteBytes(path, ExpectedFixtureFile());
  const TPropertyCells cells = ReadPropertyTableFile(path);
  EXPECT_EQ(PropertyTableFileContent(cells), ExpectedFixtureFile());
  EXPECT_EQ(cells[3][0].text, "263");
  EXPECT_EQ(cells[0][14].text, "1400");
  EXPECT_EQ(cells[18][14].value, 12345680.0f);
  EXPECT_EQ(cells[0][0].text, "");  // the corner is not in the file
}

// One line of the fixture file replaced (or removed when `line` is empty), or a
// whole other file.
struct LoadCase {
  const char* what;
  std::string file;
  // Either the cell [row][column] and its text, or the error.
  int row = 0;
  int column = 0;
  std::string text;
  std::optional<TTableFileError::Kind> error;
  std::string section;
  std::string key;
};

LoadCase Ok(const char* what, std::string file, int row, int column, std::string text) {
  return {what, std::move(file), row, column, std::move(text), std::nullopt, {}, {}};
}

LoadCase Bad(const char* what, std::string file, TTableFileError::Kind kind,
             std::string section = {}, std::string key = {}) {
  return {what, std::move(file), 0, 0, {}, kind, std::move(section), std::move(key)};
}

// Each case's file read by `read`: the cell it names, or the error.
template <typename Read>
void CheckLoadCases(const std::vector<LoadCase>& cases, const std::string& name, Read read) {
  TempFolder dir;
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir / name;
    WriteBytes(path, c.file);
    if (c.error) {
      try {
        read(path);
        ADD_FAILURE() << "loaded";
      } catch (const TTableFileError& e) {
        EXPECT_EQ(e.ErrorKind(), *c.error);
        EXPECT_EQ(e.Section(), c.section);
        EXPECT_EQ(e.Key(), c.key);
        EXPECT_EQ(e.File(), path);
      }
    } else {
      EXPECT_EQ(read(path).at(c.row).at(c.column).text, c.text);
    }
  }
}

// Little-endian UTF-16 with its byte-order mark, as some editors save text.
std::string Utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

std::string Replace(std::string file, const std::string& from, const std::string& to) {
  const size_t at = file.find(from);
  if (at == std::string::npos) throw std::logic_error("not in the fixture: " + from);
  return file.replace(at, from.size(), to);
}

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
  return s;
}

TEST(PropertyTableFileTest, LoadCases) {
  using K = TTableFileError::Kind;
  const std::string f = ExpectedFixtureFile();
  const std::string value_3_4 = "3 - 4=3.04\r\n";
  const std::string pressure_2 = "\r\n2=300\r\n";
  std::string sat_file;
  for (int r = 1; r <= 32; ++r)
    sat_file += "[Row_" + std::string(r < 10 ? "0" : "") + std::to_string(r) +
                "]\r\nT=300\r\np=1\r\nrho=1\r\nh=1\r\n";
  const std::vector<LoadCase> cases = {
      Ok("missing key reads as 0", Replace(f, value_3_4, ""), 4, 5, "0"),
      Ok("empty value is an empty cell", Replace(f, value_3_4, "3 - 4=\r\n"), 4, 5, ""),
      Ok("decimal comma", Replace(f, value_3_4, "3 - 4=1,5\r\n"), 4, 5, "1.5"),
      Bad("not a number", Replace(f, value_3_4, "3 - 4=abc\r\n"), K::kNotANumber, "Werte", "3 - 4"),
      Bad("trailing text", Replace(f, value_3_4, "3 - 4=12abc\r\n"), K::kNotANumber, "Werte",
          "3 - 4"),
      Bad("axis above 65535", Replace(f, pressure_2, "\r\n2=70000\r\n"), K::kOutOfRange, "Druck",
          "2"),
      Bad("negative axis", Replace(f, pressure_2, "\r\n2=-5\r\n"), K::kOutOfRange, "Druck", "2"),
      Bad("axis with a fraction", Replace(f, pressure_2, "\r\n2=1.5\r\n"), K::kNotWhole, "Druck",
          "2"),
      Ok("largest axis value", Replace(f, pressure_2, "\r\n2=65535\r\n"), 0, 3, "65535"),
      Ok("whole axis value written with a point", Replace(f, "\r\n4=273\r\n", "\r\n4=273.0\r\n"), 5,
         0, "273"),
      Bad("beyond the single's range", Replace(f, value_3_4, "3 - 4=1E40\r\n"), K::kOutOfRange,
          "Werte", "3 - 4"),
      Bad("so small that it would become 0", Replace(f, value_3_4, "3 - 4=1e-50\r\n"),
          K::kOutOfRange, "Werte", "3 - 4"),
      Bad("tiny and negative", Replace(f, value_3_4, "3 - 4=-1E-46\r\n"), K::kOutOfRange,
          "Werte", "3 - 4"),
      Ok("smallest single, as saved", Replace(f, value_3_4, "3 - 4=1.401298E-45\r\n"), 4, 5,
         "1.401298E-45"),
      Ok("zero written small", Replace(f, value_3_4, "3 - 4=0E-50\r\n"), 4, 5, "0"),
      Ok("exponent with sign", Replace(f, value_3_4, "3 - 4=1.5E+03\r\n"), 4, 5, "1500"),
      // Cells the device held as no number, saved as the grid shows them.
      Ok("not a number as saved", Replace(f, value_3_4, "3 - 4=NAN\r\n"), 4, 5, "NAN"),
      Ok("infinite as saved", Replace(f, value_3_4, "3 - 4=-INF\r\n"), 4, 5, "-INF"),
      Ok("infinite in small letters", Replace(f, value_3_4, "3 - 4=inf\r\n"), 4, 5, "INF"),
      Ok("LF line ends", ReplaceAll(f, "\r\n", "\n"), 18, 14, "1.234568E7"),
      Ok("UTF-8 byte-order mark", "\xEF\xBB\xBF" + f, 1, 0, "253"),
      Ok("lower-case section name", Replace(f, "[Werte]", "[werte]"), 4, 5, "3.04"),
      Bad("a saturation file", sat_file, K::kNoTable),
      Bad("an empty file", "", K::kNoTable),
      Bad("UTF-16 text", Utf16("[Temperatur]\r\n0=253\r\n[Werte]\r\n0 - 0=1\r\n"), K::kNoTable),
  };
  CheckLoadCases(cases, "case.KTB", ReadPropertyTableFile);
}

TEST(PropertyTableFileTest, BadFileLeavesGridAndFileNameAsTheyWere) {
  TempFolder dir;
  TPropertyGrid grid = FixtureGrid();
  grid.FileName = "/somewhere/kept.DTB";
  grid.Enter(2, 2, 9);
  const TPropertyCells before = grid.Cells();
  const std::string path = dir / "bad.DTB";
  WriteBytes(path, Replace(ExpectedFixtureFile(), "17 - 13=1.234568E7", "17 - 13=x"));
  EXPECT_THROW(grid.LoadFile(path), TTableFileError);
  EXPECT_EQ(grid.Cells(), before);
  EXPECT_EQ(grid.FileName, "/somewhere/kept.DTB");
  EXPECT_TRUE(grid.ChangedSinceSave);
}

// ---------------------------------------------------------------------------
// Saturation table files

TSatGrid SatFixture() {
  devicelink::TSatTable t{};
  for (int r = 0; r < 32; ++r) {
    t[r] = {373.15f + r, 101.325f * (r + 1), 0.5f + r, 2676 + 10.5f * r};
  }
  TSatGrid grid;
  grid.Receive(t);
  return grid;
}

TEST(SatTableFileTest, WrittenByteForByte) {
  TSatCells cells = SatFixture().Cells();
  cells[0][0] = {};  // an empty cell is written as an empty value
  const std::string content = SatTableFileContent(cells);
  const std::string head =
      "[Row_01]\r\nT=\r\np=101.325\r\nrho=0.5\r\nh=2676\r\n[Row_02]\r\nT=374.15\r\n";
  EXPECT_EQ(content.substr(0, head.size()), head);
  const std::string tail = "[Row_32]\r\nT=404.15\r\np=3242.4\r\nrho=31.5\r\nh=3001.5\r\n";
  ASSERT_GE(content.size(), tail.size());
  EXPECT_EQ(content.substr(content.size() - tail.size()), tail);
  size_t sections = 0;
  for (size_t at = content.find('['); at != std::string::npos; at = content.find('[', at + 1))
    ++sections;
  EXPECT_EQ(sections, 32u);

  TempFolder dir;
  TSatGrid grid = SatFixture();
  grid.SaveFile(dir / "s.STB");
  EXPECT_EQ(ReadBytes(dir / "s.STB"), SatTableFileContent(grid.Cells()));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"s.STB"});
}

TEST(SatTableFileTest, LoadCases) {
  using K = TTableFileError::Kind;
  TSatCells cells = SatFixture().Cells();
  const std::string f = SatTableFileContent(cells);
  const std::vector<LoadCase> cases = {
      Ok("missing key is an empty cell", Replace(f, "rho=0.5\r\n", ""), 0, 2, ""),
      Ok("empty value", Replace(f, "rho=0.5\r\n", "rho=\r\n"), 0, 2, ""),
      Ok("decimal comma", Replace(f, "rho=0.5\r\n", "rho=0,75\r\n"), 0, 2, "0.75"),
      Ok("not a number as saved", Replace(f, "rho=0.5\r\n", "rho=NAN\r\n"), 0, 2, "NAN"),
      Bad("not a number", Replace(f, "rho=0.5\r\n", "rho=abc\r\n"), K::kNotANumber, "Row_01",
          "rho"),
      Bad("beyond the single's range", Replace(f, "rho=0.5\r\n", "rho=-1E40\r\n"), K::kOutOfRange,
          "Row_01", "rho"),
      Bad("a property table file", ExpectedFixtureFile(), K::kNoTable),
      Bad("an empty file", "", K::kNoTable),
      Ok("lower-case sections, LF", ReplaceAll(ReplaceAll(f, "Row_", "row_"), "\r\n", "\n"), 31, 3,
         "3001.5"),
  };
  CheckLoadCases(cases, "case.STB", ReadSatTableFile);
}

}  // namespace
// Both readers refuse at once what is no table file at all: nothing there, a
// FIFO nobody writes to, a device, a folder, a socket, a link to one of them, a
// file one byte over the limit; the grid and its file name stay.
TEST(TableFileTest, WhatIsNoRegularFileIsRefusedAtOnce) {
  TempFolder dir;
  using platform::testing::OddInput;
  const platform::testing::OddFiles odd_files(dir, "KTB", platform::FileKind::kTableFile);
  std::vector<OddInput> inputs = odd_files.inputs;  // and nothing at all
  inputs.push_back({"nothing there", dir / "missing.KTB", platform::FileFault::kMissing,
                    platform::NodeKind::kRegular, "", ""});
  TPropertyGrid property = FixtureGrid();
  property.FileName = "/somewhere/kept.KTB";
  TSatGrid sat = SatFixture();
  sat.FileName = "/somewhere/kept.STB";
  const TPropertyCells property_before = property.Cells();
  const TSatCells sat_before = sat.Cells();
  for (const OddInput& input : inputs) {
    for (TTableGrid* grid : {static_cast<TTableGrid*>(&property), static_cast<TTableGrid*>(&sat)}) {
      SCOPED_TRACE(input.what + " " + grid->FileName);
      const auto start = std::chrono::steady_clock::now();
      try {
        grid->LoadFile(input.path);
        ADD_FAILURE() << "loaded";
      } catch (const platform::FileError& e) {
        EXPECT_EQ(e.Fault(), input.fault);
        EXPECT_EQ(e.Kind(), platform::FileKind::kTableFile);
        EXPECT_EQ(e.Path(), input.path);
      }
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
  }
  EXPECT_EQ(property.Cells(), property_before);
  EXPECT_EQ(property.FileName, "/somewhere/kept.KTB");
  EXPECT_EQ(sat.Cells(), sat_before);
  EXPECT_EQ(sat.FileName, "/somewhere/kept.STB");
}

}  // namespace services
