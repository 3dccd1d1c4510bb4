// REB DA11 writer: the three record forms against their printf formats,
// record numbering, the 1000 m window, OZ parsing and crossing edges.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/Da11Writer.h"
#include "tests/support/Failure.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace vltrx {
namespace {

using test::failure;

struct Mm {
  int x, y;  // millimetres as written
};

// The records as the format's printf formats give them.
std::string twoMore(long oz, char type, Mm a, Mm b, int number, char letter) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "11%08ld%c                  22          %3d%03d %3d%03d %3d%03d %3d%03d %04d%c001001\r\n",
                oz, type, a.x / 1000, a.x % 1000, a.y / 1000, a.y % 1000, b.x / 1000, b.x % 1000, b.y / 1000,
                b.y % 1000, number, letter);
  return buf;
}
std::string twoEnd(long oz, char type, Mm a, Mm b, int number, char letter) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "11%08ld%c                  22          %3d%03d %3d%03d %3d%03d %3d%03d=%04d%c001001\r\n",
                oz, type, a.x / 1000, a.x % 1000, a.y / 1000, a.y % 1000, b.x / 1000, b.x % 1000, b.y / 1000,
                b.y % 1000, number, letter);
  return buf;
}
std::string oneEnd(long oz, char type, Mm a, int number, char letter) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "11%08ld%c                  22          %3d%03d %3d%03d=              %04d%c001001\r\n",
                oz, type, a.x / 1000, a.x % 1000, a.y / 1000, a.y % 1000, number, letter);
  return buf;
}

StagedPolygon polygon(std::vector<std::pair<double, double>> xy, std::string comment) {
  StagedPolygon p;
  for (auto [x, y] : xy) {
    StagedPoint s;
    s.x = x;
    s.y = y;
    s.z = 99;
    p.points.push_back(s);
  }
  p.comment = std::move(comment);
  p.closed = true;
  return p;
}

class Da11Test : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  BlockId layoutOf(std::vector<StagedPolygon> polygons) {
    BlockId layout = createLayout(rootFolder(), "plan" + std::to_string(++m_layouts));
    StagedPlan plan;
    plan.polygons = std::move(polygons);
    commitStagedPlan(layout, plan);
    return layout;
  }

  std::string write(BlockId layout) {
    StringSink sink;
    writeDa11Layout(layout, sink, 0, ui);
    return sink.str();
  }

  test::ScriptedUi ui;
  int m_layouts = 0;
};

TEST_F(Da11Test, RecordFormsByteForByte) {
  // A triangle: points 1-2, then 3 and 1 again with "=" in column 69.
  const std::string triangle = write(layoutOf({polygon({{1, 2}, {5.5, 2}, {3.25, 7.125}}, "lot OZ=00001234")}));
  EXPECT_EQ(triangle, twoMore(1234, ' ', {1000, 2000}, {5500, 2000}, 0, 'B') +
                          twoEnd(1234, ' ', {3250, 7125}, {1000, 2000}, 0, 'C') + "\r\n");
  EXPECT_EQ(triangle.substr(82 + 68, 1), "=");

  // A square: 1-2, 3-4, then point 1 alone with "=" in column 55; column
  // 11 holds the type character.
  const std::string square =
      write(layoutOf({polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, "OZ=00000007K")}));
  EXPECT_EQ(square, twoMore(7, 'K', {0, 0}, {10000, 0}, 0, 'B') + twoMore(7, 'K', {10000, 10000}, {0, 10000}, 0, 'C') +
                        oneEnd(7, 'K', {0, 0}, 0, 'D') + "\r\n");
  EXPECT_EQ(square.substr(2 * 82 + 54, 1), "=");
  for (size_t at = 0; at + 2 < square.size(); at += 82) EXPECT_EQ(square.substr(at + 80, 2), "\r\n");
}

TEST_F(Da11Test, WindowOffsetAndRounding) {
  // Kilometres from the origin: the lower left corner is written as 0 000.
  const std::string shifted =
      write(layoutOf({polygon({{3445419.119, 5423311.25}, {3445429.119, 5423311.25}, {3445429.119, 5423321.25}},
                              "OZ=00000001"),
                      polygon({{3445400.0, 5423300.0}}, "")}));
  EXPECT_EQ(shifted.substr(0, 82), twoMore(1, ' ', {19119, 11250}, {29119, 11250}, 0, 'B'));

  // 12.9996 m after the offset is 13 m and 000 mm.
  const std::string rounded = write(layoutOf({polygon({{12.9996, 1}, {20, 1}, {20, 5}}, "OZ=00000002")}));
  EXPECT_EQ(rounded.substr(0, 82), twoMore(2, ' ', {13000, 1000}, {20000, 1000}, 0, 'B'));
}

TEST_F(Da11Test, RecordNumberingRunsOverTheFile) {
  // 24 triangles of two records each: records 25 and 26 are 0000 Z, 0001 A.
  std::vector<StagedPolygon> polygons;
  for (int i = 0; i < 24; ++i) polygons.push_back(polygon({{1.0 + i, 1}, {2.0 + i, 1}, {2.0 + i, 2}}, "OZ=00000003"));
  const std::string out = write(layoutOf(polygons));
  ASSERT_EQ(out.size(), 48 * 82 + 2);
  EXPECT_EQ(out.substr(0 * 82 + 69, 5), "0000B");
  EXPECT_EQ(out.substr(24 * 82 + 69, 5), "0000Z");
  EXPECT_EQ(out.substr(25 * 82 + 69, 5), "0001A");
  EXPECT_EQ(out.substr(47 * 82 + 69, 5), "0001W");
  EXPECT_EQ(out.substr(48 * 82), "\r\n");
}

TEST_F(Da11Test, OnlyPolygonsWithOzAreWritten) {
  const std::string out = write(layoutOf({polygon({{1, 1}, {2, 1}, {2, 2}}, "no order number"),
                                          polygon({{5, 5}}, "OZ=00000009"), polygon({{1, 1}, {2, 1}}, "")}));
  // A single point is closed too: itself twice.
  EXPECT_EQ(out, twoEnd(9, ' ', {5000, 5000}, {5000, 5000}, 0, 'B') + "\r\n");
}

TEST_F(Da11Test, Errors) {
  struct Case {
    const char* name;
    std::vector<StagedPolygon> polygons;
    int code;
    std::string detail;
  };
  const std::vector<Case> cases = {
      {"ThousandMetresWideWithoutAnyOz", {polygon({{0, 0}, {1000, 0}}, ""), polygon({{5, 5}}, "OZ=00000001")}, -2201, ""},
      {"RoundsUpToThousandMetres", {polygon({{999.9996, 0}, {1, 0}, {1, 1}}, "OZ=00000001")}, -2201, ""},
      {"OzNotEightDigits", {polygon({{1, 1}, {2, 1}, {2, 2}}, "OZ=12AB")}, -2203, "OZ=12AB"},
      {"OzCutShort", {polygon({{1, 1}, {2, 1}, {2, 2}}, "OZ=1234567")}, -2203, "OZ=1234567"},
      {"NoOzAnywhere", {polygon({{1, 1}, {2, 1}, {2, 2}}, "lot")}, -2204, ""},
      {"EmptyLayout", {}, -2204, ""},
      {"BowTieCrosses", {polygon({{0, 0}, {10, 10}, {10, 0}, {0, 10}}, "OZ=00000001")}, -2202, ""},
      {"CrossingFoundBeforeTheOzIsRead", {polygon({{0, 0}, {10, 10}, {10, 0}, {0, 10}}, "OZ=bad")}, -2202, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string message;
    const int code = failure([&] {
      try {
        write(layoutOf(c.polygons));
      } catch (const CError& e) {
        message = e.message();
        throw;
      }
    });
    EXPECT_EQ(code, c.code);
    if (!c.detail.empty()) {
      EXPECT_NE(message.find(c.detail), std::string::npos) << message;
    }
  }
}

TEST_F(Da11Test, CrossingEdgesTest) {
  struct Case {
    const char* name;
    std::vector<std::pair<double, double>> xy;
    bool crosses;
  };
  const std::vector<Case> cases = {
      {"ConvexSquare", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, false},
      {"ConcaveArrow", {{0, 0}, {10, 5}, {0, 10}, {3, 5}}, false},
      {"RepeatedFirstPointAtTheEnd", {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, false},
      {"FigureEight", {{0, 0}, {10, 0}, {0, 10}, {10, 10}}, true},
      // Only the closing edge crosses another one.
      {"ClosingEdgeCrosses", {{0, 0}, {10, 0}, {10, 10}, {5, -5}}, true},
      {"LongZigzagWithoutCrossing", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<double, double>> xy = c.xy;
    if (xy.empty()) {
      for (int i = 0; i < 2000; ++i) xy.push_back({i * 0.25, (i % 2) * 1.0});
      xy.push_back({499.75, -50});
      xy.push_back({0, -50});
    }
    const int code = failure([&] { write(layoutOf({polygon(xy, "OZ=00000001")})); });
    EXPECT_EQ(code, c.crosses ? -2202 : 0);
  }
}

}  // namespace
}  // namespace vltrx
