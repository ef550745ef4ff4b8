#include "services/data_folders.h"

#include <cerrno>

#include "platform/clock.h"
#include "platform/file_limits.h"
#include "platform/folders.h"
#include "platform/text_encoding.h"
#include "services/file_messages.h"
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
  const std::string folder = GetLocalDataFolder();
  const std::string path = folder + "/Errors.log";
  try {
    if (folder.empty()) {
      // The folder could not be made where it belongs.
      throw platform::FileError(platform::FileFault::kUnwritable, platform::FileKind::kLogFile,
                                GetShellFolderPath(kCsidlLocalAppData) + "/vandrel2/Errors.log",
                                ENOENT, true);
    }
    const std::string line = platform::Utf8ToCp1252(ErrorLogTimeText() + ": " + message) + "\r\n";
    platform::AppendToFile(path, line, platform::FileKind::kLogFile);
  } catch (const platform::FileError& e) {
    throw TErrorLogError(FileErrorText(e));
  }
}

}  // namespace services
