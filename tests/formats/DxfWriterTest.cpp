// DXF R12 writer: the fixed record forms, layers and colours, the three
// entity passes, text options and the coordinate-text language, and what
// ezdxf and GDAL read back from our files.
#include "core/BlockStore.h"
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/PlanLabels.h"
#include "formats/dxf/DxfWriter.h"
#include "framework/DxfOptions.h"
#include "tests/support/Failure.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ScriptedUi.h"
#include "xml/CategoryList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;

struct P {
  double x, y, z;
  int32_t number;
  std::vector<uint16_t> categories = {};
  std::string comment = {};
  std::string name = {};
};

class DxfWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMeasurementStore();
    ASSERT_EQ(newCategoryList(m_list), 0);
  }
  void TearDown() override { resetMeasurementStore(); }

  void addCategory(std::string_view name, uint16_t id, uint8_t r, uint8_t g, uint8_t b, uint32_t surface = 0) {
    CategoryEntry e = makeCategoryEntry(name, id, r, g, b);
    e.surface = surface;
    ASSERT_GE(insertEntry(m_list, uint32_t(topLevelFolder(categoryEntries(m_list), 0)), e), 0);
  }

  void polygon(std::vector<P> points, bool closed = false, std::vector<uint16_t> categories = {},
               std::string comment = {}) {
    StagedPolygon& s = m_plan.polygons.emplace_back();
    s.closed = closed;
    s.categories.assign(categories.begin(), categories.end());
    s.comment = comment;
    for (const P& p : points) {
      StagedPoint& sp = s.points.emplace_back();
      sp.x = p.x, sp.y = p.y, sp.z = p.z, sp.sourceNumber = p.number;
      sp.categories.assign(p.categories.begin(), p.categories.end());
      sp.comment = p.comment;
      sp.name = p.name;
    }
  }

  std::string write(const DxfOptions& options, const DxfWriteSettings& settings = {}) {
    BlockId layout = createLayout(rootFolder(), "plan" + std::to_string(++m_layouts));
    commitStagedPlan(layout, m_plan);
    StringSink sink;
    writeDxfLayout(layout, sink, options, settings, categoryEntries(m_list), ui);
    return sink.str();
  }

  static std::string entities(const std::string& dxf) {
    const std::string start = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
    const size_t at = dxf.find(start);
    const size_t end = dxf.rfind("  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
    if (at == std::string::npos || end == std::string::npos || end < at) return "<no entities section>";
    return dxf.substr(at + start.size(), end - at - start.size());
  }

  BlockId m_list = 0;
  StagedPlan m_plan;
  int m_layouts = 0;
  test::ScriptedUi ui;
};

std::string count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return std::to_string(n);
}

// --- fixed blocks --------------------------------------------------------------

TEST_F(DxfWriterTest, HeaderBlocks) {
  polygon({{1, 2, 3, 1}, {11, 52, 4, 2}});
  struct Case {
    uint32_t codePage;
    int pdMode;
    double pdSize;
    std::string middle;  // between $ACADVER and $EXTMIN, and after $CLAYER
    std::string tail;
  };
  const Case cases[] = {
      {0, 0, 0.0, "", "  9\r\n$PDMODE\r\n 70\r\n0\r\n  9\r\n$PDSIZE\r\n 40\r\n0.00\r\n"},
      {1252, 34, 0.5, "  9\r\n$DWGCODEPAGE\r\n  3\r\nANSI_1252\r\n",
       "  9\r\n$PDMODE\r\n 70\r\n34\r\n  9\r\n$PDSIZE\r\n 40\r\n0.50\r\n"},
      {0, 128, 0.5, "", ""},
      {0, 131, 0.25, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pdMode);
    DxfOptions options;
    options.pdMode = c.pdMode;
    options.pdSize = c.pdSize;
    DxfWriteSettings settings;
    settings.codePage = c.codePage;
    const std::string dxf = write(options, settings);
    const std::string header = "  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n" + c.middle +
                               "  9\r\n$EXTMIN\r\n 10\r\n1.0000\r\n 20\r\n2.0000\r\n 30\r\n3.0000\r\n"
                               "  9\r\n$EXTMAX\r\n 10\r\n11.0000\r\n 20\r\n52.0000\r\n 30\r\n4.0000\r\n"
                               "  9\r\n$CLAYER\r\n  8\r\nVL\r\n" +
                               c.tail + "  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nTABLES\r\n";
    EXPECT_EQ(dxf.substr(0, header.size()), header);
  }
}

TEST_F(DxfWriterTest, TablesWithViewportAndLayers) {
  addCategory("Wall", 1, 255, 0, 0);
  addCategory("Unused", 2, 0, 0, 255);
  addCategory("Hedge", 3, 0, 130, 0);
  polygon({{0, 0, 0, 1}, {10, 0, 0, 2}, {10, 50, 0, 3}}, true, {3, 1});
  const std::string dxf = write(DxfOptions{});
  const std::string tables =
      "  0\r\nSECTION\r\n  2\r\nTABLES\r\n"
      "  0\r\nTABLE\r\n  2\r\nVPORT\r\n 70\r\n     1\r\n"
      "  0\r\nVPORT\r\n  2\r\n*ACTIVE\r\n 70\r\n     0\r\n"
      " 10\r\n0.0\r\n 20\r\n0.0\r\n 11\r\n1.0\r\n 21\r\n1.0\r\n 12\r\n5.0000\r\n 22\r\n25.0000\r\n"
      " 13\r\n0.0\r\n 23\r\n0.0\r\n 14\r\n1.0\r\n 24\r\n1.0\r\n 15\r\n0.0\r\n 25\r\n0.0\r\n"
      " 16\r\n0.0\r\n 26\r\n0.0\r\n 36\r\n1.0\r\n 17\r\n0.0\r\n 27\r\n0.0\r\n 37\r\n0.0\r\n"
      " 40\r\n60.0000\r\n 41\r\n0.2000\r\n"
      " 42\r\n50.0\r\n 43\r\n0.0\r\n 44\r\n0.0\r\n 50\r\n0.0\r\n 51\r\n0.0\r\n"
      " 71\r\n     0\r\n 72\r\n   100\r\n 73\r\n     1\r\n 74\r\n     1\r\n"
      " 75\r\n     0\r\n 76\r\n     0\r\n 77\r\n     0\r\n 78\r\n     0\r\n"
      "  0\r\nENDTAB\r\n"
      "  0\r\nTABLE\r\n  2\r\nLTYPE\r\n 70\r\n     1\r\n"
      "  0\r\nLTYPE\r\n  2\r\nCONTINUOUS\r\n 70\r\n     0\r\n  3\r\nSolid line\r\n"
      " 72\r\n    65\r\n 73\r\n     0\r\n 40\r\n0.0\r\n"
      "  0\r\nENDTAB\r\n"
      "  0\r\nTABLE\r\n  2\r\nLAYER\r\n 70\r\n     3\r\n"
      "  0\r\nLAYER\r\n100\r\nAcDbSymbolTableRecord\r\n100\r\nAcDbLayerTableRecord\r\n  2\r\nVL\r\n"
      " 70\r\n     0\r\n 62\r\n   254\r\n  6\r\nCONTINUOUS\r\n"
      "  0\r\nLAYER\r\n100\r\nAcDbSymbolTableRecord\r\n100\r\nAcDbLayerTableRecord\r\n  2\r\nVL_Wall\r\n"
      " 70\r\n     0\r\n 62\r\n     1\r\n  6\r\nCONTINUOUS\r\n"
      "  0\r\nLAYER\r\n100\r\nAcDbSymbolTableRecord\r\n100\r\nAcDbLayerTableRecord\r\n  2\r\nVL_Hedge\r\n"
      " 70\r\n     0\r\n 62\r\n    94\r\n  6\r\nCONTINUOUS\r\n"
      "  0\r\nENDTAB\r\n  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
  const size_t at = dxf.find("  0\r\nSECTION\r\n  2\r\nTABLES\r\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(dxf.substr(at, tables.size()), tables);
}

TEST_F(DxfWriterTest, EmptyPlanWritesTheFixedBlocksWithZeroExtent) {
  const std::string dxf = write(DxfOptions{});
  EXPECT_NE(dxf.find("$EXTMIN\r\n 10\r\n0.0000\r\n 20\r\n0.0000\r\n 30\r\n0.0000\r\n"), std::string::npos);
  EXPECT_NE(dxf.find(" 40\r\n0.0000\r\n 41\r\n1.0000\r\n"), std::string::npos);  // no inf or nan aspect
  EXPECT_NE(dxf.find("LAYER\r\n 70\r\n     1\r\n"), std::string::npos);
  EXPECT_EQ(entities(dxf), "");
  EXPECT_EQ(dxf.substr(dxf.size() - 23), "  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
}

TEST_F(DxfWriterTest, NearestColourNumbers) {
  struct Case {
    uint8_t r, g, b;
    int colour;
  };
  const Case cases[] = {{255, 0, 0, 1},       {255, 255, 0, 2},   {0, 255, 0, 3},   {0, 0, 255, 5},
                        {255, 255, 255, 7},   {128, 128, 128, 8}, {0, 0, 0, 250},   {224, 224, 224, 254},
                        {192, 0, 0, 12},      {250, 2, 3, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
    EXPECT_EQ(nearestDxfColour(c.r, c.g, c.b), c.colour);
  }
}

// --- entities ------------------------------------------------------------------

TEST_F(DxfWriterTest, EntityRecords) {
  addCategory("Wall", 1, 255, 0, 0);
  addCategory("Ground", 2, 0, 255, 0, 2);
  polygon({{0, 0, 0, 1}, {10, 0, 0, 2}}, false, {1});
  polygon({{0, 0, 1, 3}, {10, 0, 1, 4}, {0, 5, 1, 5}}, true, {2});
  polygon({{0, 0, 2, 6}, {1, 0, 2, 7}, {0.5, 1, 2, 8}}, true, {1});
  polygon({{5.25, -5, 2.125, 9}});
  const std::string expected =
      "  0\r\nLINE\r\n100\r\nAcDbEntity\r\n  8\r\nVL_Wall\r\n100\r\nAcDbLine\r\n"
      " 10\r\n0.000000\r\n 20\r\n0.000000\r\n 30\r\n0.000000\r\n"
      " 11\r\n10.000000\r\n 21\r\n0.000000\r\n 31\r\n0.000000\r\n"
      "  0\r\n3DFACE\r\n  8\r\nVL_Ground\r\n"
      " 10\r\n0.000000\r\n 20\r\n0.000000\r\n 30\r\n1.000000\r\n"
      " 11\r\n10.000000\r\n 21\r\n0.000000\r\n 31\r\n1.000000\r\n"
      " 12\r\n0.000000\r\n 22\r\n5.000000\r\n 32\r\n1.000000\r\n"
      " 13\r\n0.000000\r\n 23\r\n0.000000\r\n 33\r\n1.000000\r\n"
      "  0\r\nPOLYLINE\r\n100\r\nAcDbEntity\r\n  8\r\nVL_Wall\r\n100\r\nAcDb3dPolyline\r\n"
      " 66\r\n1\r\n 10\r\n0\r\n 20\r\n0\r\n 30\r\n0\r\n70\r\n1\r\n"
      "  0\r\nVERTEX\r\n100\r\nAcDbEntity\r\n  8\r\nVL_Wall\r\n100\r\nAcDbVertex\r\n100\r\nAcDb3dPolylineVertex\r\n"
      " 10\r\n0.000000\r\n 20\r\n0.000000\r\n 30\r\n2.000000\r\n 70\r\n32\r\n"
      "  0\r\nVERTEX\r\n100\r\nAcDbEntity\r\n  8\r\nVL_Wall\r\n100\r\nAcDbVertex\r\n100\r\nAcDb3dPolylineVertex\r\n"
      " 10\r\n1.000000\r\n 20\r\n0.000000\r\n 30\r\n2.000000\r\n 70\r\n32\r\n"
      "  0\r\nVERTEX\r\n100\r\nAcDbEntity\r\n  8\r\nVL_Wall\r\n100\r\nAcDbVertex\r\n100\r\nAcDb3dPolylineVertex\r\n"
      " 10\r\n0.500000\r\n 20\r\n1.000000\r\n 30\r\n2.000000\r\n 70\r\n32\r\n"
      "  0\r\nSEQEND\r\n"
      "  0\r\nPOINT\r\n100\r\nAcDbEntity\r\n  8\r\nVL\r\n100\r\nAcDbPoint\r\n"
      " 10\r\n5.250000\r\n 20\r\n-5.000000\r\n 30\r\n2.125000\r\n";
  EXPECT_EQ(entities(write(DxfOptions{})), expected);
}

TEST_F(DxfWriterTest, GeometryRules) {
  addCategory("Wall", 1, 255, 0, 0);
  addCategory("Ground", 2, 0, 255, 0, 2);
  struct Case {
    const char* name;
    std::vector<P> points;
    bool closed;
    std::vector<uint16_t> categories;
    std::string lines, polylines, faces, points_;
  };
  const Case cases[] = {
      {"closed two points: both segments", {{0, 0, 0, 1}, {1, 0, 0, 2}}, true, {1}, "2", "0", "0", "0"},
      {"open triangle on a surface category", {{0, 0, 0, 1}, {1, 0, 0, 2}, {0, 1, 0, 3}}, false, {2}, "0", "1", "0",
       "0"},
      {"closed square on a surface category", {{0, 0, 0, 1}, {1, 0, 0, 2}, {1, 1, 0, 3}, {0, 1, 0, 4}}, true, {2},
       "0", "1", "0", "0"},
      {"one element per category", {{0, 0, 0, 1}, {1, 0, 0, 2}, {0, 1, 0, 3}}, true, {1, 2}, "0", "1", "1", "0"},
      {"text object writes no geometry", {{0, 0, 0, 1}, {1, 0, 0, 2}}, false, {kTextLeftCategory}, "0", "0", "0",
       "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_plan = {};
    polygon(c.points, c.closed, c.categories);
    const std::string e = entities(write(DxfOptions{}));
    EXPECT_EQ(count(e, "  0\r\nLINE\r\n"), c.lines);
    EXPECT_EQ(count(e, "  0\r\nPOLYLINE\r\n"), c.polylines);
    EXPECT_EQ(count(e, "  0\r\n3DFACE\r\n"), c.faces);
    EXPECT_EQ(count(e, "  0\r\nPOINT\r\n"), c.points_);
  }
}

TEST_F(DxfWriterTest, PointMarkersAndPolygonPoints) {
  polygon({{10, 20, 3, 1}});
  polygon({{0, 0, 0, 2}, {4, 0, 0, 3}}, false);
  DxfOptions options;
  options.pdMode = 130;
  options.pdSize = 0.5;
  options.addPolyPoints = true;
  const std::string e = entities(write(options));
  EXPECT_EQ(count(e, "  0\r\nPOINT\r\n"), "3");
  EXPECT_EQ(count(e, "  0\r\nLINE\r\n"), "7");  // 2 markers per point, 1 segment
  EXPECT_NE(e.find(" 10\r\n9.500000\r\n 20\r\n20.000000\r\n 30\r\n3.000000\r\n"
                   " 11\r\n10.500000\r\n 21\r\n20.000000\r\n 31\r\n3.000000\r\n"),
            std::string::npos);
  options.pdMode = 131;
  m_plan = {};
  polygon({{10, 20, 3, 1}});
  const std::string cross = entities(write(options));
  EXPECT_NE(cross.find(" 10\r\n10.500000\r\n 20\r\n19.500000\r\n 30\r\n3.000000\r\n"
                       " 11\r\n9.500000\r\n 21\r\n20.500000\r\n 31\r\n3.000000\r\n"),
            std::string::npos);
  EXPECT_NE(cross.find(" 10\r\n10.500000\r\n 20\r\n20.500000\r\n 30\r\n3.000000\r\n"
                       " 11\r\n9.500000\r\n 21\r\n19.500000\r\n 31\r\n3.000000\r\n"),
            std::string::npos);
}

// --- texts ---------------------------------------------------------------------

TEST_F(DxfWriterTest, PointIdTextRecordAndRules) {
  // A 50 m high plan; point 2 is shared by both polygons.
  polygon({{0, 0, 0, 1}, {5, 50, 1, 2}}, false);
  polygon({{5, 50, 1, 2}, {9, 9, 9, 3}}, false);
  DxfOptions options;
  options.pid.enabled = true;
  options.pid.height = 2;
  options.pid.relative = true;
  options.pid.orientation = 0;
  const std::string e = entities(write(options));
  EXPECT_NE(e.find("  0\r\nTEXT\r\n100\r\nAcDbEntity\r\n  8\r\nVL_PID\r\n"
                   " 10\r\n5.000000\r\n 20\r\n50.000000\r\n 30\r\n1.000000\r\n"
                   " 11\r\n5.000000\r\n 21\r\n50.000000\r\n 31\r\n1.000000\r\n"
                   " 40\r\n1.0000\r\n  1\r\n2\r\n"),
            std::string::npos)
      << e;
  EXPECT_EQ(count(e, "  0\r\nTEXT\r\n"), "3");

  struct Case {
    int orientation;
    std::string groups;
  };
  const Case cases[] = {{1, " 72\r\n0\r\n 73\r\n1\r\n"},
                        {2, " 72\r\n2\r\n 73\r\n1\r\n"},
                        {3, " 72\r\n0\r\n 73\r\n3\r\n"},
                        {4, " 72\r\n2\r\n 73\r\n3\r\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    options.pid.orientation = c.orientation;
    EXPECT_NE(entities(write(options)).find(" 31\r\n1.000000\r\n" + c.groups + " 40\r\n1.0000\r\n"),
              std::string::npos);
  }
  options.pid.height = 0;
  EXPECT_EQ(count(entities(write(options)), "TEXT"), "0");
}

TEST_F(DxfWriterTest, TextLayers) {
  addCategory("Wall", 1, 255, 0, 0);
  polygon({{0, 0, 0, 7, {1}}});
  struct Case {
    const char* name;
    bool prefix;
    bool origLayer;
    std::string layer;
    std::string expected;
  };
  const Case cases[] = {
      {"configured layer", true, false, "Ids", "Ids"},
      {"empty layer, prefix on", true, false, "", "VL_PID"},
      {"empty layer, prefix off", false, false, "", "PID"},
      {"original layer option", true, true, "Ids", "VL_Wall"},
      {"original layer by name", false, false, "Original Layer", "Wall"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DxfOptions options;
    options.addVlLayerPrefix = c.prefix;
    options.pid.enabled = true;
    options.pid.origLayer = c.origLayer;
    options.pid.layer = c.layer;
    const std::string e = entities(write(options));
    EXPECT_NE(e.find("TEXT\r\n100\r\nAcDbEntity\r\n  8\r\n" + c.expected + "\r\n"), std::string::npos) << e;
  }
}

TEST_F(DxfWriterTest, LayerListRules) {
  addCategory("Wall", 1, 255, 0, 0);
  addCategory("Ids", 2, 0, 0, 255);         // the configured point-id layer, not used
  addCategory("Original Layer", 3, 0, 255, 0);
  addCategory("Bad/Name", 4, 0, 255, 0);
  polygon({{0, 0, 0, 1, {1, 3, 4}}});
  polygon({{1, 1, 0, 2}});  // no category
  DxfOptions options;
  options.pid.enabled = true;
  options.pid.layer = "Ids";
  const std::string dxf = write(options);
  const std::string record = "100\r\nAcDbLayerTableRecord\r\n  2\r\n";
  std::vector<std::string> layers;
  for (size_t at = dxf.find(record); at != std::string::npos; at = dxf.find(record, at + 1)) {
    const size_t start = at + record.size();
    layers.push_back(dxf.substr(start, dxf.find("\r\n", start) - start));
  }
  EXPECT_EQ(layers, (std::vector<std::string>{"VL", "VL_Wall", "Ids", "VL_Bad_Name"}));
  const std::string e = entities(dxf);
  EXPECT_EQ(count(e, "  0\r\nPOINT\r\n"), "4");  // Wall, Original Layer, Bad/Name, no category
  EXPECT_NE(e.find("POINT\r\n100\r\nAcDbEntity\r\n  8\r\nVL\r\n"), std::string::npos);
  options.addVlLayerPrefix = false;
  EXPECT_NE(entities(write(options)).find("POINT\r\n100\r\nAcDbEntity\r\n  8\r\n0\r\n"), std::string::npos);
}

TEST_F(DxfWriterTest, AlphanumericIdsAndCommentTexts) {
  polygon({{0, 0, 0, 4, {}, "line\r\nend", "A-7"}, {2, 0, 0, 5}, {2, 2, 0, 6}}, true, {}, "Lot");
  DxfOptions options;
  options.pid.enabled = true;
  options.comment.enabled = true;
  options.comment.height = 0.25;
  DxfWriteSettings settings;
  settings.alphaNumIds = true;
  settings.pointIdPrefix = "P";
  const std::string e = entities(write(options, settings));
  EXPECT_NE(e.find("  1\r\nA-7\r\n"), std::string::npos);
  EXPECT_NE(e.find("  1\r\nP5\r\n"), std::string::npos);
  // A line end in a text would end the group value.
  EXPECT_NE(e.find(" 40\r\n0.2500\r\n  1\r\nline  end\r\n"), std::string::npos) << e;
  // The polygon's comment at the mean of its points, after all point ids.
  const size_t lot = e.find(" 10\r\n1.333333\r\n 20\r\n0.666667\r\n 30\r\n0.000000\r\n");
  EXPECT_NE(lot, std::string::npos);
  EXPECT_GT(lot, e.find("  1\r\nP6\r\n"));
}

TEST_F(DxfWriterTest, CoordinateFormatLanguage) {
  CoordinatePoint p;
  p.number = 42;
  p.x = 1.23456, p.y = -2.5, p.z = 100;
  p.pointCategory = "Kerb";
  p.polygonCategory = "Road";
  struct Case {
    std::string format;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {"(%x %y)", {"(1.2346 -2.5000)"}},
      {"%E/%N/%Z", {"1.2346/-2.5000/100.0000"}},
      {"%x.1 %y.0 %z.9", {"1.2 -2 100.000000000"}},
      {"%x.a|", {"1.2346|"}},
      {"%x.", {"1.2346."}},
      {"#: %k %p %C", {"42: Kerb Road Kerb"}},
      {"%q 50%", {"%q 50%"}},
      {"#\\n%z", {"42%%010100.0000"}},
      {"#\\N%z.2", {"42", "100.00"}},
  };
  std::vector<std::string> texts;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    expandCoordinateFormat(c.format, p, "%%010", texts);
    EXPECT_EQ(texts, c.texts);
  }
  p.pointCategory = {};
  expandCoordinateFormat("%c", p, "", texts);
  EXPECT_EQ(texts, std::vector<std::string>{"Road"});
}

TEST_F(DxfWriterTest, CoordinateTextsAndTextObjects) {
  polygon({{1, 2, 3, 1}});
  polygon({{1, 2, 3, 2}});  // same position: one coordinate text
  polygon({{7, 8, 9, 3, {kTextRightCategory}, "Gate"}});
  DxfOptions options;
  options.coord.enabled = true;
  options.coordFormat = "#\\N%z.1";
  options.text.enabled = true;
  options.text.height = 0.5;
  const std::string e = entities(write(options));
  EXPECT_EQ(count(e, "  8\r\nVL_COORD\r\n"), "2");
  EXPECT_NE(e.find(" 40\r\n0.0100\r\n  1\r\n3.0\r\n"), std::string::npos);
  EXPECT_NE(e.find("  8\r\nVL\r\n 10\r\n7.000000\r\n 20\r\n8.000000\r\n 30\r\n9.000000\r\n"
                   " 11\r\n7.000000\r\n 21\r\n8.000000\r\n 31\r\n9.000000\r\n 72\r\n2\r\n"
                   " 40\r\n0.5000\r\n  1\r\nGate\r\n"),
            std::string::npos)
      << e;
  EXPECT_EQ(count(e, "  0\r\nPOINT\r\n"), "2");
}

TEST_F(DxfWriterTest, BrokenSinkAndUnknownLayout) {
  EXPECT_EQ(test::failure([&] {
              StringSink sink;
              writeDxfLayout(0, sink, DxfOptions{}, {}, categoryEntries(m_list), ui);
            }),
            +ErrorCode::InvalidBlockId);
}

// --- independent readers ----------------------------------------------------------

std::string runTool(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  pclose(pipe);
  return out;
}

TEST_F(DxfWriterTest, EzdxfAndGdalReadWhatWeWrote) {
  if (!fs::exists("/usr/bin/python3") || runTool("/usr/bin/python3 -c 'import ezdxf' 2>&1") != "" ||
      !fs::exists("/usr/bin/ogrinfo"))
    GTEST_FAIL() << "python3-ezdxf and gdal-bin are needed (scripts/setup.sh installs them)";
  test::Sandbox box;
  addCategory("Wall", 1, 255, 0, 0);
  addCategory("Ground", 2, 0, 160, 0, 2);
  addCategory("Stra\xC3\x9F" "e", 3, 90, 90, 90);
  polygon({{512340.118, 5401210.442, 312.215, 1}, {512352.604, 5401210.398, 312.187, 2},
           {512352.651, 5401222.913, 312.24, 3}, {512340.17, 5401222.957, 312.262, 4}},
          true, {1, 3}, "House");
  polygon({{512330.005, 5401200.12, 311.98, 10}, {512345.317, 5401200.544, 311.962, 11}}, false, {3});
  polygon({{512330, 5401200, 311, 20}, {512331, 5401200, 311, 21}, {512330, 5401201, 311.5, 22}}, true, {2});
  polygon({{512335.5, 5401215.25, 312.48, 100, {1}, "Nail"}});
  polygon({{512336.5, 5401216.25, 312.48, 101, {kTextCentreCategory}, "Label"}});
  DxfOptions options;
  options.pid.enabled = true;
  options.coord.enabled = true;
  options.coordFormat = "#\\n%x %y\\N%z";
  options.comment.enabled = true;
  options.text.enabled = true;
  options.pdMode = 131;
  options.pdSize = 0.1;
  options.addPolyPoints = true;
  DxfWriteSettings settings;
  settings.codePage = 1252;
  const fs::path file = box.root() / "plan.dxf";
  std::ofstream(file, std::ios::binary) << write(options, settings);

  const std::string ez =
      runTool("PYTHONIOENCODING=utf-8 /usr/bin/python3 " VLTRX_TEST_DATA "/../formats/check-dxf.py " + file.string());
  EXPECT_NE(ez.find("errors 0\n"), std::string::npos) << ez;
  EXPECT_EQ(ez.find("\nerror "), std::string::npos) << ez;
  EXPECT_NE(ez.find("layer VL_Stra\xC3\x9F" "e 251\n"), std::string::npos) << ez;
  EXPECT_NE(ez.find("POLYLINE VL_Wall closed 512340.118000 5401210.442000 312.215000 512352.604000 5401210.398000 "
                    "312.187000 512352.651000 5401222.913000 312.240000 512340.170000 5401222.957000 312.262000\n"),
            std::string::npos)
      << ez;
  EXPECT_NE(ez.find("LINE VL_Stra\xC3\x9F" "e 512330.005000 5401200.120000 311.980000 512345.317000 5401200.544000 "
                    "311.962000\n"),
            std::string::npos);
  EXPECT_NE(ez.find("3DFACE VL_Ground 512330.000000 5401200.000000 311.000000 512331.000000 5401200.000000 "
                    "311.000000 512330.000000 5401201.000000 311.500000 512330.000000 5401200.000000 311.000000\n"),
            std::string::npos);
  EXPECT_NE(ez.find("POINT VL_Wall 512335.500000 5401215.250000 312.480000\n"), std::string::npos);
  EXPECT_NE(ez.find("TEXT VL 512336.500000 5401216.250000 312.480000 0.0100 'Label'\n"), std::string::npos);
  EXPECT_NE(ez.find("TEXT VL_COORD 512330.005000 5401200.120000 311.980000 0.0100 '10%%010512330.0050 "
                    "5401200.1200'\n"),
            std::string::npos);

  const std::string ogr = runTool("ogrinfo -ro -al -so " + file.string() + " 2>&1");
  const size_t texts = std::stoul(count(ez, "\nTEXT "));
  const size_t others = std::stoul(count(ez, "\nPOINT ")) + std::stoul(count(ez, "\nLINE ")) +
                        std::stoul(count(ez, "\nPOLYLINE ")) + std::stoul(count(ez, "\n3DFACE "));
  EXPECT_NE(ogr.find("Feature Count: " + std::to_string(texts + others) + "\n"), std::string::npos) << ogr;
}

}  // namespace
}  // namespace vltrx
