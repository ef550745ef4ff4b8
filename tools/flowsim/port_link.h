#pragma once

#include <filesystem>
#include <string>

namespace flowsim {

// The folder where the program looks for its port links comN:
// $XDG_DATA_HOME/vandrel2/ports, by default ~/.local/share/vandrel2/ports.
std::filesystem::path DefaultPortsFolder();

// The link comN → target in a ports folder, removed again when destroyed.
// The folder is created when missing. A dangling link of that name, or one to
// a pseudo-terminal, is replaced; a link to anything else that exists (a real
// port the user linked) or a file of that name is left alone and refused.
class PortLink {
 public:
  // Throws std::runtime_error (with a message for the user) or
  // std::filesystem::filesystem_error.
  PortLink(const std::filesystem::path& folder, int number, const std::string& target);
  ~PortLink();
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Removes the link now, if it still points where it was made to point.
  void Remove();

 private:
  std::filesystem::path path_;
  std::string target_;
};

}  // namespace flowsim
