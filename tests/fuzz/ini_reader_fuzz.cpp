// The ini reader on any bytes: every section and key it finds reads back, and
// the content it would write parses to the same sections and values.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "tests/fuzz/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::Folder() + "/input.ini";
  fuzz::WriteFile(path, data, size);
  platform::TIniFile ini(path, /*auto_flush=*/false);
  std::vector<std::vector<std::string>> values;
  const std::vector<std::string> sections = ini.ReadSections();
  for (const std::string& section : sections) {
    if (!ini.SectionExists(section)) std::abort();
    values.emplace_back();
    for (const std::string& key : ini.ReadSection(section)) {
      if (!ini.ValueExists(section, key)) std::abort();
      values.back().push_back(ini.ReadString(section, key, "\x01missing"));
      (void)ini.ReadInteger(section, key, 0);
    }
  }

  // What it writes reads as what it held. Characters that Windows-1252 lacks
  // become "?", which may make two names one; plain ASCII comes back exactly.
  // (Text that begins with the characters of a byte-order mark, "ï»¿" in
  // Windows-1252, is written as those bytes and then read as a mark: left out.)
  const std::string written = ini.FileContent();
  fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(written.data()), written.size());
  platform::TIniFile again(path, false);
  const std::vector<std::string> sections_again = again.ReadSections();
  const bool mark = written.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (!mark && sections_again.size() > sections.size()) std::abort();
  bool ascii = true;
  for (size_t i = 0; i < size; ++i) ascii = ascii && data[i] >= 0x01 && data[i] < 0x80;
  if (ascii) {
    if (sections_again != sections) std::abort();
    for (size_t s = 0; s < sections.size(); ++s) {
      const std::vector<std::string> keys = ini.ReadSection(sections[s]);
      for (size_t k = 0; k < keys.size(); ++k) {
        if (again.ReadString(sections[s], keys[k], "\x01missing") != values[s][k]) std::abort();
      }
    }
  }

  // Changes keep the file readable.
  ini.WriteString("Fuzz", "key", "value");
  if (!sections.empty()) {
    ini.WriteString(sections.front(), "added", "1");
    ini.EraseSection(sections.back());
  }
  (void)ini.FileContent();
  if (ini.ReadString("Fuzz", "key", "") != "value") std::abort();
  return 0;
}
