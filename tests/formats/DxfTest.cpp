// DXF reader: drawings made by ezdxf read as ezdxf reads them, the quirks of
// real drawings, entities and curves, layers and categories, code pages,
// centre points, joining, errors with their line numbers, and the question
// for drawings without plan layers.
#include "framework/Conversion.h"
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "formats/dxf/DxfCurves.h"
#include "formats/dxf/DxfGroupReader.h"
#include "formats/dxf/DxfReader.h"
#include "framework/AllFormatOptions.h"
#include "ui/Ui.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(VLTRX_TEST_DATA) / "dxf";
const fs::path kOracle = fs::path(VLTRX_TEST_DATA).parent_path() / "formats" / "dxf_oracle.py";

struct PointRow {
  double x, y, z;
  CategorySet categories;
  std::string comment;
};

struct PolygonRow {
  bool closed = false;
  CategorySet categories;
  std::vector<PointRow> points;
};

std::vector<PolygonRow> rowsOf(BlockId layout) {
  std::vector<PolygonRow> rows;
  uint32_t next = 0;
  for (uint32_t i = 0; i < polygonCount(layout); ++i) {
    const MPolygon* pg = polygonAt(layout, i);
    PolygonRow row;
    row.closed = pg->closed != 0;
    row.categories = categoryIds(*pg).toSet();
    for (int16_t k = 0; k < pg->pointCount; ++k) {
      const MPoint* pt = pointAt(layout, next++);
      row.points.push_back({pt->x, pt->y, pt->z, categoryIds(*pt).toSet(), std::string(pointComment(*pt))});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Category names to ids 1, 2, 3 ..., case-insensitively, as the category
// list in force would give them.
struct FakeCategories {
  std::map<std::string, uint16_t> ids;
  uint16_t operator()(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto it = ids.find(key);
    if (it == ids.end()) it = ids.emplace(key, static_cast<uint16_t>(ids.size() + 1)).first;
    return it->second;
  }
  uint16_t id(const std::string& lowerName) const {
    auto it = ids.find(lowerName);
    return it == ids.end() ? 0 : it->second;
  }
};

class ScriptedUi : public SilentUi {
 public:
  Answer answer = Answer::None;
  int questions = 0;
  std::vector<int> warnings;

 protected:
  Answer doMessageBox(std::string_view, std::string_view, Buttons, Icon) override {
    ++questions;
    return answer;
  }
  bool doWarning(int textId, std::string_view) override {
    warnings.push_back(textId);
    return true;
  }
};

// A drawing of only an ENTITIES section around body (pairs given as
// "code\nvalue\n" text).
std::string drawing(const std::string& body) { return "0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n"; }

class DxfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMeasurementStore();
    settings.categoryForName = [this](std::string_view n) { return categories(n); };
  }
  void TearDown() override { resetMeasurementStore(); }

  BlockId readBytes(const std::string& bytes) {
    DxfGroupReader reader{std::string_view(bytes)};
    return readDxfInput(reader, rootFolder(), "plan", settings, ui);
  }
  std::vector<PolygonRow> read(const std::string& bytes) {
    const BlockId layout = readBytes(bytes);
    EXPECT_NE(layout, 0u);
    return layout ? rowsOf(layout) : std::vector<PolygonRow>{};
  }
  std::vector<PolygonRow> readFile(const std::string& name) {
    const BlockId layout = readDxfFile(kData / name, rootFolder(), settings, ui);
    EXPECT_NE(layout, 0u);
    return layout ? rowsOf(layout) : std::vector<PolygonRow>{};
  }
  // The code of the CError that reading bytes throws, with its message.
  int failure(const std::string& bytes, std::string* message = nullptr) {
    try {
      readBytes(bytes);
    } catch (const CError& e) {
      if (message) *message = e.message();
      return e.code();
    }
    return 0;
  }

  DxfReadSettings settings;
  FakeCategories categories;
  ScriptedUi ui;
};

uint32_t layoutsInStore() { return subFolder(rootFolder())->childCount; }

std::string lineSuffix(int line) {
  std::string s = text(39);
  s.replace(s.find("%d"), 2, std::to_string(line));
  return s;
}

// --- ezdxf as the independent reader -------------------------------------------------

struct OracleFacts {
  std::vector<DxfVec> points, vertices;
  std::vector<std::pair<DxfVec, DxfVec>> segments;
  double extent[4] = {0, 0, 0, 0};
  bool hasExtent = false;
};

OracleFacts askEzdxf(const fs::path& file, bool vlOnly) {
  OracleFacts f;
  const std::string command =
      "/usr/bin/python3 '" + kOracle.string() + "' '" + file.string() + "'" + (vlOnly ? " vl" : "");
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return f;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  std::istringstream in(out);
  std::string kind;
  while (in >> kind) {
    if (kind == "P" || kind == "V") {
      DxfVec p;
      in >> p.x >> p.y >> p.z;
      (kind == "P" ? f.points : f.vertices).push_back(p);
    } else if (kind == "S") {
      DxfVec a, b;
      in >> a.x >> a.y >> a.z >> b.x >> b.y >> b.z;
      f.segments.push_back({a, b});
    } else if (kind == "E") {
      in >> f.extent[0] >> f.extent[1] >> f.extent[2] >> f.extent[3];
      f.hasExtent = true;
    }
  }
  return f;
}

double distance(const DxfVec& a, const PointRow& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

double distanceToSegment(const PointRow& p, const DxfVec& a, const DxfVec& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  const double len2 = dx * dx + dy * dy + dz * dz;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy + (p.z - a.z) * dz) / len2 : 0;
  t = std::max(0.0, std::min(1.0, t));
  return distance({a.x + t * dx, a.y + t * dy, a.z + t * dz}, p);
}

TEST_F(DxfTest, DrawingsReadAsEzdxfReadsThem) {
  if (!fs::exists("/usr/bin/python3") || std::system("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-ezdxf is not installed (scripts/setup.sh installs it)";
  constexpr double kMillimetre = 0.001;
  const double tol = settings.approx;
  struct Case {
    const char* name;
    bool allLayers;  // ezdxf misreads the layer of a SPLINE in an R12 file as "0"
  } cases[] = {{"basic.dxf", false},   {"mirrored.dxf", false},   {"polyface.dxf", false},
               {"joining.dxf", false}, {"utf8-r2010.dxf", false}, {"layers.dxf", false},
               {"quirks-r12.dxf", true}, {"basic-binary.dxf", false}, {"r12-binary.dxf", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    settings.importAllLayers = c.allLayers;
    const OracleFacts facts = askEzdxf(kData / c.name, !c.allLayers);
    // Joined ends meet within epsilon, the rest to the millimetre.
    const double vertexTolerance = std::string(c.name) == "joining.dxf" ? settings.epsilon + kMillimetre : kMillimetre;
    ASSERT_TRUE(facts.hasExtent);
    const std::vector<PolygonRow> rows = readFile(c.name);
    std::vector<PointRow> plain;  // every point that is no centre point
    for (const PolygonRow& r : rows)
      for (const PointRow& p : r.points)
        if (p.categories.empty()) plain.push_back(p);

    for (const DxfVec& want : facts.points) {
      bool found = false;
      for (const PolygonRow& r : rows)
        if (r.points.size() == 1 && distance(want, r.points[0]) <= kMillimetre) found = true;
      EXPECT_TRUE(found) << "POINT " << want.x << " " << want.y << " " << want.z;
    }
    for (const DxfVec& want : facts.vertices) {
      bool found = false;
      for (const PointRow& p : plain)
        if (distance(want, p) <= vertexTolerance) found = true;
      EXPECT_TRUE(found) << "vertex " << want.x << " " << want.y << " " << want.z;
    }
    // Every point we made lies on ezdxf's geometry (curves within the
    // approximation tolerance).
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const PointRow& p : plain) {
      double best = INFINITY;
      for (const DxfVec& want : facts.points) best = std::min(best, distance(want, p));
      for (const auto& [a, b] : facts.segments) best = std::min(best, distanceToSegment(p, a, b));
      EXPECT_LE(best, tol + kMillimetre) << "point " << p.x << " " << p.y << " " << p.z;
      minX = std::min(minX, p.x);
      minY = std::min(minY, p.y);
      maxX = std::max(maxX, p.x);
      maxY = std::max(maxY, p.y);
    }
    EXPECT_NEAR(minX, facts.extent[0], tol + kMillimetre);
    EXPECT_NEAR(minY, facts.extent[1], tol + kMillimetre);
    EXPECT_NEAR(maxX, facts.extent[2], tol + kMillimetre);
    EXPECT_NEAR(maxY, facts.extent[3], tol + kMillimetre);
  }
}

// --- entities and curves ---------------------------------------------------------------

TEST_F(DxfTest, EntitiesBecomePointsAndPolygons) {
  const std::vector<PolygonRow> rows = readFile("basic.dxf");
  // Survey eastings with a zone prefix keep their full precision.
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows[1].points.size(), 1u);
  EXPECT_DOUBLE_EQ(rows[1].points[0].x, 33479198.25);
  EXPECT_DOUBLE_EQ(rows[0].points[0].x, 505000.123);
  EXPECT_DOUBLE_EQ(rows[0].points[0].y, 5405000.456);
  EXPECT_DOUBLE_EQ(rows[0].points[0].z, 12.5);

  int tiny = 0, closedCircles = 0;
  for (const PolygonRow& r : rows) {
    if (r.points.size() == 1 && r.points[0].categories == CategorySet{kCategoryTinyCircle}) {
      ++tiny;
      EXPECT_EQ(r.points[0].comment, "R=0.005m");
      EXPECT_NEAR(r.points[0].x, 130, 1e-9);
    }
    if (r.closed && r.points.size() > 20) ++closedCircles;
  }
  EXPECT_EQ(tiny, 1);
  EXPECT_GE(closedCircles, 2);  // the circle and the full ellipse
  // Every polygon carries the category of its layer (the prefix dropped).
  EXPECT_EQ(rows[2].categories, CategorySet{categories.id("lines")});
}

TEST_F(DxfTest, ArcPointCountFollowsTheTolerance) {
  // 90 degrees on radius 10 with 0.01: step 5.125 degrees, 18 points.
  EXPECT_EQ(arcPointCount(10, 90, 0.01), 18);
  settings.cpMethod = 0;
  const auto rows = read(drawing("0\nARC\n8\nVL\n10\n0\n20\n0\n30\n0\n40\n10\n50\n0\n51\n90\n"));
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].points.size(), 18u);
  EXPECT_NEAR(rows[0].points.front().x, 10, 1e-9);
  EXPECT_NEAR(rows[0].points.back().y, 10, 1e-9);
  EXPECT_FALSE(rows[0].closed);
}

TEST_F(DxfTest, CentrePointsFollowTheMethod) {
  // Two arcs: one centre inside the drawing, one far outside of it.
  const std::string dxf = drawing(
      "0\nARC\n8\nVL\n10\n0\n20\n0\n40\n10\n50\n0\n51\n90\n"
      "0\nARC\n8\nVL\n10\n1000\n20\n1000\n40\n1000\n50\n224\n51\n226\n"
      "0\nCIRCLE\n8\nVL\n10\n5\n20\n5\n40\n0.004\n");
  struct Case {
    int method;
    int centres;
  } cases[] = {{0, 0}, {1, 2}, {2, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    resetMeasurementStore();
    settings.cpMethod = c.method;
    int centres = 0, tiny = 0;
    for (const PolygonRow& r : read(dxf)) {
      if (r.points[0].categories == CategorySet{kCategoryCentrePoint}) ++centres;
      if (r.points[0].categories == CategorySet{kCategoryTinyCircle}) ++tiny;
    }
    EXPECT_EQ(centres, c.centres);
    EXPECT_EQ(tiny, 1);  // the point of a tiny circle stays whatever the method
  }
}

TEST_F(DxfTest, PolylineVerticesAndFlags) {
  struct Case {
    const char* name;
    std::string body;
    size_t points;
    bool closed;
  } cases[] = {
      {"mesh flag 16 skipped", "0\nPOLYLINE\n8\nVL\n70\n16\n0\nVERTEX\n10\n1\n20\n1\n0\nSEQEND\n", 0, false},
      {"polyface flag 64 skipped",
       "0\nPOLYLINE\n8\nVL\n70\n64\n0\nVERTEX\n10\n1\n20\n1\n0\nVERTEX\n10\n2\n20\n1\n0\nSEQEND\n", 0, false},
      {"spline frame vertex and repeated vertex skipped",
       "0\nPOLYLINE\n8\nVL\n70\n0\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n70\n16\n10\n9\n20\n9\n"
       "0\nVERTEX\n10\n5\n20\n0\n0\nSEQEND\n",
       2, false},
      {"closed", "0\nPOLYLINE\n8\nVL\n70\n1\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n5\n20\n0\n0\nVERTEX\n10\n5\n20\n5\n"
                 "0\nSEQEND\n",
       3, true},
      {"closing bulge makes the closing segment an arc",
       "0\nPOLYLINE\n8\nVL\n70\n1\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n10\n20\n0\n42\n1\n0\nSEQEND\n", 25, true},
      {"missing SEQEND ends at the next entity",
       "0\nPOLYLINE\n8\nVL\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n5\n20\n0\n", 2, false},
      {"lwpolyline with elevation", "0\nLWPOLYLINE\n8\nVL\n90\n1000000\n38\n2.5\n10\n1\n20\n2\n10\n3\n20\n4\n", 2, false},
      {"three-sided 3DFACE", "0\n3DFACE\n8\nVL\n10\n0\n20\n0\n11\n1\n21\n0\n12\n1\n22\n1\n13\n1\n23\n1\n", 3, true},
  };
  settings.cpMethod = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    std::vector<PolygonRow> rows = read(drawing(c.body + "0\nPOINT\n8\nVL\n10\n100\n20\n100\n"));
    rows.pop_back();  // the POINT after it, read whatever came before
    size_t points = 0;
    for (const PolygonRow& r : rows) points += r.points.size();
    EXPECT_EQ(points, c.points);
    if (!rows.empty()) {
      EXPECT_EQ(rows[0].closed, c.closed);
    }
  }
  resetMeasurementStore();
  const auto rows = read(drawing("0\nLWPOLYLINE\n8\nVL\n38\n2.5\n10\n1\n20\n2\n10\n3\n20\n4\n"));
  EXPECT_DOUBLE_EQ(rows[0].points[1].z, 2.5);
}

TEST_F(DxfTest, UnknownEntitiesAreSkippedWhole) {
  const auto rows = read(drawing(
      "0\nDIMENSION\n8\nVL\n10\n1\n20\n1\n0\nHATCH\n8\nVL\n10\n2\n20\n2\n0\nMTEXT\n8\nVL\n1\nx\n0\n3DSOLID\n8\nVL\n"
      "1\nabc\n0\nINSERT\n8\nVL\n2\nB\n10\n3\n20\n3\n0\nPOINT\n8\nVL\n10\n4\n20\n4\n"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].points[0].x, 4);
}

TEST_F(DxfTest, OcsOfMirroredAndTiltedEntities) {
  settings.cpMethod = 0;
  // Extrusion (0, 0, -1) mirrors x: the arc around (10, 10) lies at x -10.
  const auto rows =
      read(drawing("0\nARC\n8\nVL\n10\n10\n20\n10\n30\n0\n40\n5\n50\n0\n51\n90\n210\n0\n220\n0\n230\n-1\n"
                   "0\nLINE\n8\nVL\n10\n1\n20\n1\n11\n2\n21\n2\n210\n0\n220\n0\n230\n-1\n"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NEAR(rows[0].points.front().x, -15, 1e-9);
  EXPECT_NEAR(rows[0].points.front().y, 10, 1e-9);
  EXPECT_NEAR(rows[0].points.back().x, -10, 1e-9);
  EXPECT_NEAR(rows[0].points.back().y, 15, 1e-9);
  // A LINE is in world coordinates whatever its extrusion.
  EXPECT_EQ(rows[1].points[0].x, 1);
  EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(DxfTest, SplinesAndEllipses) {
  settings.cpMethod = 1;
  // A quarter circle as a rational quadratic spline.
  const auto rows = read(drawing(
      "0\nSPLINE\n8\nVL\n71\n2\n72\n6\n73\n3\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n41\n1\n41\n0.70710678118654757\n"
      "41\n1\n10\n10\n20\n0\n30\n0\n10\n10\n20\n10\n30\n0\n10\n0\n20\n10\n30\n0\n"
      "0\nELLIPSE\n8\nVL\n10\n0\n20\n0\n30\n0\n11\n10\n21\n0\n31\n0\n40\n0.5\n"));
  ASSERT_EQ(rows.size(), 3u);  // spline, ellipse, the ellipse centre
  ASSERT_GE(rows[0].points.size(), 3u);
  for (const PointRow& p : rows[0].points) EXPECT_NEAR(std::hypot(p.x, p.y), 10, 0.0101);
  EXPECT_NEAR(rows[0].points.front().x, 10, 1e-9);
  EXPECT_NEAR(rows[0].points.back().y, 10, 1e-9);
  EXPECT_TRUE(rows[1].closed);
  for (const PointRow& p : rows[1].points) EXPECT_NEAR(p.x * p.x / 100 + p.y * p.y / 25, 1, 1e-9);
  EXPECT_EQ(rows[2].points[0].comment, "EllipseMP");
  EXPECT_EQ(rows[2].points[0].categories, CategorySet{kCategoryCentrePoint});
}

// --- layers ------------------------------------------------------------------------------

TEST_F(DxfTest, LayerRules) {
  const std::vector<PolygonRow> rows = readFile("layers.dxf");
  // Frozen, off, invisible, paper-space and non-VL entities are dropped.
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].points[0].x, 3);  // vl_walls
  EXPECT_EQ(rows[0].categories, CategorySet{categories.id("walls")});
  EXPECT_EQ(rows[1].points[0].x, 5);  // VL: plan data without category
  EXPECT_TRUE(rows[1].categories.empty());

  // -keepvl: the whole layer name is the category.
  resetMeasurementStore();
  settings.keepPrefix = true;
  const std::vector<PolygonRow> kept = readFile("layers.dxf");
  EXPECT_EQ(kept[0].categories, CategorySet{categories.id("vl_walls")});
  settings.keepPrefix = false;

  // All layers with categories: layer 0 is the layer VL, without category.
  resetMeasurementStore();
  settings.importAllLayers = true;
  settings.withoutAssignment = false;
  const std::vector<PolygonRow> all = readFile("layers.dxf");
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[1].categories, CategorySet{categories.id("vlwalls")});
  EXPECT_EQ(all[3].points[0].x, 6);
  EXPECT_TRUE(all[3].categories.empty());
}

TEST_F(DxfTest, DrawingWithoutPlanLayersAddsNothing) {
  EXPECT_EQ(readBytes(drawing("0\nPOINT\n8\nWALLS\n10\n1\n20\n1\n")), 0u);
  EXPECT_EQ(layoutsInStore(), 0u);
}

TEST_F(DxfTest, QuestionForDrawingWithoutPlanLayers) {
  const fs::path file = fs::path(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") / "no-vl.dxf";
  {
    FILE* f = std::fopen(file.c_str(), "wb");
    const std::string dxf = drawing("0\nPOINT\n8\nWALLS\n10\n1\n20\n1\n");
    std::fwrite(dxf.data(), 1, dxf.size(), f);
    std::fclose(f);
  }
  AllFormatOptions options;
  options.dxf.importAllLayers = false;
  ConversionContext context{options, ui};
  for (Ui::Answer answer : {Ui::Answer::None, Ui::Answer::No, Ui::Answer::Yes}) {
    SCOPED_TRACE(static_cast<int>(answer));
    resetMeasurementStore();
    ui.answer = answer;
    ui.questions = 0;
    readDxf(file, rootFolder(), context);
    EXPECT_EQ(ui.questions, 1);
    EXPECT_EQ(layoutsInStore(), answer == Ui::Answer::Yes ? 1u : 0u);
  }
  EXPECT_TRUE(options.dxf.importAllLayers);
  EXPECT_TRUE(options.dxf.importAllLayersWithoutAssignment);
  fs::remove(file);
}

// --- real drawings -------------------------------------------------------------------

TEST_F(DxfTest, QuirksOfRealDrawings) {
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"leading blanks, 999 comments, junk after EOF",
       "999\ncomment\n  0\nSECTION\n999\nx\n  2\nENTITIES\n  0\nPOINT\n999\nnote\n  8\nVL\n 20\n2\n 10\n1\n  0\nENDSEC\n"
       "  0\nEOF\ngarbage\0\xff"},
      {"CR line ends", "0\rSECTION\r2\rENTITIES\r0\rPOINT\r8\rVL\r10\r1\r20\r2\r0\rENDSEC\r0\rEOF\r"},
      {"CR LF and trailing blanks", "0\r\nSECTION \r\n2\r\nENTITIES\t\r\n0\r\nPOINT\r\n8\r\nVL  \r\n10\r\n1\r\n20\r\n2\r\n"
                                    "0\r\nENDSEC\r\n0\r\nEOF"},
      {"TABLE without a name before ENDSEC", "0\nSECTION\n2\nTABLES\n0\nTABLE\n0\nENDSEC\n" +
                                                 drawing("0\nPOINT\n8\nVL\n10\n1\n20\n2\n")},
      {"empty BLOCKS first, byte-order mark", "\xEF\xBB\xBF" "0\nSECTION\n2\nBLOCKS\n0\nENDSEC\n" +
                                                  drawing("0\nPOINT\n8\nVL\n10\n1\n20\n2\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    const auto rows = read(c.bytes);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].points[0].x, 1);
    EXPECT_EQ(rows[0].points[0].y, 2);
  }
}

TEST_F(DxfTest, NumberFormsOfRealDrawings) {
  // Signs, exponents, a bare fraction, 17 significant digits and a number
  // too small for a double (0, as "%lf" reads it).
  const auto rows = read(drawing("0\nPOINT\n8\nVL\n10\n +1.5E+02\n20\n-.5\n30\n1e-400\n"
                                 "0\nPOINT\n8\nVL\n10\n505000.12345678901\n20\n5405000.456\n30\n-0\n"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].points[0].x, 150);
  EXPECT_EQ(rows[0].points[0].y, -0.5);
  EXPECT_EQ(rows[0].points[0].z, 0);
  EXPECT_EQ(rows[1].points[0].x, 505000.12345678901);
  EXPECT_EQ(rows[1].points[0].y, 5405000.456);
}

TEST_F(DxfTest, CodePagesOfLayerNames) {
  struct Case {
    const char* name;
    std::string header;
    std::string layer;
    const char* category;
  } cases[] = {
      {"R12 without code page: raw cp1252", "", "VL_Stra\xDF" "e", "stra\xC3\x9F" "e"},
      {"declared ANSI_1252", "9\n$DWGCODEPAGE\n3\nansi_1252\n", "VL_\xE4", "\xC3\xA4"},
      {"AC1021 is UTF-8 whatever the code page", "9\n$ACADVER\n1\nAC1021\n9\n$DWGCODEPAGE\n3\nANSI_1251\n",
       "VL_Stra\xC3\x9F" "e", "stra\xC3\x9F" "e"},
      {"ASCII code page with a \\U+ escape", "9\n$DWGCODEPAGE\n3\nASCII\n", "VL_\\U+00E4", "\xC3\xA4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    categories.ids.clear();
    const std::string dxf = "0\nSECTION\n2\nHEADER\n" + c.header + "0\nENDSEC\n" +
                            drawing("0\nPOINT\n8\n" + c.layer + "\n10\n1\n20\n1\n");
    const auto rows = read(dxf);
    ASSERT_EQ(rows.size(), 1u);
    // The fake list lower-cases ASCII only.
    std::string want = c.category;
    EXPECT_NE(categories.id(want), 0) << "categories: " << categories.ids.size();
  }
}

TEST_F(DxfTest, EndsOfOneLayerAreJoined) {
  const auto rows = readFile("joining.dxf");
  ASSERT_EQ(rows.size(), 4u);
  // The four lines of the rectangle, within epsilon, become one closed ring.
  EXPECT_TRUE(rows[0].closed);
  EXPECT_EQ(rows[0].points.size(), 4u);
  // Lines of two layers stay apart.
  EXPECT_EQ(rows[1].points.size(), 2u);
  EXPECT_EQ(rows[2].points.size(), 2u);
  // The chain of three, the middle one reversed.
  ASSERT_EQ(rows[3].points.size(), 4u);
  EXPECT_EQ(rows[3].points[0].x, 50);
  EXPECT_EQ(rows[3].points[1].x, 60);
  EXPECT_EQ(rows[3].points[2].x, 70);
  EXPECT_EQ(rows[3].points[3].x, 80);
}

TEST_F(DxfTest, LongPolylineIsStoredInPieces) {
  std::string body = "0\nLWPOLYLINE\n8\nVL\n";
  for (int i = 0; i < 40000; ++i) body += "10\n" + std::to_string(i) + "\n20\n0\n";
  const auto rows = read(drawing(body));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].points.size(), 32767u);
  EXPECT_EQ(rows[1].points.front().x, rows[0].points.back().x);
  EXPECT_EQ(rows[1].points.back().x, 39999);
}

// --- binary drawings -----------------------------------------------------------------

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST_F(DxfTest, BinaryDrawingReadsLikeItsAsciiTwin) {
  const std::vector<PolygonRow> ascii = readFile("basic.dxf");
  resetMeasurementStore();
  categories.ids.clear();
  const std::vector<PolygonRow> binary = readFile("basic-binary.dxf");
  ASSERT_EQ(binary.size(), ascii.size());
  for (size_t i = 0; i < ascii.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(binary[i].closed, ascii[i].closed);
    EXPECT_EQ(binary[i].categories, ascii[i].categories);
    ASSERT_EQ(binary[i].points.size(), ascii[i].points.size());
    for (size_t k = 0; k < ascii[i].points.size(); ++k) {
      EXPECT_DOUBLE_EQ(binary[i].points[k].x, ascii[i].points[k].x);
      EXPECT_DOUBLE_EQ(binary[i].points[k].y, ascii[i].points[k].y);
      EXPECT_DOUBLE_EQ(binary[i].points[k].z, ascii[i].points[k].z);
    }
  }
}

TEST_F(DxfTest, CutOrBentBinaryDrawingIsRefused) {
  const std::string whole = readAll(kData / "basic-binary.dxf");
  std::string bent = whole;
  bent[20] = 'X';  // the SUB after CR LF
  const std::string cases[] = {whole.substr(0, whole.size() / 2), whole.substr(0, 23), bent,
                               whole.substr(0, whole.find("ENTITIES")) + "ENTITIES" + std::string("\0\x0f\x27", 3)};
  for (const std::string& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    resetMeasurementStore();
    EXPECT_EQ(failure(bytes), +ErrorCode::DxfBinary);
    EXPECT_EQ(layoutsInStore(), 0u);
  }
}

// --- bad input -----------------------------------------------------------------------

TEST_F(DxfTest, MalformedDrawingsFailWithCodeAndLine) {
  struct Case {
    const char* name;
    std::string bytes;
    ErrorCode code;
    int line;
  } cases[] = {
      {"code line not a number", "0\nSECTION\n2\nENTITIES\nxx\nPOINT\n", ErrorCode::DxfNumericExpected, 5},
      {"value line missing at the end", "0\nSECTION\n2\nENTITIES\n0\n", ErrorCode::DxfUnexpectedEnd, 5},
      {"end right after a code line", "0\nSECTION\n2\nENTITIES\n0\nPOINT\n10\n", ErrorCode::DxfUnexpectedEnd, 7},
      {"SECTION without code 2", "0\nSECTION\n5\nENTITIES\n", ErrorCode::DxfInvalidStructure, 4},
      {"$ACADVER without code 1", "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n3\nAC1015\n", ErrorCode::DxfInvalidStructure, 8},
      {"$DWGCODEPAGE without code 3", "0\nSECTION\n2\nHEADER\n9\n$DWGCODEPAGE\n1\nANSI_1252\n",
       ErrorCode::DxfInvalidStructure, 8},
      {"coordinate 1e999", drawing("0\nPOINT\n8\nVL\n10\n1e999\n"), ErrorCode::DxfNumericExpected, 10},
      {"coordinate nan", drawing("0\nPOINT\n8\nVL\n10\nnan\n"), ErrorCode::DxfNumericExpected, 10},
      {"empty layer name", drawing("0\nPOINT\n8\n\n"), ErrorCode::DxfNameMissing, 8},
      {"ellipse ratio 0", drawing("0\nELLIPSE\n8\nVL\n11\n10\n21\n0\n40\n0\n"), ErrorCode::DxfInvalidEllipse, 6},
      {"spline degree 0", drawing("0\nSPLINE\n8\nVL\n71\n0\n"), ErrorCode::DxfInvalidSplineDegree, 6},
      {"spline of degree 3, 5 control points, 8 knots",
       drawing("0\nSPLINE\n8\nVL\n71\n3\n40\n0\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n40\n1\n"
               "10\n0\n10\n1\n10\n2\n10\n3\n10\n4\n"),
       ErrorCode::DxfInvalidKnotCount, 6},
      {"ten million control points announced, three present",
       drawing("0\nSPLINE\n8\nVL\n71\n3\n73\n10000000\n40\n0\n40\n1\n10\n0\n10\n1\n10\n2\n"),
       ErrorCode::DxfInvalidKnotCount, 6},
      {"weights do not match",
       drawing("0\nSPLINE\n8\nVL\n71\n1\n40\n0\n40\n0\n40\n1\n40\n1\n41\n1\n10\n0\n10\n1\n"),
       ErrorCode::DxfWeightCountMismatch, 6},
      {"binary drawing cut after its sentinel", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22), ErrorCode::DxfBinary, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    std::string message;
    EXPECT_EQ(failure(c.bytes, &message), +c.code);
    if (c.line > 0) {
      EXPECT_NE(message.find(lineSuffix(c.line)), std::string::npos) << message;
    }
    EXPECT_EQ(layoutsInStore(), 0u);  // nothing of a failed file is stored
  }
}

TEST_F(DxfTest, TooManyLayers) {
  std::string body;
  for (int i = 0; i <= 1024; ++i) body += "0\nPOINT\n8\nVL_" + std::to_string(i) + "\n";
  EXPECT_EQ(failure(drawing(body)), +ErrorCode::DxfTooManyLayers);
  EXPECT_EQ(layoutsInStore(), 0u);
}

TEST_F(DxfTest, FileThatCannotBeOpened) {
  try {
    readDxfFile(kData / "missing.dxf", rootFolder(), settings, ui);
    FAIL();
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::CannotOpenFile);
  }
}

}  // namespace
}  // namespace vltrx
