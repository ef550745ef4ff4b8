// Points HOME and the XDG folders at a fresh temporary folder for one test and
// restores the environment afterwards.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "tests/platform/temp_folder.h"

namespace services::testing {

class HomeScope {
 public:
  HomeScope() {
    Set("HOME", temp_.Path());
    Set("XDG_DATA_HOME", temp_ / "data");
    Set("XDG_CONFIG_HOME", temp_ / "config");
    Set("XDG_DOCUMENTS_DIR", temp_ / "docs");
  }
  ~HomeScope() {
    for (auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  HomeScope(const HomeScope&) = delete;
  HomeScope& operator=(const HomeScope&) = delete;

  const platform::testing::TempFolder& Temp() const { return temp_; }
  std::string DataFolder() const { return temp_ / "data/vandrel2"; }
  // Replaces a variable for the rest of the test.
  void Set(const std::string& name, const std::string& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    ::setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  platform::testing::TempFolder temp_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace services::testing
