// GSI reader and writer: word values and units, text values, the words of a
// block (GSI-8, GSI-16, cut words, unset values), points from coordinates
// and polar measurements, point ids, comments and codes, hand-written field
// files, the written blocks byte for byte, and round trips.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LineReader.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "core/PointNumberer.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/GsiReader.h"
#include "formats/GsiWriter.h"
#include "tests/support/Failure.h"
#include "tests/support/FakeCategories.h"
#include "tests/support/LayoutRows.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
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

constexpr double kPi = std::numbers::pi;

// A GSI-8 or GSI-16 word from its parts, the data padded with "0" on the
// left, with its separating blank.
std::string word8(const char* head, char sign, std::string data) {
  return std::string(head) + sign + std::string(8 - data.size(), '0') + data + " ";
}
std::string word16(const char* head, char sign, std::string data) {
  return std::string(head) + sign + std::string(16 - data.size(), '0') + data + " ";
}

class GsiTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  BlockId read(std::string_view text, const GsiReadSettings& settings = {}, std::string_view name = "plan") {
    LineReader lines(MemoryInput{text});
    return readGsiLines(lines, rootFolder(), name, settings, categories, ui);
  }

  std::string write(BlockId layout, const GsiWriteSettings& settings = {}) {
    StringSink sink;
    writeGsiLayout(layout, sink, settings, ui);
    return sink.str();
  }

  struct Staged {
    double x, y, z;
    int32_t number;
    std::string name, comment;
  };
  BlockId layoutOf(const std::vector<Staged>& points, std::string_view name = "staged") {
    StagedPlan plan;
    for (const Staged& s : points) {
      StagedPoint& p = plan.polygons.emplace_back().points.emplace_back();
      p.x = s.x, p.y = s.y, p.z = s.z, p.sourceNumber = s.number, p.name = s.name, p.comment = s.comment;
    }
    BlockId layout = createLayout(rootFolder(), name);
    commitStagedPlan(layout, plan);
    return layout;
  }

  test::FakeCategories categories;
  test::ScriptedUi ui;
};

// --- words ------------------------------------------------------------------------

TEST_F(GsiTest, WordValuesByUnit) {
  struct Case {
    const char* word;
    bool number;
    double value;  // as the data hold it
    double raw;    // as the instrument wrote it
  };
  const Case cases[] = {
      {"81..00+00012345", true, 12.345, 12.345},
      {"81..10-00012345", true, -12.345, -12.345},
      {"81..01+00010000", true, 3.048, 3.048},
      {"81..06+00123456", true, 12.3456, 12.3456},
      {"81..07+00010000", true, 0.3048, 0.3048},
      {"81..18+0000000123456789", true, 1234.56789, 1234.56789},
      {"21.322+10000000", true, 1.5 * kPi, 0.5 * kPi},         // 100 gon clockwise
      {"21.322+00000000", true, 0, 0},
      {"21.322+40000000", true, 0, 2 * kPi},                   // a full turn
      {"21.323+09000000", true, 1.5 * kPi, 0.5 * kPi},         // 90 degrees
      {"21.324+04530300", true, 2 * kPi - (45 * 3600 + 30 * 60 + 30) * kPi / 648000,
       (45 * 3600 + 30 * 60 + 30) * kPi / 648000},             // 45 30'30.0"
      {"21.325+16000000", true, 1.5 * kPi, 0.5 * kPi},         // 1600 mil
      {"21.322-10000000", true, 0.5 * kPi, -0.5 * kPi},
      {"11....+00000123", true, 123, 123},                     // no unit: the number itself
      {"83..00+0000----", false, 0, 0},                         // unset
      {"81..10+00000000000-----", false, 0, 0},
      {"71....+0000WALL", false, 0, 0},
      {"81..00+        ", false, 0, 0},
      {"81..00+", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    double value = -99, raw = -99;
    bool angle = false;
    EXPECT_EQ(gsiValue(c.word, value), c.number);
    EXPECT_EQ(gsiRawValue(c.word, raw, angle), c.number);
    if (!c.number) continue;
    EXPECT_NEAR(value, c.value, 1e-12);
    EXPECT_NEAR(raw, c.raw, 1e-12);
    EXPECT_EQ(angle, c.word[5] >= '2' && c.word[5] <= '5');
  }
}

TEST_F(GsiTest, TextValue) {
  const std::pair<const char*, const char*> cases[] = {
      {"71....+0000000000000ABC", "ABC"}, {"71....+0000000000000000", ""},  {"11....+0000A110", "A110"},
      {"71....+00000OAK 2", "OAK 2"},      {"71....+0000A  ", "A"},            {"11....+00001020", "1020"},
      {"11....+", ""},
  };
  for (const auto& [word, expected] : cases) {
    SCOPED_TRACE(word);
    EXPECT_EQ(gsiText(word), expected);
  }
}

// --- blocks -----------------------------------------------------------------------

TEST_F(GsiTest, PointsFromBlocks) {
  struct Case {
    const char* name;
    std::string line;
    bool point;
    double x, y, z;
  };
  const std::string id = word8("11....", '+', "1");
  const std::string id16 = "*" + word16("110001", '+', "1");
  const std::vector<Case> cases = {
      {"Gsi8Millimetres", id + word8("81..00", '+', "12345") + word8("82..00", '-', "2500") + word8("83..00", '+', "100"),
       true, 12.345, -2.5, 0.1},
      {"Gsi16", id16 + word16("81..10", '+', "1234567") + word16("82..10", '+', "7654321") + word16("83..10", '+', "1"),
       true, 1234.567, 7654.321, 0.001},
      {"Gsi16WithoutStar", word16("110001", '+', "1") + word16("81..10", '+', "1000") + word16("82..10", '+', "2000"),
       true, 1, 2, 0},
      {"WordsInAnyOrder", word8("83..00", '+', "3000") + word8("82..00", '+', "2000") + id + word8("81..00", '+', "1000"),
       true, 1, 2, 3},
      {"HeightMissing", id + word8("81..00", '+', "1000") + word8("82..00", '+', "2000"), true, 1, 2, 0},
      {"CutWordNotFound", id + word8("81..00", '+', "1000") + word8("82..00", '+', "2000") + "83..00+0000", true, 1, 2, 0},
      {"LastWordWithoutBlank", id + word8("81..00", '+', "1000") + word8("82..00", '+', "2000") + "83..00+00003000",
       true, 1, 2, 3},
      {"UnsetHeight", id + word8("81..00", '+', "1000") + word8("82..00", '+', "2000") + "83..00+0000---- ", true, 1, 2, 0},
      {"UnknownWordsIgnored", id + word8("51....", '+', "0034-012") + word8("87..10", '+', "1500") +
                                  word8("81..00", '+', "1000") + word8("82..00", '+', "2000"),
       true, 1, 2, 0},
      {"Polar", id + word8("21.322", '+', "5000000") + word8("22.322", '+', "10000000") + word8("31..00", '+', "10000"),
       true, 10 * std::sin(kPi / 4), 10 * std::cos(kPi / 4), 0},
      {"PolarUphill", id + word8("21.322", '+', "0") + word8("22.322", '+', "5000000") + word8("31..00", '+', "2000"),
       true, 0, 2 * std::sin(kPi / 4), 2 * std::cos(kPi / 4)},
      {"CoordinatesBeforePolar", id + word8("81..00", '+', "1000") + word8("82..00", '+', "2000") +
                                     word8("21.322", '+', "0") + word8("22.322", '+', "0") + word8("31..00", '+', "9"),
       true, 1, 2, 0},
      {"UnsetEastFallsBackToPolar", id + "81..00+0000---- " + word8("82..00", '+', "2000") +
                                        word8("21.322", '+', "0") + word8("22.322", '+', "10000000") +
                                        word8("31..00", '+', "5000"),
       true, 0, 5, 0},
      {"PolarIncomplete", id + word8("21.322", '+', "5000000") + word8("31..00", '+', "10000"), false, 0, 0, 0},
      {"OnlyEast", id + word8("81..00", '+', "1000"), false, 0, 0, 0},
      {"NoPointId", word8("81..00", '+', "1000") + word8("82..00", '+', "2000"), false, 0, 0, 0},
      {"UnsetPointId", "11....+-------- " + word8("81..00", '+', "1000") + word8("82..00", '+', "2000"), false, 0, 0, 0},
      {"CodeBlock", word8("410001", '+', "TREE") + word8("42....", '+', "1"), false, 0, 0, 0},
      {"StationBlock", id + word8("84..10", '+', "1000") + word8("85..10", '+', "2000") + word8("86..10", '+', "100"),
       false, 0, 0, 0},
      {"Blank", "", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    const LayoutRows rows = rowsOf(read(c.line + "\r\n"));
    ASSERT_EQ(rows.points.size(), c.point ? 1u : 0u);
    if (!c.point) continue;
    EXPECT_NEAR(rows.points[0].x, c.x, 1e-9);
    EXPECT_NEAR(rows.points[0].y, c.y, 1e-9);
    EXPECT_NEAR(rows.points[0].z, c.z, 1e-9);
  }
}

TEST_F(GsiTest, PointIdReductionAlwaysOn) {
  const std::string xy = word8("81..00", '+', "1000") + word8("82..00", '+', "2000") + "\r\n";
  BlockId layout = read(word8("11....", '+', "123456") + xy + word8("11....", '+', "3456") + xy +
                        word8("11....", '+', "w1") + xy + word8("11....", '+', "0042") + xy);
  std::vector<uint32_t> numbers;
  for (const PointRow& p : rowsOf(layout).points) numbers.push_back(p.number);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{3456, 10001, 10002, 42}));
  ASSERT_EQ(ui.prompts.size(), 2u);
  EXPECT_NE(ui.prompts[0].find("GSI"), std::string::npos);
}

TEST_F(GsiTest, CommentsAndCodes) {
  const std::string block = word8("11....", '+', "7") + word8("81..00", '+', "1000") + word8("82..00", '+', "2000") +
                            word8("71....", '+', "WALL") + word8("41....", '+', "TREE") + "\r\n";
  struct Case {
    const char* name;
    int commentIndex, categoryIndex;
    std::string comment;
    bool category;
  };
  const Case cases[] = {
      {"Defaults", 71, 0, "WALL", false},
      {"CodeWordIndex", 71, 41, "WALL", true},
      {"CommentFromOtherWord", 41, 0, "TREE", false},
      {"NoComment", 0, 0, "", false},
      {"AbsentWord", 72, 42, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    GsiReadSettings settings;
    settings.commentWordIndex = c.commentIndex;
    settings.categoryWordIndex = c.categoryIndex;
    const PointRow p = rowsOf(read(block, settings)).points.at(0);
    EXPECT_EQ(p.comment, c.comment);
    EXPECT_EQ(p.categories, c.category ? CategorySet{categories.id("tree")} : CategorySet{});
  }
  // With the prompt's "use point id as comment" a renumbered id is the comment.
  resetMeasurementStore();
  ui.promptAnswer = kRenumberIdAsComment;
  const std::string xy = word8("81..00", '+', "1") + word8("82..00", '+', "1") + "\r\n";
  const PointRow p = rowsOf(read(word8("11....", '+', "123456") + xy + word8("11....", '+', "A1") + xy)).points.at(1);
  EXPECT_EQ(p.comment, "A1");
}

TEST_F(GsiTest, Gsi8FieldFile) {
  BlockId layout =
      readGsiFile(fs::path(VLTRX_TEST_DATA) / "gsi" / "gsi8-field.gsi", rootFolder(), {}, categories, ui);
  EXPECT_EQ(nodeName(layout), "gsi8-field");
  const LayoutRows rows = rowsOf(layout);
  ASSERT_EQ(rows.points.size(), 6u);
  std::vector<uint32_t> numbers;
  for (const PointRow& p : rows.points) numbers.push_back(p.number);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{10001, 12, 13, 14, 15, 16}));
  EXPECT_EQ(rows.points[0], (PointRow{5.387, -0.992, 0.104, 10001, "", "", {}}));
  EXPECT_NEAR(rows.points[1].x, 10, 1e-9);  // polar: 100 gon, horizontal, 10 m
  EXPECT_NEAR(rows.points[1].y, 0, 1e-9);
  EXPECT_NEAR(rows.points[1].z, 0, 1e-9);
  EXPECT_EQ(rows.points[2], (PointRow{12.3456, 65.4321, -0.1, 13, "", "", {}}));
  EXPECT_EQ(rows.points[3], (PointRow{1, 2, 0, 14, "", "", {}}));
  EXPECT_EQ(rows.points[4], (PointRow{2, 3, 0, 15, "", "WALL", {}}));
  EXPECT_EQ(rows.points[5], (PointRow{4, 5, 0, 16, "", "", {}}));
  EXPECT_EQ(rows.polygons.size(), 6u);
  EXPECT_EQ(ui.prompts.size(), 1u);  // A110
  EXPECT_TRUE(ui.warningIds.empty());  // no fraction check
}

TEST_F(GsiTest, Gsi16FileWithGsi8BlocksAndAlphanumericIds) {
  GsiReadSettings settings;
  settings.alphaNumIds = true;
  settings.categoryWordIndex = 41;
  BlockId layout =
      readGsiFile(fs::path(VLTRX_TEST_DATA) / "gsi" / "gsi16-mixed.gsi", rootFolder(), settings, categories, ui);
  const LayoutRows rows = rowsOf(layout);
  ASSERT_EQ(rows.points.size(), 6u);
  EXPECT_EQ(rows.points[0], (PointRow{1234.567, 7654.321, 1, 1, "w1", "", {}}));
  EXPECT_EQ(rows.points[1], (PointRow{1000, 2000, -0.5, 2, "w2", "", {}}));
  EXPECT_EQ(rows.points[2], (PointRow{1, 2, 0, 3, "w3", "", {}}));
  EXPECT_EQ(rows.points[3].name, "102");
  EXPECT_NEAR(rows.points[3].x, 14.142 * std::sin(kPi / 4), 1e-9);  // DMS 45 degrees, horizontal
  EXPECT_NEAR(rows.points[3].y, 14.142 * std::cos(kPi / 4), 1e-9);
  EXPECT_NEAR(rows.points[3].z, 0, 1e-9);
  EXPECT_EQ(rows.points[4].name, "w5");  // unset east: polar, north
  EXPECT_NEAR(rows.points[4].x, 0, 1e-9);
  EXPECT_NEAR(rows.points[4].y, 2, 1e-9);
  EXPECT_EQ(rows.points[5], (PointRow{1234.56789, 9876.54321, 1, 6, "w7", "OAK 2", {categories.id("tree")}}));
  EXPECT_TRUE(ui.prompts.empty());
}

TEST_F(GsiTest, HostileInput) {
  ui.setQuiet(true);
  // A word with 10,000 digits: the first 16 characters are the word, the
  // rest are words of index 00.
  const std::string longWord = "11....+" + std::string(10000, '1') + " 81..00+00001000 82..00+00002000 \r\n";
  EXPECT_EQ(pointCount(read(longWord)), 0u);
  resetMeasurementStore();
  EXPECT_EQ(pointCount(read(std::string(100000, '\r'))), 0u);
  resetMeasurementStore();
  EXPECT_EQ(pointCount(read(std::string(3u << 20, '*') + "\n" + std::string(5000, ' '))), 0u);
  resetMeasurementStore();
  EXPECT_EQ(pointCount(read("1")), 0u);
  EXPECT_EQ(failure([&] { readGsiFile("/nonexistent/none.gsi", rootFolder(), {}, categories, ui); }),
            +ErrorCode::CannotOpenFile);
}

TEST_F(GsiTest, CancelledPromptLeavesNoLayout) {
  ui.promptAnswer = -1;
  const std::string xy = word8("81..00", '+', "1000") + word8("82..00", '+', "2000") + "\r\n";
  EXPECT_EQ(failure([&] { read(word8("11....", '+', "5") + xy + word8("11....", '+', "5") + xy); }),
            +ErrorCode::Cancelled);
  EXPECT_EQ(layoutCount(), 0);
}

// --- writing ----------------------------------------------------------------------

TEST_F(GsiTest, WrittenBlocks) {
  BlockId layout = layoutOf({{1.2345, -2.5, 0.0005, 12, "", "fence"},
                             {1000.5, 2000.25, 300, 3, "", "a comment longer than sixteen"},
                             {-0.0004, 0, 0, 7, "", ""}});
  mFolder(layout)->yOffset = 100;
  EXPECT_EQ(write(layout),
            "*110001+0000000000000003 71....+a comment longer 81..10+0000000001000500 "
            "82..10+0000000002100250 83..10+0000000000300000 \r\n"
            "*110002+0000000000000007 71....+0000000000000000 81..10-0000000000000000 "
            "82..10+0000000000100000 83..10+0000000000000000 \r\n"
            "*110003+0000000000000012 71....+00000000000fence 81..10+0000000000001234 "
            "82..10+0000000000097500 83..10+0000000000000000 \r\n");
}

TEST_F(GsiTest, WrittenAlphanumericIds) {
  BlockId layout = layoutOf({{1, 2, 3, 1, "w1", ""}, {2, 2, 3, 2, "", ""}, {3, 2, 3, 3, "ABCDEFGHIJKLMNOPQRS", ""},
                             {4, 2, 3, 4, "0102", "two\r\nlines"}});
  GsiWriteSettings settings;
  settings.alphaNumIds = true;
  settings.pointIdPrefix = "P";
  const std::string out = write(layout, settings);
  EXPECT_NE(out.find("*110001+00000000000000w1 71....+"), std::string::npos) << out;
  EXPECT_NE(out.find("*110002+00000000000000P2 71....+"), std::string::npos) << out;
  EXPECT_NE(out.find("*110003+DEFGHIJKLMNOPQRS 71....+"), std::string::npos) << out;
  EXPECT_NE(out.find("*110004+0000000000000102 71....+000000two  lines 81..10"), std::string::npos) << out;

  // In UTF-8 a text is cut by bytes but never inside a character.
  resetMeasurementStore();
  layout = layoutOf({{1, 2, 3, 1, "\xC3\xA9" + std::string(15, 'a'), "abcdefghijklmno\xC3\xA9"}});
  settings.codePage = 65001;
  EXPECT_NE(write(layout, settings).find("*110001+0" + std::string(15, 'a') + " 71....+0abcdefghijklmno 81..10"),
            std::string::npos);
}

TEST_F(GsiTest, NearDuplicatesWrittenOnce) {
  BlockId layout = layoutOf({{1, 1, 1, 5}, {1.00005, 1, 1, 3}, {1.00009, 1.00005, 0.99995, 9}, {1.00016, 1, 1, 4},
                             {5, 5, 5, 1}});
  const std::string out = write(layout);
  // 5, 3 and 9 are within 0.0001 of each other: 3 stays. 4 is near 9 but
  // 0.00011 from 3, the survivor it is compared with, and stays.
  std::vector<std::string> ids;
  for (size_t pos = 0; (pos = out.find("*11", pos)) != std::string::npos; pos += 3) ids.push_back(out.substr(pos + 20, 4));
  EXPECT_EQ(ids, (std::vector<std::string>{"0001", "0003", "0004"}));
}

TEST_F(GsiTest, BlockNumbersWrapAt10000) {
  std::vector<Staged> points;
  for (int i = 1; i <= 10001; ++i) points.push_back({static_cast<double>(i), 0, 0, i});
  const std::string out = write(layoutOf(points));
  const size_t line = 123;  // bytes of one block
  ASSERT_EQ(out.size(), 10001 * line);
  EXPECT_EQ(out.substr(9998 * line, 7), "*119999");
  EXPECT_EQ(out.substr(9999 * line, 7), "*110000");
  EXPECT_EQ(out.substr(10000 * line, 7), "*110001");
}

TEST_F(GsiTest, CoordinateTooLargeForAWord) {
  BlockId layout = layoutOf({{1e13, 0, 0, 1}});
  EXPECT_EQ(failure([&] { write(layout); }), +ErrorCode::InvalidParameterValue);
  resetMeasurementStore();
  EXPECT_EQ(failure([&] { write(layoutOf({{9999999999999.99, 0, -9999999999999.99, 1}})); }), 0);
}

// --- round trips -------------------------------------------------------------------

TEST_F(GsiTest, RoundTrip) {
  for (bool alphanumeric : {false, true}) {
    SCOPED_TRACE(alphanumeric ? "alphanumeric" : "plain");
    resetMeasurementStore();
    BlockId original = layoutOf({{2600100.1254, 1200200.5, 412.3, 1, "w1", "fence"},
                                 {-5.5, 0.125, -1, 7, "A 17", "comment with 16!"},
                                 {0.0004, 0.0006, 0, 9999, "S-9", ""}});
    GsiWriteSettings out;
    out.alphaNumIds = alphanumeric;
    const std::string text = write(original, out);
    GsiReadSettings in;
    in.alphaNumIds = alphanumeric;
    BlockId copy = read(text, in, "copy");
    LayoutRows a = rowsOf(original), b = rowsOf(copy);
    ASSERT_EQ(a.points.size(), b.points.size()) << text;
    for (size_t i = 0; i < a.points.size(); ++i) {
      SCOPED_TRACE(i);
      PointRow expected = a.points[i];
      expected.x = std::round(expected.x * 1000) / 1000;  // millimetres written
      expected.y = std::round(expected.y * 1000) / 1000;
      expected.z = std::round(expected.z * 1000) / 1000;
      if (alphanumeric)
        expected.number = static_cast<uint32_t>(i + 1);
      else
        expected.name.clear();
      EXPECT_EQ(b.points[i], expected);
    }
  }
}

}  // namespace
}  // namespace vltrx
