// CSV reader and writer: data-line and grouping rules, point-id modes,
// warnings and prompts, limits, code pages, writer layout and round trips.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "core/MessageTable.h"
#include "core/RecordStore.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/CsvReader.h"
#include "formats/CsvWriter.h"
#include "formats/TableCategories.h"
#include "formats/TablePointIds.h"
#include "formats/TableTokenizer.h"
#include "tests/support/Failure.h"
#include "tests/support/FakeCategories.h"
#include "tests/support/LayoutRows.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ScriptedUi.h"
#include "ui/Ui.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;
using test::failure;
using test::LayoutRows;
using test::layoutCount;
using test::PointRow;
using test::PolygonRow;
using test::rowsOf;

// --- helpers ---------------------------------------------------------------------

class CsvTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  BlockId read(std::string_view text, const CsvReadSettings& settings = {}, std::string_view name = "plan") {
    LineReader lines(MemoryInput{text});
    return readCsvLines(lines, rootFolder(), name, settings, categories, ui);
  }

  std::string write(BlockId layout, const CsvWriteSettings& settings = {}) {
    StringSink sink;
    writeCsvLayout(layout, sink, settings, categories, ui);
    return sink.str();
  }

  test::FakeCategories categories;
  test::ScriptedUi ui;
};

// --- reading ---------------------------------------------------------------------

TEST_F(CsvTest, DataLineRules) {
  struct Case {
    const char* name;
    std::string text;
    CsvReadSettings settings;
    std::vector<std::array<double, 3>> points;
  };
  CsvReadSettings comma;
  comma.decimal = ',';
  CsvReadSettings ws;
  ws.delimiter = 11;
  const std::vector<Case> cases = {
      {"DecimalComma", "1;100,5;200,25;3\n", comma, {{100.5, 200.25, 3}}},
      {"DecimalPointWithCommaSetting", "1;100.5;200.25;3\n", comma, {{100, 200, 3}}},
      {"WsDelimiter", "  7 \t 1.5   2.5  0\n", ws, {{1.5, 2.5, 0}}},
      {"TitleHeadsAndNotesSkipped", "Title\nPoint No.;X;Y;Z\n\nnote;;x\n1;1.5;2.5\n", {}, {{1.5, 2.5, 0}}},
      {"TrailingTextIgnoredHeightAnything", "1;1.5m;2.5 east;abc\n", {}, {{1.5, 2.5, 0}}},
      {"SecondCoordinateMissing", "1;1.5;;3\n1;1.5\n", {}, {}},
      {"SystemNezSwapsColumns", "System: NEZ\n1;200.5;100.5;3\n", {}, {{100.5, 200.5, 3}}},
      {"SystemYxzSwapsColumns", "System:YXZ\n1;200.5;100.5;3\n", {}, {{100.5, 200.5, 3}}},
      {"SystemAfterDataIgnored", "1;200.5;100.5;3\nSystem: NEZ\n2;200.5;100.5;3\n", {}, {{200.5, 100.5, 3}, {200.5, 100.5, 3}}},
      {"SystemWithWsDelimiter", "System: NEZ\n1 200.5 100.5 3\n", ws, {{100.5, 200.5, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    BlockId layout = read(c.text, c.settings);
    std::vector<std::array<double, 3>> got;
    for (const PointRow& p : rowsOf(layout).points) got.push_back({p.x, p.y, p.z});
    EXPECT_EQ(got, c.points);
  }
}

TEST_F(CsvTest, NezFixtureWithPolygonsCategoriesAndComments) {
  CsvReadSettings settings;
  LineReader lines(fs::path(VLTRX_TEST_DATA) / "csv" / "nez-polygons.csv");
  BlockId layout = readCsvLines(lines, rootFolder(), "nez", settings, categories, ui);
  EXPECT_EQ(preferredSystem(), PreferredSystem::Nez);
  LayoutRows rows = rowsOf(layout);
  const CategorySet wall{categories.id("wall")};
  const CategorySet kerbWall{std::min(categories.id("kerb"), wall[0]), std::max(categories.id("kerb"), wall[0])};
  ASSERT_EQ(rows.polygons.size(), 3u);
  EXPECT_EQ(rows.polygons[0], (PolygonRow{3, true, kerbWall, "house"}));
  EXPECT_EQ(rows.polygons[1], (PolygonRow{1, false, {}, ""}));
  // The last polygon is handed over as read: its repeated point stays.
  EXPECT_EQ(rows.polygons[2], (PolygonRow{4, true, {}, ""}));
  ASSERT_EQ(rows.points.size(), 8u);
  EXPECT_EQ(rows.points[0], (PointRow{100.25, 200.5, 3, 1, "", "first \"corner\"", wall}));
  EXPECT_EQ(rows.points[3], (PointRow{400.5, 300.125, 7, 5, "", "single", {}}));
  EXPECT_EQ(ui.warnings(), 0);
}

TEST_F(CsvTest, Grouping) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::pair<int, bool>> polygons;  // point count, closed
  };
  const std::vector<Case> cases = {
      {"SinglePointsUntilFirstMarker", "1;0.5;0\n2;1.5;0\n3;2.5;0;;;;open\n4;3.5;0\n", {{1, false}, {1, false}, {2, false}}},
      {"RepeatedFirstPointClosesAndIsRemoved",
       "1;0.5;0;0;;;closed\n2;1.5;0;0\n3;1.5;1;0\n4;0.5;0;0\n5;9.5;9;9;;;open\n",
       {{3, true}, {1, false}}},
      {"OpenPolygonClosedByRepeatedPoint", "1;0.5;0;0;;;x\n2;1.5;0;0\n3;1.5;1;0\n4;0.5;0.00004;0\n5;9.5;9;9;;;x\n",
       {{3, true}, {1, false}}},
      {"LastGroupUnchanged", "1;0.5;0;0;;;closed\n2;1.5;0;0\n3;1.5;1;0\n4;0.5;0;0\n", {{4, true}}},
      {"LastOpenGroupStaysOpen", "1;0.5;0;0;;;open\n2;1.5;0;0\n3;1.5;1;0\n4;0.5;0;0\n", {{4, false}}},
      {"HashMarksClosed", "1;0.5;0;0;;;#\n2;1.5;0;0\n3;1.5;1;0\n4;9.5;9;9;;;open\n", {{3, true}, {1, false}}},
      {"TwoPointsNeverClosed", "1;0.5;0;0;;;closed\n2;1.5;0;0\n3;9.5;9;9;;;open\n", {{2, false}, {1, false}}},
      {"ThreeWithRepeatIsTwoOpen", "1;0.5;0;0;;;closed\n2;1.5;0;0\n3;0.5;0;0\n4;9.5;9;9;;;open\n", {{2, false}, {1, false}}},
      {"FarPointDoesNotClose", "1;0.5;0;0;;;open\n2;1.5;0;0\n3;1.5;1;0\n4;0.5;0.0001;0\n5;9.5;9;9;;;x\n",
       {{4, false}, {1, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    BlockId layout = read(c.text);
    std::vector<std::pair<int, bool>> got;
    for (const PolygonRow& p : rowsOf(layout).polygons) got.emplace_back(p.count, p.closed);
    EXPECT_EQ(got, c.polygons);
  }
}

TEST_F(CsvTest, FractionWarningOnceAtEnd) {
  struct Case {
    const char* name;
    std::string text;
    bool quiet;
    uint32_t points;
    bool warned;
  };
  const std::vector<Case> cases = {
      {"WholeNumbersWarnedOnce", "1;100;200;3\n2;101;201;3\n3;102;202;3.5\n", false, 3, true},
      {"FractionInYIsEnough", "1;100;200.5;3\n2;101;201;3\n", false, 2, false},
      {"EmptyPlanStillWarned", "no data at all\n", false, 0, true},
      {"QuietShowsNothing", "1;100;200;3\n", true, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    test::ScriptedUi scripted;
    scripted.setQuiet(c.quiet);
    LineReader lines(MemoryInput{c.text});
    BlockId layout = readCsvLines(lines, rootFolder(), "plan", {}, categories, scripted);
    EXPECT_EQ(pointCount(layout), c.points);
    EXPECT_EQ(layoutCount(), 1);
    EXPECT_EQ(scripted.warningIds, c.warned ? std::vector<int>{105} : std::vector<int>{});
  }
}

TEST_F(CsvTest, DecimalCommaFixture) {
  CsvReadSettings settings;
  settings.decimal = ',';
  LineReader lines(fs::path(VLTRX_TEST_DATA) / "csv" / "decimal-comma.csv");
  BlockId layout = readCsvLines(lines, rootFolder(), "comma", settings, categories, ui);
  std::vector<std::array<double, 3>> got;
  for (const PointRow& p : rowsOf(layout).points) got.push_back({p.x, p.y, p.z});
  EXPECT_EQ(got, (std::vector<std::array<double, 3>>{{100.5, 200.25, 3}, {101.5, 201, 4.5}}));
  EXPECT_EQ(ui.warnings(), 0);
}

TEST_F(CsvTest, CancelledWarningLeavesNoLayout) {
  ui.warningAnswer = false;
  EXPECT_EQ(failure([&] { read("1;100;200;3\n"); }), 1);
  EXPECT_EQ(layoutCount(), 0);
}

TEST_F(CsvTest, PointIdReduction) {
  CsvReadSettings settings;
  settings.pidReduce = true;
  settings.alphaNumIds = true;  // reduction takes precedence
  BlockId layout = read("123456;0.5;0\n23456;1.5;0\nA7;2.5;0\n20000;3.5;0\n0042;4.5;0\n", settings);
  std::vector<uint32_t> numbers;
  for (const PointRow& p : rowsOf(layout).points) {
    numbers.push_back(p.number);
    EXPECT_EQ(p.name, "");
    EXPECT_EQ(p.comment, "");
  }
  EXPECT_EQ(numbers, (std::vector<uint32_t>{3456, 10001, 10002, 10003, 42}));
  // Prompts for the duplicate and the alphanumeric id, none for the cut ones.
  ASSERT_EQ(ui.prompts.size(), 2u);
  EXPECT_NE(ui.prompts[0].find("23456"), std::string::npos);
  EXPECT_NE(ui.prompts[0].find("10001"), std::string::npos);
  EXPECT_NE(ui.prompts[1].find("A7"), std::string::npos);
}

TEST_F(CsvTest, PointIdReductionWithIdAsComment) {
  CsvReadSettings settings;
  settings.pidReduce = true;
  ui.promptAnswer = kRenumberDontAsk | kRenumberIdAsComment;
  BlockId layout = read("17;0.5;0;0;;\"c1\"\n17;1.5;0;0;;\"c2\"\nB;2.5;0;0;;\"c3\"\n123456;3.5;0;0;;\"c4\"\n", settings);
  std::vector<std::string> comments;
  for (const PointRow& p : rowsOf(layout).points) comments.push_back(p.comment);
  EXPECT_EQ(comments, (std::vector<std::string>{"c1", "17", "B", "123456"}));
  EXPECT_EQ(ui.prompts.size(), 1u);  // "do not ask again"
}

TEST_F(CsvTest, CancelledPromptLeavesNoLayout) {
  CsvReadSettings settings;
  settings.pidReduce = true;
  ui.promptAnswer = -1;
  EXPECT_EQ(failure([&] { read("5;0.5;0\n5;1.5;0\n", settings); }), +ErrorCode::Cancelled);
  EXPECT_EQ(layoutCount(), 0);
  // Quiet: no prompt, the file loads.
  ui.setQuiet(true);
  EXPECT_EQ(failure([&] { read("5;0.5;0\n5;1.5;0\n", settings); }), 0);
}

TEST_F(CsvTest, AlphanumericIds) {
  CsvReadSettings settings;
  settings.alphaNumIds = true;
  BlockId layout = read("P1;0.5;0\nP2;1.5;0\nP1;2.5;0\n;3.5;0\n", settings);
  std::vector<std::pair<uint32_t, std::string>> got;
  for (const PointRow& p : rowsOf(layout).points) got.emplace_back(p.number, p.name);
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, std::string>>{{1, "P1"}, {2, "P2"}, {3, ""}, {4, ""}}));
  EXPECT_EQ(ui.prompts.size(), 1u);
}

TEST_F(CsvTest, PlainIds) {
  // No ids at all: numbered 1, 2, 3 by the final check.
  BlockId layout = read("a;0.5;0\nb;1.5;0\n-4;2.5;0\n");
  std::vector<uint32_t> numbers;
  for (const PointRow& p : rowsOf(layout).points) numbers.push_back(p.number);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 2, 3}));
}

TEST_F(CsvTest, Limits) {
  try {
    read("1;0.5;0\n2147483601;1.5;0\n");
    FAIL() << "no error";
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::PointNumberTooBig);
    EXPECT_NE(e.message().find("2147483601"), std::string::npos);
  }
  EXPECT_EQ(layoutCount(), 0);
  EXPECT_EQ(failure([&] { read("2147483600;1.5;0\n"); }), 0);
  resetMeasurementStore();
  EXPECT_EQ(failure([&] { read("99999999999999999999999;1.5;0\n"); }), +ErrorCode::PointNumberTooBig);

  // Numbers for renumbered points end at 2147483600.
  for (bool reduce : {true, false}) {
    SCOPED_TRACE(reduce ? "reduction" : "alphanumeric");
    TablePointIds ids("CSV", reduce, !reduce, 2147483600);
    ui.setQuiet(true);
    EXPECT_EQ(ids.assign("A", "A", ui).number, 2147483600u);
    EXPECT_EQ(failure([&] { ids.assign("B", "B", ui); }), +ErrorCode::TooManyPoints);
  }
}

TEST_F(CsvTest, DuplicateIds) {
  EXPECT_EQ(failure([&] { read("7;0.5;0\n7;1.5;0\n"); }), +ErrorCode::InvalidPointNumbers);
  EXPECT_EQ(layoutCount(), 0);
  CsvReadSettings settings;
  settings.acceptDuplicateIds = true;
  BlockId layout = read("7;0.5;0\n7;1.5;0\n", settings);
  EXPECT_EQ(pointCount(layout), 2u);
}

TEST_F(CsvTest, ExistingLayoutName) {
  read("1;0.5;0\n", {}, "same");
  EXPECT_EQ(failure([&] { read("1;0.5;0\n", {}, "SAME"); }), +ErrorCode::LayoutExists);
  EXPECT_EQ(layoutCount(), 1);
}

TEST_F(CsvTest, FileLayoutNamedAfterStem) {
  test::Sandbox sandbox;
  fs::path file = sandbox.tmp() / "Site 12.survey.csv";
  std::ofstream(file, std::ios::binary) << "1;0.5;0\n";
  BlockId layout = readCsvFile(file, rootFolder(), {}, categories, ui);
  EXPECT_EQ(nodeName(layout), "Site 12.survey");
  EXPECT_EQ(failure([&] { readCsvFile(sandbox.tmp() / "none.csv", rootFolder(), {}, categories, ui); }),
            +ErrorCode::CannotOpenFile);
}

TEST_F(CsvTest, CodePagesAndBadBytes) {
  CsvReadSettings settings;
  settings.codePage = 1252;
  BlockId layout = read("1;0.5;0;0;\"Stra\xDF" "e\";\"caf\xE9\"\n", settings);
  LayoutRows rows = rowsOf(layout);
  EXPECT_EQ(rows.points[0].comment, "caf\xC3\xA9");
  std::string name;
  ASSERT_TRUE(categories.nameOf(rows.points[0].categories.at(0), name));
  EXPECT_EQ(name, "stra\xC3\x9F" "e");  // the fake folds ASCII only

  resetMeasurementStore();
  settings.codePage = 65001;
  const char raw[] = "1;0.5;0;0;\"a\xFF\";\"x\0y\xC3\"\n\0\0\0;\0;\n";
  const std::string bad(raw, sizeof raw - 1);
  layout = read(bad, settings);
  rows = rowsOf(layout);
  ASSERT_EQ(rows.points.size(), 1u);
  EXPECT_EQ(rows.points[0].comment, "xy\xEF\xBF\xBD");
}

TEST_F(CsvTest, BinaryGarbageAroundDataLines) {
  // Random bytes with NULs and stray quotes around two data lines.
  CsvReadSettings settings;
  settings.acceptDuplicateIds = true;
  settings.codePage = 65001;
  LineReader lines(fs::path(VLTRX_TEST_DATA) / "csv" / "binary-garbage.csv");
  BlockId layout = readCsvLines(lines, rootFolder(), "garbage", settings, categories, ui);
  LayoutRows rows = rowsOf(layout);
  ASSERT_EQ(rows.points.size(), 2u);
  EXPECT_EQ(rows.points[0].number, 7u);
  EXPECT_EQ(rows.points[0].comment, "c\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(rows.points[0].categories, CategorySet{categories.id("catx")});
  EXPECT_EQ(rows.points[1], (PointRow{2.5, 3.5, 4, 8, "", "", {}}));
}

// --- writing ---------------------------------------------------------------------

// A layout with a closed polygon, a single point and an open polygon,
// categories, comments, names and an offset.
BlockId sampleLayout(test::FakeCategories& categories) {
  CategorySet wall, both;
  categories.idsFromNames("Wall", wall);
  categories.idsFromNames("Kerb, Wall", both);
  StagedPlan plan;
  StagedPolygon& closed = plan.polygons.emplace_back();
  closed.closed = true;
  closed.categories = both;
  closed.comment = "house \"A\"";
  for (int i = 0; i < 3; ++i) {
    StagedPoint& p = closed.points.emplace_back();
    p.x = 100.25 + i;
    p.y = 200.5 + (i == 2);
    p.z = 3;
    p.sourceNumber = 1 + i;
  }
  closed.points[0].categories = wall;
  closed.points[0].comment = "corner; \"x\"";
  StagedPolygon& single = plan.polygons.emplace_back();
  StagedPoint& s = single.points.emplace_back();
  s.x = -5.5;
  s.y = 0.125;
  s.z = -1.00004;
  s.sourceNumber = 10;
  s.name = "P 10";
  s.comment = "caf\xC3\xA9";
  StagedPolygon& open = plan.polygons.emplace_back();
  for (int i = 0; i < 2; ++i) {
    StagedPoint& p = open.points.emplace_back();
    p.x = 7.5 + i;
    p.y = 8.5;
    p.z = 9.5;
    p.sourceNumber = 20 + i;
  }
  BlockId layout = createLayout(rootFolder(), "sample");
  commitStagedPlan(layout, plan);
  EXPECT_EQ(checkPointNumbers(layout), 0);
  return layout;
}

TEST_F(CsvTest, WriterLayout) {
  BlockId layout = sampleLayout(categories);
  mFolder(layout)->xOffset = 1000;
  setPreferredSystem(PreferredSystem::Nez);
  const std::string expected =
      "Velmora CSV Version 2.1\r\nSystem: NEZ\r\n\r\n"
      "Point No.;N;E;Z;Point Categories;Point Comment;New Poly;Poly Categories;Poly Comment\r\n\r\n"
      "1;200.5000;1100.2500;3.0000;\"wall\";\"corner; \"\"x\"\"\";closed;\"wall, kerb\";\"house \"\"A\"\"\"\r\n"
      "2;200.5000;1101.2500;3.0000;;\r\n"
      "3;201.5000;1102.2500;3.0000;;\r\n"
      "10;0.1250;994.5000;-1.0000;;\"caf\xC3\xA9\";open;;\r\n"
      "20;8.5000;1007.5000;9.5000;;;open;;\r\n"
      "21;8.5000;1008.5000;9.5000;;\r\n";
  CsvWriteSettings settings;
  settings.codePage = 65001;
  EXPECT_EQ(write(layout, settings), expected);
}

TEST_F(CsvTest, WriterOptions) {
  BlockId layout = sampleLayout(categories);
  CsvWriteSettings settings;
  settings.delimiter = 9;
  settings.decimal = ',';
  settings.alphaNumIds = true;
  settings.codePage = 1252;
  settings.pointIdPrefix = "#";
  std::string out = write(layout, settings);
  EXPECT_NE(out.find("\r\nPoint No.\tX\tY\tZ\tPoint Categories\t"), std::string::npos);
  EXPECT_NE(out.find("\r\n#1\t100,2500\t200,5000\t3,0000\t\"wall\"\t"), std::string::npos);
  EXPECT_NE(out.find("\r\nP 10\t-5,5000\t0,1250\t-1,0000\t\t\"caf\xE9\"\topen\t\t\r\n"), std::string::npos);

  settings.delimiter = 11;
  settings.decimal = '.';
  out = write(layout, settings);
  EXPECT_NE(out.find("\r\n\"P 10\" -5.5000 0.1250 -1.0000 \"\" \"caf\xE9\" open \"\" \"\"\r\n"), std::string::npos);
}

TEST_F(CsvTest, WriterTextsNeverBreakLines) {
  StagedPlan plan;
  StagedPoint& p = plan.polygons.emplace_back().points.emplace_back();
  p.sourceNumber = 1;
  p.x = 0.5;
  p.comment = "two\r\nlines\n5;1;2";
  p.categories = {1, 99};  // 99 is not in the list
  CategorySet ids;
  categories.idsFromNames("Wall", ids);
  BlockId layout = createLayout(rootFolder(), "texts");
  commitStagedPlan(layout, plan);
  std::string out = write(layout);
  EXPECT_NE(out.find("\r\n1;0.5000;0.0000;0.0000;\"wall, \";\"two  lines 5;1;2\";open;;\r\n"), std::string::npos);
  resetMeasurementStore();
  EXPECT_EQ(pointCount(read(out)), 1u);
}

TEST_F(CsvTest, CategoryListInForce) {
  resetRecordStore();
  TableCategories& active = activeTableCategories();
  // The polygon's categories are read before the point's: KERB comes first.
  LineReader lines(MemoryInput{"1;0.5;0;0;\"Wall, kerb\";;open;\"KERB,Fence\"\n2;1.5;0;0;\"wall\"\n"});
  BlockId layout = readCsvLines(lines, rootFolder(), "plan", {}, active, ui);
  StringSink sink;
  writeCsvLayout(layout, sink, {}, active, ui);
  EXPECT_NE(sink.str().find("\r\n1;0.5000;0.0000;0.0000;\"KERB, Wall\";;open;\"KERB, Fence\";\r\n2;1.5000;0.0000;0.0000;\"Wall\";\r\n"),
            std::string::npos)
      << sink.str();
  resetRecordStore();
}

// --- round trips -------------------------------------------------------------------

TEST_F(CsvTest, RoundTrip) {
  struct Case {
    const char* name;
    char delimiter;
    char decimal;
    bool alphaNumIds;
    uint32_t codePage;
    PreferredSystem system;
  };
  const std::vector<Case> cases = {
      {"Semicolon", ';', '.', false, 65001, PreferredSystem::Xyz},
      {"TabDecimalCommaNez", 9, ',', false, 1252, PreferredSystem::Nez},
      {"WsAlphanumericYxz", 11, '.', true, 1252, PreferredSystem::Yxz},
      {"Comma", ',', '.', true, 850, PreferredSystem::Xyz},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    BlockId original = sampleLayout(categories);
    setPreferredSystem(c.system);
    CsvWriteSettings out;
    out.delimiter = c.delimiter;
    out.decimal = c.decimal;
    out.alphaNumIds = c.alphaNumIds;
    out.codePage = c.codePage;
    const std::string text = write(original, out);

    CsvReadSettings in;
    in.delimiter = c.delimiter;
    in.decimal = c.decimal;
    in.alphaNumIds = c.alphaNumIds;
    in.codePage = c.codePage;
    BlockId copy = read(text, in, "copy");
    EXPECT_EQ(preferredSystem(), c.system);
    LayoutRows a = rowsOf(original), b = rowsOf(copy);
    EXPECT_EQ(a.polygons, b.polygons);
    ASSERT_EQ(a.points.size(), b.points.size());
    for (size_t i = 0; i < a.points.size(); ++i) {
      SCOPED_TRACE(i);
      PointRow expected = a.points[i];
      expected.z = std::round(expected.z * 1e4) / 1e4;  // four decimals written
      if (!c.alphaNumIds) expected.name.clear();  // names are written as ids only
      if (c.alphaNumIds) {
        expected.number = static_cast<uint32_t>(i + 1);  // numbered in file order
        if (expected.name.empty()) expected.name = "#" + std::to_string(a.points[i].number);
      }
      EXPECT_EQ(b.points[i], expected);
    }
  }
}

}  // namespace
}  // namespace vltrx
