// ESRI ASCII grid reader: cell centres, header forms real programs write,
// no-data cells, value layouts, errors, and GDAL as the reference.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "formats/EsriGridReader.h"
#include "tests/support/Failure.h"
#include "tests/support/LayoutRows.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;
using test::failure;
using Xyz = std::array<double, 3>;

class EsriGridTest : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }

  std::vector<Xyz> read(std::string_view text) {
    resetMeasurementStore();
    return pointsOf(readEsriGridBytes(text, rootFolder(), "grid", "dem.asc", ui));
  }

  static std::vector<Xyz> pointsOf(BlockId layout) {
    std::vector<Xyz> out;
    for (const test::PointRow& p : test::rowsOf(layout).points) out.push_back({p.x, p.y, p.z});
    return out;
  }

  test::ScriptedUi ui;
};

const std::string kHeader = "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 10\n";

TEST_F(EsriGridTest, CellCentresAsSinglePointsWithoutNumber) {
  BlockId layout = readEsriGridBytes(kHeader + "1 2\n3 4\n", rootFolder(), "grid", "dem.asc", ui);
  EXPECT_EQ(pointsOf(layout), (std::vector<Xyz>{{5, 15, 1}, {15, 15, 2}, {5, 5, 3}, {15, 5, 4}}));
  test::LayoutRows rows = test::rowsOf(layout);
  ASSERT_EQ(rows.polygons.size(), 4u);
  for (const test::PolygonRow& p : rows.polygons) EXPECT_EQ(p, (test::PolygonRow{1, false, {}, ""}));
  for (const test::PointRow& p : rows.points) {
    EXPECT_EQ(p.number, 0u);
    EXPECT_TRUE(p.comment.empty() && p.name.empty() && p.categories.empty());
  }
}

TEST_F(EsriGridTest, HeaderAndValueForms) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Xyz> points;
  };
  const std::vector<Case> cases = {
      {"UpperCaseKeysNrowsFirstCrLf",
       "NROWS 2\r\nNCOLS 2\r\nXLLCORNER 0\r\nYLLCORNER 0\r\nCELLSIZE 10\r\nNODATA_VALUE -1\r\n1 2\r\n3 -1\r\n",
       {{5, 15, 1}, {15, 15, 2}, {5, 5, 3}}},
      {"CentreOfTheLowerLeftCell", "ncols 2\nnrows 2\nxllcenter 5\nyllcenter 5\ncellsize 10\n1 2\n3 4\n",
       {{5, 15, 1}, {15, 15, 2}, {5, 5, 3}, {15, 5, 4}}},
      {"NoDataMarkerComparedAsText", kHeader + "NODATA_value -9999\n-9999 -9999.0\n1 2\n",
       {{15, 15, -9999}, {5, 5, 1}, {15, 5, 2}}},
      {"DefaultMarker", kHeader + "-9999 1\n2 3\n", {{15, 15, 1}, {5, 5, 2}, {15, 5, 3}}},
      {"NanCellsAreNoDataWithOrWithoutMarker", kHeader + "nan NaN\n-nan 4\n", {{15, 5, 4}}},
      {"NanMarker", kHeader + "NODATA_value NaN\nNaN 1\n2 3\n", {{15, 15, 1}, {5, 5, 2}, {15, 5, 3}}},
      {"ExponentsAndDecimalCommas", kHeader + ".500E+02 1,5\n-2.5e-1 0\n", {{5, 15, 50}, {15, 15, 1.5}, {5, 5, -0.25}, {15, 5, 0}}},
      {"CommaInHeaderValue", "ncols 1\nnrows 1\nxllcorner 0,5\nyllcorner 0\ncellsize 1\n7\n", {{1, 0.5, 7}}},
      {"OneValuePerLineAndBlankLines", kHeader + "1\n\n2\n   \n3\n4\n", {{5, 15, 1}, {15, 15, 2}, {5, 5, 3}, {15, 5, 4}}},
      {"RowsAcrossLines", "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n3\n4 5 6\n",
       {{0.5, 1.5, 1}, {1.5, 1.5, 2}, {2.5, 1.5, 3}, {0.5, 0.5, 4}, {1.5, 0.5, 5}, {2.5, 0.5, 6}}},
      {"FewerRowsThanNrowsCountFromTheTop", "ncols 2\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n",
       {{0.5, 2.5, 1}, {1.5, 2.5, 2}}},
      {"TabsLoneCrAndNoFinalLineEnd", "ncols\t2\rnrows 1\rxllcorner 0\ryllcorner 0\rcellsize 2\r1\t2",
       {{1, 1, 1}, {3, 1, 2}}},
      {"ValueThatDoesNotReadIsZero", kHeader + "abc 1\n2 3\n", {{5, 15, 0}, {15, 15, 1}, {5, 5, 2}, {15, 5, 3}}},
      {"HeaderOnly", kHeader, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read(c.text), c.points);
  }
}

TEST_F(EsriGridTest, ErrorsNameTheFileAndLeaveNoLayout) {
  struct Case {
    const char* name;
    std::string text;
    int code;
    int line;
  };
  const std::vector<Case> cases = {
      {"HeaderLineWithThreeTokens", "ncols 2 3\n", -2401, 1},
      {"HeaderLineWithoutValue", "ncols 2\nnrows\n", -2401, 2},
      {"RowOfThreeWhereNcolsSaysFour", "ncols 4\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n", -2402, 6},
      {"RowOfOneTooMany", kHeader + "1 2 3\n4\n", -2402, 6},
      {"ShortRowThenFullRow", "ncols 4\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n4 5 6 7\n", -2402, 7},
      {"NcolsNeverGiven", "nrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n", -2402, 5},
      {"NrowsMissing", "ncols 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n", -2401, 5},
      {"CellsizeMissing", "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\n1 2\n", -2401, 5},
      {"CornerMissing", "ncols 2\nnrows 1\nyllcorner 0\ncellsize 1\n1 2\n", -2401, 5},
      {"ZeroCellsize", "ncols 2\nnrows 1\ncellsize 0\n", -2401, 3},
      {"NegativeCellsize", "ncols 2\nnrows 1\ncellsize -1\n", -2401, 3},
      {"NegativeNcols", "ncols -2\n", -2401, 1},
      {"NonNumericNrows", "nrows many\n", -2401, 1},
      {"NonFiniteHeader", "ncols 1\nnrows 1\nxllcorner 1e400\n", -2401, 3},
      {"NonFiniteValue", kHeader + "1 2\n1e400 3\n", -2402, 7},
      {"InfinityText", kHeader + "1 -inf\n", -2402, 6},
      // The header promises much; nothing is sized from it.
      {"HugeNcolsShortData", "ncols 2000000000\nnrows 2000000000\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n",
       -2402, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    std::string message;
    const int code = failure([&] {
      try {
        readEsriGridBytes(c.text, rootFolder(), "grid", "dem.asc", ui);
      } catch (const CError& e) {
        message = e.message();
        throw;
      }
    });
    EXPECT_EQ(code, c.code);
    EXPECT_NE(message.find("dem.asc"), std::string::npos) << message;
    EXPECT_NE(message.find(std::to_string(c.line)), std::string::npos) << message;
    EXPECT_EQ(test::layoutCount(), 0);
  }
}

TEST_F(EsriGridTest, MissingFileAndFolder) {
  test::Sandbox box;
  EXPECT_EQ(failure([&] { readEsriGridFile(box.root() / "none.asc", rootFolder(), ui); }), -2101);
  EXPECT_EQ(failure([&] { readEsriGridFile(box.root(), rootFolder(), ui); }), -2101);
}

// The cell centres and values GDAL gives for a grid (gdal_translate to XYZ),
// without its no-data and nan cells.
std::vector<Xyz> gdalPoints(const fs::path& grid, const fs::path& folder) {
  const fs::path xyz = folder / (grid.stem().string() + ".xyz");
  const std::string command = "gdal_translate -q -of XYZ '" + grid.string() + "' '" + xyz.string() + "'";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream in(xyz);
  std::vector<Xyz> out;
  std::string x, y, z;
  while (in >> x >> y >> z) {
    if (z == "-9999" || z.find("nan") != std::string::npos) continue;
    out.push_back({std::stod(x), std::stod(y), std::stod(z)});
  }
  return out;
}

TEST_F(EsriGridTest, SameCellsAsGdal) {
  test::Sandbox box;
  for (const char* name : {"mixed-style.asc", "gdal-written.asc"}) {
    SCOPED_TRACE(name);
    const fs::path grid = fs::path(VLTRX_TEST_DATA) / "grid" / name;
    const std::vector<Xyz> expected = gdalPoints(grid, box.root());
    ASSERT_EQ(expected.size(), 13u) << "gdal_translate (gdal-bin) is needed";
    resetMeasurementStore();
    const std::vector<Xyz> got = pointsOf(readEsriGridFile(grid, rootFolder(), ui));
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[i][k], expected[i][k], 1e-6) << i;
  }
}

}  // namespace
}  // namespace vltrx
