#include "services/table_grid.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "services/program_texts.h"

namespace services {
namespace {

constexpr int kTemperatures = TPropertyGrid::kRows - 1;
constexpr int kPressures = TPropertyGrid::kColumns - 1;

// Dialog limits of the axes and the limits a pasted axis value is clamped to.
constexpr float kTemperatureInputMax = 1000;
constexpr float kPressureInputMax = 65000;
constexpr float kTemperaturePasteMax = 1200;
constexpr float kPressurePasteMax = 65000;

TGridCell AxisCell(float value, float max) {
  return IntegerCell(static_cast<uint16_t>(std::trunc(std::clamp(value, 0.0f, max))));
}

}  // namespace

TPropertyGrid::TPropertyGrid(int32_t medium, int32_t tag) : medium_(medium), tag_(tag) {}

TTableFileKind TPropertyGrid::FileKind() const {
  if (medium_ == 1) {
    if (tag_ != 0) {
      return {".ETB", "ETB", ProgramText(text_id::kEnthalpyTables) + " (*.ETB *.etb)|*.ETB;*.etb"};
    }
    return {".DTB", "DTB", ProgramText(text_id::kDensityTables) + " (*.DTB *.dtb)|*.DTB;*.dtb"};
  }
  return {".KTB", "KTB",
          ProgramText(text_id::kCompressibilityTables) + " (*.KTB *.ktb)|*.KTB;*.ktb"};
}

TTableCellKind TPropertyGrid::Kind(int column, int row) {
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) {
    throw std::out_of_range("property table cell outside the grid");
  }
  if (row == 0) return column == 0 ? TTableCellKind::kCorner : TTableCellKind::kPressure;
  return column == 0 ? TTableCellKind::kTemperature : TTableCellKind::kValue;
}

const TGridCell& TPropertyGrid::Cell(int column, int row) const {
  return cells_.at(static_cast<size_t>(row)).at(static_cast<size_t>(column));
}

bool TPropertyGrid::HoldsValue(int column, int row) const {
  return Kind(column, row) != TTableCellKind::kCorner;
}

TGridCell& TPropertyGrid::At(int column, int row) {
  return cells_.at(static_cast<size_t>(row)).at(static_cast<size_t>(column));
}

TCellInput TPropertyGrid::InputFor(int column, int row) const {
  TCellInput in;
  const TGridCell& cell = Cell(column, row);
  switch (Kind(column, row)) {
    case TTableCellKind::kTemperature:
      in.integer_only = true;
      in.quantity = 15;  // kelvin, shown as it is
      in.min = row >= 2 ? Cell(0, row - 1).value : 0;
      in.max = kTemperatureInputMax;
      in.value = cell.text.empty() ? in.min : cell.value;
      break;
    case TTableCellKind::kPressure:
      // The axis is in kPa as its heading says; the pressure kind would show it
      // in the display unit and, as a whole number there, cut it ("5" bar for 550).
      in.integer_only = true;
      in.quantity = 255;
      in.min = column >= 2 ? Cell(column - 1, 0).value : 0;
      in.max = kPressureInputMax;
      in.value = cell.text.empty() ? in.min : cell.value;
      break;
    case TTableCellKind::kValue:
      in.quantity = 255;
      in.min = 0;
      in.max = medium_ != 1 ? 1000 : tag_ != 0 ? 5000 : 1500;
      in.value = cell.value;
      break;
    case TTableCellKind::kCorner:
      throw std::invalid_argument("the corner cell has no value");
  }
  return in;
}

std::pair<int, int> TPropertyGrid::NextEntryCell(int column, int row) {
  if (row + 1 < kRows) return {column, row + 1};
  return {column + 1 < kColumns ? column + 1 : 1, 1};
}

bool TPropertyGrid::Enter(int column, int row, float value) {
  if (!std::isfinite(value)) return false;
  switch (Kind(column, row)) {
    case TTableCellKind::kTemperature:
    case TTableCellKind::kPressure:
      return Put(At(column, row), AxisCell(value, 65535));
    case TTableCellKind::kValue:
      return Put(At(column, row), EnteredValueCell(value));
    case TTableCellKind::kCorner:
      break;
  }
  return false;
}

TPasteResult TPropertyGrid::Paste(int column, int row, std::string_view text) {
  const TTableCellKind kind = Kind(column, row);
  const std::optional<float> v = ParseSingleText(text);
  if (!v || kind == TTableCellKind::kCorner) return TPasteResult::kRefused;
  TGridCell cell;
  if (kind == TTableCellKind::kTemperature) {
    cell = AxisCell(*v, kTemperaturePasteMax);
  } else if (kind == TTableCellKind::kPressure) {
    cell = AxisCell(*v, kPressurePasteMax);
  } else {
    cell = EnteredValueCell(*v);
  }
  return Put(At(column, row), std::move(cell)) ? TPasteResult::kChanged : TPasteResult::kUnchanged;
}

bool TPropertyGrid::Delete(int column, int row) {
  if (Kind(column, row) == TTableCellKind::kCorner) return false;
  return Put(At(column, row), ValueCell(0));
}

void TPropertyGrid::New() {
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      if (Kind(column, row) != TTableCellKind::kCorner) At(column, row) = ValueCell(0);
    }
  }
  FileName.clear();
  ChangedSinceTransfer = false;
  ChangedSinceSave = false;
}

void TPropertyGrid::Receive(const devicelink::TPropertyTable& table) {
  for (int i = 0; i < kPressures; ++i) At(i + 1, 0) = IntegerCell(table.Pressures.at(i));
  for (int j = 0; j < kTemperatures; ++j) {
    At(0, j + 1) = IntegerCell(table.Temperatures.at(j));
    for (int i = 0; i < kPressures; ++i) At(i + 1, j + 1) = ValueCell(table.Values.at(j).at(i));
  }
  ChangedSinceTransfer = false;
}

void TPropertyGrid::ToTable(devicelink::TPropertyTable& table) const {
  // Axis cells only ever hold whole numbers 0..65535.
  const auto axis = [](const TGridCell& c) { return static_cast<uint16_t>(c.value); };
  for (int i = 0; i < kPressures; ++i) table.Pressures.at(i) = axis(Cell(i + 1, 0));
  for (int j = 0; j < kTemperatures; ++j) {
    table.Temperatures.at(j) = axis(Cell(0, j + 1));
    for (int i = 0; i < kPressures; ++i) table.Values.at(j).at(i) = Cell(i + 1, j + 1).value;
  }
}

void TPropertyGrid::LoadFile(const std::string& path) {
  cells_ = ReadPropertyTableFile(path);
  Loaded(path);
}

void TPropertyGrid::SaveFile(const std::string& path) {
  WritePropertyTableFile(path, cells_);
  Saved(path);
}

}  // namespace services
