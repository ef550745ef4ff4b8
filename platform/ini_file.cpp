#include "platform/ini_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/text_encoding.h"

namespace platform {
namespace {

constexpr size_t npos = std::string::npos;

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Simple case folding: enough for the names an ini file of this program holds.
char32_t FoldChar(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;  // Latin-1 letters, not "×"
  if (c < 0x100) return c;
  if (c <= 0x17F) {  // Latin Extended-A: pairs of upper and lower case
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) return c;
    if (c == 0x178) return 0xFF;
    const bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (c % 2 == (odd_upper ? 1u : 0u)) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c == 0x1E9E) return 0xDF;  // capital sharp s
  return c;
}

std::string Fold(std::string_view name) {
  name = Trim(name);
  // Nearly every name is ASCII: its ASCII start is folded by table, undecoded.
  static constexpr auto kLower = [] {
    std::array<char, 128> table{};
    for (int c = 0; c < 128; ++c) table[c] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return table;
  }();
  std::string out(name.size(), '\0');
  size_t pos = 0;
  for (; pos < name.size(); ++pos) {
    const auto byte = static_cast<unsigned char>(name[pos]);
    if (byte >= 0x80) break;
    out[pos] = kLower[byte];
  }
  out.resize(pos);
  while (pos < name.size()) {
    char32_t cp;
    const size_t len = DecodeUtf8Char(name, pos, &cp);
    if (cp == kInvalidChar) {
      out += name[pos];
    } else {
      AppendUtf8(out, FoldChar(cp));
    }
    pos += len;
  }
  return out;
}

// A line break inside a value or name would change the file's structure.
std::string OneLine(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

TIniFile::TIniFile(std::string file_name, bool auto_flush, FileKind kind)
    : file_name_(std::move(file_name)), auto_flush_(auto_flush), kind_(kind) {
  if (file_name_.empty()) return;  // in memory only
  if (const std::optional<std::string> bytes = ReadFileIfExists(file_name_, kind_)) {
    Parse(DecodeTextFile(*bytes));
  }
}

TIniFile::TIniFile(std::string file_name, FileKind kind, std::string_view content)
    : file_name_(std::move(file_name)), auto_flush_(false), kind_(kind) {
  Parse(DecodeTextFile(content));
}

namespace {

// FNV-1a: one pass over the bytes, so that a name given in two parts hashes as
// the joined text.
constexpr uint64_t kHashStart = 14695981039346656037ull;
uint64_t HashBytes(uint64_t h, std::string_view bytes) {
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

}  // namespace

size_t TIniFile::NameHash::operator()(std::string_view name) const {
  return static_cast<size_t>(HashBytes(kHashStart, name));
}

size_t TIniFile::NameHash::operator()(const KeyRef& ref) const {
  const uint64_t section = HashBytes(HashBytes(kHashStart, ref.section), "\n");
  return static_cast<size_t>(HashBytes(section, ref.key));
}

bool TIniFile::NameEqual::operator()(const KeyRef& ref, std::string_view joined) const {
  return joined.size() == ref.section.size() + 1 + ref.key.size() &&
         joined.compare(0, ref.section.size(), ref.section) == 0 &&
         joined[ref.section.size()] == '\n' &&
         joined.compare(ref.section.size() + 1, npos, ref.key) == 0;
}

void TIniFile::Parse(std::string_view text) {
  lines_.clear();
  index_valid_ = false;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view raw = text.substr(0, nl);
    text.remove_prefix(nl == npos ? text.size() : nl + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

    const std::string_view t = Trim(raw);
    Kind kind = Kind::kOther;
    std::string_view name;
    std::string_view value;
    if (!t.empty() && t.front() == '[') {
      if (const size_t close = t.find(']'); close != npos) {
        kind = Kind::kSection;
        name = Trim(t.substr(1, close - 1));
      }
    }
    if (kind == Kind::kOther && !t.empty() && t.front() != ';') {
      if (const size_t eq = t.find('='); eq != npos && !Trim(t.substr(0, eq)).empty()) {
        kind = Kind::kKey;
        name = Trim(t.substr(0, eq));
        value = Trim(t.substr(eq + 1));
      }
    }
    if (kind == Kind::kOther && !lines_.empty() && lines_.back().kind == Kind::kOther) {
      // A run of lines that are never read is kept as one entry: a file of
      // millions of blank or comment lines would otherwise take seconds and
      // hundreds of megabytes. It is written back as it was.
      lines_.back().text += "\r\n";
      lines_.back().text += raw;
      continue;
    }
    Line& line = lines_.emplace_back();
    line.kind = kind;
    line.text = raw;
    line.name = name;
    line.folded = Fold(name);
    line.value = value;
  }
}

void TIniFile::BuildIndex() const {
  index_ = {};
  const std::string* section = nullptr;  // folded name of the current first section
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kSection) {
      index_.headers.push_back(i);
      const bool first = index_.sections.emplace(line.folded, i).second;
      section = first ? &line.folded : nullptr;
    } else if (line.kind == Kind::kKey && section != nullptr) {
      index_.keys.emplace(*section + '\n' + line.folded, i);  // the first one counts
    }
  }
  index_valid_ = true;
}

void TIniFile::Inserted(size_t at) {
  if (!index_valid_) return;
  // A line added at the end moves no other line: nothing to shift (the common
  // case when a file is written key by key).
  if (at + 1 != lines_.size()) {
    const auto shift = [at](size_t& i) {
      if (i >= at) ++i;
    };
    for (auto& [name, i] : index_.sections) shift(i);
    for (auto& [name, i] : index_.keys) shift(i);
    for (size_t& i : index_.headers) shift(i);
  }
  const Line& line = lines_[at];
  if (line.kind == Kind::kSection) {
    index_.headers.insert(std::upper_bound(index_.headers.begin(), index_.headers.end(), at), at);
    index_.sections.emplace(line.folded, at);
    return;
  }
  // A key line: indexed when it is in the first section of its name.
  const auto next = std::upper_bound(index_.headers.begin(), index_.headers.end(), at);
  if (next == index_.headers.begin()) return;
  const Line& header = lines_[*(next - 1)];
  if (index_.sections.at(header.folded) != *(next - 1)) return;
  const auto [it, added] = index_.keys.emplace(header.folded + '\n' + line.folded, at);
  if (!added && at < it->second) it->second = at;
}

TIniFile::Range TIniFile::FindSection(std::string_view folded_section) const {
  if (!index_valid_) BuildIndex();
  const auto it = index_.sections.find(folded_section);
  if (it == index_.sections.end()) return {npos, npos};
  const size_t i = it->second;
  const auto next = std::upper_bound(index_.headers.begin(), index_.headers.end(), i);
  return {i, next == index_.headers.end() ? lines_.size() : *next};
}

size_t TIniFile::FindKey(const Range& range, std::string_view folded_key) const {
  if (range.header == npos) return npos;
  if (!index_valid_) BuildIndex();
  const auto it = index_.keys.find(KeyRef{lines_[range.header].folded, folded_key});
  return it == index_.keys.end() ? npos : it->second;
}

void TIniFile::Changed() {
  modified_ = true;
  if (auto_flush_) UpdateFile();
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view default_value) const {
  const size_t i = FindKey(FindSection(Fold(section)), Fold(key));
  return i == npos ? std::string(default_value) : lines_[i].value;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t default_value) const {
  const size_t i = FindKey(FindSection(Fold(section)), Fold(key));
  if (i == npos) return default_value;
  std::string_view s = lines_[i].value;
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return default_value;
  }
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return default_value;
  return value;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string s = OneLine(Trim(section));
  const std::string k = OneLine(Trim(key));
  if (k.empty() || k.front() == '[' || k.front() == ';' || k.find('=') != npos ||
      s.find(']') != npos) {
    throw std::invalid_argument("Ini key or section name not writable: [" + s + "] " + k);
  }
  const std::string v = OneLine(value);
  const Range range = FindSection(Fold(s));
  if (range.header == npos) {
    Line header;
    header.kind = Kind::kSection;
    header.text = "[" + s + "]";
    header.name = s;
    header.folded = Fold(s);
    lines_.push_back(std::move(header));
    Inserted(lines_.size() - 1);
  } else if (const size_t i = FindKey(range, Fold(k)); i != npos) {
    Line& line = lines_[i];
    if (line.value == Trim(v)) return;
    line.text = line.name + "=" + v;
    line.value = std::string(Trim(v));
    Changed();
    return;
  }

  Line line;
  line.kind = Kind::kKey;
  line.text = k + "=" + v;
  line.name = k;
  line.folded = Fold(k);
  line.value = std::string(Trim(v));
  size_t at = lines_.size();
  if (range.header != npos) {
    at = range.header + 1;
    for (size_t i = range.header + 1; i < range.end; ++i) {
      if (lines_[i].kind == Kind::kKey) at = i + 1;
    }
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
  Inserted(at);
  Changed();
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  char buffer[16];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)ec;
  WriteString(section, key, std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

bool TIniFile::SectionExists(std::string_view section) const {
  return FindSection(Fold(section)).header != npos;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindKey(FindSection(Fold(section)), Fold(key)) != npos;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  const Range range = FindSection(Fold(section));
  if (range.header == npos) return keys;
  for (size_t i = range.header + 1; i < range.end; ++i) {
    if (lines_[i].kind == Kind::kKey && FindKey(range, lines_[i].folded) == i) {
      keys.push_back(lines_[i].name);
    }
  }
  return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  if (!index_valid_) BuildIndex();
  for (const size_t i : index_.headers) {
    if (index_.sections.find(lines_[i].folded)->second == i) names.push_back(lines_[i].name);
  }
  return names;
}

void TIniFile::EraseSection(std::string_view section) {
  const std::string folded = Fold(section);
  bool changed = false;
  for (Range r = FindSection(folded); r.header != npos; r = FindSection(folded)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(r.header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(r.end));
    index_valid_ = false;
    changed = true;
  }
  if (changed) Changed();
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  Range range = FindSection(Fold(section));
  const std::string folded = Fold(key);
  bool changed = false;
  for (size_t i = FindKey(range, folded); i != npos; i = FindKey(range, folded)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    index_valid_ = false;
    --range.end;
    changed = true;
  }
  if (changed) Changed();
}

std::string TIniFile::FileContent() const {
  std::string text;
  size_t size = 0;
  for (const Line& line : lines_) size += line.text.size() + 2;
  text.reserve(size);
  for (const Line& line : lines_) {
    text += line.text;
    text += "\r\n";
  }
  return Utf8ToCp1252(text);
}

void TIniFile::UpdateFile() {
  WriteFileAtomically(file_name_, FileContent(), kind_);
  modified_ = false;
}

void TIniFile::SetAutoFlush(bool on) {
  auto_flush_ = on;
  if (on && modified_) UpdateFile();
}

}  // namespace platform
