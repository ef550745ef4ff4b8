// Points HOME and the XDG folders at a fresh temporary folder for one test, through
// the folder lookup's test seam: the process environment is never changed, since
// other threads (the test framework's, Qt's) may read it at any time.
#pragma once

#include <map>
#include <string>

#include "platform/folders.h"
#include "tests/platform/temp_folder.h"

namespace services::testing {

class HomeScope {
 public:
  HomeScope() {
    variables_ = {{"HOME", temp_.Path()},
                  {"XDG_DATA_HOME", temp_ / "data"},
                  {"XDG_CONFIG_HOME", temp_ / "config"},
                  {"XDG_DOCUMENTS_DIR", temp_ / "docs"}};
    platform::SetFolderVariables(variables_);
  }
  ~HomeScope() { platform::ClearFolderVariables(); }
  HomeScope(const HomeScope&) = delete;
  HomeScope& operator=(const HomeScope&) = delete;

  const platform::testing::TempFolder& Temp() const { return temp_; }
  std::string DataFolder() const { return temp_ / "data/vandrel2"; }
  // Sets a variable of the folder lookup (XDG_RUNTIME_DIR, say) for the rest of the
  // test; the variables not set here count as unset.
  void Set(const std::string& name, const std::string& value) {
    variables_[name] = value;
    platform::SetFolderVariables(variables_);
  }

 private:
  platform::testing::TempFolder temp_;
  std::map<std::string, std::string> variables_;
};

}  // namespace services::testing
