#include "services/sat_table_files.h"

#include "platform/ini_file.h"
#include "platform/text_encoding.h"

namespace services {

const std::array<const char*, kSatGridColumns> kSatKeys = {"T", "p", "rho", "h"};

std::string SatRowSection(int row) {
  return "Row_" + platform::ZeroPad(row + 1, 2);
}

std::string SatTableFileContent(const TSatCells& cells) {
  platform::TIniFile ini(std::string(), /*auto_flush=*/false);  // in memory only
  for (size_t r = 0; r < cells.size(); ++r) {
    for (size_t c = 0; c < kSatKeys.size(); ++c) {
      ini.WriteString(SatRowSection(static_cast<int>(r)), kSatKeys[c], cells[r][c].text);
    }
  }
  return ini.FileContent();
}

void WriteSatTableFile(const std::string& path, const TSatCells& cells) {
  platform::WriteFileAtomically(path, SatTableFileContent(cells), platform::FileKind::kTableFile);
}

TSatCells ReadSatTableFile(const std::string& path) {
  const platform::TIniFile ini = ReadTableIniFile(path);
  bool any_row = false;
  for (size_t r = 0; r < std::tuple_size_v<TSatCells>; ++r) {
    any_row = any_row || ini.SectionExists(SatRowSection(static_cast<int>(r)));
  }
  if (!any_row) throw TTableFileError(TTableFileError::Kind::kNoTable, path);
  TSatCells cells;
  for (size_t r = 0; r < cells.size(); ++r) {
    for (size_t c = 0; c < kSatKeys.size(); ++c) {
      cells[r][c] = ReadValueCell(ini, SatRowSection(static_cast<int>(r)), kSatKeys[c], "");
    }
  }
  return cells;
}

}  // namespace services
