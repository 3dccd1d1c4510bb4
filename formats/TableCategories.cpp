// Category look-ups of the table formats on the category list in force,
// through the shared category-name parser.
#include "formats/TableCategories.h"

#include "xml/CategoryList.h"

#include <vector>

namespace vltrx {

namespace {

class ActiveTableCategories : public TableCategories {
 public:
  void idsFromNames(std::string_view names, CategorySet& set) override {
    m_ids.clear();
    categoryIdsFromNames(names, m_ids);
    for (uint16_t id : m_ids) insertCategory(set, id);
  }

  uint16_t idOfName(std::string_view name) override { return name.empty() ? 0 : categoryIdForName(name); }

  bool nameOf(uint16_t id, std::string& name) override {
    const CategoryEntry* entry = findActiveCategory(id);
    if (!entry) return false;
    name.assign(entry->nameView());
    return true;
  }

 private:
  std::vector<uint16_t> m_ids;
};

}  // namespace

uint16_t TableCategories::idOfName(std::string_view name) {
  CategorySet set;
  if (!name.empty()) idsFromNames(name, set);
  return set.empty() ? 0 : set.front();
}

TableCategories& activeTableCategories() {
  static ActiveTableCategories categories;
  return categories;
}

}  // namespace vltrx
