#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "file_size_limit.h"
#include "temp_folder.h"

namespace platform {
namespace {

using testing::Exists;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// ---------------------------------------------------------------------------
// The table: a file, one operation on it, what the operation gives and what the
// file holds afterwards.

using Op = std::function<std::string(TIniFile&)>;

struct IniCase {
  std::string name;
  std::optional<std::string> input;   // file bytes before; nullopt: no file
  Op op;                              // returns what it read ("" for writes)
  std::string result;                 // expected return of op
  std::optional<std::string> output;  // file bytes after; nullopt: untouched
};

std::ostream& operator<<(std::ostream& os, const IniCase& c) {
  return os << c.name;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string s;
  for (const auto& i : items) s += (s.empty() ? "" : "|") + i;
  return s;
}

Op Read(std::string s, std::string k, std::string d = "<default>") {
  return [=](TIniFile& ini) { return ini.ReadString(s, k, d); };
}
Op ReadInt(std::string s, std::string k, int32_t d = -999) {
  return [=](TIniFile& ini) { return std::to_string(ini.ReadInteger(s, k, d)); };
}
Op Write(std::string s, std::string k, std::string v) {
  return [=](TIniFile& ini) {
    ini.WriteString(s, k, v);
    return std::string();
  };
}
Op WriteInt(std::string s, std::string k, int32_t v) {
  return [=](TIniFile& ini) {
    ini.WriteInteger(s, k, v);
    return std::string();
  };
}
Op Erase(std::string s) {
  return [=](TIniFile& ini) {
    ini.EraseSection(s);
    return std::string();
  };
}
Op Delete(std::string s, std::string k) {
  return [=](TIniFile& ini) {
    ini.DeleteKey(s, k);
    return std::string();
  };
}
Op Keys(std::string s) {
  return [=](TIniFile& ini) { return Joined(ini.ReadSection(s)); };
}
Op Sections() {
  return [](TIniFile& ini) { return Joined(ini.ReadSections()); };
}
Op HasSection(std::string s) {
  return [=](TIniFile& ini) { return std::string(ini.SectionExists(s) ? "yes" : "no"); };
}
Op HasValue(std::string s, std::string k) {
  return [=](TIniFile& ini) { return std::string(ini.ValueExists(s, k) ? "yes" : "no"); };
}

const std::string kSettings =
    "[Einstellungen]\r\n"
    "Baudrate=3\r\n"
    "Anschlu\xDF=1\r\n"
    "Online=0\r\n"
    "\r\n"
    "[System]\r\n"
    "Sprache=0\r\n"
    "Medium=1\r\n"
    "\r\n"
    "[Debug]\r\n"
    "MemDiag=1\r\n"
    "RS232=2\r\n";

const std::vector<IniCase> kCases = {
    // Lookup
    {"CaseInsensitiveSectionAndKey", kSettings, Read("einstellungen", "BAUDRATE"), "3", {}},
    {"MissingKeyGivesDefault", kSettings, Read("System", "Farbe", "7"), "7", {}},
    {"MissingSectionGivesDefault", kSettings, Read("Farben", "Baudrate", "7"), "7", {}},
    {"MissingFileGivesDefault", std::nullopt, Read("Einstellungen", "Baudrate", "3"), "3", {}},
    {"KeyOfAnotherSectionNotFound", kSettings, Read("System", "Baudrate"), "<default>", {}},
    {"EmptyValueIsNotDefault", "[A]\r\nk=\r\n", Read("A", "k"), "", {}},
    {"FirstKeyWins", "[A]\r\nk=1\r\nK=2\r\n", Read("a", "k"), "1", {}},
    {"FirstSectionWins", "[A]\r\nk=1\r\n[a]\r\nk=2\r\n", Read("A", "k"), "1", {}},
    {"LaterDuplicateSectionNotSearched",
     "[A]\r\nk=1\r\n[a]\r\nj=2\r\n",
     Read("A", "j"),
     "<default>",
     {}},
    {"TrimmedNamesAndValue",
     "[ A ]\r\n \t key \t=\t value  x \t\r\n",
     Read("A", "key"),
     "value  x",
     {}},
    {"CallerNamesTrimmed", "[A]\r\nkey=1\r\n", Read(" A\t", " key "), "1", {}},
    {"ValueSplitAtFirstEquals", "[A]\r\nk = a=b \r\n", Read("A", "k"), "a=b", {}},
    {"QuotesKept", "[A]\r\nk=\"x y\"\r\n", Read("A", "k"), "\"x y\"", {}},
    {"SectionHeaderWithComment", "[A] ; note\r\nk=1\r\n", Read("A", "k"), "1", {}},
    {"CommentLineIsNoKey", "[A]\r\n;k=1\r\n", Read("A", ";k"), "<default>", {}},
    {"LineBeforeFirstSectionIsNoKey", "k=1\r\n[A]\r\n", Read("", "k"), "<default>", {}},
    {"LfLinesRead", "[A]\nk=1\nj=2\n", Read("A", "j"), "2", {}},
    {"CrLfLinesRead", "[A]\r\nk=1\r\nj=2\r\n", Read("A", "j"), "2", {}},
    {"MixedLinesRead", "[A]\r\nk=1\nj=2", Read("A", "j"), "2", {}},
    {"Cp1252KeyFound", kSettings, Read("Einstellungen", "Anschluß"), "1", {}},
    {"Cp1252KeyFoundInUpperCase", kSettings, ReadInt("EINSTELLUNGEN", "ANSCHLUß"), "1", {}},
    {"Utf8KeyFound",
     "[Einstellungen]\r\nAnschlu\xC3\x9F=4\r\n",
     ReadInt("Einstellungen", "Anschluß"),
     "4",
     {}},
    {"Utf8WithBomRead",
     "\xEF\xBB\xBF[Einstellungen]\r\nAnschlu\xC3\x9F=5\r\n",
     Read("Einstellungen", "Anschluß"),
     "5",
     {}},
    {"Cp1252ValueRead",
     "[S]\r\nEinheit=\xB0"
     "C\r\n",
     Read("s", "einheit"),
     "°C",
     {}},
    {"Latin1CaseFolded",
     "[\xC4RGER]\r\nSTRA\xDF"
     "E=1\r\n",
     Read("ärger", "straße"),
     "1",
     {}},
    {"Latin1CaseFoldedUtf8", "[ärger]\r\nÖl=2\r\n", Read("ÄRGER", "öL"), "2", {}},
    // Integers
    {"IntegerPlain", "[A]\r\nk=12\r\n", ReadInt("A", "k"), "12", {}},
    {"IntegerNegativeWithBlanks", "[A]\r\nk =  -7 \r\n", ReadInt("A", "k"), "-7", {}},
    {"IntegerPlusSign", "[A]\r\nk=+5\r\n", ReadInt("A", "k"), "5", {}},
    {"IntegerMinimum", "[A]\r\nk=-2147483648\r\n", ReadInt("A", "k"), "-2147483648", {}},
    {"IntegerMaximum", "[A]\r\nk=2147483647\r\n", ReadInt("A", "k"), "2147483647", {}},
    {"IntegerTooLarge", "[A]\r\nk=2147483648\r\n", ReadInt("A", "k"), "-999", {}},
    {"IntegerDecimalPoint", "[A]\r\nk=1.5\r\n", ReadInt("A", "k"), "-999", {}},
    {"IntegerHexRefused", "[A]\r\nk=0x10\r\n", ReadInt("A", "k"), "-999", {}},
    {"IntegerTrailingText", "[A]\r\nk=12abc\r\n", ReadInt("A", "k"), "-999", {}},
    {"IntegerEmpty", "[A]\r\nk=\r\n", ReadInt("A", "k"), "-999", {}},
    {"IntegerInnerBlank", "[A]\r\nk=- 5\r\n", ReadInt("A", "k"), "-999", {}},
    {"IntegerTwoSigns", "[A]\r\nk=+-5\r\n", ReadInt("A", "k"), "-999", {}},
    {"IntegerMissingKey", "[A]\r\n", ReadInt("A", "k", 3), "3", {}},
    // Lists
    {"SectionKeysInOrder", kSettings, Keys("einstellungen"), "Baudrate|Anschluß|Online", {}},
    {"SectionKeysOnceEach", "[A]\r\nb=1\r\n;c=1\r\nB=2\r\na=3\r\n", Keys("A"), "b|a", {}},
    {"SectionKeysOfMissingSection", kSettings, Keys("Nichts"), "", {}},
    {"SectionsInOrderOnceEach", "x=1\r\n[B]\r\n[a]\r\n[b]\r\n[C]\r\n", Sections(), "B|a|C", {}},
    {"SectionExists", kSettings, HasSection("debug"), "yes", {}},
    {"SectionMissing", kSettings, HasSection("Bemerkung"), "no", {}},
    {"EmptySectionExists", "[A]\r\n", HasSection("A"), "yes", {}},
    {"ValueExists", kSettings, HasValue("System", "medium"), "yes", {}},
    {"ValueMissing", kSettings, HasValue("System", "Baudrate"), "no", {}},
    // Writing existing keys
    {"ReplaceInPlace", kSettings, WriteInt("einstellungen", "online", 1), "",
     "[Einstellungen]\r\nBaudrate=3\r\nAnschlu\xDF=1\r\nOnline=1\r\n\r\n[System]\r\nSprache=0\r\n"
     "Medium=1\r\n\r\n[Debug]\r\nMemDiag=1\r\nRS232=2\r\n"},
    {"ReplaceKeepsKeySpelling", "[A]\r\n  KeY = 1 \r\n", Write("a", "KEY", "2"), "",
     "[A]\r\nKeY=2\r\n"},
    {"ReplaceFirstOfDuplicateKeys", "[A]\r\nk=1\r\nK=2\r\n", Write("A", "k", "9"), "",
     "[A]\r\nk=9\r\nK=2\r\n"},
    {"WriteGoesToFirstDuplicateSection", "[A]\r\nk=1\r\n[a]\r\nj=3\r\n", Write("A", "j", "5"), "",
     "[A]\r\nk=1\r\nj=5\r\n[a]\r\nj=3\r\n"},
    {"UnknownKeysCommentsAndOrderKept",
     "; vandrel2\r\n[A]\r\nzeta = 1\r\n; remark\r\nalpha=2\r\nunknown  =  x\r\n\r\n[B]\r\nq=1\r\n",
     Write("A", "alpha", "3"), "",
     "; vandrel2\r\n[A]\r\nzeta = 1\r\n; remark\r\nalpha=3\r\nunknown  =  x\r\n\r\n[B]\r\nq=1\r\n"},
    {"SameValueWritesNothing", "[A]\nk = 1\n", Write("A", "k", "1"), "", {}},
    {"LineBreakInValueWrittenAsBlank", "[A]\r\n", Write("A", "k", "a\r\nb"), "",
     "[A]\r\nk=a  b\r\n"},
    // New keys and sections
    {"NewKeyAfterLastKeyOfSection", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n", Write("a", "z", "3"), "",
     "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
    {"NewKeyBeforeClosingComment", "[A]\r\nx=1\r\n; about B\r\n[B]\r\n", Write("A", "z", "3"), "",
     "[A]\r\nx=1\r\nz=3\r\n; about B\r\n[B]\r\n"},
    {"NewKeyInSectionWithoutKeys", "[A]\r\n\r\n[B]\r\ny=2\r\n", Write("A", "z", "3"), "",
     "[A]\r\nz=3\r\n\r\n[B]\r\ny=2\r\n"},
    {"NewKeyInLastSectionWithoutFinalLineEnd", "[A]\r\nx=1", Write("A", "z", "3"), "",
     "[A]\r\nx=1\r\nz=3\r\n"},
    {"NewKeyInLastSectionBeforeTrailingBlanks", "[A]\r\nx=1\r\n\r\n\r\n", Write("A", "z", "3"), "",
     "[A]\r\nx=1\r\nz=3\r\n\r\n\r\n"},
    {"NewSectionAtEnd", "[A]\r\nx=1\r\n", Write("B", "y", "2"), "", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
    {"NewSectionInNewFile", std::nullopt, Write("Einstellungen", "Anschluß", "0"), "",
     "[Einstellungen]\r\nAnschlu\xDF=0\r\n"},
    {"WriteIntegerNegative", "[A]\r\n", WriteInt("A", "k", -42), "", "[A]\r\nk=-42\r\n"},
    // Line ends and encoding of what is written
    {"CrLfWrittenForLfInput", "[A]\nx=1\n; c\n", Write("A", "y", "2"), "",
     "[A]\r\nx=1\r\ny=2\r\n; c\r\n"},
    {"Utf8InputWrittenAsCp1252", "[S]\nEinheit=°C\nVolumen=m³\n", Write("S", "Masse", "kg"), "",
     "[S]\r\nEinheit=\xB0"
     "C\r\nVolumen=m\xB3\r\nMasse=kg\r\n"},
    {"SharpSWrittenAsOneByte", "[Einstellungen]\r\nAnschlu\xC3\x9F=1\r\n",
     WriteInt("Einstellungen", "Anschluß", 2), "", "[Einstellungen]\r\nAnschlu\xDF=2\r\n"},
    {"BomDroppedOnWrite", "\xEF\xBB\xBF[A]\r\n", Write("A", "k", "1"), "", "[A]\r\nk=1\r\n"},
    {"CharacterOutside1252WrittenAsQuestionMark", "[A]\r\n", Write("A", "k", "\u03A9"), "",
     "[A]\r\nk=?\r\n"},
    // Erase and delete
    {"EraseSectionWithAllItsLines", "[A]\r\nx=1\r\n; c\r\n\r\n[B]\r\ny=2\r\n", Erase("a"), "",
     "[B]\r\ny=2\r\n"},
    {"EraseLastSection", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n\r\n", Erase("B"), "", "[A]\r\nx=1\r\n"},
    {"EraseEveryDuplicate", "[M]\r\nZeile 1=a\r\n[X]\r\nk=1\r\n[m]\r\nZeile 2=b\r\n", Erase("M"),
     "", "[X]\r\nk=1\r\n"},
    {"EraseMissingSectionWritesNothing", "[A]\nx=1\n", Erase("B"), "", {}},
    {"DeleteKey", "[A]\r\nx=1\r\ny=2\r\n[B]\r\nx=3\r\n", Delete("A", "X"), "",
     "[A]\r\ny=2\r\n[B]\r\nx=3\r\n"},
    {"DeleteKeyRemovesItsDuplicates", "[A]\r\nx=1\r\ny=2\r\nX=3\r\n", Delete("A", "x"), "",
     "[A]\r\ny=2\r\n"},
    {"DeleteMissingKeyWritesNothing", "[A]\nx=1\n", Delete("A", "y"), "", {}},
    // Lines that are never read, many in a row, stay as they were around new keys.
    {"NewKeyBeforeARunOfCommentLines", "; kopf\n\n[A]\nx=1\n; a\n\n; b\n[B]\ny=2\n",
     Write("A", "z", "3"), "",
     "; kopf\r\n\r\n[A]\r\nx=1\r\nz=3\r\n; a\r\n\r\n; b\r\n[B]\r\ny=2\r\n"},
    // Every lookup after keys and sections were added finds the right line.
    {"ReadsAfterInsertsAndErases", "[A]\nx=1\n[B]\ny=2\n[a]\nx=9\nq=8\n",
     [](TIniFile& ini) {
       ini.WriteString("A", "n", "3");
       ini.WriteString("C", "c", "4");
       ini.WriteString("B", "m", "5");
       ini.WriteString("A", "x", "6");
       std::string r = ini.ReadString("A", "x", "-") + ini.ReadString("A", "n", "-") +
                       ini.ReadString("A", "q", "-") + ini.ReadString("B", "y", "-") +
                       ini.ReadString("B", "m", "-") + ini.ReadString("C", "c", "-");
       ini.EraseSection("B");
       ini.WriteString("C", "d", "7");
       return r + ini.ReadString("C", "c", "-") + ini.ReadString("C", "d", "-") +
              ini.ReadString("B", "y", "-") + ini.ReadString("a", "x", "-");
     },
     "63-25447-6", "[A]\r\nx=6\r\nn=3\r\n[a]\r\nx=9\r\nq=8\r\n[C]\r\nc=4\r\nd=7\r\n"},
};

class IniTable : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniTable, Case) {
  const IniCase& c = GetParam();
  TempFolder dir;
  const std::string file = dir / "test.ini";
  if (c.input) WriteBytes(file, *c.input);

  TIniFile ini(file);
  EXPECT_EQ(c.op(ini), c.result);

  if (c.output) {
    ASSERT_TRUE(Exists(file));
    EXPECT_EQ(ReadBytes(file), *c.output);
    EXPECT_EQ(ini.FileContent(), *c.output);
  } else if (c.input) {
    EXPECT_EQ(ReadBytes(file), *c.input) << "file must stay as it was";
  } else {
    EXPECT_FALSE(Exists(file)) << "reading must not create the file";
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>(Exists(file) ? 1 : 0, "test.ini"))
      << "no temporary file may be left";
  EXPECT_FALSE(ini.Modified());
}

INSTANTIATE_TEST_SUITE_P(Ini, IniTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<IniCase>& info) {
                           return info.param.name;
                         });

// ---------------------------------------------------------------------------
// Sequences, batching and persistence.

TEST(IniFile, FirstStartWritesAllDefaults) {
  TempFolder dir;
  const std::string file = dir / "vandrel2.ini";
  TIniFile ini(file);
  // What the settings reader does: write a missing key with its default, then read.
  const auto read_with_default = [&](const char* s, const char* k, int32_t d) {
    if (!ini.ValueExists(s, k)) ini.WriteInteger(s, k, d);
    return ini.ReadInteger(s, k, d);
  };
  EXPECT_EQ(read_with_default("Einstellungen", "Baudrate", 3), 3);
  EXPECT_EQ(read_with_default("Einstellungen", "Anschluß", 0), 0);
  EXPECT_EQ(read_with_default("Einstellungen", "Online", 0), 0);
  EXPECT_EQ(read_with_default("System", "Sprache", 0), 0);
  EXPECT_EQ(read_with_default("System", "Medium", 0), 0);
  EXPECT_EQ(read_with_default("Debug", "MemDiag", 0), 0);
  EXPECT_EQ(read_with_default("Debug", "RS232", 0), 0);
  EXPECT_EQ(ReadBytes(file),
            "[Einstellungen]\r\nBaudrate=3\r\nAnschlu\xDF=0\r\nOnline=0\r\n"
            "[System]\r\nSprache=0\r\nMedium=0\r\n[Debug]\r\nMemDiag=0\r\nRS232=0\r\n");
}

TEST(IniFile, AutoFlushWritesEveryChange) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  TIniFile ini(file);
  EXPECT_TRUE(ini.AutoFlush());
  ini.WriteString("A", "k", "1");
  EXPECT_EQ(ReadBytes(file), "[A]\r\nk=1\r\n");
  ini.WriteString("A", "k", "2");
  EXPECT_EQ(ReadBytes(file), "[A]\r\nk=2\r\n");
  ini.DeleteKey("A", "k");
  EXPECT_EQ(ReadBytes(file), "[A]\r\n");
  ini.EraseSection("A");
  EXPECT_EQ(ReadBytes(file), "");
}

TEST(IniFile, BatchedWritesGoToDiskOnUpdateFile) {
  TempFolder dir;
  const std::string file = dir / "set.PEG";
  WriteBytes(file, "[Bemerkung]\r\nZeile 1=alt\r\n[Fremd]\r\nx=1\r\n");
  const std::string before = ReadBytes(file);

  TIniFile ini(file, /*auto_flush=*/false);
  EXPECT_FALSE(ini.AutoFlush());
  for (int s = 0; s < 30; ++s) {
    for (int k = 0; k < 10; ++k) {
      ini.WriteInteger("T_User" + std::to_string(s), "Key" + std::to_string(k), s * 10 + k);
    }
  }
  ini.EraseSection("Bemerkung");
  ini.WriteString("Bemerkung", "Zeile 1", "neu");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ReadBytes(file), before) << "nothing written before UpdateFile";

  ini.UpdateFile();
  EXPECT_FALSE(ini.Modified());
  TIniFile again(file);
  EXPECT_EQ(again.ReadInteger("t_user29", "key9", -1), 299);
  EXPECT_EQ(again.ReadString("Bemerkung", "Zeile 1", ""), "neu");
  EXPECT_EQ(again.ReadString("Fremd", "x", ""), "1");
  EXPECT_EQ(again.ReadSections().size(), 32u);
}

TEST(IniFile, SwitchingAutoFlushOnWritesPendingChanges) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  TIniFile ini(file, false);
  ini.WriteString("A", "k", "1");
  EXPECT_FALSE(Exists(file));
  ini.SetAutoFlush(true);
  EXPECT_EQ(ReadBytes(file), "[A]\r\nk=1\r\n");
}

TEST(IniFile, DestructorDoesNotWrite) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  {
    TIniFile ini(file, false);
    ini.WriteString("A", "k", "1");
  }
  EXPECT_FALSE(Exists(file));
}

TEST(IniFile, MemoRewriteLeavesExactlyTheNewLines) {
  TempFolder dir;
  const std::string file = dir / "p.PEG";
  {
    TIniFile ini(file);
    for (int n = 1; n <= 9; ++n) ini.WriteString("Bemerkung", "Zeile " + std::to_string(n), "x");
    ini.WriteString("Anderes", "k", "1");
  }
  TIniFile ini(file);
  ini.EraseSection("Bemerkung");
  for (int n = 1; n <= 3; ++n) ini.WriteString("Bemerkung", "Zeile " + std::to_string(n), "y");
  TIniFile check(file);
  EXPECT_EQ(Joined(check.ReadSection("Bemerkung")), "Zeile 1|Zeile 2|Zeile 3");
  EXPECT_EQ(Joined(check.ReadSections()), "Anderes|Bemerkung");
}

TEST(IniFile, NonAsciiRoundTrip) {
  TempFolder dir;
  const std::string file = dir / "u.ini";
  {
    TIniFile ini(file, false);
    ini.WriteString("Einheiten", "Temperatur", "°C");
    ini.WriteString("Einheiten", "Volumen", "m³");
    ini.WriteString("Einheiten", "Geld", "5 €");
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadBytes(file),
            "[Einheiten]\r\nTemperatur=\xB0"
            "C\r\nVolumen=m\xB3\r\nGeld=5 \x80\r\n");
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("einheiten", "VOLUMEN", ""), "m³");
  EXPECT_EQ(ini.ReadString("einheiten", "geld", ""), "5 €");
}

TEST(IniFile, FileNameAsGiven) {
  TempFolder dir;
  TIniFile ini(dir / "name.ini");
  EXPECT_EQ(ini.FileName(), dir / "name.ini");
}

TEST(IniFile, BadNamesRefused) {
  TempFolder dir;
  TIniFile ini(dir / "a.ini");
  EXPECT_THROW(ini.WriteString("A", "", "1"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("A", "a=b", "1"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("A", ";x", "1"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("A]", "x", "1"), std::invalid_argument);
  EXPECT_FALSE(Exists(dir / "a.ini"));
}

TEST(IniFile, ModeOfReplacedFileKept) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  WriteBytes(file, "[A]\r\n");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  TIniFile ini(file);
  ini.WriteString("A", "k", "1");
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(IniFile, SymbolicLinkStaysAndItsTargetIsWritten) {
  TempFolder dir;
  const std::string real = dir / "real.ini";
  const std::string link = dir / "link.ini";
  WriteBytes(real, "[A]\r\n");
  ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);
  TIniFile ini(link);
  ini.WriteString("A", "k", "1");
  struct stat st;
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(real), "[A]\r\nk=1\r\n");
}

// ---------------------------------------------------------------------------
// Failures: the old file stays whole and no temporary file is left behind.

bool RunningAsRoot() {
  return ::geteuid() == 0;
}

TEST(IniFileFailure, UnwritableFolderKeepsOldFile) {
  if (RunningAsRoot()) {
    GTEST_SKIP() << "root writes into a folder of mode 0555; the other failure tests cover "
                    "the same path (rename refused, file size limit)";
  }
  TempFolder dir;
  const std::string sub = dir / "ro";
  ASSERT_EQ(::mkdir(sub.c_str(), 0700), 0);
  const std::string file = sub + "/a.ini";
  WriteBytes(file, "[A]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);

  TIniFile ini(file);
  try {
    ini.WriteString("A", "k", "2");
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Code(), EACCES);
    EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadBytes(file), "[A]\r\nk=1\r\n");
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(sub)) {
    names.push_back(e.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"a.ini"});
  EXPECT_TRUE(ini.Modified());
}

TEST(IniFileFailure, TargetThatIsAFolderIsNotReplaced) {
  TempFolder dir;
  const std::string target = dir / "a.ini";
  ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
  // Reading a folder fails too: the content cannot be known, so it is an error.
  try {
    TIniFile bad(target);
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Code(), EISDIR);
    EXPECT_NE(std::string(e.what()).find(target), std::string::npos) << e.what();
  }
  // A file object made while the name was free, written after it became a folder.
  ASSERT_EQ(::rmdir(target.c_str()), 0);
  TIniFile ini(target);
  ini.SetAutoFlush(false);
  ini.WriteString("A", "k", "1");
  ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
  WriteBytes(target + "/inside", "x");
  try {
    ini.UpdateFile();
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_TRUE(e.Code() == EISDIR || e.Code() == ENOTEMPTY || e.Code() == EEXIST) << e.Code();
    EXPECT_NE(std::string(e.what()).find(target), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadBytes(target + "/inside"), "x");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.ini"});
  EXPECT_TRUE(ini.Modified());
}

TEST(IniFileFailure, MissingFolderGivesError) {
  TempFolder dir;
  const std::string file = dir / "nothere/a.ini";
  TIniFile ini(file);  // a missing folder reads as an empty file
  try {
    ini.WriteString("A", "k", "1");
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Code(), ENOENT);
  }
  EXPECT_TRUE(dir.List().empty());
}

// A write that fails halfway (file size limit, which holds for root as well) leaves
// the old content whole and no temporary file.
TEST(IniFileFailure, FailedWriteLeavesOldFileWhole) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  const std::string old = "[A]\r\nk=1\r\n";
  WriteBytes(file, old);
  TIniFile ini(file, false);
  for (int i = 0; i < 200; ++i) ini.WriteInteger("A", "key" + std::to_string(i), i);

  int code = 0;
  {
    testing::TFileSizeLimit limit(64);
    try {
      ini.UpdateFile();
    } catch (const FileError& e) {
      code = e.Code();
    }
  }

  EXPECT_EQ(code, EFBIG);
  EXPECT_EQ(ReadBytes(file), old);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.ini"});
  EXPECT_TRUE(ini.Modified());
  // Once the cause is gone the same object writes.
  ini.UpdateFile();
  EXPECT_EQ(TIniFile(file).ReadInteger("A", "key199", -1), 199);
}

// A process id that is certainly not running: a child that has ended and been reaped.
pid_t EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

// A save killed midway leaves its temporary file; the next save of the same file
// removes it, and nothing that is not such a leftover of this host: a folder
// shared with another host keeps the files that host may be writing.
TEST(IniFileFailure, TheNextSaveRemovesLeftoversOfKilledSaves) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  const std::string dead = std::to_string(EndedProcess());
  const std::string mine = std::to_string(::getpid());
  char host_name[256] = {};
  ASSERT_EQ(::gethostname(host_name, sizeof host_name - 1), 0);
  const std::string host = std::string("@") + host_name;
  const std::vector<std::string> leftovers = {".a.ini.tmp" + dead + "-12345" + host,
                                              ".a.ini.tmp" + dead + "-1" + host};
  const std::vector<std::string> kept = {
      ".a.ini.tmp" + mine + "-7" + host,       // a save of this process may be under way
      ".a.ini.tmp1-7" + host,                  // a running process's
      ".a.ini.tmp" + dead + "-1@" + host_name + "x",  // another host's, whose ids mean nothing here
      ".a.ini.tmp" + dead + "-1",              // no host: of an older program, maybe another host's
      ".a.ini.tmp" + dead + "-12.bak" + host,  // not a name a save gives
      ".a.ini.tmpx-1" + host,
      "a.ini.tmp" + dead + "-1" + host,
      ".b.ini.tmp" + dead + "-1" + host,
      ".a.ini.tmp" + dead + host,
      ".a.ini.tmp" + dead + "-" + host,
  };
  for (const auto& name : leftovers) WriteBytes(dir / name, "half");
  for (const auto& name : kept) WriteBytes(dir / name, "other");

  TIniFile(file).WriteString("A", "k", "1");
  std::vector<std::string> expected = kept;
  expected.push_back("a.ini");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.List(), expected);
  EXPECT_EQ(TIniFile(file).ReadInteger("A", "k", 0), 1);
}

// Saves killed at any point: whatever they left, the next save leaves only the file.
TEST(IniFileFailure, SavesKilledAtAnyPointLeaveNothingAfterTheNextSave) {
  TempFolder dir;
  const std::string file = dir / "a.ini";
  for (int round = 0; round < 20; ++round) {
    const pid_t child = ::fork();
    if (child == 0) {
      TIniFile ini(file, false);
      for (int i = 0; i < 3000; ++i) ini.WriteInteger("A", "key" + std::to_string(i), i);
      for (;;) ini.UpdateFile();
    }
    ASSERT_GT(child, 0);
    ::usleep(static_cast<useconds_t>(20000 + round * 1500));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  TIniFile(file).WriteString("B", "k", "2");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.ini"});
  EXPECT_EQ(TIniFile(file).ReadInteger("B", "k", 0), 2);
}

TEST(IniFileFailure, UnreadableFileIsAnError) {
  if (RunningAsRoot()) GTEST_SKIP() << "root reads a file of mode 0000";
  TempFolder dir;
  const std::string file = dir / "a.ini";
  WriteBytes(file, "[A]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(file.c_str(), 0), 0);
  try {
    TIniFile ini(file);
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Code(), EACCES);
  }
}

}  // namespace
}  // namespace platform
