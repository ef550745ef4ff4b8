// The text-module reader on any file: a string comes out trimmed, at most 254
// characters long and valid UTF-8; a block's items are padded to the width asked.
// The first two input bytes are the string id, the third the width, the rest the
// module.
#include <cstdlib>
#include <string>

#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/text_modules.h"
#include "tests/fuzz/fuzz_files.h"

namespace {

size_t Characters(const std::string& text) {
  size_t n = 0;
  for (size_t pos = 0; pos < text.size(); ++n) {
    char32_t cp;
    pos += platform::DecodeUtf8Char(text, pos, &cp);
  }
  return n;
}

void CheckString(const std::string& text) {
  if (Characters(text) > 254) std::abort();
  if (!platform::IsValidUtf8(text)) std::abort();
  if (!text.empty()) {
    const auto first = static_cast<unsigned char>(text.front());
    const auto last = static_cast<unsigned char>(text.back());
    if (first <= ' ' || first == 0x7F || last <= ' ' || last == 0x7F) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  services::ProgramFolder = fuzz::Folder() + "/";
  services::Medium = 0;
  services::Language = 0;
  fuzz::WriteFile(services::ProgramFolder + services::TextModuleNames[0][0], data + 3, size - 3);
  const uint16_t id = static_cast<uint16_t>(data[0] << 8 | data[1]);
  const uint8_t width = data[2];

  CheckString(services::GetText(id));
  CheckString(services::GetText(0));
  services::TextBlock block;
  const bool found = services::GetTextBlock(id, width, block);
  for (const std::string& item : block) {
    if (!found && !item.empty()) std::abort();
    if (!item.empty() && Characters(item) < width) std::abort();
  }
  return 0;
}
