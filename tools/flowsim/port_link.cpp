#include "tools/flowsim/port_link.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace flowsim {

namespace fs = std::filesystem;

fs::path DefaultPortsFolder() {
  fs::path data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
    data = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') throw std::runtime_error("HOME is not set");
    data = fs::path(home) / ".local" / "share";
  }
  return data / "vandrel2" / "ports";
}

PortLink::PortLink(const fs::path& folder, int number, const std::string& target)
    : path_(folder / ("com" + std::to_string(number))), target_(target) {
  if (number < 1) throw std::runtime_error("port number must be 1 or more");
  fs::create_directories(folder);
  const fs::file_status status = fs::symlink_status(path_);
  if (fs::is_symlink(status)) {
    // Pseudo-terminal numbers are reused, so a link left by a simulator that was
    // killed may point at somebody's terminal by now: such links are ours to replace.
    const fs::path old = fs::read_symlink(path_);
    const bool pseudoTerminal = old.string().starts_with("/dev/pts/");
    std::error_code ec;
    if (!pseudoTerminal && fs::exists(path_, ec)) {
      throw std::runtime_error(path_.string() + " already links to " + old.string() +
                               "; choose another port number");
    }
    fs::remove(path_);
  } else if (fs::exists(status)) {
    throw std::runtime_error(path_.string() + " exists and is not a link; not replacing it");
  }
  fs::create_symlink(target_, path_);
}

PortLink::~PortLink() {
  Remove();
}

void PortLink::Remove() {
  if (path_.empty()) return;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path_, ec)) && fs::read_symlink(path_, ec) == target_) {
    fs::remove(path_, ec);
  }
  path_.clear();
}

}  // namespace flowsim
