// REB DA30, DA45 and DA49: record layouts byte for byte, id and coordinate
// fields, line records, reading points and lines, errors, round trip.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/LineReader.h"
#include "core/MeasurementTree.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/RebReader.h"
#include "formats/RebWriter.h"
#include "framework/SurveyOptions.h"
#include "tests/support/Failure.h"
#include "tests/support/FakeCategories.h"
#include "tests/support/LayoutRows.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;
using test::failure;
using test::PointRow;
using test::PolygonRow;
using test::rowsOf;

// Records the message boxes it is asked to show.
class BoxUi : public test::ScriptedUi {
 public:
  std::vector<std::string> boxes;

 protected:
  Answer doMessageBox(std::string_view text, std::string_view, Buttons, Icon) override {
    boxes.emplace_back(text);
    return Answer::Ok;
  }
};

StagedPoint point(double x, double y, double z, int32_t number, std::string comment = {}, std::string name = {}) {
  StagedPoint p;
  p.x = x;
  p.y = y;
  p.z = z;
  p.sourceNumber = number;
  p.comment = std::move(comment);
  p.name = std::move(name);
  return p;
}

StagedPolygon polygon(std::vector<StagedPoint> points, bool closed = false) {
  StagedPolygon p;
  p.points = std::move(points);
  p.closed = closed;
  return p;
}

// A polygon of count points numbered from first, on a line along x.
StagedPolygon numberedLine(int count, int first, bool closed) {
  std::vector<StagedPoint> pts;
  for (int i = 0; i < count; ++i) pts.push_back(point(i, i % 2, 0, first + i));
  return polygon(pts, closed);
}

class RebTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  BlockId layoutOf(std::vector<StagedPolygon> polygons, std::string_view name = "plan") {
    BlockId layout = createLayout(rootFolder(), name);
    StagedPlan plan;
    plan.polygons = std::move(polygons);
    commitStagedPlan(layout, plan);
    return layout;
  }

  std::string write(BlockId layout, uint32_t kinds, bool alpha = false, int kz = 10) {
    RebWriteSettings settings;
    settings.kinds = kinds;
    settings.kz = kz;
    settings.alphaNumIds = alpha;
    StringSink sink;
    writeRebLayout(layout, sink, settings, ui);
    return sink.str();
  }

  BlockId read(std::string_view text, bool alpha = false, std::string_view name = "read") {
    RebReadSettings settings;
    settings.alphaNumIds = alpha;
    LineReader lines(MemoryInput{text});
    return readRebLines(lines, rootFolder(), name, "site.reb", settings, categories, ui);
  }

  test::FakeCategories categories;
  BoxUi ui;
};

// --- writing ---------------------------------------------------------------------

TEST_F(RebTest, RecordLayoutsByteForByte) {
  BlockId single = layoutOf({polygon({point(1.2345, 2, 3, 7, "abc")})});
  struct Case {
    const char* name;
    uint32_t kinds;
    std::string expected;
  };
  const std::string da30 = "3010        " "       7" + std::string(27, ' ') + "abc" +
                           "      1235      2000      3000\r\n";
  const std::string da45 = "45      7       1235      2000      3000\r\n";
  const std::vector<Case> cases = {
      {"Da30", kRebDa30, da30},
      {"Da45", kRebDa45, da45},
      // A single point writes no line record.
      {"AllThreeInSectionOrder", kRebDa30 | kRebDa45 | kRebDa49, da30 + da45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = write(single, c.kinds);
    EXPECT_EQ(out, c.expected);
  }
  EXPECT_EQ(da30.size(), 82u);
  EXPECT_EQ(da45.size(), 42u);
}

TEST_F(RebTest, LineRecordsSevenIdsAndClosedRepeatsFirst) {
  BlockId layout = layoutOf({numberedLine(8, 1, true), polygon({point(0, 0, 0, 50)}), numberedLine(2, 60, false)});
  const std::string expected =
      "49  1  12  1       1       2       3       4       5       6       7\r\n"
      "49  1  12  2       8       1\r\n"
      "49  3  12  1      60      61\r\n";
  EXPECT_EQ(write(layout, kRebDa49, false, 12), expected);
}

TEST_F(RebTest, LineOfMoreThan99RecordsGoesOnUnderASpareNumber) {
  // 7 * 99 + 3 ids: 99 records under line 1, then the spare line 3 (two
  // polygons + 1) with counter 0.
  BlockId layout = layoutOf({numberedLine(7 * 99 + 3, 1, false), numberedLine(2, 1000, false)});
  const std::string out = write(layout, kRebDa49);
  std::vector<std::string> heads;
  for (size_t at = 0; at < out.size();) {
    const size_t end = out.find("\r\n", at);
    heads.push_back(out.substr(at, 12));
    at = end + 2;
  }
  ASSERT_EQ(heads.size(), 101u);
  EXPECT_EQ(heads[0], "49  1  10  1");
  EXPECT_EQ(heads[98], "49  1  10 99");
  EXPECT_EQ(heads[99], "49  3  10  0");
  EXPECT_EQ(heads[100], "49  2  10  1");

  // The reader puts the spare line back behind its first part.
  BlockId back = read(out + std::string(write(layout, kRebDa45)));
  ASSERT_EQ(rowsOf(back).polygons.size(), 2u);
  EXPECT_EQ(rowsOf(back).polygons[0].count, 7 * 99 + 3);
}

TEST_F(RebTest, IdAndCoordinateFields) {
  struct Case {
    const char* name;
    StagedPoint p;
    bool alpha;
    uint32_t kinds;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"AlphanumericCutToLast7", point(0, 0, 0, 3, {}, "LONGNAME123"), true, kRebDa45,
       "45NAME123          0         0         0\r\n"},
      {"AlphanumericPadded", point(0, 0, 0, 3, {}, "A1"), true, kRebDa45,
       "45     A1          0         0         0\r\n"},
      {"PrefixAndNumberWithoutIdText", point(0, 0, 0, 42, {}, {}), true, kRebDa45,
       "45    #42          0         0         0\r\n"},
      {"CoordinateCutToLast10", point(32512345.678, -1.5, 0.0004, 1), false, kRebDa45,
       "45      1 2512345678     -1500         0\r\n"},
      {"NegativeHalfRoundsAwayFromZero", point(-0.0005, 0, 0, 1), false, kRebDa45,
       "45      1         -1         0         0\r\n"},
      {"PlainIdWiderThanFieldKeepsLastDigits", point(0, 0, 0, 123456789), false, kRebDa45,
       "453456789          0         0         0\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    EXPECT_EQ(write(layoutOf({polygon({c.p})}), c.kinds, c.alpha), c.expected);
  }
}

TEST_F(RebTest, CutIdTextIsTheIdOfTheLaterSections) {
  BlockId layout = layoutOf({polygon({point(0, 0, 0, 1, {}, "LONGNAME123"), point(1, 0, 0, 2, {}, "B")})});
  const std::string out = write(layout, kRebDa30 | kRebDa45 | kRebDa49, true);
  EXPECT_NE(out.find("30" "10        " "GNAME123"), std::string::npos);
  EXPECT_NE(out.find("45NAME123 "), std::string::npos);
  EXPECT_NE(out.find("49  1  10  1 NAME123       B\r\n"), std::string::npos);
}

TEST_F(RebTest, CommentKeepsItsColumns) {
  BlockId layout = layoutOf({polygon({point(1, 2, 3, 1, "a comment far longer than thirty\ncharacters")})});
  const std::string out = write(layout, kRebDa30);
  ASSERT_EQ(out.size(), 82u);
  EXPECT_EQ(out.substr(20, 30), "a comment far longer than thir");
  EXPECT_EQ(out.substr(50, 10), "      1000");
}

// --- reading ---------------------------------------------------------------------

TEST_F(RebTest, ReadsPointsLinesAndIgnoresOtherTypes) {
  LineReader lines(fs::path(VLTRX_TEST_DATA) / "reb" / "field-mixed.reb");
  RebReadSettings settings;
  BlockId layout = readRebLines(lines, rootFolder(), "field", "field-mixed.reb", settings, categories, ui);
  test::LayoutRows rows = rowsOf(layout);
  // One closed line of three points, one open line, the unused points.
  ASSERT_EQ(rows.polygons.size(), 4u);
  EXPECT_EQ(rows.polygons[0], (PolygonRow{3, true, {}, ""}));
  EXPECT_EQ(rows.polygons[1], (PolygonRow{2, false, {}, ""}));
  EXPECT_EQ(rows.polygons[2], (PolygonRow{1, false, {}, ""}));
  EXPECT_EQ(rows.polygons[3], (PolygonRow{1, false, {}, ""}));
  ASSERT_EQ(rows.points.size(), 7u);
  EXPECT_EQ(rows.points[0], (PointRow{3445419.119, 5423311.25, 412.5, 101, "", "corner", {}}));
  EXPECT_EQ(rows.points[1].number, 102u);
  // Point 101 again in the second line: the next number past the file's.
  EXPECT_EQ(rows.points[3], (PointRow{3445419.119, 5423311.25, 412.5, 10001, "", "corner", {}}));
  EXPECT_EQ(rows.points[4].number, 104u);
  // The second point of an 80-column DA45 record, then the unused DA30 point.
  EXPECT_EQ(rows.points[5], (PointRow{3445430.0, 5423320.0, 0.0, 105, "", "", {}}));
  EXPECT_EQ(rows.points[6].number, 106u);
  EXPECT_EQ(ui.prompts.size(), 0u);
}

TEST_F(RebTest, LineKzAttachesAKnownCategory) {
  CategorySet set;
  categories.idsFromNames("kerb,wall", set);  // ids 1 and 2
  const std::string pts =
      "45      1          0         0         0\r\n"
      "45      2       1000         0         0\r\n";
  BlockId layout = read(pts + "49  1   2  1       1       2\r\n49  2  77  1       2       1\r\n");
  test::LayoutRows rows = rowsOf(layout);
  ASSERT_EQ(rows.polygons.size(), 2u);
  EXPECT_EQ(rows.polygons[0].categories, CategorySet{2});
  EXPECT_TRUE(rows.polygons[1].categories.empty());
}

TEST_F(RebTest, ReadingEdgeCases) {
  const std::string pts =
      "45      1          0         0         0\r\n"
      "45      2       1000         0         0\r\n"
      "45      3       1000      1000         0\r\n";
  struct Case {
    const char* name;
    std::string text;
    std::vector<PolygonRow> polygons;
    size_t points;
  };
  const std::vector<Case> cases = {
      {"RecordsSortedByLineAndCounter",
       pts + "49  2  10  1       3       1\r\n49  1  10  2       3\r\n49  1  10  1       1       2\r\n",
       {{3, false, {}, ""}, {2, false, {}, ""}}, 5},
      {"ClosedAtRepeatedFirstIdRestIgnored", pts + "49  1  10  1       1       2       3       1       2\r\n",
       {{3, true, {}, ""}}, 3},
      {"TwoPointsRepeatingTheFirstStayOpen", pts + "49  1  10  1       1       2       1\r\n",
       {{3, false, {}, ""}, {1, false, {}, ""}}, 4},
      {"LineTypeLettersReadAsPlainLines", pts + "49  1A 10  1       1       2\r\n49  2R 10  1       2       3\r\n",
       {{2, false, {}, ""}, {2, false, {}, ""}}, 4},
      {"ShortLineRecordIgnored", pts + "49  1  10 \r\n", {{1, false, {}, ""}, {1, false, {}, ""}, {1, false, {}, ""}}, 3},
      {"LineNumberAbove999ShiftsTheRecord", pts + "49 1000  10  1       1       2\r\n",
       {{2, false, {}, ""}, {1, false, {}, ""}}, 3},
      {"Da45RepeatingADa30IdIsThatPoint",
       "3010               1                             x      5000      6000      7000\r\n" + pts,
       {{1, false, {}, ""}, {1, false, {}, ""}, {1, false, {}, ""}}, 3},
      {"LoneCrLineEnds", "45      1          0         0         0\r45      2          0         0         0\r",
       {{1, false, {}, ""}, {1, false, {}, ""}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    BlockId layout = read(c.text);
    test::LayoutRows rows = rowsOf(layout);
    EXPECT_EQ(rows.polygons, c.polygons);
    EXPECT_EQ(rows.points.size(), c.points);
  }
  resetMeasurementStore();
  test::LayoutRows rows = rowsOf(read("3010               1                             x      5000      6000      7000\r\n" + pts));
  EXPECT_EQ(rows.points[0], (PointRow{5, 6, 7, 1, "", "x", {}}));
}

TEST_F(RebTest, Errors) {
  const std::string da30 = "3010               1                           abc      1235      2000      3000";
  struct Case {
    const char* name;
    std::string text;
    int code;
    int boxes;
  };
  const std::vector<Case> cases = {
      {"Da30Of79Characters", da30 + "\r\n" + da30.substr(0, 79) + "\r\n", -2003, 0},
      {"LineIdWithoutPoint", da30 + "\r\n49  1  10  1       1       9\r\n", -2001, 0},
      {"Da45ShortEndsTheRunAfterTheBox", "45      1          0         0\r\n", -2003, 1},
      {"NonFiniteCoordinate", "45      1      1e400         0         0\r\n", -2003, 0},
      {"NanCoordinate", "45      1          0       nan         0\r\n", -2003, 0},
      {"InfCoordinate", "45      1          0         0      -inf\r\n", -2003, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    ui.boxes.clear();
    std::string message;
    const int code = failure([&] {
      try {
        read(c.text);
      } catch (const CError& e) {
        message = e.message();
        throw;
      }
    });
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(static_cast<int>(ui.boxes.size()), c.boxes);
    if (c.code == -2003 || c.code == -2001) {
      const std::string& where = c.boxes ? ui.boxes.at(0) : message;
      EXPECT_NE(where.find("site.reb"), std::string::npos) << where;
      if (c.boxes) {
        EXPECT_NE(where.find("-2003"), std::string::npos) << where;
      }
    }
    EXPECT_EQ(test::layoutCount(), 0);
  }
}

TEST_F(RebTest, LinesContinuingEachOtherEndWithoutLooping) {
  // Found by fuzzing: continuation records whose spare lines name each
  // other as predecessor once made the reader loop for ever.
  const std::string fixture = (fs::path(VLTRX_TEST_DATA) / "reb" / "fuzz-continuation-loop.reb").string();
  const int code = failure([&] {
    LineReader lines{fs::path(fixture)};
    readRebLines(lines, rootFolder(), "fuzz", "fuzz.reb", RebReadSettings{}, categories, ui);
  });
  EXPECT_LE(code, 0);
  resetMeasurementStore();
  const std::string pts =
      "45      1          0         0         0\r\n"
      "45      2       1000         0         0\r\n";
  test::LayoutRows rows = rowsOf(read(pts + "49  5  10  1       1\r\n49  6  10  0       2\r\n49  5  10  0       1\r\n"));
  EXPECT_EQ(rows.points.size(), 3u);
}

TEST_F(RebTest, AlphanumericIdsNumberedInOrderWithTheTextAsName) {
  const std::string text =
      "45    P.1       1000         0         0\r\n"
      "45    P.2       2000         0         0\r\n"
      "45    P.3       3000         0         0\r\n"
      "49  1  10  1     P.1     P.2\r\n"
      "49  2  10  1     P.2     P.3\r\n";
  test::LayoutRows rows = rowsOf(read(text, true));
  ASSERT_EQ(rows.points.size(), 4u);
  EXPECT_EQ(rows.points[0].name, "P.1");
  EXPECT_EQ(rows.points[1].name, "P.2");
  EXPECT_EQ(rows.points[2], (PointRow{2, 0, 0, 3, "", "", {}}));
  EXPECT_EQ(rows.points[3], (PointRow{3, 0, 0, 4, "P.3", "", {}}));
}

// --- round trip ------------------------------------------------------------------

TEST_F(RebTest, RoundTripThroughAllThreeRecordTypes) {
  auto closed = [] {
    return polygon({point(3445419.119, 5423311.25, 412.5, 1, "corner"), point(3445420.5, 5423312, 413, 2),
                    point(3445425, 5423318.75, -1.25, 3, "x")},
                   true);
  };
  const uint32_t all = kRebDa30 | kRebDa45 | kRebDa49;
  BlockId original = layoutOf({closed(), polygon({point(10, 20, 30, 4)}), numberedLine(9, 20, false)});
  BlockId back = read(write(original, all));
  // The lines come back first, then the points no line uses.
  BlockId expected = layoutOf({closed(), numberedLine(9, 20, false), polygon({point(10, 20, 30, 4)})}, "expected");
  EXPECT_EQ(rowsOf(back).polygons, rowsOf(expected).polygons);
  EXPECT_EQ(rowsOf(back).points, rowsOf(expected).points);
  EXPECT_EQ(write(back, all), write(expected, all));
}

}  // namespace
}  // namespace vltrx
