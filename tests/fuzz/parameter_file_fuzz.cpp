// The parameter-file reader on any bytes, as ".PEG" or as the older ".PAR", for a
// gas or steam device of one or two circuits. The first input byte chooses:
// bit 0 ".PAR", bit 1 steam, bit 2 single-circuit device, bit 3 offline, bit 4 Yes
// to the question about a file that lacks parts of a set; the rest is the file. A
// load either succeeds or shows one error or was declined, and changes nothing.
#include <cstdlib>
#include <vector>
#include <string>

#include "devicelink/device_data.h"
#include "devicelink/link_state.h"
#include "services/app_state.h"
#include "services/parameter_file.h"
#include "tests/fuzz/fuzz_files.h"
#include "tests/services/fake_app_window.h"

namespace dl = devicelink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string path = fuzz::Folder() + ((mode & 1) ? "/input.PAR" : "/input.PEG");
  fuzz::WriteFile(path, data + 1, size - 1);

  dl::ResetDeviceData();
  services::Medium = (mode & 2) ? 1 : 0;
  dl::DeviceOnline = (mode & 8) == 0;
  services::testing::FakeAppWindow window;
  services::ResetParameters();
  dl::SystemParams.SystemTypeFlags = (mode & 4) ? 0x40 : 0x00;
  window.memo = {"vorher"};
  // Values no file can give (out of range of what the writer writes for them).
  dl::TempParams[0].Min = -12345.5f;
  dl::PresetValues[7] = 98765.25f;

  window.dialog_answers.push_back(path);
  const bool yes = (mode & 16) != 0;
  window.box_answers.push_back(yes ? services::kIdYes : services::kIdNo);
  const bool loaded = services::LoadParameterFile();
  const bool declined = !yes && !window.boxes.empty();
  if (loaded != (window.errors.empty() && !declined)) std::abort();
  if (!loaded) {
    // Nothing of a refused file may have reached the set in use.
    if (dl::TempParams[0].Min != -12345.5f || dl::PresetValues[7] != 98765.25f) std::abort();
    if (window.memo != std::vector<std::string>{"vorher"}) std::abort();
  }
  return 0;
}
