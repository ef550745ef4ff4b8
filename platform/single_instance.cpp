#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/folders.h"

namespace platform {

namespace {
int g_lock_fd = -1;
}  // namespace

std::string SingleInstanceLockPath(const std::string& name) {
  const std::optional<std::string> runtime = FolderVariable("XDG_RUNTIME_DIR");
  std::string folder;
  if (runtime && !runtime->empty() && runtime->front() == '/') {
    folder = *runtime;
  } else {
    folder = LocalDataFolder();
    if (folder.empty() || !EnsureFolder(folder, 0700)) return {};
  }
  return folder + "/" + name + ".lock";
}

bool EnsureSingleInstance(const std::string& name) {
  if (g_lock_fd >= 0) return true;
  const std::string path = SingleInstanceLockPath(name);
  if (path.empty()) return true;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool held_elsewhere = errno == EWOULDBLOCK;
    ::close(fd);
    return !held_elsewhere;
  }
  g_lock_fd = fd;
  return true;
}

void ReleaseSingleInstance() {
  if (g_lock_fd < 0) return;
  ::flock(g_lock_fd, LOCK_UN);
  ::close(g_lock_fd);
  g_lock_fd = -1;
}

}  // namespace platform
