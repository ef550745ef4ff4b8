// What the user units page computes, without widgets: the unit choices of a
// quantity kind and how many columns their group takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// The unit texts of kind 0..9 valid for the medium, in variant order (item
// index = variant).
std::vector<std::string> UnitChoices(uint8_t kind, int medium);
// One column up to 4 choices, 2 up to 8, 3 up to 12, ...
int UnitChoiceColumns(long long count);

}  // namespace ui
