// Plug-in scripts: the header attribute rules, which files of a filter
// folder become list entries and how, and where the folders are.
#include "framework/PluginFormats.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace vltrx {
namespace {

const fs::path kScanFixtures = fs::path(VLTRX_TEST_DATA) / "plugins" / "scan";

std::vector<std::string> ids(const FormatList& list) {
  std::vector<std::string> out;
  for (const FileFormat& f : list) out.push_back(f.id);
  return out;
}

TEST(PluginFormats, AttributeValuesFollowTheHeaderRules) {
  struct Case {
    const char* line;
    const char* name;
    const char* expected;  // nullptr: not found
  };
  const Case cases[] = {
      {R"(<?vltrx name="A &amp; B"?>)", "name", "A & B"},
      {R"(<?vltrx name="&#65;&lt;&gt;&quot;&apos;"?>)", "name", "A<>\"'"},
      // A reference without ";" is dropped, one naming byte 0 too; an
      // ampersand that starts nothing known stays.
      {R"(<?vltrx name="x&#65y&#0;z & w"?>)", "name", "xyz & w"},
      // An occurrence directly after a letter is skipped and the search goes on.
      {R"(<?vltrx rename="no" name="yes"?>)", "name", "yes"},
      {R"(<?vltrx next="1" context="2"?>)", "ext", nullptr},
      {R"(<?vltrx name  =   'single'?>)", "name", "single"},
      {R"(<?vltrx type=-12 name=+5)", "type", "-12 name=+5"},
      {R"(<?vltrx type=in-filter?>)", "type", nullptr},
      {R"(<?vltrx name="runs to the end)", "name", "runs to the end"},
      {R"(<?vltrx name="ends at 'the' quote")", "name", "ends at "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::optional<std::string> v = pluginAttribute(c.line, c.name, 511);
    if (!c.expected) {
      EXPECT_FALSE(v.has_value());
    } else {
      ASSERT_TRUE(v.has_value());
      EXPECT_EQ(*v, c.expected);
    }
  }
  EXPECT_EQ(pluginAttribute(R"(<?vltrx type="in-filter-long")", "type", 9), "in-filter");
}

class PluginScan : public ::testing::Test {
 protected:
  PluginScan() {
    folder = box.root() / "filters";
    fs::create_directories(folder);
    for (const auto& e : fs::directory_iterator(kScanFixtures)) fs::copy_file(e.path(), folder / e.path().filename());
    // A folder named like a script, and a FIFO that would block a reader.
    fs::create_directories(folder / "folder.xsl");
    ::mkfifo((folder / "fifo.xsl").c_str(), 0600);
  }
  vltrx::test::Sandbox box;
  fs::path folder;
};

TEST_F(PluginScan, ImportFolderListsValidScriptsInNameOrder) {
  FormatList list;
  const int added = scanPluginFolder(list, folder, FormatDirection::Import);
  // CAPS.XSL is scanned (any letter case); longer.xslt, folder.xsl and the
  // FIFO are not; wrongway.xsl is an export script; indented.xsl has no
  // header in the first column; missing.xsl lacks file-ext; huge.xsl's
  // 100 KB name cuts the header line before file-ext. cut.xsl keeps its four
  // attributes inside the first 255 bytes.
  EXPECT_EQ(ids(list), (std::vector<std::string>{"caps_in", "cut_in", "pre_in", "twin_in", "twin_in"}));
  EXPECT_EQ(added, 5);

  const FileFormat& caps = list[0];
  EXPECT_TRUE(caps.direction);
  EXPECT_EQ(caps.type, kFormatXslt);
  EXPECT_EQ(caps.description, "Caps \xC2\xB9");
  EXPECT_EQ(caps.filter, "*.cap;");
  EXPECT_EQ(fs::path(caps.scriptPath), folder / "CAPS.XSL");
  // type "in-filter-v2" is accepted by its prefix; cmd-ext "pre_in" is kept.
  EXPECT_EQ(list[2].description, "Prefix \xC2\xB9");
  // Both twins are listed; looking up by id finds the first.
  EXPECT_EQ(findFormat(list, "twin_in")->description, "Twin A \xC2\xB9");
  EXPECT_EQ(findFormatByExtension(list, ".twb")->description, "Twin B \xC2\xB9");
}

TEST_F(PluginScan, ExportFolderTakesOnlyOutFilters) {
  FormatList list;
  EXPECT_EQ(scanPluginFolder(list, folder, FormatDirection::Export), 1);
  ASSERT_EQ(ids(list), (std::vector<std::string>{"ww_out"}));
  EXPECT_FALSE(list[0].direction);
  EXPECT_EQ(scanPluginFolder(list, box.root() / "missing", FormatDirection::Export), 0);
}

TEST_F(PluginScan, SystemFolderComesBeforeUserFolderAndBothFollowTheEnvironment) {
  const fs::path system = box.root() / "system", user = box.root() / "user";
  box.set("VLTRX_SYSTEM_FILTERS", system);
  box.set("VLTRX_USER_FILTERS", user);
  EXPECT_EQ(pluginFolders(FormatDirection::Import), (std::vector<fs::path>{system / "in-filter", user / "in-filter"}));
  EXPECT_EQ(pluginFolders(FormatDirection::Export), (std::vector<fs::path>{system / "out-filter", user / "out-filter"}));

  fs::create_directories(system / "out-filter");
  fs::create_directories(user / "out-filter");
  std::ofstream(user / "out-filter" / "a.xsl") << "<?vltrx type=\"out-filter\" name=\"User\" file-ext=\"*.u;\" cmd-ext=\"u\"?>\n";
  std::ofstream(system / "out-filter" / "z.xsl") << "<?vltrx type=\"out-filter\" name=\"System\" file-ext=\"*.s;\" cmd-ext=\"s_out\"?>\n";

  // Built the way start-up builds it: built-in entries first, then the
  // plug-ins, and the published text carries them.
  setPluginScanner(scanPlugins);
  EXPECT_EQ(buildFormatList(FormatDirection::Export), 2);
  setPluginScanner({});
  const FormatList& list = exportFormats();
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list[list.size() - 2].id, "s_out");
  EXPECT_EQ(list.back().id, "u_out");
  EXPECT_EQ(pluginEntries(list).size(), 2u);
  EXPECT_NE(publishedFormatsText(list).find("|DUser \xC2\xB9|F*.u;|Cu_out"), std::string::npos);
  EXPECT_EQ(formatTypeFromName("u", FormatDirection::Export), kFormatXslt);
}

TEST(PluginFolders, DefaultUserFolderIsBelowXdgDataHome) {
  vltrx::test::Sandbox box;
  unsetenv("VLTRX_USER_FILTERS");
  EXPECT_EQ(pluginFolders(FormatDirection::Import).back(), box.root() / "data" / "vltrx" / "filters" / "in-filter");
}

}  // namespace
}  // namespace vltrx
