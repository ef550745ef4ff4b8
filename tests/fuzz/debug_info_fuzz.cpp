// The debug-information reader of the leak report on any program file: the
// appended debug information either loads or is refused, and every address then turns into text without reading outside what
// was loaded.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "memdiag/debug_info.h"
#include "memdiag/tracked_block.h"
#include "tests/fuzz/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::Folder() + "/program";
  fuzz::WriteFile(path, data, size);
  memdiag::TDebugInfo info;
  info.SetCodeBase(0x400000, 0);
  const bool lines = info.LoadDebugInfo(path);
  if (!lines && (info.UnitCount() != 0 || info.RoutineCount() != 0)) std::abort();
  for (uintptr_t offset : {uintptr_t{0}, uintptr_t{1}, uintptr_t{0x10}, uintptr_t{0x1000},
                           uintptr_t{0xFFFF}, uintptr_t{0x123456}}) {
    const std::string text = info.LocationText(0x400000 + offset);
    if (text.find("Find error:") == std::string::npos) std::abort();
  }
  memdiag::TCallStack stack{};
  stack[0] = 0x400010;
  stack[1] = 0x401000;
  (void)info.CallStackText(stack, "fuzz ");
  return 0;
}
