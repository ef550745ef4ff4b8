// The settings reader on any file: whatever it holds, the settings come out in
// their ranges, and the file written at close reads back as the same settings.
#include <cstdlib>
#include <string>

#include "devicelink/link_state.h"
#include "platform/folders.h"
#include "services/app_state.h"
#include "services/port_opening.h"
#include "services/settings_file.h"
#include "tests/fuzz/fuzz_files.h"
#include "tests/services/fake_app_window.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool prepared = [] {
    platform::SetFolderVariables({{"HOME", fuzz::Folder()}, {"XDG_DATA_HOME", fuzz::Folder()}});
    return platform::EnsureFolder(fuzz::Folder() + "/vandrel2");
  }();
  if (!prepared) std::abort();
  const std::string path = fuzz::Folder() + "/vandrel2/vandrel2.ini";
  fuzz::WriteFile(path, data, size);
  services::testing::FakeAppWindow window;

  services::ReadSettings();
  if (services::BaudIndex < 0 || services::BaudIndex > 7) std::abort();
  if (services::PortIndex < 0 || services::PortIndex > 7) std::abort();
  if (services::Language < 0 || services::Language > 1) std::abort();
  if (services::Medium < 0 || services::Medium > 1) std::abort();

  const int32_t baud = services::BaudIndex, port = services::PortIndex;
  const int32_t language = services::Language, medium = services::Medium;
  const bool online = devicelink::DeviceOnline;
  services::WriteSettings();
  services::ReadSettings();
  if (services::BaudIndex != baud || services::PortIndex != port ||
      services::Language != language || services::Medium != medium ||
      devicelink::DeviceOnline != online) {
    std::abort();
  }
  return 0;
}
