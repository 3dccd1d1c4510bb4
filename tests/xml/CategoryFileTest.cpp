// Tests of category files: reading the fixtures, exact bytes written, errors.
#include "xml/CategoryFile.h"

#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vltrx {
namespace {

const std::filesystem::path kData = std::filesystem::path(VLTRX_TEST_DATA) / "categories";

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(CategoryFileTest, ReadsFixtures) {
  struct Case {
    const char* file;
    std::string name;
    uint16_t id;
    uint8_t r, g, b;
    SurfaceKind surface;
    double height;
  };
  const Case cases[] = {
      {"Strasse.vlcat", "Stra\xc3\x9f" "e", 12000, 255, 0, 0, SurfaceKind::FixedHeight, 412.5},
      {"Wall.vlcat", "Wall", 0, 0, 255, 128, SurfaceKind::None, 0},
      // No name attribute: the file name without extension.
      {"Kerb.vlcat", "Kerb", 0, 0, 0, 255, SurfaceKind::Planar, 0},
      // Windows-1252 name, single quotes, lines ended by a lone CR.
      {"Cp1252LoneCr.vlcat", "Stra\xc3\x9f" "e", 17, 128, 192, 255, SurfaceKind::None, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    CategoryRecord r;
    ASSERT_EQ(readCategoryFile(kData / c.file, r), 0);
    EXPECT_EQ(r.name, c.name);
    EXPECT_EQ(r.id, c.id);
    EXPECT_EQ(r.red, c.r);
    EXPECT_EQ(r.green, c.g);
    EXPECT_EQ(r.blue, c.b);
    EXPECT_EQ(r.surface, c.surface);
    EXPECT_DOUBLE_EQ(r.fixedHeight, c.height);
  }
}

TEST(CategoryFileTest, WritesFixturesByteForByte) {
  test::Sandbox box;
  for (const char* file : {"Strasse.vlcat", "Wall.vlcat"}) {
    SCOPED_TRACE(file);
    CategoryRecord r;
    ASSERT_EQ(readCategoryFile(kData / file, r), 0);
    EXPECT_EQ(formatCategoryFile(r), slurp(kData / file));
    auto out = box.tmp() / file;
    ASSERT_TRUE(writeCategoryFile(r, out));
    EXPECT_EQ(slurp(out), slurp(kData / file));
  }
}

TEST(CategoryFileTest, SurfaceKindsAndColourText) {
  CategoryRecord r;
  r.name = "A";
  r.red = 0xFF;
  r.blue = 0x0A;
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<velmora>\r\n  <category encoding=\"CP_65001\" "
      "name=\"A\" color=\"FF000A\"";
  const std::string tail = "/>\r\n</velmora>\r\n";
  struct Case { SurfaceKind kind; double h; const char* text; };
  const Case cases[] = {
      {SurfaceKind::None, 0, ""},
      {SurfaceKind::Planar, 0, " surface=\"planar\""},
      {SurfaceKind::Triangle, 0, " surface=\"triangle\""},
      {SurfaceKind::FixedHeight, -1.23456, " surface=\"fixed_height\" fixed_height=\"-1.235\""},
      {SurfaceKind(9), 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    r.surface = c.kind;
    r.fixedHeight = c.h;
    std::string bytes = formatCategoryFile(r);
    EXPECT_EQ(bytes, head + c.text + tail);
    CategoryRecord back;
    ASSERT_EQ(parseCategoryFile(bytes, "x", back), 0);
    EXPECT_EQ(back.red, 0xFF);
    EXPECT_EQ(back.green, 0);
    EXPECT_EQ(back.blue, 0x0A);
    EXPECT_EQ(back.surface, c.kind == SurfaceKind(9) ? SurfaceKind::None : c.kind);
  }
}

TEST(CategoryFileTest, Errors) {
  CategoryRecord r;
  EXPECT_EQ(readCategoryFile(kData / "NoRoot.vlcat", r), kCategoryFileNoCategory);
  EXPECT_EQ(readCategoryFile(kData / "Missing.vlcat", r), kCategoryFileCannotOpen);
  EXPECT_EQ(readCategoryFile(kData / "Wall.xml", r), kCategoryFileBadExtension);
  EXPECT_EQ(readCategoryFile(kData / "Wall", r), kCategoryFileBadExtension);
  EXPECT_EQ(readCategoryFile(kData, r), kCategoryFileBadExtension);
  EXPECT_TRUE(hasCategoryFileExtension("a/B.VLCAT"));
  EXPECT_EQ(parseCategoryFile("<velmora>\n</velmora>\n", "x", r), kCategoryFileNoCategory);
  EXPECT_EQ(parseCategoryFile("", "x", r), kCategoryFileNoCategory);
  // A category line before the root does not count.
  EXPECT_EQ(parseCategoryFile("<category name=\"a\"/>\n<velmora>\n", "x", r), kCategoryFileNoCategory);
}

TEST(CategoryFileTest, OddAttributeValues) {
  struct Case { const char* line; std::string name; uint16_t id; uint8_t red; };
  const Case cases[] = {
      {"<category name=\"a\" color=\"FF00\"/>", "a", 0, 0},          // too short: black
      {"<category name=\"a\" color=\"GG0000\"/>", "a", 0, 0},        // not hex: black
      {"<category name=\"a\" color=\"ff0000\" id=\"70000\"/>", "a", 0, 255},
      {"<category name=\"a\" id=\"-5\"/>", "a", 0, 0},
      {"<category name=\"a &amp; b &quot;c&quot;\"/>", "a & b \"c\"", 0, 0},
      {"<category name=\"unterminated", "unterminated", 0, 0},
      {"<category filename=\"no\" name=\"yes\"/>", "yes", 0, 0},
      {"<category id=12 name=bare/>", "bare", 12, 0},
      {"<velmora><category name=\"oneline\"/></velmora>", "oneline", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    std::string content = std::string("<velmora>\n") + c.line + "\n";
    if (std::string_view(c.line).starts_with("<velmora")) content = c.line;
    CategoryRecord r;
    ASSERT_EQ(parseCategoryFile(content, "stem", r), 0);
    EXPECT_EQ(r.name, c.name);
    EXPECT_EQ(r.id, c.id);
    EXPECT_EQ(r.red, c.red);
  }
}

TEST(CategoryFileTest, NamesThatWouldBreakTheFileOrItsPath) {
  CategoryRecord r;
  r.name = "say \"hi\"\r\nnow";
  std::string bytes = formatCategoryFile(r);
  EXPECT_NE(bytes.find("name=\"say &quot;hi&quot;  now\""), std::string::npos);
  CategoryRecord back;
  ASSERT_EQ(parseCategoryFile(bytes, "x", back), 0);
  EXPECT_EQ(back.name, "say \"hi\"  now");
  EXPECT_EQ(categoryFileName("../../etc/passwd"), std::filesystem::path(".._.._etc_passwd.vlcat"));
  EXPECT_EQ(categoryFileName("Kerb"), std::filesystem::path("Kerb.vlcat"));
}

TEST(CategoryFileTest, FileReaderAgreesWithParserAcrossReadBlocks) {
  // The file reader takes 16 KiB at a time: a CR LF split between two blocks
  // is one line end, and long lines run over block ends.
  test::Sandbox box;
  for (size_t pad : {16367u, 16368u, 16369u, 40000u}) {  // 16368: CR ends the first block
    SCOPED_TRACE(pad);
    std::string content = "<?xml?>" + std::string(pad, ' ') + "<velmora\r\n\r\n<category name=\"x\" id=\"10100\"/>\r\n";
    const auto path = box.tmp() / "Long.vlcat";
    std::ofstream(path, std::ios::binary) << content;
    CategoryRecord fromFile, fromMemory;
    ASSERT_EQ(readCategoryFile(path, fromFile), 0);
    ASSERT_EQ(parseCategoryFile(content, "Long", fromMemory), 0);
    EXPECT_EQ(fromFile.name, "x");
    EXPECT_EQ(fromFile.id, 10100);
    EXPECT_EQ(fromMemory.id, 10100);
  }
}

TEST(CategoryFileTest, UnwritableTargetLeavesNothing) {
  test::Sandbox box;
  CategoryRecord r;
  r.name = "x";
  EXPECT_FALSE(writeCategoryFile(r, box.tmp() / "missing" / "x.vlcat"));
  EXPECT_FALSE(std::filesystem::exists(box.tmp() / "missing"));
}

}  // namespace
}  // namespace vltrx
