#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/folders.h"
#include "temp_folder.h"

namespace platform {
namespace {

// The lock in a temporary runtime folder, through the folder lookup's test seam.
class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFolderVariables({{"XDG_RUNTIME_DIR", temp_.Path()}}); }
  void TearDown() override {
    ReleaseSingleInstance();
    ClearFolderVariables();
  }
  // Whether a separate process could take the lock now.
  static bool OtherProcessGetsLock(const std::string& name) {
    pid_t pid = ::fork();
    if (pid == 0) {
      int fd = ::open(SingleInstanceLockPath(name).c_str(), O_RDWR | O_CREAT, 0600);
      ::_exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  testing::TempFolder temp_;
};

TEST_F(SingleInstanceTest, HolderKeepsOthersOutUntilItReleases) {
  EXPECT_EQ(SingleInstanceLockPath("Vandrel2"), temp_ / "Vandrel2.lock");
  ASSERT_TRUE(EnsureSingleInstance("Vandrel2"));
  EXPECT_TRUE(EnsureSingleInstance("Vandrel2")) << "the holder asking again keeps it";
  EXPECT_FALSE(OtherProcessGetsLock("Vandrel2"));
  ReleaseSingleInstance();
  EXPECT_TRUE(OtherProcessGetsLock("Vandrel2"));
}

TEST_F(SingleInstanceTest, RefusedWhileAnotherProcessHoldsIt) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    bool got = EnsureSingleInstance("Vandrel2");
    char c = got ? '1' : '0';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(c, '1');
  EXPECT_FALSE(EnsureSingleInstance("Vandrel2"));
  // The kernel releases the lock of a process that ends without cleaning up.
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  EXPECT_TRUE(EnsureSingleInstance("Vandrel2"));
}

TEST_F(SingleInstanceTest, FallsBackToDataFolderWithoutRuntimeDir) {
  SetFolderVariables({{"HOME", temp_.Path()}, {"XDG_DATA_HOME", temp_ / "data"}});
  EXPECT_EQ(SingleInstanceLockPath("Vandrel2"), temp_ / "data/vandrel2/Vandrel2.lock");
  EXPECT_TRUE(EnsureSingleInstance("Vandrel2"));
}

}  // namespace
}  // namespace platform
