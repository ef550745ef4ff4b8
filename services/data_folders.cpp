#include "services/data_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/text_encoding.h"
#include "services/value_format.h"

namespace services {
namespace {

std::string Parent(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (path.empty() || slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string MadeFolder(int32_t csidl) {
  std::string base = GetShellFolderPath(csidl);
  if (base.empty()) return {};
  std::string folder = (base == "/" ? "" : base) + "/vandrel2";
  return platform::EnsureFolder(folder) ? folder : std::string();
}

}  // namespace

std::string GetShellFolderPath(int32_t csidl) {
  switch (csidl) {
    case kCsidlLocalAppData:
      return Parent(platform::LocalDataFolder());
    case kCsidlPersonal:
      return Parent(platform::DocumentsFolder());
    default:
      return {};
  }
}

std::string GetLocalDataFolder() {
  return MadeFolder(kCsidlLocalAppData);
}

std::string GetDocumentsFolder() {
  return MadeFolder(kCsidlPersonal);
}

std::string ErrorLogTimeText() {
  const platform::LocalDateTime now = platform::Now();
  return DeviceTimeToText({static_cast<uint16_t>(now.year), static_cast<uint16_t>(now.month),
                           static_cast<uint16_t>(now.day), static_cast<uint16_t>(now.hour),
                           static_cast<uint16_t>(now.minute), static_cast<uint16_t>(now.second)});
}

void AppendErrorLog(const std::string& message) {
  std::string folder = GetLocalDataFolder();
  if (folder.empty()) throw TErrorLogError("Errors.log: the local data folder cannot be created");
  std::string path = folder + "/Errors.log";
  std::string line = platform::Utf8ToCp1252(ErrorLogTimeText() + ": " + message) + "\r\n";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) throw TErrorLogError(path + ": " + std::strerror(errno));
  // One write call: with O_APPEND the line lands whole at the end.
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int err = errno;
      ::close(fd);
      throw TErrorLogError(path + ": " + std::strerror(err));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0) throw TErrorLogError(path + ": " + std::strerror(errno));
}

}  // namespace services
