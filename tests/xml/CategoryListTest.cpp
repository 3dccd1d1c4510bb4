// Tests of category lists: insertion and subtree counts, lookups, built-in
// categories and the category-name parser of the table readers.
#include "xml/CategoryList.h"

#include "core/CError.h"

#include <gtest/gtest.h>

#include <string>

namespace vltrx {
namespace {

class CategoryListTest : public ::testing::Test {
 protected:
  void SetUp() override { resetRecordStore(); }
  void TearDown() override {
    if (list) blockStore().free(list);
    resetRecordStore();
  }
  // A fresh list: root, own folder (1), received folder (2).
  void fresh() { ASSERT_EQ(copyCurrentCategoryList(list), 0); }
  int add(uint32_t parent, const CategoryEntry& e) { return insertEntry(list, parent, e); }
  CategorySpan view() const { return categoryEntries(list); }
  std::string names() const {
    std::string s;
    for (const CategoryEntry& e : view()) {
      s += e.isFolder() ? "[" + std::string(e.nameView()) + ":" + std::to_string(e.subtree) + "]"
                        : std::string(e.nameView());
      s += ' ';
    }
    return s;
  }
  BlockId list = 0;
};

TEST_F(CategoryListTest, InsertGoesAfterParentSubtreeAndRaisesCountsOnPath) {
  fresh();
  int a = add(1, makeFolderEntry("a"));
  ASSERT_EQ(a, 2);
  int b = add(a, makeFolderEntry("b"));
  ASSERT_EQ(add(b, makeCategoryEntry("x", 3)), 4);
  ASSERT_EQ(add(a, makeCategoryEntry("y", 4)), 5);
  ASSERT_EQ(add(2 + 4, makeCategoryEntry("r", 5)), 7);  // received folder moved to 6
  ASSERT_EQ(add(0, makeCategoryEntry("top", 10500)), 8);
  EXPECT_EQ(names(), "[:8] [:4] [a:3] [b:1] x y [:1] r top ");
  EXPECT_EQ(entryDepth(view(), 4), 4);
  EXPECT_EQ(entryDepth(view(), 8), 1);
  EXPECT_EQ(topLevelFolder(view(), 0), 1);
  EXPECT_EQ(topLevelFolder(view(), 1), 6);
  EXPECT_EQ(nextLocalId(view()), 9);

  // Removing a folder takes its subtree and lowers the counts above it.
  ASSERT_EQ(removeEntry(list, 3), 0);
  EXPECT_EQ(names(), "[:6] [:2] [a:1] y [:1] r top ");
  EXPECT_EQ(removeEntry(list, 0), +ErrorCode::InvalidBlockId);
}

TEST_F(CategoryListTest, InsertErrors) {
  fresh();
  int x = add(1, makeCategoryEntry("x", 3));
  EXPECT_EQ(add(uint32_t(x), makeCategoryEntry("below a category", 4)), +ErrorCode::InvalidBlockId);
  EXPECT_EQ(add(99, makeCategoryEntry("outside", 4)), +ErrorCode::InvalidBlockId);
  BlockId none = 0;
  EXPECT_EQ(insertEntry(none, 0, makeCategoryEntry("no list", 4)), +ErrorCode::InvalidBlockId);
  // The root holds 1024 entries at most.
  while (view()[0].subtree < 1024) ASSERT_GE(add(3, makeCategoryEntry("c", nextLocalId(view()))), 0);
  EXPECT_EQ(blockStore().count(list), 1025u);
  EXPECT_EQ(add(3, makeCategoryEntry("one more", 1)), +ErrorCode::CategoryListTooLarge);
  EXPECT_EQ(commitCategoryList(list), 0);
}

TEST_F(CategoryListTest, FindComparesWithinClass) {
  fresh();
  int sub = add(1, makeFolderEntry("Roads"));
  add(sub, makeCategoryEntry("Kerb", 3));
  add(1, makeCategoryEntry("roads", 4));  // a category named like the folder
  add(5, makeCategoryEntry("KERB", 5));
  add(5, makeCategoryEntry("Pid", 10500));
  struct Case {
    const char* what;
    uint32_t parent;
    CategoryEntry probe;
    int expected;
  };
  const Case cases[] = {
      {"folder by name", 0, makeFolderEntry("ROADS"), 2},
      {"local by name in whole subtree", 1, makeCategoryEntry("kerb", 77), 3},
      {"first match in list order", 0, makeCategoryEntry("KERB", 1), 3},
      {"only below parent", 5, makeCategoryEntry("kerb", 1), 6},
      {"local does not match folder", 0, makeCategoryEntry("Roads", 1), 4},
      {"fixed by id, name ignored", 0, makeCategoryEntry("other", 10500), 7},
      {"fixed does not match by name", 0, makeCategoryEntry("Pid", 10501), kNoEntry},
      {"local does not match fixed by name", 0, makeCategoryEntry("Pid", 1), kNoEntry},
  };
  ASSERT_EQ(names(), "[:7] [:3] [Roads:1] Kerb roads [:2] KERB Pid ");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(findEntry(view(), c.parent, c.probe), c.expected);
  }
  EXPECT_EQ(findChildFolder(view(), 1, "roads"), 2);
  EXPECT_EQ(findChildFolder(view(), 0, "roads"), kNoEntry);  // not directly below the root
  EXPECT_EQ(findCategoryByName(view(), "pid"), 7);
  EXPECT_EQ(findCategoryById(view(), 5), 6);
  EXPECT_EQ(findCategoryById(view(), 0), kNoEntry);
  // The same lookup on the list in force, before and after a change.
  EXPECT_EQ(findActiveCategory(5), nullptr);
  ASSERT_EQ(commitCategoryList(list), 0);
  ASSERT_NE(findActiveCategory(5), nullptr);
  EXPECT_EQ(findActiveCategory(5)->nameView(), "KERB");
  EXPECT_EQ(findActiveCategory(0), nullptr);
  add(1, makeCategoryEntry("Pid first", 10500));
  ASSERT_EQ(commitCategoryList(list), 0);
  EXPECT_EQ(findActiveCategory(10500)->nameView(), "Pid first");
}

TEST_F(CategoryListTest, BuiltInCategoriesAreAddedOnceBelowRoot) {
  fresh();
  add(1, makeCategoryEntry("my pid", 10500));
  ASSERT_EQ(addBuiltInCategories(list), 0);
  EXPECT_EQ(names(), "[:9] [:1] my pid [:0] TEXT_L TEXT_R TEXT_Z COORD COMMENT POINTCLOUD ");
  ASSERT_EQ(addBuiltInCategories(list), 0);
  EXPECT_EQ(view().size(), 10u);
  const CategoryEntry& textR = view()[5];
  EXPECT_EQ(textR.id, 10152);
  EXPECT_EQ(textR.colour.red + textR.colour.green + textR.colour.blue, 0);
}

TEST_F(CategoryListTest, NameParserFindsOrCreatesInTextOrder) {
  std::vector<uint16_t> ids;
  EXPECT_TRUE(categoryIdsFromNames(" Wall, kerb,, \tWALL ,Kerb", ids));
  // "WALL " keeps its trailing blank and is a name of its own.
  EXPECT_EQ(ids, (std::vector<uint16_t>{3, 4, 5, 4}));
  CategorySpan active = categoryEntries(currentCategoryList());
  ASSERT_EQ(active.size(), 6u);
  EXPECT_EQ(active[2].subtree, 3u);  // created below the received categories
  EXPECT_EQ(active[3].nameView(), "Wall");
  EXPECT_EQ(active[3].colour.red, 128);
  EXPECT_EQ(active[3].colour.green, 128);
  EXPECT_EQ(active[3].colour.blue, 128);
  EXPECT_TRUE(activeCategoryListContains(5));

  ids.clear();
  EXPECT_TRUE(categoryIdsFromNames("kerb, New", ids, /*firstOnly=*/true));
  EXPECT_EQ(ids, (std::vector<uint16_t>{4}));
  EXPECT_EQ(categoryEntries(currentCategoryList()).size(), 6u);
  EXPECT_FALSE(categoryIdsFromNames(" , ,\t", ids));
  EXPECT_FALSE(categoryIdsFromNames("", ids));
  EXPECT_EQ(ids.size(), 1u);
}

TEST_F(CategoryListTest, NameParserMatchesFixedCategoriesAndCutsLongNames) {
  fresh();
  ASSERT_EQ(addBuiltInCategories(list), 0);
  ASSERT_EQ(commitCategoryList(list), 0);
  EXPECT_EQ(categoryIdForName("pid"), 10500);
  const std::string longName(70, 'n');
  uint16_t id = categoryIdForName(longName);
  EXPECT_EQ(id, 10);
  EXPECT_EQ(categoryIdForName(longName + "more"), id);  // same first 63 bytes
  EXPECT_EQ(categoryEntries(currentCategoryList())[3].nameView(), std::string(63, 'n'));
}

TEST_F(CategoryListTest, NameParserThrowsWhenListIsFull) {
  fresh();
  while (view()[0].subtree < 1024) ASSERT_GE(add(2, makeCategoryEntry("c", nextLocalId(view()))), 0);
  ASSERT_EQ(commitCategoryList(list), 0);
  std::vector<uint16_t> ids;
  try {
    categoryIdsFromNames("c, brand new", ids);
    FAIL() << "no error";
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::CategoryListTooLarge);
  }
  EXPECT_EQ(ids, (std::vector<uint16_t>{3}));
}

}  // namespace
}  // namespace vltrx
