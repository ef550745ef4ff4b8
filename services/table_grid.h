// The property table editor's working copy: the 19 x 15 grid of one of the
// device's two property tables (axes and values), and the table and medium it
// belongs to, so that it never goes to another table or file type.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "devicelink/device_data.h"
#include "services/table_cells.h"
#include "services/table_files.h"

namespace services {

enum class TTableCellKind { kCorner, kTemperature, kPressure, kValue };

class TPropertyGrid : public TTableGrid {
 public:
  static constexpr int kRows = kPropertyGridRows;
  static constexpr int kColumns = kPropertyGridColumns;

  // An empty grid of table `tag` of a device of that medium (0 gas, 1 steam).
  explicit TPropertyGrid(int32_t medium = 0, int32_t tag = 0);

  int32_t Medium() const { return medium_; }
  int32_t Tag() const { return tag_; }
  // Whether the grid holds that table (so opening for it keeps the grid).
  bool IsFor(int32_t medium, int32_t tag) const { return medium == medium_ && tag == tag_; }

  // Throws std::out_of_range outside the grid.
  static TTableCellKind Kind(int column, int row);
  // Continuous entry goes down a column, then to row 1 of the next, then back
  // to column 1.
  static std::pair<int, int> NextEntryCell(int column, int row);

  int Rows() const override { return kRows; }
  int Columns() const override { return kColumns; }
  const TGridCell& Cell(int column, int row) const override;
  bool HoldsValue(int column, int row) const override;
  const TPropertyCells& Cells() const { return cells_; }
  TCellInput InputFor(int column, int row) const override;

  // An axis cell takes the integer part, a table value 7 digits.
  bool Enter(int column, int row, float value) override;
  // Axis cells are clamped (temperatures 0..1200, pressures 0..65000) and take
  // the integer part; table values are taken as they are.
  TPasteResult Paste(int column, int row, std::string_view text) override;
  bool Delete(int column, int row) override;
  // Every axis and table cell "0".
  void New() override;

  TTableFileKind FileKind() const override;
  void LoadFile(const std::string& path) override;
  void SaveFile(const std::string& path) override;

  // The device's table shown; the grid then matches the device.
  void Receive(const devicelink::TPropertyTable& table);
  // The grid as the device gets it: empty cells are 0, every other cell its
  // exact value.
  void ToTable(devicelink::TPropertyTable& table) const;

 private:
  TGridCell& At(int column, int row);

  int32_t medium_;
  int32_t tag_;
  TPropertyCells cells_{};
};

}  // namespace services
