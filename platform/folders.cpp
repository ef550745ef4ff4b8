#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/file_limits.h"

namespace platform {
namespace {

constexpr const char* kAppFolder = "vandrel2";

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::mutex g_variables_lock;
std::optional<std::map<std::string, std::string>> g_variables;

// An environment value when it is an absolute path, as the XDG rules require.
std::string AbsoluteEnv(const char* name) {
  std::optional<std::string> value = FolderVariable(name);
  if (!value || value->empty() || value->front() != '/') return {};
  return WithoutTrailingSlash(*value);
}

std::string Join(const std::string& base, const std::string& name) {
  if (base.empty()) return {};
  return base == "/" ? "/" + name : base + "/" + name;
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs.dirs file: "$HOME/..." or an
// absolute path, in double quotes; the last valid assignment wins.
std::string DocumentsFromUserDirs(const std::string& file, const std::string& home) {
  // Read as any file the program reads: never a FIFO or a device, and an unreadable
  // one as missing (the default folder then).
  std::optional<std::string> text;
  try {
    text = ReadFileIfExists(file, FileKind::kOther);
  } catch (const FileError&) {
  }
  std::istringstream in(text.value_or(std::string()));
  std::string result;
  std::string line;
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR";
  while (std::getline(in, line)) {
    std::string_view s = line;
    const auto skip_blanks = [&] {
      while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    };
    skip_blanks();
    if (s.substr(0, kKey.size()) != kKey) continue;
    s.remove_prefix(kKey.size());
    skip_blanks();
    if (s.empty() || s.front() != '=') continue;
    s.remove_prefix(1);
    skip_blanks();
    if (s.empty() || s.front() != '"') continue;
    s.remove_prefix(1);
    std::string value;
    bool closed = false;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '"') {
        closed = true;
        break;
      }
      if (s[i] == '\\' && i + 1 < s.size()) ++i;
      value += s[i];
    }
    if (!closed) continue;
    if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
      if (home.empty()) continue;
      value = home + value.substr(5);
    } else if (value.empty() || value.front() != '/') {
      continue;
    }
    result = WithoutTrailingSlash(value);
  }
  return result;
}

}  // namespace

std::optional<std::string> FolderVariable(const char* name) {
  {
    std::lock_guard<std::mutex> lock(g_variables_lock);
    if (g_variables) {
      auto it = g_variables->find(name);
      if (it == g_variables->end()) return std::nullopt;
      return it->second;
    }
  }
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void SetFolderVariables(std::map<std::string, std::string> variables) {
  std::lock_guard<std::mutex> lock(g_variables_lock);
  g_variables = std::move(variables);
}

void ClearFolderVariables() {
  std::lock_guard<std::mutex> lock(g_variables_lock);
  g_variables.reset();
}

std::string HomeFolder() {
  std::string home = AbsoluteEnv("HOME");
  if (!home.empty()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && found->pw_dir[0] == '/') {
    return WithoutTrailingSlash(found->pw_dir);
  }
  return {};
}

std::string LocalDataFolder() {
  std::string base = AbsoluteEnv("XDG_DATA_HOME");
  if (base.empty()) base = Join(HomeFolder(), ".local/share");
  return Join(base, kAppFolder);
}

std::string DocumentsFolder() {
  std::string docs = AbsoluteEnv("XDG_DOCUMENTS_DIR");
  if (docs.empty()) {
    const std::string home = HomeFolder();
    std::string config = AbsoluteEnv("XDG_CONFIG_HOME");
    if (config.empty()) config = Join(home, ".config");
    if (!config.empty()) docs = DocumentsFromUserDirs(Join(config, "user-dirs.dirs"), home);
    if (docs.empty()) docs = Join(home, "Documents");
  }
  return Join(docs, kAppFolder);
}

std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) {
      std::string path(buffer.data(), static_cast<size_t>(n));
      const size_t slash = path.rfind('/');
      if (slash == std::string::npos) return {};
      return slash == 0 ? "/" : path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool EnsureFolder(const std::string& path, mode_t mode) {
  if (path.empty()) return false;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  // Create each missing parent; errors show in the final check.
  for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
    if (path[pos - 1] == '/') continue;
    ::mkdir(path.substr(0, pos).c_str(), 0777);
  }
  ::mkdir(path.c_str(), mode);
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace platform
