// SVG writer: the file layout, view box, layer order, fills by surface
// kind, symbols and labels, text objects, and what xmllint and a headless
// browser make of our files.
#include "core/BlockStore.h"
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/Sink.h"
#include "core/Staging.h"
#include "formats/PlanLabels.h"
#include "formats/SvgWriter.h"
#include "framework/FormatOptions.h"
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
};

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
    "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\r\n";
const std::string kNamespaces =
    "xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\">\r\n";

class SvgWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMeasurementStore();
    ASSERT_EQ(newCategoryList(m_list), 0);
  }
  void TearDown() override { resetMeasurementStore(); }

  void addCategory(std::string_view name, uint16_t id, uint8_t r, uint8_t g, uint8_t b, uint32_t surface = 0,
                   double fixedHeight = 0) {
    CategoryEntry e = makeCategoryEntry(name, id, r, g, b);
    e.surface = surface;
    e.fixedHeight = fixedHeight;
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
    }
  }

  std::string write(const SvgOptions& options = {}) {
    BlockId layout = createLayout(rootFolder(), "plan" + std::to_string(++m_layouts));
    commitStagedPlan(layout, m_plan);
    StringSink sink;
    writeSvgLayout(layout, sink, options, categoryEntries(m_list), ui);
    return sink.str();
  }

  BlockId m_list = 0;
  StagedPlan m_plan;
  int m_layouts = 0;
  test::ScriptedUi ui;
};

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The group ids in file order.
std::vector<std::string> groups(const std::string& svg) {
  std::vector<std::string> ids;
  for (size_t at = svg.find("\t<g id=\""); at != std::string::npos; at = svg.find("\t<g id=\"", at + 1)) {
    const size_t start = at + 8;
    ids.push_back(svg.substr(start, svg.find('"', start) - start));
  }
  return ids;
}

TEST_F(SvgWriterTest, OpenPolylineInARedCategory) {
  addCategory("Kerb", 1, 255, 0, 0);
  polygon({{0, 0, 0, 1}, {100, 0, 0, 2}, {100, 50, 0, 3}}, false, {1});
  const std::string expected =
      kHead + "<svg viewBox=\"-10.000000 -55.000000 120.000000 60.000000\" " + kNamespaces +
      "\t<g id=\"VL_Kerb\" style=\"stroke:rgb(255, 0, 0);stroke-width:0.1%;fill:none\" "
      "transform=\"scale(1.0, -1.0)\">\r\n"
      "\t\t<defs>\r\n"
      "\t\t\t<circle id=\"VL_Kerb_PointDef\" cx=\"0.0\" cy=\"0.0\" r=\"0.5%\" "
      "style=\"stroke:black;stroke-width:0;fill:rgb(255, 0, 0)\"/>\r\n"
      "\t\t</defs>\r\n"
      "\t\t<polyline points=\"0.000000 0.000000 100.000000 0.000000 100.000000 50.000000\"/>\r\n"
      "\t</g>\r\n"
      "</svg>\r\n";
  EXPECT_EQ(write(), expected);
}

TEST_F(SvgWriterTest, PolygonsSymbolsAndEmptyPlan) {
  polygon({{0, 0, 0, 1}, {1, 0, 0, 2}, {1, 1, 0, 3}, {0, 1, 0, 4}}, true);
  polygon({{5, 5, 0, 5}});
  const std::string svg = write();
  EXPECT_NE(svg.find("\t\t<polygon points=\"0.000000 0.000000 1.000000 0.000000 1.000000 1.000000 "
                     "0.000000 1.000000\"/>\r\n"),
            std::string::npos);
  EXPECT_EQ(count(svg, "<polygon"), 1u);
  EXPECT_EQ(count(svg, "<polyline"), 0u);
  EXPECT_NE(svg.find("\t\t<use xlink:href=\"#VL_PointDef\" x=\"5.000000\" y=\"5.000000\"/>\r\n"), std::string::npos);
  EXPECT_EQ(count(svg, "<use "), 1u);
  EXPECT_EQ(count(svg, "<text"), 0u);  // labels off

  m_plan = {};
  EXPECT_EQ(write(), kHead + "<svg viewBox=\"-0.100000 -0.100000 1.200000 1.200000\" " + kNamespaces + "</svg>\r\n");
  // One point: no extent; the view box keeps a size so that it renders.
  polygon({{5, 5, 0, 5}});
  EXPECT_NE(write().find("<svg viewBox=\"4.900000 -5.100000 1.200000 1.200000\" "), std::string::npos);
}

TEST_F(SvgWriterTest, LayerOrderFixedHeightsFirst) {
  addCategory("C", 30, 0, 0, 0);
  addCategory("High", 40, 0, 0, 0, 3, 12.5);
  addCategory("A", 10, 0, 0, 0);
  addCategory("Low", 50, 0, 0, 0, 3, 2.0);
  addCategory("Low2", 20, 0, 0, 0, 3, 2.0);
  for (uint16_t id : {30, 40, 10, 50, 20}) polygon({{double(id), 0, 0, id}}, false, {id});
  polygon({{1, 1, 1, 99}});
  EXPECT_EQ(groups(write()), (std::vector<std::string>{"VL_Low", "VL_Low2", "VL_High", "VL", "VL_A", "VL_C"}));
}

TEST_F(SvgWriterTest, FillsBySurfaceKind) {
  addCategory("None", 1, 1, 2, 3, 0);
  addCategory("Planar", 2, 1, 2, 3, 1);
  addCategory("Triangle", 3, 1, 2, 3, 2);
  addCategory("Fixed", 4, 1, 2, 3, 3, 5.0);
  const std::vector<P> triangle = {{0, 0, 0, 1}, {1, 0, 0, 2}, {0, 1, 0, 3}};
  const std::vector<P> flatSquare = {{0, 0, 0, 1}, {1, 0, 0.005, 2}, {1, 1, 0, 3}, {0, 1, 0, 4}};
  const std::vector<P> bentSquare = {{0, 0, 0, 1}, {1, 0, 0, 2}, {1, 1, 0.5, 3}, {0, 1, 0, 4}};
  struct Case {
    const char* name;
    std::vector<P> points;
    bool closed;
    uint16_t category;
    bool filled;
  };
  const Case cases[] = {
      {"no surface", triangle, true, 1, false},
      {"planar, flat", flatSquare, true, 2, true},
      {"planar, bent", bentSquare, true, 2, false},
      {"triangle of 3", triangle, true, 3, true},
      {"triangle of 4", flatSquare, true, 3, false},
      {"fixed height", bentSquare, true, 4, true},
      {"open", triangle, false, 4, false},
      {"two points", {{0, 0, 0, 1}, {1, 1, 0, 2}}, true, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_plan = {};
    polygon(c.points, c.closed, {c.category});
    const std::string svg = write();
    EXPECT_EQ(count(svg, "\" style=\"fill:rgb(1, 2, 3)\"/>\r\n"), c.filled ? 1u : 0u) << svg;
  }
}

TEST_F(SvgWriterTest, LabelsGoToTheirLayers) {
  addCategory("Wall", 1, 10, 20, 30);
  addCategory("PID", 10500, 200, 0, 0);
  polygon({{1, 2, 3, 7, {}, "A & <B> \"\xE2\x82\xAC\" caf\xC3\xA9"}, {4, 5, 6, 8, {1}}}, false, {1});
  SvgOptions options;
  options.pid.enabled = true;
  options.pid.height = 2;
  options.comment.enabled = true;
  options.comment.origLayer = true;
  options.coord.enabled = true;
  options.coord.height = 1.5;
  options.coord.relative = true;
  options.coordFormat = "#: %x.1\\n%y.1";
  const std::string svg = write(options);
  EXPECT_EQ(groups(svg), (std::vector<std::string>{"VL_Wall", "VL_PID", "VL_COORD"}));
  EXPECT_NE(svg.find("\t\t<text x=\"1.000000\" y=\"-2.000000\" style=\"font-size:2.000000mm;font-family:Arial;"
                     "stroke:rgb(200, 0, 0);fill:rgb(200, 0, 0)\" transform=\"scale(1.0, -1.0)\">\r\n"
                     "\t\t\t7\r\n\t\t</text>\r\n"),
            std::string::npos)
      << svg;
  EXPECT_NE(svg.find("font-size:1.500000%;font-family:Arial;stroke:rgb(0, 0, 0);fill:rgb(0, 0, 0)\" "
                     "transform=\"scale(1.0, -1.0)\">\r\n\t\t\t8: 4.0 5.0\r\n"),
            std::string::npos);
  // The comment in the element's own group, escaped, in ISO-8859-1.
  const size_t wallEnd = svg.find("\t</g>");
  const size_t comment = svg.find("\t\t\tA &amp; &lt;B&gt; &quot;&#x20AC;&quot; caf\xE9\r\n");
  EXPECT_LT(comment, wallEnd);
  // The point with its own category gets a symbol; label layers get none.
  EXPECT_EQ(count(svg, "<use "), 1u);
}

TEST_F(SvgWriterTest, TextObjectsWithAnchors) {
  polygon({{1, 1, 0, 1, {kTextLeftCategory}, "Left"}});
  polygon({{2, 2, 0, 2, {kTextRightCategory}, "Right"}});
  polygon({{3, 3, 0, 3, {kTextCentreCategory}, "Mid"}});
  SvgOptions options;
  options.text.enabled = true;
  options.text.height = 3;
  const std::string svg = write(options);
  for (const char* anchor : {"start\">\r\n\t\t\tLeft", "end\">\r\n\t\t\tRight", "middle\">\r\n\t\t\tMid"}) {
    SCOPED_TRACE(anchor);
    EXPECT_NE(svg.find("transform=\"scale(1.0, -1.0)\" text-anchor=\"" + std::string(anchor)), std::string::npos)
        << svg;
  }
  EXPECT_EQ(count(svg, "<use "), 0u);
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

TEST_F(SvgWriterTest, XmllintAndChromiumReadWhatWeWrote) {
  if (!fs::exists("/usr/bin/xmllint")) GTEST_FAIL() << "xmllint is needed (libxml2-utils, scripts/setup.sh)";
  test::Sandbox box;
  addCategory("Building & <Yard>", 1, 192, 0, 0, 1);
  addCategory("Terrain", 2, 0, 160, 0, 2);
  addCategory("Kerb \"K\" Stra\xC3\x9F" "e", 3, 0, 0, 255);
  polygon({{10, 10, 0, 1}, {30, 10, 0, 2}, {30, 25, 0, 3}, {10, 25, 0, 4}}, true, {1}, "House \xE2\x82\xAC");
  polygon({{0, 0, 0, 5}, {8, 0, 0, 6}, {0, 8, 0, 7}}, true, {2});
  polygon({{0, 30, 0, 10, {}, "Drain <DN 400>"}, {40, 32, 0, 11}}, false, {3});
  polygon({{20, 5, 0, 100, {3}, "Nail"}});
  polygon({{20, 18, 0, 101, {kTextCentreCategory}, "Lot 12"}});
  SvgOptions options;  // every kind of label
  options.pid.enabled = options.coord.enabled = options.comment.enabled = options.text.enabled = true;
  options.pid.height = options.coord.height = options.comment.height = options.text.height = 1;
  const fs::path file = box.root() / "plan.svg";
  const std::string svg = write(options);
  std::ofstream(file, std::ios::binary) << svg;
  // Ids in ISO-8859-1 like every other text, names reduced to name characters.
  EXPECT_NE(svg.find("<use xlink:href=\"#VL_Kerb__K__Stra\xDF" "e_PointDef\""), std::string::npos);
  EXPECT_NE(svg.find("<g id=\"VL_Building____Yard_\" "), std::string::npos);
  EXPECT_EQ(runTool("xmllint --noout --nonet '" + file.string() + "' 2>&1"), "");

  if (!fs::exists("/usr/bin/chromium")) GTEST_SKIP() << "chromium is not installed: the rendering check is skipped";
  const fs::path png = box.root() / "plan.png";
  const std::string command =
      "HOME='" + box.root().string() + "' timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu "
      "--disable-background-networking --disable-component-update --disable-sync --no-first-run "
      "--user-data-dir='" + (box.root() / "chromium").string() + "' --window-size=400,400 --screenshot='" +
      png.string() + "' 'file://" + file.string() + "' >/dev/null 2>&1";
  runTool(command);
  ASSERT_TRUE(fs::exists(png));
  const std::string pixels =
      runTool("/usr/bin/python3 " VLTRX_TEST_DATA "/../formats/check-png.py '" + png.string() + "'");
  unsigned total = 0, drawn = 0, colours = 0;
  ASSERT_EQ(std::sscanf(pixels.c_str(), "pixels %u drawn %u colours %u", &total, &drawn, &colours), 3) << pixels;
  // Not blank, and more than one colour of ours (red outline and fill, green, blue).
  EXPECT_GT(drawn, total / 100) << pixels;
  EXPECT_GT(colours, 3u) << pixels;
}

}  // namespace
}  // namespace vltrx
