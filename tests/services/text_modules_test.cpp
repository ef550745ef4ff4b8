#include "services/text_modules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "platform/file_limits.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "tests/platform/odd_files.h"
#include "tests/platform/temp_folder.h"

namespace services {
namespace {

using platform::testing::WriteBytes;

class TextModulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_folder_ = ProgramFolder;
    ProgramFolder = folder_.Path() + "/";
    Medium = 0;
    Language = 0;
  }
  void TearDown() override {
    ProgramFolder = saved_folder_;
    Medium = 0;
    Language = 0;
  }
  void Module(const std::string& name, const std::string& text) { WriteBytes(folder_ / name, text); }

  platform::testing::TempFolder folder_;
  std::string saved_folder_;
};

TEST_F(TextModulesTest, GetTextTrimsAndMissingGivesEmpty) {
  Module("Ltx1de.txt",
         "# comment\r\n0=NGX7\r\n1=  Hauptfenster \t\r\n2=a=b\r\n3=Zeile\\nzwei\r\nx=bad\r\n"
         "4=erste\r\n4=zweite\r\n70000=too big\r\n");
  struct Case {
    uint16_t id;
    std::string text;
  } cases[] = {{0, "NGX7"}, {1, "Hauptfenster"}, {2, "a=b"}, {3, "Zeile\nzwei"},
               {4, "erste"}, {5, ""},           {4464, ""}};
  for (const auto& c : cases) EXPECT_EQ(GetText(c.id), c.text) << c.id;
}

// A module that is no regular file (a FIFO nobody writes to, a device, a folder,
// a socket, a link to one of them) or one byte over the limit is no module, as if
// it were missing, found at once on every lookup; why, start-up can tell in the
// language of the module it looked for, in words that need no module.
TEST_F(TextModulesTest, WhatIsNoModuleIsRefusedAtOnceAndCanBeNamed) {
  using platform::testing::OddInput;
  platform::testing::TempFolder odd;
  const platform::testing::OddFiles odd_files(odd, "txt", platform::FileKind::kTextModule);
  const std::vector<platform::testing::OddInput>& inputs = odd_files.inputs;
  const std::string head = "0=NGX7\n1=Hauptfenster\n";
  Module("Ltx1de.txt", head + std::string(platform::kMaxTextModuleBytes - head.size(), '#'));
  EXPECT_EQ(GetText(1), "Hauptfenster");
  EXPECT_EQ(TextModuleProblem(), "");
  for (int32_t language : {0, 1}) {
    Language = language;
    const std::string name = folder_ / (language == 0 ? "Ltx1de.txt" : "Ltx1en.txt");
    for (const OddInput& input : inputs) {
      SCOPED_TRACE(std::to_string(language) + " " + input.what);
      std::remove(name.c_str());
      platform::testing::MakeLink(input.path, name);
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(GetText(0), "");
      services::TextBlock block;
      EXPECT_FALSE(GetTextBlock(0, 1, block));
      const std::string problem = TextModuleProblem();
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
      const std::string kind = language == 0 ? "Textmodul" : "Text module";
      EXPECT_EQ(problem.rfind(kind + " \"" + name + "\": ", 0), 0u) << problem;
      EXPECT_NE(problem.find(language == 0 ? input.german : input.english), std::string::npos)
          << problem;
      EXPECT_EQ(MissingModuleMessage(), std::string("Sprachen - Dll fehlt!\n\n") + problem);
    }
  }
  // Simply not there: the message of old, alone.
  std::remove((folder_ / "Ltx1en.txt").c_str());
  EXPECT_EQ(TextModuleProblem(), "");
  EXPECT_EQ(MissingModuleMessage(), "Sprachen - Dll fehlt!");
}

TEST_F(TextModulesTest, LongTextIsCutAt254Characters) {
  std::string long_text;
  for (int i = 0; i < 300; ++i) long_text += "ä";
  Module("Ltx1de.txt", "7=" + long_text + "\n");
  EXPECT_EQ(platform::Utf8Length(GetText(7)), 254u);
}

TEST_F(TextModulesTest, ModuleFollowsMediumAndLanguageOnEveryCall) {
  Module("Ltx1de.txt", "0=NGX7\n1=Gas deutsch\n");
  Module("Ltx1en.txt", "0=NGX7\n1=Gas English\n");
  Module("Ltx2de.txt", "0=HTX7\n1=Dampf deutsch\n");
  EXPECT_EQ(GetText(1), "Gas deutsch");
  Language = 1;
  EXPECT_EQ(GetText(1), "Gas English");
  Medium = 1;
  EXPECT_EQ(GetText(1), "");  // steam English is missing
  Language = 0;
  EXPECT_EQ(GetText(0), "HTX7");
  // A module replaced on disk counts at once.
  Module("Ltx2de.txt", "0=HTX7\n1=neu\n");
  EXPECT_EQ(GetText(1), "neu");
}

TEST_F(TextModulesTest, BlocksStopAtTheFirstGapAndPadWithoutCutting) {
  const std::string sixty(60, 'x');
  Module("Ltx1de.txt",
         "512=Null\n513=Eins\n514=   \n516=nach der Lücke\n1024=" + sixty + "\n1025=Grün\n");
  TextBlock items;
  items.fill("stale");
  ASSERT_TRUE(GetTextBlock(512, 6, items));
  EXPECT_EQ(items[0], "Null  ");
  EXPECT_EQ(items[1], "Eins  ");
  EXPECT_EQ(items[2], "      ");  // present but blank: still part of the block
  for (int i = 3; i < 16; ++i) EXPECT_EQ(items[i], "") << i;

  ASSERT_TRUE(GetTextBlock(1024, 54, items));
  EXPECT_EQ(items[0], sixty);
  EXPECT_EQ(items[1], "Grün" + std::string(50, ' '));  // 54 characters, not bytes

  EXPECT_FALSE(GetTextBlock(2048, 1, items));
  for (const auto& item : items) EXPECT_EQ(item, "");

  ProgramFolder = folder_ / "missing/";
  EXPECT_FALSE(GetTextBlock(512, 1, items));
  EXPECT_EQ(GetText(512), "");
}

TEST_F(TextModulesTest, ShippedModulesCarryTheirMarkersAndServiceTexts) {
  ProgramFolder = std::string(VANDREL_SOURCE_DIR) + "/texts/";
  const uint16_t ids[] = {1, 5, 16, 18, 32, 33, 41, 42, 43, 44, 48, 49, 64, 65, 66, 67};
  for (int medium = 0; medium < 2; ++medium) {
    for (int language = 0; language < 2; ++language) {
      Medium = medium;
      Language = language;
      SCOPED_TRACE(TextModuleNames[medium][language]);
      EXPECT_EQ(GetText(0), medium == 0 ? kGasModuleMarker : kSteamModuleMarker);
      for (uint16_t id : ids) EXPECT_NE(GetText(id), "") << id;
    }
  }
}

}  // namespace
}  // namespace services
