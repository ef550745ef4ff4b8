// The saturation table editor's working copy: 32 rows of temperature,
// pressure, density and enthalpy under a heading row (row 0, no cells).
#pragma once

#include <string>
#include <string_view>

#include "devicelink/device_data.h"
#include "services/sat_table_files.h"
#include "services/table_cells.h"

namespace services {

class TSatGrid : public TTableGrid {
 public:
  static constexpr int kRows = kSatGridRows;
  static constexpr int kColumns = kSatGridColumns;

  // "T[K]", "p[kpa]", "rho[kg/m³]", "h[kJ/kg]".
  static const char* Heading(int column);

  int Rows() const override { return kRows; }
  int Columns() const override { return kColumns; }
  // Rows 1..32.
  const TGridCell& Cell(int column, int row) const override;
  bool HoldsValue(int column, int row) const override;
  const TSatCells& Cells() const { return cells_; }
  // Whether any cell holds a text.
  bool HasContent() const;
  TCellInput InputFor(int column, int row) const override;

  // 7 digits, without limits.
  bool Enter(int column, int row, float value) override;
  TPasteResult Paste(int column, int row, std::string_view text) override;
  bool Delete(int column, int row) override;
  // Every cell empty.
  void New() override;
  // Every cell empty; flags and file name as they are.
  void Clear();

  TTableFileKind FileKind() const override;
  void LoadFile(const std::string& path) override;
  void SaveFile(const std::string& path) override;

  void Receive(const devicelink::TSatTable& table);
  // Empty cells are 0, every other cell its exact value.
  void ToTable(devicelink::TSatTable& table) const;

 private:
  TGridCell& At(int column, int row);

  TSatCells cells_{};
};

}  // namespace services
