#include "platform/port_names.h"

#include <sys/stat.h>

#include <cctype>

#include "platform/folders.h"

namespace platform {

std::string PortsFolder() {
  std::string data = LocalDataFolder();
  if (data.empty()) return {};
  return data + "/ports";
}

std::string PortLinkPath(uint32_t n) {
  std::string folder = PortsFolder();
  if (folder.empty()) return {};
  return folder + "/com" + std::to_string(n);
}

namespace {

// n of a COM name, 0 included.
std::optional<uint32_t> ParseComName(const std::string& name) {
  std::string rest = name;
  if (rest.rfind("\\\\.\\", 0) == 0) rest = rest.substr(4);
  if (rest.size() < 4) return std::nullopt;
  for (int i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(rest[i])) != "COM"[i]) return std::nullopt;
  }
  uint64_t n = 0;
  for (size_t i = 3; i < rest.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(rest[i]))) return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(rest[i] - '0');
    if (n > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<uint32_t>(n);
}

}  // namespace

std::optional<uint32_t> ComPortNumber(const std::string& name) {
  std::optional<uint32_t> n = ParseComName(name);
  if (!n || *n == 0) return std::nullopt;
  return n;
}

std::string PortDevicePath(const std::string& name) {
  std::optional<uint32_t> n = ParseComName(name);
  if (!n) {
    // Other device-namespace names name no port here.
    if (name.rfind("\\\\.\\", 0) == 0) return {};
    return name;
  }
  if (*n == 0) return {};
  std::string link = PortLinkPath(*n);
  struct stat st;
  // The link counts when it exists, even dangling: its missing target is then
  // the port that does not exist, rather than some built-in port.
  if (!link.empty() && ::lstat(link.c_str(), &st) == 0) return link;
  return "/dev/ttyS" + std::to_string(*n - 1);
}

}  // namespace platform
