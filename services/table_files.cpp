#include "services/table_files.h"

#include "platform/ini_file.h"

namespace services {
namespace {

const char* const kTemperatureSection = "Temperatur";
const char* const kPressureSection = "Druck";
const char* const kValueSection = "Werte";

constexpr int kTemperatures = kPropertyGridRows - 1;
constexpr int kPressures = kPropertyGridColumns - 1;

}  // namespace

std::string PropertyValueKey(int temperature, int pressure) {
  return std::to_string(temperature) + " - " + std::to_string(pressure);
}

std::string PropertyTableFileContent(const TPropertyCells& cells) {
  platform::TIniFile ini(std::string(), /*auto_flush=*/false);  // in memory only
  for (int j = 0; j < kTemperatures; ++j) {
    ini.WriteString(kTemperatureSection, std::to_string(j), cells.at(j + 1).at(0).text);
  }
  for (int i = 0; i < kPressures; ++i) {
    ini.WriteString(kPressureSection, std::to_string(i), cells.at(0).at(i + 1).text);
  }
  for (int j = 0; j < kTemperatures; ++j) {
    for (int i = 0; i < kPressures; ++i) {
      ini.WriteString(kValueSection, PropertyValueKey(j, i), cells.at(j + 1).at(i + 1).text);
    }
  }
  return ini.FileContent();
}

void WritePropertyTableFile(const std::string& path, const TPropertyCells& cells) {
  platform::WriteFileAtomically(path, PropertyTableFileContent(cells),
                                platform::FileKind::kTableFile);
}

TPropertyCells ReadPropertyTableFile(const std::string& path) {
  const platform::TIniFile ini = ReadTableIniFile(path);
  if (!ini.SectionExists(kTemperatureSection) && !ini.SectionExists(kPressureSection) &&
      !ini.SectionExists(kValueSection)) {
    throw TTableFileError(TTableFileError::Kind::kNoTable, path);
  }
  TPropertyCells cells;
  for (int j = 0; j < kTemperatures; ++j) {
    cells.at(j + 1).at(0) = ReadAxisCell(ini, kTemperatureSection, std::to_string(j), "0");
  }
  for (int i = 0; i < kPressures; ++i) {
    cells.at(0).at(i + 1) = ReadAxisCell(ini, kPressureSection, std::to_string(i), "0");
  }
  for (int j = 0; j < kTemperatures; ++j) {
    for (int i = 0; i < kPressures; ++i) {
      cells.at(j + 1).at(i + 1) = ReadValueCell(ini, kValueSection, PropertyValueKey(j, i), "0");
    }
  }
  return cells;
}

}  // namespace services
