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

TableCategories& activeTableCategories() {
  static ActiveTableCategories categories;
  return categories;
}

}  // namespace vltrx
