// TXT reader and writer: the column map of the layout string, line rules,
// warnings, point-id modes and categories, errors, the written line format
// byte for byte, and round trips.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LineReader.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "core/Numbers.h"
#include "core/PointNumberer.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/TxtReader.h"
#include "formats/TxtWriter.h"
#include "tests/support/Failure.h"
#include "tests/support/FakeCategories.h"
#include "tests/support/LayoutRows.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;
using test::failure;
using test::LayoutRows;
using test::layoutCount;
using test::PointRow;
using test::rowsOf;

using Xyz = std::array<double, 3>;

class TxtTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  BlockId read(std::string_view text, const TxtReadSettings& settings = {}, std::string_view name = "plan") {
    LineReader lines(MemoryInput{text});
    return readTxtLines(lines, rootFolder(), name, settings, categories, ui);
  }

  std::string write(BlockId layout, const TxtWriteSettings& settings = {}) {
    StringSink sink;
    writeTxtLayout(layout, sink, settings, categories, ui);
    return sink.str();
  }

  static std::vector<Xyz> positions(BlockId layout) {
    std::vector<Xyz> got;
    for (const PointRow& p : rowsOf(layout).points) got.push_back({p.x, p.y, p.z});
    return got;
  }

  // A layout of single points; names "" and categories by name ("" = none).
  struct Staged {
    double x, y, z;
    int32_t number;
    std::string name, pointCategory, polygonCategory;
  };
  BlockId layoutOf(const std::vector<Staged>& points, std::string_view name = "staged") {
    StagedPlan plan;
    for (const Staged& s : points) {
      StagedPolygon& polygon = plan.polygons.emplace_back();
      if (!s.polygonCategory.empty()) categories.idsFromNames(s.polygonCategory, polygon.categories);
      StagedPoint& p = polygon.points.emplace_back();
      p.x = s.x, p.y = s.y, p.z = s.z, p.sourceNumber = s.number, p.name = s.name;
      if (!s.pointCategory.empty()) categories.idsFromNames(s.pointCategory, p.categories);
    }
    BlockId layout = createLayout(rootFolder(), name);
    commitStagedPlan(layout, plan);
    return layout;
  }

  test::FakeCategories categories;
  test::ScriptedUi ui;
};

// --- reading ---------------------------------------------------------------------

TEST_F(TxtTest, ColumnMap) {
  struct Case {
    const char* layout;
    std::array<int, 7> columns;  // id, x, y, z, K, P, field count
  };
  const Case cases[] = {
      {"#XYZ", {0, 1, 2, 3, -1, -1, 4}},
      {"#NEZ", {0, 2, 1, 3, -1, -1, 4}},
      {"#xyiz", {0, 1, 2, 4, -1, -1, 5}},
      {"XY", {-1, 0, 1, -1, -1, -1, 2}},
      {"#XYZKP", {0, 1, 2, 3, 4, 5, 6}},
      {"#XYZX", {0, 4, 2, 3, -1, -1, 5}},  // the last X decides
      {"IIII#EN", {4, 5, 6, -1, -1, -1, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    const TxtColumns m = txtColumns(c.layout);
    EXPECT_EQ((std::array<int, 7>{m.id, m.x, m.y, m.z, m.pointCategory, m.polygonCategory,
                                  static_cast<int>(m.fieldCount)}),
              c.columns);
  }
}

TEST_F(TxtTest, LineRules) {
  struct Case {
    const char* name;
    std::string text;
    std::string layout;
    char delimiter;
    char decimal;
    std::vector<Xyz> points;
    std::vector<int> warnings;
  };
  const std::vector<Case> cases = {
      {"WsRunsAndTabs", "  7 \t 1.5   2.5  0.5\n8\t3.5\t4.5\t1\n", "#XYZ", 11, '.', {{1.5, 2.5, 0.5}, {3.5, 4.5, 1}}, {}},
      {"NezSwapsFirstTwo", "1 200.5 100.5 3\n", "#NEZ", 11, '.', {{100.5, 200.5, 3}}, {}},
      {"LowerCaseLayout", "1 200.5 100.5 3\n", "#nez", 11, '.', {{100.5, 200.5, 3}}, {}},
      {"DummyColumnSkipped", "1 1.5 2.5 skip 3\n", "#XYIZ", 11, '.', {{1.5, 2.5, 3}}, {}},
      {"LastLetterDecides", "1 9 2.5 1.5 3\n", "#XYEZ", 11, '.', {{1.5, 2.5, 3}}, {}},
      {"BlankLinesAndLineEnds", "\r\n1 1.5 2.5 3\r\n   \r2 1.5 2.5 4 \n\n\n", "#XYZ", 11, '.',
       {{1.5, 2.5, 3}, {1.5, 2.5, 4}}, {}},
      {"HeightMissingIsZero", "1 1.5 2.5\n", "#XYZ", 11, '.', {{1.5, 2.5, 0}}, {}},
      {"HeaderRowSkipped", "Nr X Y Z\n1 1.5 2.5 3\n", "#XYZ", 11, '.', {{1.5, 2.5, 3}}, {}},
      {"MissingYWarnsOnce", "1 1.5\n", "#XYZ", 11, '.', {{1.5, 0, 0}}, {109}},
      {"MissingBothWarnsOnce", "7\n2 1.5 2.5\n", "#XYZ", 11, '.', {{0, 0, 0}, {1.5, 2.5, 0}}, {109}},
      {"WordInXWarns", "1 east 2.5 3\n", "#XYZ", 11, '.', {{0, 2.5, 3}}, {109}},
      {"TrailingTextIgnored", "1 1.5m 2.5m 3m\n", "#XYZ", 11, '.', {{1.5, 2.5, 3}}, {}},
      {"LeadingDelimiterSkipsLine", ";1.5;2.5;3\n2;1.5;2.5;4\n", "#XYZ", ';', '.', {{1.5, 2.5, 4}}, {}},
      {"EmptyFieldsWithSemicolon", "1;;2.5;3\n", "#XYZ", ';', '.', {{0, 2.5, 3}}, {109}},
      {"QuotedFields", "\"1\";\"1.5\";\"2.5\";\"a;b\"\n", "#XYZ", ';', '.', {{1.5, 2.5, 0}}, {}},
      {"DecimalComma", "1;100,5;200,25;3\n", "#XYZ", ';', ',', {{100.5, 200.25, 3}}, {}},
      {"TabKeepsEmptyColumns", "1\t\t1.5\t2.5\t3\n", "#IXYZ", 9, '.', {{1.5, 2.5, 3}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    test::ScriptedUi scripted;
    TxtReadSettings settings;
    settings.layout = c.layout;
    settings.delimiter = c.delimiter;
    settings.decimal = c.decimal;
    LineReader lines(MemoryInput{c.text});
    BlockId layout = readTxtLines(lines, rootFolder(), "plan", settings, categories, scripted);
    EXPECT_EQ(positions(layout), c.points);
    EXPECT_EQ(scripted.warningIds, c.warnings);
  }
}

TEST_F(TxtTest, FractionWarningAtEnd) {
  read("1 100 200 3.5\n2 101 201 3\n");
  EXPECT_EQ(ui.warningIds, std::vector<int>{105});
}

TEST_F(TxtTest, CancelledWarningLeavesNoLayout) {
  ui.warningAnswer = false;
  EXPECT_EQ(failure([&] { read("1 1.5\n2 1.5 2.5\n"); }), 1);
  EXPECT_EQ(layoutCount(), 0);
  ui.setQuiet(true);  // nothing asked: the file loads with 0 for y
  EXPECT_EQ(positions(read("1 1.5\n")), (std::vector<Xyz>{{1.5, 0, 0}}));
}

TEST_F(TxtTest, TabFixtureWithHeaderBlankLinesAndLeadingZeros) {
  TxtReadSettings settings;
  settings.delimiter = 9;
  settings.layout = "#XYZK";
  settings.alphaNumIds = true;
  BlockId layout = readTxtFile(fs::path(VLTRX_TEST_DATA) / "txt" / "tab-header-leading-zeros.txt", rootFolder(),
                               settings, categories, ui);
  EXPECT_EQ(nodeName(layout), "tab-header-leading-zeros");
  const LayoutRows rows = rowsOf(layout);
  ASSERT_EQ(rows.points.size(), 3u);
  EXPECT_EQ(rows.points[0], (PointRow{2600100.125, 1200200.5, 412.3, 1, "0102", "", {categories.id("fence  ")}}));
  EXPECT_EQ(rows.points[1], (PointRow{2600101.25, 1200201.75, 0, 2, "0103", "", {}}));
  EXPECT_EQ(rows.points[2], (PointRow{2600102.5, 1200202, 410, 3, "A17", "", {categories.id("tree")}}));
  EXPECT_EQ(rows.polygons.size(), 3u);
  EXPECT_TRUE(ui.warningIds.empty());
}

TEST_F(TxtTest, CommaFixtureWithHeaderRow) {
  TxtReadSettings settings;
  settings.delimiter = ',';
  BlockId layout = readTxtFile(fs::path(VLTRX_TEST_DATA) / "txt" / "comma-header.txt", rootFolder(), settings,
                               categories, ui);
  std::vector<std::pair<uint32_t, Xyz>> got;
  for (const PointRow& p : rowsOf(layout).points) got.push_back({p.number, {p.x, p.y, p.z}});
  // The line without an id is skipped whole: it begins with the delimiter.
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, Xyz>>{{1, {10.5, 20.25, 1}}, {2, {11.5, 21.25, 0}},
                                                        {3, {13.5, 23.5, 4}}}));
  EXPECT_TRUE(ui.warningIds.empty());
}

TEST_F(TxtTest, PointAndPolygonCategories) {
  TxtReadSettings settings;
  settings.layout = "#XYZKP";
  BlockId layout = read("1 1.5 2.5 3 wall,kerb fence\n2 1.5 2.5 3\n3 1.5 2.5 3 0 tree\n", settings);
  const LayoutRows rows = rowsOf(layout);
  ASSERT_EQ(rows.points.size(), 3u);
  const uint16_t wall = categories.id("wall"), kerb = categories.id("kerb");
  EXPECT_EQ(rows.points[0].categories, (CategorySet{std::min(wall, kerb), std::max(wall, kerb)}));
  EXPECT_EQ(rows.polygons[0].categories, CategorySet{categories.id("fence")});
  EXPECT_TRUE(rows.points[1].categories.empty());
  EXPECT_TRUE(rows.polygons[1].categories.empty());
  EXPECT_TRUE(rows.points[2].categories.empty());  // "0": no category, as the writer puts it with WS
  EXPECT_EQ(rows.polygons[2].categories, CategorySet{categories.id("tree")});
  for (const auto& p : rows.polygons) EXPECT_EQ(p.count, 1);
}

TEST_F(TxtTest, PointIdModes) {
  {
    SCOPED_TRACE("plain");
    BlockId layout = read("0102 0.5 0\n7abc 1.5 0\n");
    EXPECT_EQ(rowsOf(layout).points[0].number, 102u);
    EXPECT_EQ(rowsOf(layout).points[1].number, 7u);
  }
  {
    SCOPED_TRACE("reduction, id as comment");
    resetMeasurementStore();
    TxtReadSettings settings;
    settings.pidReduce = true;
    test::ScriptedUi scripted;
    scripted.promptAnswer = kRenumberIdAsComment;
    LineReader lines(MemoryInput{"123456 0.5 0\n3456 1.5 0\nA7 2.5 0\n"});
    BlockId layout = readTxtLines(lines, rootFolder(), "plan", settings, categories, scripted);
    std::vector<std::pair<uint32_t, std::string>> got;
    for (const PointRow& p : rowsOf(layout).points) got.emplace_back(p.number, p.comment);
    EXPECT_EQ(got, (std::vector<std::pair<uint32_t, std::string>>{{3456, ""}, {10001, "3456"}, {10002, "A7"}}));
    ASSERT_EQ(scripted.prompts.size(), 2u);
    EXPECT_NE(scripted.prompts[0].find("TXT"), std::string::npos);
  }
  {
    SCOPED_TRACE("alphanumeric");
    resetMeasurementStore();
    TxtReadSettings settings;
    settings.alphaNumIds = true;
    BlockId layout = read("0102 0.5 0\nw1 1.5 0\n0102 2.5 0\n", settings);
    std::vector<std::pair<uint32_t, std::string>> got;
    for (const PointRow& p : rowsOf(layout).points) got.emplace_back(p.number, p.name);
    EXPECT_EQ(got, (std::vector<std::pair<uint32_t, std::string>>{{1, "0102"}, {2, "w1"}, {3, ""}}));
  }
}

TEST_F(TxtTest, Errors) {
  struct Case {
    const char* name;
    std::string text;
    std::string layout;
    bool acceptDuplicates;
    int code;
  };
  const std::vector<Case> cases = {
      {"InvalidLayout", "1 1.5 2.5\n", "#XZ", false, +ErrorCode::InvalidFormatString},
      {"OutputOnlyLetter", "1 1.5 2.5\n", "#XYC", false, +ErrorCode::InvalidFormatString},
      {"IdTooBig", "2147483601 1.5 2.5\n", "#XYZ", false, +ErrorCode::PointNumberTooBig},
      {"InfiniteY", "1 1.5 1e400\n", "#XYZ", false, +ErrorCode::InvalidParameterValue},
      {"DuplicateIds", "7 1.5 2.5\n7 3.5 2.5\n", "#XYZ", false, +ErrorCode::InvalidPointNumbers},
      {"DuplicateIdsAccepted", "7 1.5 2.5\n7 3.5 2.5\n", "#XYZ", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    TxtReadSettings settings;
    settings.layout = c.layout;
    settings.acceptDuplicateIds = c.acceptDuplicates;
    EXPECT_EQ(failure([&] { read(c.text, settings); }), c.code);
    EXPECT_EQ(layoutCount(), c.code == 0 ? 1 : 0);
  }
  resetMeasurementStore();
  try {
    read("1 1.5 2.5\n2 -1e999 2.5 3\n");
    FAIL() << "no error";
  } catch (const CError& e) {
    EXPECT_NE(e.message().find("\"x\" [line 2]"), std::string::npos) << e.message();
  }
  EXPECT_EQ(failure([&] { readTxtFile("/nonexistent/none.txt", rootFolder(), {}, categories, ui); }),
            +ErrorCode::CannotOpenFile);
}

TEST_F(TxtTest, HostileInput) {
  // A layout of 10,000 letters, a file of CR bytes only, a line of 1 MB.
  TxtReadSettings settings;
  settings.layout = "#XY" + std::string(10000, 'I') + "Z";
  ui.setQuiet(true);
  std::string line = "1 1.5 2.5";
  for (int i = 0; i < 10000; ++i) line += " x";
  EXPECT_EQ(positions(read(line + " 3\n", settings)), (std::vector<Xyz>{{1.5, 2.5, 3}}));
  resetMeasurementStore();
  EXPECT_EQ(pointCount(read(std::string(100000, '\r'))), 0u);
  resetMeasurementStore();
  // Two million digits are no finite number.
  EXPECT_EQ(failure([&] { read("1 " + std::string(2u << 20, '5') + " 2.5\n"); }), +ErrorCode::InvalidParameterValue);
}

// --- writing ---------------------------------------------------------------------

TEST_F(TxtTest, WrittenLines) {
  struct Case {
    const char* name;
    std::string layout;
    char delimiter;
    char decimal;
    std::vector<Staged> points;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"TabXyz", "#XYZ", 9, '.', {{1, 2, 3, 12}}, "12\t1.0000\t2.0000\t3.0000\t\r\n"},
      {"NezPrintsYFirst", "#NEZ", 9, '.', {{1, 2, 3, 12}}, "12\t2.0000\t1.0000\t3.0000\t\r\n"},
      {"DummyColumnEmpty", "#XYIZ", ';', '.', {{1, 2, 3, 12}}, "12;1.0000;2.0000;;3.0000;\r\n"},
      {"DecimalComma", "#XYZ", ';', ',', {{1.25, -2.5, 3, 1}}, "1;1,2500;-2,5000;3,0000;\r\n"},
      {"WsEmptyCategoryIsZero", "#XYZK", 11, '.', {{1, 2, 3, 5}}, "5 1.0000 2.0000 3.0000 0 \r\n"},
      {"SemicolonEmptyCategory", "#XYZK", ';', '.', {{1, 2, 3, 5}}, "5;1.0000;2.0000;3.0000;;\r\n"},
      {"DelimiterInNameReplaced", "#XYZK", ';', '.', {{1, 2, 3, 5, "", "a;b"}}, "5;1.0000;2.0000;3.0000;a_b;\r\n"},
      {"BlankInNameWithWs", "#XYK", 11, '.', {{1, 2, 3, 5, "", "old tree"}}, "5 1.0000 2.0000 old_tree \r\n"},
      {"CFallsBackToPolygon", "#CKPEN", ';', '.', {{1, 2, 3, 5, "", "", "fence"}, {1, 2, 4, 6, "", "wall", "fence"}},
       "5;fence;;fence;1.0000;2.0000;\r\n6;wall;wall;fence;1.0000;2.0000;\r\n"},
      {"SortedById", "#XY", ';', '.', {{1, 0, 0, 30}, {2, 0, 0, 10}, {3, 0, 0, 20}},
       "10;2.0000;0.0000;\r\n20;3.0000;0.0000;\r\n30;1.0000;0.0000;\r\n"},
      {"ExactDuplicatesOnce", "#XZY", ';', '.', {{1, 2, 3, 30}, {1, 2, 3, 10}, {1, 2, 3.00001, 20}},
       "10;1.0000;3.0000;2.0000;\r\n20;1.0000;3.0000;2.0000;\r\n"},
      {"DuplicatesWithOtherCategoryKept", "#KXY", ';', '.',
       {{1, 2, 3, 1, "", "a"}, {1, 2, 3, 2, "", "b"}, {1, 2, 3, 3, "", "a"}},
       "1;a;1.0000;2.0000;\r\n2;b;1.0000;2.0000;\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    BlockId layout = layoutOf(c.points);
    TxtWriteSettings settings;
    settings.layout = c.layout;
    settings.delimiter = c.delimiter;
    settings.decimal = c.decimal;
    EXPECT_EQ(write(layout, settings), c.expected);
  }
}

// Duplicates far apart in a longer table, -0 equal to 0, one category
// apart is no duplicate: the first of each group (smallest id) stays.
TEST_F(TxtTest, DuplicatesFarApartWrittenOnce) {
  std::vector<Staged> points;
  std::string expected;
  for (int32_t i = 0; i < 300; ++i) {
    const double x = i % 60 == 0 && i > 0 ? -0.0 : i % 60;
    points.push_back({x, 2, 3, i + 1, "", i == 250 ? "wall" : ""});
    if (i < 60 || i == 250) expected += std::to_string(i + 1) + ";" + formatFixed(i % 60, 4) + ";2.0000;\r\n";
  }
  BlockId layout = layoutOf(points);
  TxtWriteSettings settings;
  settings.layout = "#XY";
  settings.delimiter = ';';
  EXPECT_EQ(write(layout, settings), expected);
}

TEST_F(TxtTest, WrittenIdsOffsetsAndCodePage) {
  BlockId layout = layoutOf({{1, 2, 3, 1, "0102"}, {1, 2, 4, 2, ""}, {1, 2, 5, 3, "a b"}, {1, 2, 6, 4, "caf\xC3\xA9"}});
  mFolder(layout)->xOffset = 1000;
  TxtWriteSettings settings;
  settings.layout = "#XY";
  settings.delimiter = 11;
  settings.alphaNumIds = true;
  settings.pointIdPrefix = "P";
  settings.codePage = 1252;
  EXPECT_EQ(write(layout, settings), "0102 1001.0000 2.0000 \r\nP2 1001.0000 2.0000 \r\n\"a b\" 1001.0000 2.0000 \r\n"
                                     "caf\xE9 1001.0000 2.0000 \r\n");
  settings.layout = "#xyC";
  EXPECT_EQ(failure([&] { write(layout, settings); }), 0);
  settings.layout = "#XZ";
  EXPECT_EQ(failure([&] { write(layout, settings); }), +ErrorCode::InvalidFormatString);
}

// --- round trips -------------------------------------------------------------------

TEST_F(TxtTest, RoundTrip) {
  struct Case {
    const char* name;
    std::string layout;
    char delimiter;
    char decimal;
    bool alphaNumIds;
  };
  const Case cases[] = {
      {"WsXyzKp", "#XYZKP", 11, '.', false},
      {"TabNez", "#NEZK", 9, '.', false},
      {"SemicolonCommaDummy", "#XYIZK", ';', ',', false},
      {"CommaAlphanumeric", "#EZNK", ',', '.', true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    BlockId original = layoutOf({{100.25, 200.5, 3.125, 1, "0102", "wall", "fence"},
                                 {-5.5, 0.125, -1, 7, "w 1", "", ""},
                                 {2600000.75, 1200000.5, 400.0001, 9, "", "kerb", ""}});
    TxtWriteSettings out;
    out.layout = c.layout;
    out.delimiter = c.delimiter;
    out.decimal = c.decimal;
    out.alphaNumIds = c.alphaNumIds;
    const std::string text = write(original, out);

    TxtReadSettings in;
    in.layout = std::string(c.layout);
    in.delimiter = c.delimiter;
    in.decimal = c.decimal;
    in.alphaNumIds = c.alphaNumIds;
    BlockId copy = read(text, in, "copy");
    LayoutRows a = rowsOf(original), b = rowsOf(copy);
    ASSERT_EQ(a.points.size(), b.points.size()) << text;
    for (size_t i = 0; i < a.points.size(); ++i) {
      SCOPED_TRACE(i);
      PointRow expected = a.points[i];
      if (c.alphaNumIds) {
        expected.number = static_cast<uint32_t>(i + 1);
        if (expected.name.empty()) expected.name = "#" + std::to_string(a.points[i].number);
      } else {
        expected.name.clear();
      }
      EXPECT_EQ(b.points[i], expected);
      if (c.layout.find('P') != std::string::npos) EXPECT_EQ(b.polygons[i].categories, a.polygons[i].categories);
    }
  }
}

}  // namespace
}  // namespace vltrx
