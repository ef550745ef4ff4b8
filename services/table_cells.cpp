#include "services/table_cells.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/file_limits.h"
#include "platform/text_encoding.h"
#include "services/param_ini_file.h"

namespace services {
namespace {

std::string_view TrimSpace(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::string KindText(TTableFileError::Kind kind) {
  switch (kind) {
    case TTableFileError::Kind::kNoTable:
      return "holds no table of this kind";
    case TTableFileError::Kind::kNotANumber:
      return "value is not a number";
    case TTableFileError::Kind::kOutOfRange:
      return "value out of range";
    case TTableFileError::Kind::kNotWhole:
      return "value is not a whole number";
  }
  return {};
}

std::string ErrorText(TTableFileError::Kind kind, const std::string& file,
                      const std::string& section, const std::string& key,
                      const std::string& value) {
  std::string text = "Table file \"" + file + "\"";
  if (!section.empty()) text += " [" + section + "] " + key + "=" + platform::QuotedExcerpt(value);
  return text + ": " + KindText(kind);
}

// Within the single's range: not beyond its largest value, and not so small that
// it would silently become 0.
bool FitsSingle(double v) {
  return std::fabs(v) <= FLT_MAX && (v == 0 || static_cast<float>(v) != 0);
}

}  // namespace

TGridCell ValueCell(float value) {
  return {FloatToGeneral7(value), value};
}

TGridCell IntegerCell(uint16_t value) {
  return {std::to_string(value), static_cast<float>(value)};
}

TGridCell EnteredValueCell(float value) {
  const std::string text = ValueCell(value).text;
  return {text, ParseSingleText(text).value_or(value)};
}

bool TTableGrid::Put(TGridCell& target, TGridCell cell) {
  if (target.text == cell.text) return false;  // keeps the exact value it has
  target = std::move(cell);
  ChangedSinceTransfer = true;
  ChangedSinceSave = true;
  return true;
}

void TTableGrid::Loaded(const std::string& path) {
  FileName = path;
  ChangedSinceSave = false;
  ChangedSinceTransfer = true;
}

void TTableGrid::Saved(const std::string& path) {
  FileName = path;
  ChangedSinceSave = false;
}

std::optional<float> ParseSingleText(std::string_view text) {
  double v = 0;
  if (!ParseParameterNumber(TrimSpace(text), &v) || !FitsSingle(v)) return std::nullopt;
  return static_cast<float>(v);
}

TTableFileError::TTableFileError(Kind kind, std::string file, std::string section, std::string key,
                                 std::string value)
    : std::runtime_error(ErrorText(kind, file, section, key, value)),
      kind_(kind),
      file_(std::move(file)),
      section_(std::move(section)),
      key_(std::move(key)),
      value_(std::move(value)) {}

namespace {

// The value of the key as a number; nullopt for an empty value.
std::optional<double> ReadNumber(const platform::TIniFile& ini, const std::string& section,
                                 const std::string& key, std::string_view missing) {
  const std::string text = ini.ReadString(section, key, missing);
  if (text.empty()) return std::nullopt;
  double v = 0;
  if (!ParseParameterNumber(text, &v)) {
    throw TTableFileError(TTableFileError::Kind::kNotANumber, ini.FileName(), section, key, text);
  }
  return v;
}

}  // namespace

platform::TIniFile ReadTableIniFile(const std::string& path) {
  platform::CheckFileExists(path, platform::FileKind::kTableFile);
  return platform::TIniFile(path, /*auto_flush=*/false, platform::FileKind::kTableFile);
}

TGridCell ReadValueCell(const platform::TIniFile& ini, const std::string& section,
                        const std::string& key, std::string_view missing) {
  // A cell the device held as no number (unprogrammed memory) is saved as the
  // grid shows it; a saved table must load back.
  if (const std::optional<float> special = SingleNonNumber(ini.ReadString(section, key, missing)))
    return ValueCell(*special);
  const std::optional<double> v = ReadNumber(ini, section, key, missing);
  if (!v) return {};
  if (!FitsSingle(*v)) {
    throw TTableFileError(TTableFileError::Kind::kOutOfRange, ini.FileName(), section, key,
                          ini.ReadString(section, key, missing));
  }
  return ValueCell(static_cast<float>(*v));
}

TGridCell ReadAxisCell(const platform::TIniFile& ini, const std::string& section,
                       const std::string& key, std::string_view missing) {
  const std::optional<double> v = ReadNumber(ini, section, key, missing);
  if (!v) return {};
  const auto fail = [&](TTableFileError::Kind kind) {
    throw TTableFileError(kind, ini.FileName(), section, key,
                          ini.ReadString(section, key, missing));
  };
  if (*v < 0 || *v > 65535) fail(TTableFileError::Kind::kOutOfRange);
  if (std::trunc(*v) != *v) fail(TTableFileError::Kind::kNotWhole);
  return IntegerCell(static_cast<uint16_t>(*v));
}

}  // namespace services
