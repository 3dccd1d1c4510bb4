// Tests of the category store: the folders named in the settings, reading
// folder trees into the list in force, export, import and tidying.
#include "xml/CategoryStore.h"

#include "core/CError.h"
#include "core/Sink.h"
#include "xml/CategoryFile.h"
#include "xml/CategoryXml.h"
#include "xml/XmlWriter.h"

#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vltrx {
namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(VLTRX_TEST_DATA) / "categories";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::string categoryText(const std::string& attrs) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<velmora>\r\n  <category " + attrs + "/>\r\n</velmora>\r\n";
}

class CategoryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRecordStore();
    key = openCategorySettings(true);
    ASSERT_TRUE(key.valid());
  }
  void TearDown() override {
    if (list) blockStore().free(list);
    resetRecordStore();
  }
  fs::path folder(std::string_view value) { return box.root() / "cats" / value; }
  // Points the three values at folders of the sandbox.
  void setFolders() {
    for (std::string_view v : {kMyCategoriesValue, kReceivedCategoriesValue, kStandardCategoriesValue}) {
      fs::create_directories(folder(v));
      ASSERT_TRUE(key.writeString(v, folder(v).string()));
    }
  }
  static std::string names(CategorySpan entries) {
    std::string s;
    for (const CategoryEntry& e : entries) {
      if (e.isFolder())
        s += "[" + std::string(e.nameView()) + ":" + std::to_string(e.subtree) + "] ";
      else
        s += std::string(e.nameView()) + "=" + std::to_string(e.id) + " ";
    }
    return s;
  }
  template <typename Fn>
  static int codeOf(Fn&& fn) {
    try {
      fn();
    } catch (const CError& e) {
      return e.code();
    }
    return 0;
  }

  test::Sandbox box;
  SettingsKey key;
  BlockId list = 0;
};

TEST_F(CategoryStoreTest, FirstStartCreatesFoldersInUserDataFolder) {
  const fs::path mine = box.root() / "elsewhere";
  fs::create_directories(mine);
  ASSERT_TRUE(key.writeString(kMyCategoriesValue, mine.string()));
  EXPECT_TRUE(ensureCategoryFolders(key));
  const fs::path data = box.root() / "data" / "vltrx";
  EXPECT_EQ(categoryFolder(key, kMyCategoriesValue), mine);  // set values stay
  EXPECT_EQ(categoryFolder(key, kReceivedCategoriesValue), data / "ReceivedCategories");
  EXPECT_EQ(categoryFolder(key, kStandardCategoriesValue), data / "StandardCategories");
  EXPECT_TRUE(fs::is_directory(data / "ReceivedCategories"));
  EXPECT_FALSE(fs::exists(data / "MyCategories"));
  // A value naming a folder that is gone is not used.
  fs::remove(mine);
  EXPECT_EQ(categoryFolder(key, kMyCategoriesValue), std::nullopt);
  // The values are in the settings store: a new key sees them.
  SettingsKey again = openCategorySettings();
  EXPECT_EQ(categoryFolder(again, kStandardCategoriesValue), data / "StandardCategories");
}

TEST_F(CategoryStoreTest, LoadsThreeFoldersAndBuiltInCategories) {
  setFolders();
  fs::copy_file(kData / "Kerb.vlcat", folder(kMyCategoriesValue) / "Kerb.vlcat");  // no name attribute
  writeText(folder(kMyCategoriesValue) / "roads" / "Lane.vlcat", categoryText("id=\"17\" name=\"Lane\""));
  writeText(folder(kMyCategoriesValue) / "a.vlcat", categoryText("id=\"12000\" name=\"Fixed\""));
  writeText(folder(kMyCategoriesValue) / "notes.txt", "not a category");
  writeText(folder(kMyCategoriesValue) / "Broken.vlcat", "no root element");
  writeText(folder(kReceivedCategoriesValue) / "Got.vlcat", categoryText("name=\"Got\""));
  writeText(folder(kStandardCategoriesValue) / "Std.vlcat", categoryText("id=\"10500\" name=\"Point id\""));
  loadActiveCategoryList(key);
  CategorySpan active = categoryEntries(currentCategoryList());
  EXPECT_EQ(names(active),
            "[:14] [:4] Fixed=12000 Kerb=4 [roads:1] Lane=6 [:1] Got=7 Point id=10500 "
            "TEXT_L=10150 TEXT_R=10152 TEXT_Z=10151 COORD=10502 COMMENT=10501 POINTCLOUD=10040 ");
  EXPECT_EQ(active[3].colour.blue, 255);
  EXPECT_EQ(active[3].surface, 1u);
  EXPECT_TRUE(activeCategoryListContains(12000));

  // Loading again starts from a fresh list.
  loadActiveCategoryList(key);
  EXPECT_EQ(categoryEntries(currentCategoryList()).size(), active.size());
}

TEST_F(CategoryStoreTest, MissingFoldersGiveOnlyBuiltInCategories) {
  loadActiveCategoryList(key);
  EXPECT_EQ(names(categoryEntries(currentCategoryList())),
            "[:9] [:0] [:0] TEXT_L=10150 TEXT_R=10152 TEXT_Z=10151 PID=10500 COORD=10502 COMMENT=10501 "
            "POINTCLOUD=10040 ");
}

TEST_F(CategoryStoreTest, EleventhFolderLevelFails) {
  setFolders();
  fs::path deep = folder(kMyCategoriesValue);
  for (int level = 2; level <= 10; ++level) deep /= "l" + std::to_string(level);
  writeText(deep / "Ten.vlcat", categoryText("name=\"Ten\""));
  loadActiveCategoryList(key);
  EXPECT_NE(names(categoryEntries(currentCategoryList())).find("Ten="), std::string::npos);

  fs::create_directories(deep / "l11");
  EXPECT_EQ(codeOf([&] { loadActiveCategoryList(key); }), +ErrorCode::TooManyFolderLevels);
  EXPECT_EQ(textIdForCode(+ErrorCode::TooManyFolderLevels), 57);
}

TEST_F(CategoryStoreTest, MoreThan1024CategoriesFail) {
  setFolders();
  // The two top-level folders, 1015 own and the 7 built-in categories fill
  // the root.
  for (int i = 0; i < 1015; ++i)
    writeText(folder(kMyCategoriesValue) / ("c" + std::to_string(i) + ".vlcat"), categoryText("name=\"c\""));
  loadActiveCategoryList(key);
  EXPECT_EQ(categoryEntries(currentCategoryList())[0].subtree, 1024u);
  writeText(folder(kStandardCategoriesValue) / "one.vlcat", categoryText("id=\"12000\" name=\"one\""));
  EXPECT_EQ(codeOf([&] { loadActiveCategoryList(key); }), +ErrorCode::CategoryListTooLarge);
  // The message names the limit ("To many categories / layers!").
  EXPECT_EQ(textIdForCode(+ErrorCode::CategoryListTooLarge), 127);
}

TEST_F(CategoryStoreTest, ExportWritesMyCategoriesAsCategoryList) {
  setFolders();
  writeText(folder(kMyCategoriesValue) / "Wall.vlcat", categoryText("name=\"Wall\" color=\"FF0000\""));
  writeText(folder(kMyCategoriesValue) / "sub" / "Pid.vlcat", categoryText("id=\"10500\" name=\"PID\""));
  writeText(folder(kReceivedCategoriesValue) / "Other.vlcat", categoryText("name=\"Other\""));
  list = readMyCategories(key);
  StringSink sink;
  XmlWriter w(sink);
  CategoryXmlHooks(nullptr, list).writeCategoryList(w);
  EXPECT_EQ(sink.str(),
            "<category_list>\r\n"
            "<subfolder name=\"sub\">\r\n"
            "<category id=\"10500\" name=\"PID\" color=\"000000\"/>\r\n"
            "</subfolder>\r\n"
            "<category name=\"Wall\" color=\"FF0000\"/>\r\n"
            "</category_list>\r\n");

  SettingsKey empty;
  EXPECT_EQ(codeOf([&] { readMyCategories(empty); }), +ErrorCode::CategoryLocationNotSet);
  fs::remove_all(folder(kMyCategoriesValue));
  try {
    readMyCategories(key);
    FAIL();
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::FolderAccessDenied);
    EXPECT_NE(e.message().find(folder(kMyCategoriesValue).string()), std::string::npos) << e.message();
  }
}

TEST_F(CategoryStoreTest, ImportWritesReceivedListAsFolderTree) {
  setFolders();
  ASSERT_EQ(newCategoryList(list), 0);
  int sub = insertEntry(list, 1, makeFolderEntry("Roads/.."));
  ASSERT_GE(insertEntry(list, uint32_t(sub), makeCategoryEntry("Wall", 3, 0, 255, 128)), 0);
  CategoryEntry strasse = makeCategoryEntry("Stra\xc3\x9f" "e", 12000, 255, 0, 0);
  strasse.surface = 3;
  strasse.fixedHeight = 412.5;
  ASSERT_GE(insertEntry(list, 1, strasse), 0);
  ASSERT_GE(insertEntry(list, uint32_t(topLevelFolder(categoryEntries(list), 1)), makeCategoryEntry("Kerb", 5)), 0);
  ASSERT_EQ(addBuiltInCategories(list), 0);
  storeReceivedCategories(key, categoryEntries(list));

  const fs::path recv = folder(kReceivedCategoriesValue);
  EXPECT_EQ(slurp(recv / "Stra\xc3\x9f" "e.vlcat"), slurp(kData / "Strasse.vlcat"));
  EXPECT_TRUE(fs::is_regular_file(recv / "Roads_.." / "Wall.vlcat"));
  EXPECT_TRUE(fs::is_regular_file(recv / "Kerb.vlcat"));
  EXPECT_FALSE(fs::exists(recv / "PID.vlcat"));  // built-in categories stay out
  size_t files = 0;
  for (auto& e : fs::recursive_directory_iterator(box.root()))
    files += e.is_regular_file() && e.path().extension() == ".vlcat";
  EXPECT_EQ(files, 3u);

  // And back: the tree reads as it was written.
  BlockId back = 0;
  ASSERT_EQ(newCategoryList(back), 0);
  ASSERT_EQ(readCategoryFolder(back, 2, recv), 0);
  EXPECT_EQ(names(categoryEntries(back)), "[:6] [:0] [:4] Kerb=3 [Roads_..:1] Wall=5 Stra\xc3\x9f" "e=12000 ");
  blockStore().free(back);
}

TEST_F(CategoryStoreTest, ImportErrors) {
  ASSERT_EQ(newCategoryList(list), 0);
  ASSERT_GE(insertEntry(list, 1, makeCategoryEntry("Kerb", 3)), 0);
  EXPECT_EQ(codeOf([&] { storeReceivedCategories(key, categoryEntries(list)); }), +ErrorCode::CategoryLocationNotSet);

  writeText(box.root() / "file", "x");
  ASSERT_TRUE(key.writeString(kReceivedCategoriesValue, (box.root() / "file" / "below").string()));
  EXPECT_EQ(codeOf([&] { storeReceivedCategories(key, categoryEntries(list)); }), +ErrorCode::FolderAccessDenied);

  const fs::path recv = box.root() / "recv";
  ASSERT_TRUE(key.writeString(kReceivedCategoriesValue, recv.string()));
  fs::create_directories(recv / "Kerb.vlcat");  // a folder where the file should go
  try {
    storeReceivedCategories(key, categoryEntries(list));
    FAIL();
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::CannotCreateFile);
    EXPECT_NE(e.message().find("Kerb.vlcat"), std::string::npos) << e.message();
  }
}

TEST_F(CategoryStoreTest, TidyKeepsNewest512Files) {
  const fs::path recv = box.root() / "recv";
  fs::create_directories(recv / "sub");
  const auto now = fs::file_time_type::clock::now();
  for (int i = 0; i < 513; ++i) {
    const fs::path p = recv / ("c" + std::to_string(i) + ".vlcat");
    writeText(p, "x");
    fs::last_write_time(p, now - std::chrono::hours(i == 200 ? 1000 : 1) + std::chrono::seconds(i));
  }
  EXPECT_EQ(tidyReceivedCategories(recv), 1u);
  EXPECT_FALSE(fs::exists(recv / "c200.vlcat"));
  EXPECT_TRUE(fs::exists(recv / "c0.vlcat"));
  EXPECT_TRUE(fs::is_directory(recv / "sub"));
  EXPECT_EQ(tidyReceivedCategories(recv), 0u);
}

}  // namespace
}  // namespace vltrx
