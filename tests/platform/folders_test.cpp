#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace platform {
namespace {

using testing::Exists;
using testing::TempFolder;
using testing::WriteBytes;

bool IsFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Points HOME at a temporary folder with no XDG variables, through the lookup's
// test seam; the process environment stays untouched.
class Folders : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = tmp_ / "home";
    ASSERT_EQ(::mkdir(home_.c_str(), 0700), 0);
    Set("HOME", home_);
  }
  void TearDown() override { ClearFolderVariables(); }
  void Set(const std::string& name, const std::string& value) {
    variables_[name] = value;
    SetFolderVariables(variables_);
  }
  void UserDirs(const std::string& config_folder, const std::string& text) {
    ASSERT_TRUE(EnsureFolder(config_folder));
    WriteBytes(config_folder + "/user-dirs.dirs", text);
  }

  std::map<std::string, std::string> variables_;
  TempFolder tmp_;
  std::string home_;
};

TEST_F(Folders, LocalDataFolderDefaultsToHome) {
  EXPECT_EQ(LocalDataFolder(), home_ + "/.local/share/vandrel2");
  EXPECT_FALSE(Exists(home_ + "/.local")) << "the lookup creates nothing";
}

TEST_F(Folders, LocalDataFolderFromXdgDataHome) {
  Set("XDG_DATA_HOME", (tmp_ / "data"));
  EXPECT_EQ(LocalDataFolder(), tmp_ / "data/vandrel2");
  Set("XDG_DATA_HOME", (tmp_ / "data//"));
  EXPECT_EQ(LocalDataFolder(), tmp_ / "data/vandrel2") << "no doubled slash";
  Set("XDG_DATA_HOME", "/");
  EXPECT_EQ(LocalDataFolder(), "/vandrel2");
}

TEST_F(Folders, RelativeOrEmptyXdgDataHomeIgnored) {
  Set("XDG_DATA_HOME", "relative/data");
  EXPECT_EQ(LocalDataFolder(), home_ + "/.local/share/vandrel2");
  Set("XDG_DATA_HOME", "");
  EXPECT_EQ(LocalDataFolder(), home_ + "/.local/share/vandrel2");
}

TEST_F(Folders, HomeWithTrailingSlash) {
  Set("HOME", (home_ + "/"));
  EXPECT_EQ(HomeFolder(), home_);
  EXPECT_EQ(LocalDataFolder(), home_ + "/.local/share/vandrel2");
}

TEST_F(Folders, RelativeHomeFallsBackToPasswordEntry) {
  Set("HOME", "not/absolute");
  const std::string home = HomeFolder();
  EXPECT_TRUE(home.empty() || home.front() == '/') << home;
  EXPECT_NE(home, "not/absolute");
}

TEST_F(Folders, DocumentsFolderDefault) {
  EXPECT_EQ(DocumentsFolder(), home_ + "/Documents/vandrel2");
}

TEST_F(Folders, DocumentsFolderFromEnvironment) {
  Set("XDG_DOCUMENTS_DIR", (tmp_ / "Dokumente/"));
  EXPECT_EQ(DocumentsFolder(), tmp_ / "Dokumente/vandrel2");
}

TEST_F(Folders, RelativeDocumentsEnvironmentIgnored) {
  Set("XDG_DOCUMENTS_DIR", "Dokumente");
  EXPECT_EQ(DocumentsFolder(), home_ + "/Documents/vandrel2");
}

TEST_F(Folders, DocumentsFolderFromUserDirsWithHome) {
  UserDirs(home_ + "/.config",
           "# This file is written by xdg-user-dirs-update\n"
           "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
           "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
  EXPECT_EQ(DocumentsFolder(), home_ + "/Dokumente/vandrel2");
}

TEST_F(Folders, DocumentsFolderFromUserDirsAbsolute) {
  UserDirs(home_ + "/.config", "XDG_DOCUMENTS_DIR=\"" + (tmp_ / "Akten Ordner") + "/\"\n");
  EXPECT_EQ(DocumentsFolder(), tmp_ / "Akten Ordner/vandrel2");
}

TEST_F(Folders, UserDirsFromXdgConfigHome) {
  UserDirs(tmp_ / "config", "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
  UserDirs(home_ + "/.config", "XDG_DOCUMENTS_DIR=\"$HOME/Falsch\"\n");
  Set("XDG_CONFIG_HOME", (tmp_ / "config"));
  EXPECT_EQ(DocumentsFolder(), home_ + "/Papiere/vandrel2");
}

TEST_F(Folders, EnvironmentBeatsUserDirs) {
  UserDirs(home_ + "/.config", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  Set("XDG_DOCUMENTS_DIR", (tmp_ / "env"));
  EXPECT_EQ(DocumentsFolder(), tmp_ / "env/vandrel2");
}

TEST_F(Folders, UserDirsLinesThatDoNotCount) {
  UserDirs(home_ + "/.config",
           "XDG_DOCUMENTS_DIR=\"$HOME/Gut\"\n"
           "# XDG_DOCUMENTS_DIR=\"$HOME/Kommentar\"\n"
           "XDG_DOCUMENTS_DIR=\"relativ/pfad\"\n"
           "XDG_DOCUMENTS_DIRX=\"$HOME/Andere\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOMEX/a\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOME/offen\n");
  EXPECT_EQ(DocumentsFolder(), home_ + "/Gut/vandrel2");
}

TEST_F(Folders, UserDirsLastAssignmentWins) {
  UserDirs(home_ + "/.config",
           "XDG_DOCUMENTS_DIR=\"$HOME/Erst\"\n"
           "  XDG_DOCUMENTS_DIR = \"$HOME/Zweit\"\n");
  EXPECT_EQ(DocumentsFolder(), home_ + "/Zweit/vandrel2");
}

TEST_F(Folders, UserDirsHomeItself) {
  UserDirs(home_ + "/.config", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
  EXPECT_EQ(DocumentsFolder(), home_ + "/vandrel2");
}

TEST_F(Folders, RelativeXdgConfigHomeIgnored) {
  UserDirs(home_ + "/.config", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  Set("XDG_CONFIG_HOME", "config");
  EXPECT_EQ(DocumentsFolder(), home_ + "/Dokumente/vandrel2");
}

TEST(FolderVariables, EnvironmentWithoutTheSeam) {
  ClearFolderVariables();
  const char* path = std::getenv("PATH");
  EXPECT_EQ(FolderVariable("PATH"), path ? std::optional<std::string>(path) : std::nullopt);
  SetFolderVariables({{"HOME", "/elsewhere"}});
  EXPECT_EQ(FolderVariable("HOME"), "/elsewhere");
  EXPECT_EQ(FolderVariable("PATH"), std::nullopt) << "a variable the test did not set is unset";
  ClearFolderVariables();
}

TEST_F(Folders, LookupsCreateNothing) {
  (void)LocalDataFolder();
  (void)DocumentsFolder();
  EXPECT_TRUE(std::filesystem::is_empty(home_));
}

TEST_F(Folders, ProgramFolderIsTheExecutablesFolder) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  EXPECT_NE(folder.back(), '/');
  char* exe = ::realpath(program_invocation_name, nullptr);
  ASSERT_NE(exe, nullptr);
  const std::string exe_path = exe;
  std::free(exe);
  EXPECT_EQ(folder, exe_path.substr(0, exe_path.rfind('/')));
}

TEST_F(Folders, EnsureFolderCreatesParents) {
  const std::string path = tmp_ / "a/b/c";
  EXPECT_TRUE(EnsureFolder(path));
  EXPECT_TRUE(IsFolder(path));
  EXPECT_TRUE(EnsureFolder(path)) << "an existing folder is fine";
  EXPECT_TRUE(EnsureFolder(tmp_ / "a//b2/"));
  EXPECT_TRUE(IsFolder(tmp_ / "a/b2"));
}

TEST_F(Folders, EnsureFolderAppliesModeToTheFolder) {
  const std::string path = tmp_ / "p/q";
  EXPECT_TRUE(EnsureFolder(path, 0700));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(Folders, EnsureFolderFails) {
  EXPECT_FALSE(EnsureFolder(""));
  WriteBytes(tmp_ / "file", "x");
  EXPECT_FALSE(EnsureFolder(tmp_ / "file")) << "a file is in the way";
  EXPECT_FALSE(EnsureFolder(tmp_ / "file/sub"));
}

TEST_F(Folders, EnsureFolderFailsWithoutPermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root creates folders in a folder of mode 0555";
  const std::string ro = tmp_ / "ro";
  ASSERT_EQ(::mkdir(ro.c_str(), 0555), 0);
  EXPECT_FALSE(EnsureFolder(ro + "/vandrel2"));
}

TEST_F(Folders, EnsureFolderOfTheLookups) {
  Set("XDG_DATA_HOME", (tmp_ / "xdg/data"));
  EXPECT_TRUE(EnsureFolder(LocalDataFolder()));
  EXPECT_TRUE(IsFolder(tmp_ / "xdg/data/vandrel2"));
  EXPECT_TRUE(EnsureFolder(DocumentsFolder()));
  EXPECT_TRUE(IsFolder(home_ + "/Documents/vandrel2"));
}

}  // namespace
}  // namespace platform
