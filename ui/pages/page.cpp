#include "ui/pages/page.h"

#include <stdexcept>

namespace ui {

void TPageTable::Add(TPage* group) {
  for (QWidget* page : group->Pages()) {
    if (Owner(page) != nullptr) throw std::logic_error("a page belongs to two groups");
  }
  groups_.push_back(group);
}

TPage* TPageTable::Owner(QWidget* page) const {
  for (TPage* group : groups_) {
    for (QWidget* p : group->Pages()) {
      if (p == page) return group;
    }
  }
  return nullptr;
}

std::vector<QWidget*> TPageTable::AllPages() const {
  std::vector<QWidget*> pages;
  for (TPage* group : groups_) {
    for (QWidget* p : group->Pages()) pages.push_back(p);
  }
  return pages;
}

}  // namespace ui
