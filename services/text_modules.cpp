#include "services/text_modules.h"

#include <charconv>
#include <map>
#include <optional>
#include <sstream>

#include "platform/file_limits.h"
#include "platform/text_encoding.h"
#include "services/app_state.h"
#include "services/file_messages.h"

namespace services {

const std::array<std::array<const char*, 2>, 2> TextModuleNames = {{
    {{"Ltx1de.txt", "Ltx1en.txt"}},
    {{"Ltx2de.txt", "Ltx2en.txt"}},
}};

std::string ProgramFolder;

namespace {

// The system hands out at most 254 characters of a string.
constexpr size_t kMaxChars = 254;

using Module = std::map<uint16_t, std::string>;

bool IsTrimmed(unsigned char c) { return c <= ' ' || c == 0x7F; }

std::string Unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'n' || s[i + 1] == '\\')) {
      out += s[i + 1] == 'n' ? '\n' : '\\';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string Clean(std::string text) {
  // At most kMaxChars characters, then blanks and control characters off both ends.
  size_t pos = 0;
  for (size_t chars = 0; pos < text.size() && chars < kMaxChars; ++chars) {
    char32_t cp;
    pos += platform::DecodeUtf8Char(text, pos, &cp);
  }
  text.resize(pos);
  size_t begin = 0;
  while (begin < text.size() && IsTrimmed(static_cast<unsigned char>(text[begin]))) ++begin;
  size_t end = text.size();
  while (end > begin && IsTrimmed(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::string ModulePath() {
  if (Medium < 0 || Medium > 1 || Language < 0 || Language > 1) return {};
  return ProgramFolder + TextModuleNames[Medium][Language];
}

std::optional<Module> LoadModule() {
  const std::string path = ModulePath();
  if (path.empty()) return std::nullopt;
  // A module that is no regular file or far larger than any text module is none:
  // it counts as missing, which start-up reports, and is not read on every text
  // looked up. No message is built here: its texts would come from this module.
  std::optional<std::string> bytes;
  try {
    bytes = platform::ReadFileIfExists(path, platform::FileKind::kTextModule);
  } catch (const platform::FileError&) {
    return std::nullopt;
  }
  if (!bytes) return std::nullopt;
  std::string text = platform::DecodeTextFile(*bytes);

  Module module;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    unsigned id = 0;
    auto [ptr, ec] = std::from_chars(line.data(), line.data() + eq, id);
    if (ec != std::errc() || ptr != line.data() + eq || id > 0xFFFF) continue;
    // An empty string is no string, as with the system's string tables.
    std::string raw = Unescape(std::string_view(line).substr(eq + 1));
    if (raw.empty()) continue;
    module.emplace(static_cast<uint16_t>(id), Clean(std::move(raw)));
  }
  return module;
}

}  // namespace

std::string GetText(uint16_t id) {
  std::optional<Module> module = LoadModule();
  if (!module) return {};
  auto it = module->find(id);
  return it == module->end() ? std::string() : it->second;
}

bool GetTextBlock(uint16_t base, uint8_t minLength, TextBlock& items) {
  for (auto& item : items) item.clear();
  std::optional<Module> module = LoadModule();
  if (!module) return false;
  bool found = false;
  for (unsigned i = 0; i < items.size(); ++i) {
    if (base + i > 0xFFFF) break;
    auto it = module->find(static_cast<uint16_t>(base + i));
    if (it == module->end()) break;
    found = true;
    items[i] = platform::PadRightChars(it->second, minLength);
  }
  return found;
}

std::string TextModuleProblem() {
  const std::string path = ModulePath();
  if (path.empty()) return {};
  try {
    (void)platform::ReadFileIfExists(path, platform::FileKind::kTextModule);
  } catch (const platform::FileError& e) {
    return FileErrorText(e);
  }
  return {};
}

std::string MissingModuleMessage() {
  const std::string problem = TextModuleProblem();
  return problem.empty() ? std::string(kMissingModuleText)
                         : std::string(kMissingModuleText) + "\n\n" + problem;
}

std::vector<std::string> ListFrom(const TextBlock& t, size_t first) {
  std::vector<std::string> list;
  for (size_t i = first; i < t.size() && !t[i].empty(); ++i) list.push_back(t[i]);
  return list;
}

}  // namespace services
