#include "ui/pages/units_rules.h"

#include "services/unit_tables.h"

namespace ui {

std::vector<std::string> UnitChoices(uint8_t kind, int medium) {
  std::vector<std::string> units;
  for (const services::TUnitRow& row : services::UserUnitTable) {
    const bool medium_ok = row.Medium == services::kBothMedia || row.Medium == medium;
    if (!medium_ok || row.Kind != kind) continue;
    const size_t first = row.Text.find_first_not_of(' ');
    const size_t last = row.Text.find_last_not_of(' ');
    units.push_back(first == std::string::npos ? std::string()
                                               : row.Text.substr(first, last - first + 1));
  }
  return units;
}

int UnitChoiceColumns(long long count) {
  return static_cast<int>(static_cast<double>(count) / 4.1) + 1;
}

}  // namespace ui
