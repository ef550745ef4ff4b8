#include "memdiag/debug_info.h"

#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/platform/temp_folder.h"

// A function of this test program, for the symbol table to find.
namespace memdiag_test_symbols {
constexpr int kKnownFunctionLine = __LINE__ + 1;
[[gnu::noinline]] int KnownFunction(int x) {
  asm volatile("" : "+r"(x));
  return x * 3 + 1;
}
}  // namespace memdiag_test_symbols

namespace memdiag {
namespace {

using platform::testing::TempFolder;
using platform::testing::WriteBytes;

void Put16(std::string& s, size_t at, uint16_t v) {
  if (s.size() < at + 2) s.resize(at + 2);
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  Put16(s, at, static_cast<uint16_t>(v));
  Put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

struct Routine {
  uint32_t name_index, start, length;
};
struct SourceFile {
  uint32_t name_index;
  std::vector<std::pair<uint32_t, uint16_t>> lines;  // address, line
};

// Debug information in the appended format, written as a build tool would and
// laid out so that each part can be broken on its own.
struct DebugInfoImage {
  std::vector<std::string> names;
  std::vector<Routine> routines;
  std::vector<SourceFile> files;
  std::string signature = "FB09";

  // Offsets inside the debug information, for the tests that break them.
  size_t names_at = 0, symbols_at = 0, lines_at = 0, directory_at = 0;

  std::string Names() const {
    std::string s;
    Put32(s, 0, static_cast<uint32_t>(names.size()));
    for (const std::string& n : names) {
      s += static_cast<char>(n.size());
      s += n;
      s += '\0';
    }
    return s;
  }
  std::string Symbols() const {
    std::string s(4, '\0');
    // A record of another kind first, which the reader passes over.
    size_t at = s.size();
    Put16(s, at, 6);
    Put16(s, at + 2, 0x110);
    s.resize(at + 8);
    for (const Routine& r : routines) {
      at = s.size();
      Put16(s, at, 42);
      Put16(s, at + 2, 0x205);
      Put32(s, at + 16, r.length);
      Put32(s, at + 28, r.start);
      Put32(s, at + 40, r.name_index);
    }
    Put16(s, s.size(), 0);
    return s;
  }
  std::string Lines() const {
    std::string s;
    Put16(s, 0, static_cast<uint16_t>(files.size()));
    size_t at = 4 + 4 * files.size();
    s.resize(at);
    for (size_t f = 0; f < files.size(); ++f) {
      Put32(s, 4 + 4 * f, static_cast<uint32_t>(at));
      Put32(s, at + 2, files[f].name_index);
      Put32(s, at + 6, static_cast<uint32_t>(at + 10));
      const size_t segment = at + 10;
      const size_t n = files[f].lines.size();
      Put16(s, segment + 2, static_cast<uint16_t>(n));
      for (size_t i = 0; i < n; ++i) {
        Put32(s, segment + 4 + 4 * i, files[f].lines[i].first);
        Put16(s, segment + 4 + 4 * n + 2 * i, files[f].lines[i].second);
      }
      at = s.size();
    }
    return s;
  }
  // The debug information alone, from its signature to the end of the directory.
  std::string Info() {
    std::string s = signature + std::string(4, '\0');
    const std::string parts[] = {Names(), Symbols(), Lines()};
    const uint16_t types[] = {0x130, 0x125, 0x127};
    size_t* at[] = {&names_at, &symbols_at, &lines_at};
    for (int i = 0; i < 3; ++i) {
      *at[i] = s.size();
      s += parts[i];
    }
    directory_at = s.size();
    Put32(s, 4, static_cast<uint32_t>(directory_at));
    Put16(s, directory_at, 8);  // header size
    Put16(s, directory_at + 2, 12);
    Put16(s, directory_at + 4, 3);
    s.resize(directory_at + 8);
    for (int i = 0; i < 3; ++i) {
      const size_t e = s.size();
      Put16(s, e, types[i]);
      Put16(s, e + 2, 1);
      Put32(s, e + 4, static_cast<uint32_t>(*at[i]));
      Put32(s, e + 8, static_cast<uint32_t>(parts[i].size()));
    }
    return s;
  }
  // A program file: some code, the information, the trailer pointing back to it.
  static std::string File(const std::string& info, const std::string& signature,
                          uint32_t distance) {
    std::string s(100, '\x90');
    s += info;
    s += signature;
    Put32(s, s.size(), distance);
    return s;
  }
  std::string File() {
    const std::string info = Info();
    return File(info, signature, static_cast<uint32_t>(info.size() + 8));
  }
};

// Two units and two routines, each written in descending address order.
DebugInfoImage SampleImage() {
  DebugInfoImage image;
  image.names = {"C:\\src\\Settings.pas", "ReadSettings", "WriteSettings", "Main.pas"};
  image.routines = {{3, 0x1100, 0x80}, {2, 0x1000, 0x100}};
  image.files = {{4, {{0x2010, 6}, {0x2000, 5}}}, {1, {{0x1100, 20}, {0x1040, 12}, {0x1000, 10}}}};
  return image;
}

constexpr uintptr_t kBase = 0x400000;

TEST(DebugInfo, LocationsFromTheAppendedInformation) {
  TempFolder folder;
  DebugInfoImage image = SampleImage();
  WriteBytes(folder / "program", image.File());
  TDebugInfo info;
  info.SetCodeBase(kBase, 0);
  ASSERT_TRUE(info.LoadDebugInfo(folder / "program"));
  EXPECT_EQ(info.RoutineCount(), 2u);
  EXPECT_EQ(info.UnitCount(), 2u);
  const struct {
    uintptr_t address;
    const char* text;
  } cases[] = {
      {kBase + 0x1000, "Module Settings.pas Routine ReadSettings Line 10 Find error: 00001000"},
      {kBase + 0x1050, "Module Settings.pas Routine ReadSettings Line 12 Find error: 00001050"},
      {kBase + 0x1100, "Module Settings.pas Routine WriteSettings Line 20 Find error: 00001100"},
      {kBase + 0x2008, "Module Main.pas(no debug info) Line 5 Find error: 00002008"},
      {kBase + 0x1170, " Routine WriteSettings Find error: 00001170"},
      {kBase + 0x1180, "(no debug info) Find error: 00001180"},
      {kBase + 0x0FFF, "(no debug info) Find error: 00000FFF"},
      {kBase, "(no debug info) Find error: 00400000"},
      {0x1000, "(no debug info) Find error: 00001000"},
  };
  for (const auto& c : cases) EXPECT_EQ(info.LocationText(c.address), c.text);
}

TEST(DebugInfo, WithoutInformationTheAddressAlone) {
  TempFolder folder;
  DebugInfoImage image = SampleImage();
  image.signature = "FB08";
  WriteBytes(folder / "other", image.File());
  WriteBytes(folder / "short", "FB0");
  for (const char* name : {"other", "short", "missing"}) {
    TDebugInfo info;
    EXPECT_FALSE(info.LoadDebugInfo(folder / name)) << name;
    EXPECT_EQ(info.LocationText(0x401234), "(no debug info) Find error: 00401234");
  }
  // Outside the executable's image the address stays absolute.
  TDebugInfo info;
  info.SetCodeBase(kBase, kBase + 0x10000);
  EXPECT_EQ(info.LocationText(0x7F0012345678), "(no debug info) Find error: 7F0012345678");
  EXPECT_EQ(info.LocationText(kBase + 0x10), "(no debug info) Find error: 00000010");
}

TEST(DebugInfo, MalformedInformationIsNoInformation) {
  struct Case {
    const char* name;
    void (*breakIt)(DebugInfoImage& image, std::string& info);
  };
  const Case cases[] = {
      {"directory past the end",
       [](DebugInfoImage&, std::string& info) {
         Put32(info, 4, static_cast<uint32_t>(info.size()));
       }},
      {"entry size too small",
       [](DebugInfoImage& i, std::string& info) { Put16(info, i.directory_at + 2, 4); }},
      {"more entries than there are",
       [](DebugInfoImage& i, std::string& info) { Put16(info, i.directory_at + 4, 4); }},
      {"subsection past the end",
       [](DebugInfoImage& i, std::string& info) {
         Put32(info, i.directory_at + 8 + 8, 0x7FFFFFFF);
       }},
      {"more names than there are",
       [](DebugInfoImage& i, std::string& info) { Put32(info, i.names_at, 0x100); }},
      {"name longer than its subsection",
       [](DebugInfoImage& i, std::string& info) { info[i.names_at + 4] = '\xFF'; }},
      {"routine name index past the names",
       [](DebugInfoImage& i, std::string& info) { Put32(info, i.symbols_at + 12 + 40, 5); }},
      {"symbol record longer than its subsection",
       [](DebugInfoImage& i, std::string& info) { Put16(info, i.symbols_at + 12, 0xFFF0); }},
      {"more source files than offsets",
       [](DebugInfoImage& i, std::string& info) { Put16(info, i.lines_at, 200); }},
      {"line segment past the end",
       [](DebugInfoImage& i, std::string& info) {
         Put32(info, i.lines_at + 4 + 8 + 6, 0xFFFFFFF0);
       }},
      {"more lines than the segment holds",
       [](DebugInfoImage& i, std::string& info) { Put16(info, i.lines_at + 12 + 10 + 2, 0xFFFF); }},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DebugInfoImage image = SampleImage();
    std::string info = image.Info();
    c.breakIt(image, info);
    WriteBytes(folder / "program",
               DebugInfoImage::File(info, "FB09", static_cast<uint32_t>(info.size() + 8)));
    TDebugInfo loaded;
    loaded.SetCodeBase(kBase, 0);
    EXPECT_FALSE(loaded.LoadDebugInfo(folder / "program"));
    EXPECT_EQ(loaded.RoutineCount() + loaded.UnitCount(), 0u);
    EXPECT_EQ(loaded.LocationText(kBase + 0x1050), "(no debug info) Find error: 00001050");
  }
  // The trailer points before the start of the file, or at itself.
  for (uint32_t distance : {0u, 7u, 5000u}) {
    const std::string info = SampleImage().Info();
    WriteBytes(folder / "program", DebugInfoImage::File(info, "FB0A", distance));
    TDebugInfo loaded;
    EXPECT_FALSE(loaded.LoadDebugInfo(folder / "program")) << distance;
  }
}

TEST(DebugInfo, TruncatedOrDamagedFilesNeverReadOutside) {
  TempFolder folder;
  const std::string info = SampleImage().Info();
  // Cut anywhere, with a trailer that still claims the whole: always nothing.
  for (size_t cut = 0; cut < info.size(); ++cut) {
    WriteBytes(folder / "program", DebugInfoImage::File(info.substr(0, cut), "FB09",
                                                        static_cast<uint32_t>(info.size() + 8)));
    TDebugInfo loaded;
    EXPECT_FALSE(loaded.LoadDebugInfo(folder / "program")) << cut;
  }
  // Any single damaged byte: loaded or not, every read stays inside (the
  // sanitizer build checks the reads).
  for (size_t at = 4; at < info.size(); ++at) {
    std::string damaged = info;
    damaged[at] = static_cast<char>(damaged[at] ^ 0xFF);
    WriteBytes(folder / "program",
               DebugInfoImage::File(damaged, "FB09", static_cast<uint32_t>(damaged.size() + 8)));
    TDebugInfo loaded;
    loaded.SetCodeBase(kBase, 0);
    loaded.LoadDebugInfo(folder / "program");
    EXPECT_FALSE(loaded.LocationText(kBase + 0x1050).empty());
  }
}

// Addresses of the running test program: its own code (built with debug
// information), the C library's, and none at all.
TEST(DebugInfo, LocationsFromEachModulesOwnSymbolsAndDebugInformation) {
  TDebugInfo info;
  info.ComputeCodeBase();
  ASSERT_TRUE(info.LoadProcessModules());
  const auto module_offset = [](uintptr_t address) {
    Dl_info dl{};
    EXPECT_NE(::dladdr(reinterpret_cast<void*>(address), &dl), 0);
    return HexAddressText(address - reinterpret_cast<uintptr_t>(dl.dli_fbase));
  };

  const auto own = reinterpret_cast<uintptr_t>(&memdiag_test_symbols::KnownFunction) + 1;
  const std::string own_text = info.LocationText(own);
  const std::string own_start =
      "Module debug_info_test.cpp Routine memdiag_test_symbols::KnownFunction(int) Line ";
  ASSERT_EQ(own_text.rfind(own_start, 0), 0u) << own_text;
  const int line = std::atoi(own_text.c_str() + own_start.size());
  const int first_line = memdiag_test_symbols::kKnownFunctionLine;
  EXPECT_TRUE(line >= first_line && line <= first_line + 2) << own_text;
  EXPECT_TRUE(own_text.ends_with(" Find error: memdiag_tests+" + module_offset(own))) << own_text;
  EXPECT_TRUE(info.IsProgramCode(own));

  const auto library = reinterpret_cast<uintptr_t>(&::gnu_get_libc_version) + 1;
  const std::string library_text = info.LocationText(library);
  // A routine of the C library that no sanitizer replaces. Source file and line too
  // when the library's debug information is installed.
  EXPECT_NE(library_text.find(" Routine gnu_get_libc_version"), std::string::npos)
      << library_text;
  EXPECT_TRUE(library_text.ends_with(" Find error: libc.so.6+" + module_offset(library)))
      << library_text;
  EXPECT_FALSE(info.IsProgramCode(library));

  EXPECT_EQ(info.LocationText(0x10), "(no debug info) Find error: 00000010");
  EXPECT_EQ(memdiag_test_symbols::KnownFunction(1), 4);
}

TEST(DebugInfo, CallStackTextEndsAtTheFirstZero) {
  TDebugInfo info;
  const TCallStack stack = {0x401234, 0x402000, 0x403000, 0, 0x405000};
  EXPECT_EQ(info.CallStackText(stack, "\t"),
            "\tcall stack - 0 : (no debug info) Find error: 00401234\r\n"
            "\tcall stack - 1 : (no debug info) Find error: 00402000\r\n"
            "\tcall stack - 2 : (no debug info) Find error: 00403000\r\n");
  EXPECT_EQ(info.CallStackText(TCallStack{}, "\t"), "");
}

}  // namespace
}  // namespace memdiag
