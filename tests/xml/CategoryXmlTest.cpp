// Tests of the category_list and category_ref elements: exact bytes
// written, merging into the list in force, the document-id map and errors.
#include "xml/CategoryXml.h"

#include "core/CError.h"
#include "core/Sink.h"
#include "xml/XmlReader.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <string>

namespace vltrx {
namespace {

class CategoryXmlTest : public ::testing::Test {
 protected:
  void SetUp() override { resetRecordStore(); }
  void TearDown() override {
    if (list) blockStore().free(list);
    resetRecordStore();
  }
  void fresh() {
    if (list) blockStore().free(list);
    list = 0;
    ASSERT_EQ(copyCurrentCategoryList(list), 0);
  }
  int add(uint32_t parent, const CategoryEntry& e) {
    int at = insertEntry(list, parent, e);
    EXPECT_GE(at, 0);
    return at;
  }
  uint32_t received() const { return uint32_t(topLevelFolder(categoryEntries(list), 1)); }

  // Runs one hook on the element <name> inside <velmora> of doc.
  template <typename Fn>
  int readElement(const std::string& doc, std::string_view name, Fn&& hook) {
    m_doc = doc;
    m_reader.openMemory(m_doc);
    EXPECT_EQ(m_reader.checkDocumentStart(), 0);
    const std::array<std::string_view, 1> root = {"velmora"};
    EXPECT_EQ(m_reader.nextElement(root), 0);
    const std::array<std::string_view, 1> wanted = {name};
    EXPECT_EQ(m_reader.nextElement(wanted), 0);
    int rc = hook(m_reader);
    if (rc >= 0) EXPECT_EQ(m_reader.skipRest(), 0);
    return rc;
  }
  int readList(const std::string& body) {
    CategoryXmlHooks hooks;
    return readElement("<velmora>\r\n<category_list>\r\n" + body + "</category_list>\r\n</velmora>\r\n",
                       "category_list", [&](XmlReader& r) { return hooks.readCategoryList(r); });
  }
  int readRef(const std::string& body, std::vector<uint16_t>& map) {
    CategoryXmlHooks hooks;
    return readElement("<velmora>\r\n<category_ref>\r\n" + body + "</category_ref>\r\n</velmora>\r\n",
                       "category_ref", [&](XmlReader& r) { return hooks.readCategoryRef(r, map); });
  }
  std::string names() const {
    std::string s;
    for (const CategoryEntry& e : categoryEntries(currentCategoryList())) {
      if (e.isFolder())
        s += "[" + std::string(e.nameView()) + ":" + std::to_string(e.subtree) + "] ";
      else
        s += std::string(e.nameView()) + "=" + std::to_string(e.id) + " ";
    }
    return s;
  }

  BlockId list = 0;
  std::string m_doc;
  XmlReader m_reader;
};

TEST_F(CategoryXmlTest, WritesCategoryListAndReadsItBack) {
  fresh();
  int roads = add(1, makeFolderEntry("Roads & Paths"));
  add(uint32_t(roads), makeCategoryEntry("Kerb", 3, 0xFF, 0, 0));
  add(1, makeCategoryEntry("PID", 10500, 0, 0x80, 0xFF));
  add(1, makeCategoryEntry("", 6));  // no name: left out
  add(received(), makeCategoryEntry("Got", 7, 1, 2, 3));
  StringSink sink;
  XmlWriter w(sink);
  int ticks = 0;
  w.setTick([&] { ++ticks; });
  CategoryXmlHooks(nullptr, list).writeCategoryList(w);
  const std::string expected =
      "<category_list>\r\n"
      "<subfolder name=\"Roads &amp; Paths\">\r\n"
      "<category name=\"Kerb\" color=\"FF0000\"/>\r\n"
      "</subfolder>\r\n"
      "<category id=\"10500\" name=\"PID\" color=\"0080FF\"/>\r\n"
      "<category name=\"Got\" color=\"010203\"/>\r\n"
      "</category_list>\r\n";
  EXPECT_EQ(sink.str(), expected);
  EXPECT_EQ(ticks, 4);

  // Read into an empty list in force: everything lands below the own folder.
  ASSERT_EQ(readList(expected.substr(17, expected.size() - 17 - 18)), 0);
  EXPECT_EQ(names(), "[:6] [:4] [Roads & Paths:1] Kerb=4 PID=10500 Got=6 [:0] ");
  CategorySpan active = categoryEntries(currentCategoryList());
  EXPECT_EQ(categoryColourText(active[3]), "FF0000");
  EXPECT_EQ(categoryColourText(active[5]), "010203");
}

TEST_F(CategoryXmlTest, CategoryListMergesIntoListInForce) {
  fresh();
  add(1, makeCategoryEntry("Wall", 3, 9, 9, 9));
  int sub = add(1, makeFolderEntry("Sub"));
  add(uint32_t(sub), makeCategoryEntry("Deep", 5));
  add(received(), makeCategoryEntry("Recv", 6));
  ASSERT_EQ(commitCategoryList(list), 0);
  ASSERT_EQ(readList("<category name=\"WALL\" color=\"FF0000\"/>\r\n"  // found: keeps place, id, colour
                     "<subfolder name=\"sub\">\r\n"                       // found folder
                     "<category id=\"12000\" name=\"Fixed\"/>\r\n"
                     "<category name=\"recv\"/>\r\n"                       // found below received
                     "<category id=\"4\" name=\"New\" color=\"bad\"/>\r\n"  // local id renumbered
                     "</subfolder>\r\n"
                     "<unknown><category name=\"Skipped\"/></unknown>\r\n"),
            0);
  EXPECT_EQ(names(), "[:8] [:5] Wall=3 [Sub:3] Deep=5 Fixed=12000 New=8 [:1] Recv=6 ");
  EXPECT_EQ(categoryEntries(currentCategoryList())[2].colour.red, 9);
}

TEST_F(CategoryXmlTest, CategoryListErrorsLeaveListInForce) {
  fresh();
  add(1, makeCategoryEntry("Keep", 3));
  ASSERT_EQ(commitCategoryList(list), 0);
  const std::string before = names();

  EXPECT_EQ(readList("<category name=\"A\"/>\r\n<category name=\"\"/>\r\n"), +ErrorCode::InvalidName);
  EXPECT_EQ(names(), before);

  // The own folder counts as depth 1: the ninth nested subfolder reaches 10.
  std::string nested, close;
  for (int i = 0; i < 8; ++i) {
    nested += "<subfolder name=\"l" + std::to_string(i) + "\">";
    close += "</subfolder>";
  }
  EXPECT_EQ(readList(nested + "<category name=\"ok\"/>" + close + "\r\n"), 0);
  EXPECT_EQ(readList(nested + "<subfolder name=\"too deep\"></subfolder>" + close + "\r\n"),
            +ErrorCode::TooManyFolderLevels);
  EXPECT_EQ(pendingDetail().code, +ErrorCode::TooManyFolderLevels);
  EXPECT_EQ(textIdForCode(+ErrorCode::TooManyFolderLevels), 57);
  EXPECT_NE(names().find("ok="), std::string::npos);
}

TEST_F(CategoryXmlTest, CategoryRefMapsDocumentIds) {
  fresh();
  add(1, makeCategoryEntry("Wall", 3));
  add(received(), makeCategoryEntry("Kerb", 4));
  add(0, makeCategoryEntry("PID", 10500));
  ASSERT_EQ(commitCategoryList(list), 0);
  std::vector<uint16_t> map;
  ASSERT_EQ(readRef("<category id=\"1\" name=\"wall\" color=\"000000\"/>\r\n"
                    "<category id=\"2\" name=\"KERB\"/>\r\n"
                    "<category id=\"5\" name=\"New\" color=\"00FF00\"/>\r\n"
                    "<category id=\"10500\" name=\"other name\"/>\r\n"
                    "<category id=\"10777\" name=\"Fixed\"/>\r\n",
                    map),
            0);
  ASSERT_EQ(map.size(), 1025u);
  EXPECT_EQ(map[1], 3);
  EXPECT_EQ(map[2], 4);
  EXPECT_EQ(map[5], 6);
  EXPECT_EQ(map[3], 0);
  EXPECT_EQ(names(), "[:7] [:1] Wall=3 [:3] Kerb=4 New=6 Fixed=10777 PID=10500 ");
  EXPECT_EQ(categoryEntries(currentCategoryList())[5].colour.green, 0xFF);
}

TEST_F(CategoryXmlTest, CategoryRefRejectsBadIds) {
  struct Case { const char* body; int code; };
  const Case cases[] = {
      {"<category id=\"5\" name=\"a\"/><category id=\"5\" name=\"b\"/>", +ErrorCode::InvalidCategoryId},
      {"<category id=\"2000\" name=\"a\"/>", +ErrorCode::InvalidCategoryId},
      {"<category id=\"1025\" name=\"a\"/>", +ErrorCode::InvalidCategoryId},
      {"<category id=\"0\" name=\"a\"/>", +ErrorCode::InvalidCategoryId},
      {"<category name=\"no id\"/>", +ErrorCode::InvalidCategoryId},
      {"<category id=\"70000\" name=\"a\"/>", +ErrorCode::InvalidCategoryId},
      {"<category id=\"10001\" name=\"x\"/><category id=\"10001\" name=\"y\"/>", +ErrorCode::InvalidCategoryId},
      {"<category id=\"3\" name=\"\"/>", +ErrorCode::InvalidName},
      {"<category id=\"3\"/>", +ErrorCode::XmlMissingAttribute},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    resetRecordStore();
    std::vector<uint16_t> map(1025, 0);
    EXPECT_EQ(readRef(c.body, map), c.code);
    EXPECT_TRUE(currentCategoryList().empty());
    EXPECT_EQ(std::count(map.begin(), map.end(), 0), 1025);
  }
  EXPECT_EQ(textIdForCode(+ErrorCode::InvalidCategoryId), 61);
}

TEST_F(CategoryXmlTest, FailedCategoryRefLeavesMapEmpty) {
  // Found by fuzzing: the map named an id of a list that never came into force.
  std::ifstream in(std::string(VLTRX_TEST_DATA) + "/categories/RefDuplicateIdMap.xml", std::ios::binary);
  const std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(doc.empty());
  std::vector<uint16_t> map(1025, 0);
  CategoryXmlHooks hooks;
  EXPECT_EQ(readElement(doc, "category_ref", [&](XmlReader& r) { return hooks.readCategoryRef(r, map); }),
            +ErrorCode::InvalidCategoryId);
  EXPECT_EQ(map[5], 0);
  EXPECT_TRUE(currentCategoryList().empty());
}

TEST_F(CategoryXmlTest, WritesCategoryRefForUsedIdsInListOrder) {
  fresh();
  add(1, makeCategoryEntry("B<", 3, 0xAB, 0xCD, 0xEF));
  add(received(), makeCategoryEntry("A", 4));
  add(0, makeCategoryEntry("PID", 10500));
  add(0, makeCategoryEntry("PID again", 10500));
  ASSERT_EQ(commitCategoryList(list), 0);
  CategoryXmlHooks hooks;
  {
    StringSink sink;
    XmlWriter w(sink);
    const uint16_t used[] = {3, 9, 10500};
    hooks.writeCategoryRef(w, used);
    EXPECT_EQ(sink.str(),
              "<category_ref>\r\n"
              "<category id=\"3\" name=\"B&lt;\" color=\"ABCDEF\"/>\r\n"
              "<category id=\"10500\" name=\"PID\" color=\"000000\"/>\r\n"
              "</category_ref>\r\n");
  }
  StringSink sink;
  XmlWriter w(sink);
  const uint16_t unused[] = {9};
  hooks.writeCategoryRef(w, unused);
  EXPECT_EQ(sink.str(), "");
  EXPECT_TRUE(hooks.isActive(4));
  EXPECT_FALSE(hooks.isActive(9));
}

}  // namespace
}  // namespace vltrx
