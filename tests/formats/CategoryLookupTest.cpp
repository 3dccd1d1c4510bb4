// Cached category look-up: each field's bytes are decoded and looked up
// once, long fields and a full cache still resolve, single names keep
// their commas.
#include "formats/CategoryLookup.h"
#include "formats/TableCategories.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vltrx {
namespace {

// Names to ids 1, 2, 3 ... in order of first appearance; counts the calls.
class CountingCategories : public TableCategories {
 public:
  void idsFromNames(std::string_view names, CategorySet& set) override {
    ++listCalls;
    lastNames.assign(names);
    size_t start = 0;
    while (start <= names.size()) {
      size_t comma = names.find(',', start);
      if (comma == std::string_view::npos) comma = names.size();
      std::string_view name = names.substr(start, comma - start);
      while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
      if (!name.empty()) insertCategory(set, idFor(name));
      start = comma + 1;
    }
  }
  uint16_t idOfName(std::string_view name) override {
    ++nameCalls;
    return idFor(name);
  }
  bool nameOf(uint16_t, std::string&) override { return false; }

  uint16_t idFor(std::string_view name) {
    auto [it, added] = ids.emplace(std::string(name), static_cast<uint16_t>(ids.size() + 1));
    return it->second;
  }

  std::map<std::string, uint16_t> ids;
  std::string lastNames;
  int listCalls = 0;
  int nameCalls = 0;
};

TEST(CategoryLookup, ListsAreLookedUpOncePerField) {
  CountingCategories categories;
  CategoryLookup lookup(categories, 1252);
  CategorySet set;
  lookup.idsOfNames("Wall, Kerb", set);
  EXPECT_EQ(set, (CategorySet{1, 2}));
  lookup.idsOfNames("Kerb", set);
  EXPECT_EQ(set, (CategorySet{2}));
  for (int i = 0; i < 100; ++i) lookup.idsOfNames("Wall, Kerb", set);
  EXPECT_EQ(set, (CategorySet{1, 2}));
  EXPECT_EQ(categories.listCalls, 2);
  // Bytes in the file's code page reach the category list as UTF-8.
  lookup.idsOfNames("Stra\xdf" "e", set);
  EXPECT_EQ(categories.lastNames, "Straße");
}

TEST(CategoryLookup, LongFieldsAndAFullCacheStillResolve) {
  CountingCategories categories;
  CategoryLookup lookup(categories, 0);
  CategorySet set;
  const std::string longField(CategoryLookup::kCacheFieldMax + 1, 'L');
  lookup.idsOfNames(longField, set);
  lookup.idsOfNames(longField, set);
  EXPECT_EQ(set, (CategorySet{1}));
  EXPECT_EQ(categories.listCalls, 2);  // never cached

  for (size_t i = 0; i < CategoryLookup::kCacheLimit + 10; ++i) lookup.idsOfNames("C" + std::to_string(i), set);
  const int calls = categories.listCalls;
  lookup.idsOfNames("C0", set);  // cached before the cache was full
  EXPECT_EQ(categories.listCalls, calls);
  lookup.idsOfNames("C" + std::to_string(CategoryLookup::kCacheLimit + 5), set);  // after: looked up again
  EXPECT_EQ(categories.listCalls, calls + 1);
  EXPECT_EQ(set, (CategorySet{static_cast<uint16_t>(CategoryLookup::kCacheLimit + 5 + 2)}));
}

TEST(CategoryLookup, SingleNamesKeepTheirCommas) {
  CountingCategories categories;
  CategoryLookup lookup(categories, 0);
  EXPECT_EQ(lookup.idOfName("Layer A,B"), 1);
  EXPECT_EQ(lookup.idOfName("Layer C"), 2);
  EXPECT_EQ(lookup.idOfName("Layer A,B"), 1);
  EXPECT_EQ(lookup.idOfName(""), 0);
  EXPECT_EQ(categories.nameCalls, 2);
  EXPECT_EQ(categories.ids.count("Layer A,B"), 1u);
}

}  // namespace
}  // namespace vltrx
