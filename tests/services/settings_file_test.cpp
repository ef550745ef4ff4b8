#include "services/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "devicelink/link_state.h"
#include "platform/file_limits.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "services/app_state.h"
#include "services/text_modules.h"
#include "tests/platform/odd_files.h"
#include "tests/services/fake_app_window.h"
#include "tests/services/home_scope.h"

namespace services {
namespace {

using platform::testing::Exists;
using platform::testing::ReadBytes;
using platform::testing::WriteBytes;

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_program_folder_ = ProgramFolder;
    ProgramFolder = std::string(VANDREL_SOURCE_DIR) + "/texts/";
    Medium = Language = PortIndex = 0;
    BaudIndex = 3;
    devicelink::DeviceOnline = false;
    devicelink::TraceLevel = 0;
    MemDiagSwitch = 0;
    MemDiagLogName.clear();
  }
  void TearDown() override {
    SetMemDiagStarter(nullptr);
    ProgramFolder = saved_program_folder_;
    Medium = Language = PortIndex = 0;
    BaudIndex = 3;
    devicelink::DeviceOnline = false;
    devicelink::TraceLevel = 0;
  }
  std::string IniPath() const { return home_.DataFolder() + "/vandrel2.ini"; }
  void WriteIni(const std::string& text) {
    platform::EnsureFolder(home_.DataFolder());
    WriteBytes(IniPath(), text);
  }

  testing::HomeScope home_;
  testing::FakeAppWindow window_;
  std::string saved_program_folder_;
};

TEST_F(SettingsFileTest, FirstStartWritesEveryKeyWithItsDefault) {
  ReadSettings();
  EXPECT_EQ(ReadBytes(IniPath()),
            "[Einstellungen]\r\nBaudrate=3\r\nAnschlu\xDF=0\r\nOnline=0\r\n"
            "[System]\r\nSprache=0\r\nMedium=0\r\n"
            "[Debug]\r\nMemDiag=0\r\nRS232=0\r\n");
  EXPECT_EQ(BaudIndex, 3);
  EXPECT_EQ(PortIndex, 0);
  EXPECT_FALSE(devicelink::DeviceOnline);
}

TEST_F(SettingsFileTest, RangeRulesAndNonIntegers) {
  struct Case {
    const char* file;
    int32_t baud, port, language, medium, trace;
    bool online;
  } cases[] = {
      {"[Einstellungen]\nBaudrate=12\nAnschluß=-1\nOnline=2\n[System]\nSprache=1\nMedium=1\n"
       "[Debug]\nRS232=2\n",
       7, 0, 1, 1, 2, true},
      {"[Einstellungen]\nBaudrate=5\nAnschlu\xDF=7\nOnline=0\n[System]\nSprache=2\nMedium=-3\n",
       5, 7, 0, 0, 0, false},
      // Not integers: the defaults stand in.
      {"[EINSTELLUNGEN]\nbaudrate=fast\nANSCHLUSS=1\nanschluß= 4 \nOnline=yes\n[system]\n"
       "Sprache=1.0\n",
       3, 4, 0, 0, 0, false},
      {"[Einstellungen]\nBaudrate=-1\nAnschluß=8\n", 7, 0, 0, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    WriteIni(c.file);
    ReadSettings();
    EXPECT_EQ(BaudIndex, c.baud);
    EXPECT_EQ(PortIndex, c.port);
    EXPECT_EQ(Language, c.language);
    EXPECT_EQ(Medium, c.medium);
    EXPECT_EQ(devicelink::TraceLevel, c.trace);
    EXPECT_EQ(devicelink::DeviceOnline, c.online);
  }
}

TEST_F(SettingsFileTest, CloseWritesFiveKeysAndKeepsTheRest) {
  WriteIni(
      "; kept\r\n[Einstellungen]\r\nBaudrate=3\r\nAnschluß=0\r\nOnline=2\r\nFarbe=blau\r\n"
      "[Debug]\r\nMemDiag=1\r\nRS232=2\r\n");
  ReadSettings();
  EXPECT_EQ(MemDiagSwitch, 1);
  EXPECT_NE(MemDiagLogName.find("_memDiag.log"), std::string::npos);
  EXPECT_EQ(devicelink::TraceLevel, 2);
  // Changes of the run.
  BaudIndex = 5;
  PortIndex = 2;
  Medium = 1;
  Language = 1;
  WriteSettings();
  EXPECT_EQ(ReadBytes(IniPath()),
            "; kept\r\n[Einstellungen]\r\nBaudrate=5\r\nAnschlu\xDF=2\r\nOnline=1\r\nFarbe=blau\r\n"
            "[Debug]\r\nMemDiag=1\r\nRS232=2\r\n"
            "[System]\r\nSprache=1\r\nMedium=1\r\n");
  EXPECT_TRUE(window_.boxes.empty());
}

struct StarterCall {
  std::string name;
  uint32_t max_kept;
};
std::vector<StarterCall> g_starter_calls;

TEST_F(SettingsFileTest, MemDiagSwitchStartsTheTrackerWithTheReportName) {
  SetMemDiagStarter([](const std::string& name, uint32_t max_kept) {
    g_starter_calls.push_back({name, max_kept});
  });
  for (const char* value : {"0", "1", "-7", "on"}) {
    SCOPED_TRACE(value);
    g_starter_calls.clear();
    MemDiagLogName.clear();
    WriteIni(std::string("[Debug]\r\nMemDiag=") + value + "\r\n");
    ReadSettings();
    const bool on = std::string(value) == "1" || std::string(value) == "-7";
    ASSERT_EQ(g_starter_calls.size(), on ? 1u : 0u);
    if (!on) continue;
    EXPECT_EQ(g_starter_calls[0].name, MemDiagLogName);
    EXPECT_EQ(MemDiagLogName.rfind(home_.DataFolder() + "/", 0), 0u);
    EXPECT_EQ(g_starter_calls[0].max_kept, 1000u);
  }
}

// At the close as at start, the warning says why in words: a folder in its place,
// a file nobody may write.
TEST_F(SettingsFileTest, UnwritableFileWarnsAndWritesNothing) {
  struct Case {
    const char* what;
    bool folder;
    const char* reason;
  };
  for (const Case& c : {Case{"a folder", true,
                             "Das ist keine gewöhnliche Datei, sondern ein Verzeichnis. Es bleibt, "
                             "wie es ist; es wurde nichts geschrieben."},
                        Case{"write-protected", false,
                             "Die Datei ist schreibgeschützt. Sie bleibt unverändert; es wurde "
                             "nichts geschrieben."}}) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(IniPath());
    window_.boxes.clear();
    if (c.folder) {
      platform::EnsureFolder(IniPath());
    } else {
      WriteIni("[Einstellungen]\r\nBaudrate=5\r\n");
      ASSERT_EQ(::chmod(IniPath().c_str(), 0444), 0);
    }
    ReadSettings();
    BaudIndex = 6;
    WriteSettings();
    ASSERT_EQ(window_.boxes.size(), 1u);
    EXPECT_EQ(window_.boxes[0].text, "Einstellungsdatei \"" + IniPath() + "\": " + c.reason);
    EXPECT_EQ(window_.boxes[0].flags, kMbOk | kMbIconWarning);
    if (!c.folder) {
      EXPECT_EQ(ReadBytes(IniPath()), "[Einstellungen]\r\nBaudrate=5\r\n");
    }
  }
}

// A file that holds no setting at all (binary garbage) is reported at start and
// kept as it is, and the close writes it whole: the settings, nothing of before.
TEST_F(SettingsFileTest, AFileWithoutAnySettingIsReportedAndWrittenWholeAtTheClose) {
  std::string garbage;
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 37 + 11) % 256);
  WriteIni(garbage);
  ReadSettings();
  ASSERT_EQ(window_.errors.size(), 1u);
  EXPECT_EQ(window_.errors[0], "Einstellungsdatei \"" + IniPath() +
                                   "\": Die Datei enthält keine lesbare Einstellung. Es gelten "
                                   "die Vorgabewerte; beim Beenden wird die Datei mit den "
                                   "Einstellungen neu geschrieben.");
  EXPECT_EQ(ReadBytes(IniPath()), garbage);
  EXPECT_EQ(BaudIndex, 3);
  PortIndex = 2;
  WriteSettings();
  EXPECT_TRUE(window_.boxes.empty());
  EXPECT_EQ(ReadBytes(IniPath()),
            "[Einstellungen]\r\nBaudrate=3\r\nAnschlu\xDF=2\r\nOnline=0\r\n[System]\r\n"
            "Sprache=0\r\nMedium=0\r\n[Debug]\r\nMemDiag=0\r\nRS232=0\r\n");
  // From then on a settings file as any other: the next close adds nothing.
  ReadSettings();
  EXPECT_EQ(window_.errors.size(), 1u);
  EXPECT_EQ(PortIndex, 2);
}

// Whatever stands at the settings file's name that is no settings file of the
// program's (a FIFO nobody writes to, a device, a folder, a socket, a file far
// too large, a link to any of them) is refused at once and named; the defaults
// hold, and the close writes nothing over it. The settings say the language, so
// this message comes in the language in force at start, German.
TEST_F(SettingsFileTest, ANameThatIsNoSettingsFileIsRefusedAndKept) {
  using platform::testing::OddInput;
  platform::testing::TempFolder dir;
  const platform::testing::OddFiles odd_files(dir, "ini", platform::FileKind::kSettingsFile);
  const std::vector<platform::testing::OddInput>& inputs = odd_files.inputs;
  platform::EnsureFolder(home_.DataFolder());
  for (const OddInput& input : inputs) {
    SCOPED_TRACE(input.what);
    ::unlink(IniPath().c_str());
    platform::testing::MakeLink(input.path, IniPath());
    window_.errors.clear();
    window_.boxes.clear();
    BaudIndex = 0;
    const auto start = std::chrono::steady_clock::now();
    ReadSettings();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(BaudIndex, 3);
    ASSERT_EQ(window_.errors.size(), 1u);
    const std::string& error = window_.errors[0];
    EXPECT_EQ(error.rfind("Einstellungsdatei \"" + IniPath() + "\": ", 0), 0u) << error;
    EXPECT_NE(error.find(input.german), std::string::npos) << error;
    WriteSettings();
    ASSERT_EQ(window_.boxes.size(), 1u);
    EXPECT_EQ(window_.boxes[0].text.rfind("Einstellungsdatei \"" + IniPath() + "\": ", 0), 0u);
    EXPECT_EQ(std::filesystem::read_symlink(IniPath()).string(), input.path);
  }
  EXPECT_TRUE(platform::testing::IsCharDevice("/dev/zero"));
  EXPECT_EQ(std::filesystem::file_size(dir / "big.ini"), platform::kMaxSettingsFileBytes + 1);
}

TEST_F(SettingsFileTest, MissingDataFolderIsNeverReplacedByTheRoot) {
  WriteBytes(home_.Temp() / "data", "a file where the folder should be");
  EXPECT_EQ(SettingsFileName(), "");
  ReadSettings();
  EXPECT_EQ(BaudIndex, 3);
  WriteSettings();
  ASSERT_EQ(window_.boxes.size(), 1u);
  const std::string file = home_.Temp() / "data/vandrel2/vandrel2.ini";
  EXPECT_EQ(window_.boxes[0].text, "Einstellungsdatei \"" + file +
                                       "\": Die Datei kann nicht geschrieben werden: ein Teil "
                                       "des Pfads ist kein Ordner. Eine vorhandene Datei ist "
                                       "unverändert.");
  EXPECT_FALSE(Exists("/vandrel2.ini"));
}

}  // namespace
}  // namespace services
