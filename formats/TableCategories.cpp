// Category look-ups of the table formats on the category list in force.
#include "formats/TableCategories.h"

#include "core/RecordStore.h"

#include <cctype>

namespace vltrx {

namespace {

bool equalFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

class ActiveTableCategories : public TableCategories {
 public:
  void idsFromNames(std::string_view names, CategorySet& set) override {
    // Names are split at commas; blanks and commas before a name are skipped.
    size_t i = 0;
    while (i < names.size()) {
      while (i < names.size() && (names[i] == ' ' || names[i] == ',')) ++i;
      if (i >= names.size()) break;
      size_t end = names.find(',', i);
      if (end == std::string_view::npos) end = names.size();
      std::string_view name = names.substr(i, end - i);
      i = end;
      CategoryListView list = currentCategoryList();
      for (uint32_t k = 0; k < list.count; ++k) {
        const CategoryEntry& e = list[k];
        if (!e.isFolder() && equalFolded(e.nameView(), name)) {
          insertCategory(set, e.id);
          break;
        }
      }
    }
  }

  bool nameOf(uint16_t id, std::string& name) override {
    CategoryListView list = currentCategoryList();
    for (uint32_t k = 0; k < list.count; ++k) {
      const CategoryEntry& e = list[k];
      if (!e.isFolder() && e.id == id) {
        name.assign(e.nameView());
        return true;
      }
    }
    return false;
  }
};

}  // namespace

TableCategories& activeTableCategories() {
  static ActiveTableCategories categories;
  return categories;
}

}  // namespace vltrx
