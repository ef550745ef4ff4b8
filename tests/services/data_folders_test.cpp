#include "services/data_folders.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/folders.h"
#include "tests/services/home_scope.h"

namespace services {
namespace {

using platform::testing::Exists;
using platform::testing::ReadBytes;

class DataFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetClock(&clock_); }
  void TearDown() override { platform::SetClock(nullptr); }

  testing::HomeScope home_;
  platform::ManualClock clock_;
};

TEST_F(DataFoldersTest, FoldersAreCreatedOnFirstUse) {
  ASSERT_FALSE(Exists(home_.DataFolder()));
  EXPECT_EQ(GetLocalDataFolder(), home_.DataFolder());
  EXPECT_TRUE(Exists(home_.DataFolder()));
  EXPECT_EQ(GetDocumentsFolder(), home_.Temp() / "docs/vandrel2");
  EXPECT_TRUE(Exists(home_.Temp() / "docs/vandrel2"));
  EXPECT_EQ(GetShellFolderPath(kCsidlLocalAppData), home_.Temp() / "data");
  EXPECT_EQ(GetShellFolderPath(123), "");
}

TEST_F(DataFoldersTest, FolderThatCannotBeMadeIsEmpty) {
  // A file where the folder should be.
  platform::testing::WriteBytes(home_.Temp() / "data", "not a folder");
  EXPECT_EQ(GetLocalDataFolder(), "");
  EXPECT_THROW(AppendErrorLog("anything"), TErrorLogError);
}

TEST_F(DataFoldersTest, ErrorLogAppendsLinesInOrderAndKeepsOldEntries) {
  const std::string log = home_.DataFolder() + "/Errors.log";
  platform::EnsureFolder(home_.DataFolder());
  // An entry of an earlier run, with a byte of the single-byte code page.
  platform::testing::WriteBytes(log, "01.01.2020 10:00:00: alt \xE4\r\n");

  clock_.SetNow({2024, 3, 5, 14, 5, 9, 0});
  AppendErrorLog("ERROR:  Einst, OK, GetInitString");
  clock_.Advance(61000);
  AppendErrorLog("Verbindung fehlgeschlagen: Gerät");

  EXPECT_EQ(ReadBytes(log),
            "01.01.2020 10:00:00: alt \xE4\r\n"
            "05.03.2024 14:05:09: ERROR:  Einst, OK, GetInitString\r\n"
            "05.03.2024 14:06:10: Verbindung fehlgeschlagen: Ger\xE4t\r\n");
}

}  // namespace
}  // namespace services
