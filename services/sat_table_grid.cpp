#include "services/sat_table_grid.h"

#include <array>
#include <cmath>
#include <stdexcept>

#include "services/program_texts.h"

namespace services {
namespace {

struct ColumnInput {
  const char* heading;
  uint8_t quantity;
  float max;
  bool above_is_min;  // the column rises: the cell above is the least value
};

const std::array<ColumnInput, TSatGrid::kColumns> kColumnInputs = {{
    {"T[K]", 15, 1270, true},
    {"p[kpa]", 1, 65000, true},
    {"rho[kg/m\xC2\xB3]", 2, 3500, true},
    {"h[kJ/kg]", 255, 10000, false},
}};

size_t RowIndex(int row) {
  if (row < 1 || row >= TSatGrid::kRows) throw std::out_of_range("saturation table row");
  return static_cast<size_t>(row - 1);
}

}  // namespace

const char* TSatGrid::Heading(int column) {
  return kColumnInputs.at(static_cast<size_t>(column)).heading;
}

TTableFileKind TSatGrid::FileKind() const {
  return {".STB", "STB", ProgramText(text_id::kSaturationTables) + " (*.STB *.stb)|*.STB;*.stb"};
}

const TGridCell& TSatGrid::Cell(int column, int row) const {
  return cells_.at(RowIndex(row)).at(static_cast<size_t>(column));
}

bool TSatGrid::HoldsValue(int column, int row) const {
  return row >= 1 && row < kRows && column >= 0 && column < kColumns;
}

TGridCell& TSatGrid::At(int column, int row) {
  return cells_.at(RowIndex(row)).at(static_cast<size_t>(column));
}

bool TSatGrid::HasContent() const {
  for (const auto& row : cells_) {
    for (const TGridCell& cell : row) {
      if (!cell.text.empty()) return true;
    }
  }
  return false;
}

TCellInput TSatGrid::InputFor(int column, int row) const {
  const TGridCell& cell = Cell(column, row);
  const ColumnInput& c = kColumnInputs.at(static_cast<size_t>(column));
  TCellInput in;
  in.quantity = c.quantity;
  in.min = c.above_is_min && row >= 2 ? Cell(column, row - 1).value : 0;
  in.max = c.max;
  in.value = cell.value;
  return in;
}

bool TSatGrid::Enter(int column, int row, float value) {
  if (!std::isfinite(value)) return false;
  return Put(At(column, row), EnteredValueCell(value));
}

TPasteResult TSatGrid::Paste(int column, int row, std::string_view text) {
  (void)Cell(column, row);  // range check first
  const std::optional<float> v = ParseSingleText(text);
  if (!v) return TPasteResult::kRefused;
  return Enter(column, row, *v) ? TPasteResult::kChanged : TPasteResult::kUnchanged;
}

bool TSatGrid::Delete(int column, int row) {
  return Put(At(column, row), ValueCell(0));
}

void TSatGrid::Clear() {
  cells_ = {};
}

void TSatGrid::New() {
  Clear();
  FileName.clear();
  ChangedSinceTransfer = false;
  ChangedSinceSave = false;
}

void TSatGrid::Receive(const devicelink::TSatTable& table) {
  for (size_t r = 0; r < cells_.size(); ++r) {
    const devicelink::TSatRow& row = table.at(r);
    cells_[r] = {ValueCell(row.T), ValueCell(row.p), ValueCell(row.rho), ValueCell(row.h)};
  }
  ChangedSinceTransfer = false;
}

void TSatGrid::ToTable(devicelink::TSatTable& table) const {
  for (size_t r = 0; r < cells_.size(); ++r) {
    const auto& c = cells_[r];
    table.at(r) = {c[0].value, c[1].value, c[2].value, c[3].value};
  }
}

void TSatGrid::LoadFile(const std::string& path) {
  cells_ = ReadSatTableFile(path);
  Loaded(path);
}

void TSatGrid::SaveFile(const std::string& path) {
  WriteSatTableFile(path, cells_);
  Saved(path);
}

}  // namespace services
