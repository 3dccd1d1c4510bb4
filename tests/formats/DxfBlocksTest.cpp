// DXF blocks, inserts, proxy anchors and point ids from texts: inserts
// expanded as ezdxf expands them, anchor points, the layer "0" rule, blocks
// that insert themselves, bad inserts, and the matching of id texts.
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "formats/dxf/DxfBlocks.h"
#include "formats/dxf/DxfGroupReader.h"
#include "formats/dxf/DxfReader.h"
#include "ui/Ui.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(VLTRX_TEST_DATA) / "dxf";
const fs::path kOracle = fs::path(VLTRX_TEST_DATA).parent_path() / "formats" / "dxf_block_oracle.py";

struct Pt {
  double x, y, z;
  uint16_t category;  // of the polygon
  uint32_t number;
  std::string name;
  size_t polygonSize;
};

std::vector<Pt> pointsOf(BlockId layout) {
  std::vector<Pt> out;
  uint32_t next = 0;
  for (uint32_t i = 0; i < polygonCount(layout); ++i) {
    const MPolygon* pg = polygonAt(layout, i);
    const CategorySet cats = categoryIds(*pg).toSet();
    for (int16_t k = 0; k < pg->pointCount; ++k) {
      const MPoint* p = pointAt(layout, next++);
      out.push_back({p->x, p->y, p->z, cats.empty() ? uint16_t(0) : cats[0], p->number, std::string(pointName(*p)),
                     static_cast<size_t>(pg->pointCount)});
    }
  }
  return out;
}

struct FakeCategories {
  std::map<std::string, uint16_t> ids;
  uint16_t operator()(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto it = ids.find(key);
    if (it == ids.end()) it = ids.emplace(key, static_cast<uint16_t>(ids.size() + 1)).first;
    return it->second;
  }
};

class CountingUi : public SilentUi {
 public:
  std::vector<int> warnings;

 protected:
  bool doWarning(int textId, std::string_view) override {
    warnings.push_back(textId);
    return true;
  }
};

// Pairs "code\nvalue\n" from a list.
std::string pairs(std::initializer_list<std::pair<int, std::string>> list) {
  std::string s;
  for (const auto& [code, value] : list) s += std::to_string(code) + "\n" + value + "\n";
  return s;
}

std::string point(double x, double y, double z, const std::string& layer) {
  return pairs({{0, "POINT"}, {8, layer}, {10, std::to_string(x)}, {20, std::to_string(y)}, {30, std::to_string(z)}});
}

std::string text(const std::string& value, double x, double y, double z, const std::string& layer,
                 const char* kind = "TEXT") {
  return pairs({{0, kind}, {8, layer}, {10, std::to_string(x)}, {20, std::to_string(y)}, {30, std::to_string(z)},
                {1, value}});
}

std::string insert(const std::string& block, double x, double y, const std::string& layer,
                   const std::string& extra = "") {
  return pairs({{0, "INSERT"}, {8, layer}, {2, block}, {10, std::to_string(x)}, {20, std::to_string(y)}, {30, "0"}}) +
         extra;
}

std::string attributes(std::initializer_list<std::pair<std::string, std::string>> tagsAndValues) {
  std::string s;
  for (const auto& [tag, value] : tagsAndValues)
    s += pairs({{0, "ATTRIB"}, {8, "0"}, {10, "0"}, {20, "0"}, {30, "0"}, {1, value}, {2, tag}, {70, "0"}});
  return s + pairs({{0, "SEQEND"}, {8, "0"}});
}

std::string block(const std::string& name, const std::string& body, double bx = 0, double by = 0) {
  return pairs({{0, "BLOCK"}, {8, "0"}, {2, name}, {70, "0"}, {10, std::to_string(bx)}, {20, std::to_string(by)},
                {30, "0"}}) +
         body + pairs({{0, "ENDBLK"}, {8, "0"}});
}

std::string drawing(const std::string& blocks, const std::string& entities) {
  return "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities +
         "0\nENDSEC\n0\nEOF\n";
}

class DxfBlocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMeasurementStore();
    settings.categoryForName = [this](std::string_view n) { return categories(n); };
    settings.importBlocks = true;
  }
  void TearDown() override { resetMeasurementStore(); }

  std::vector<Pt> read(const std::string& bytes) {
    DxfGroupReader reader{std::string_view(bytes)};
    const BlockId layout = readDxfInput(reader, rootFolder(), "plan", settings, ui);
    EXPECT_NE(layout, 0u);
    std::vector<Pt> pts = layout ? pointsOf(layout) : std::vector<Pt>{};
    resetMeasurementStore();
    return pts;
  }
  int failure(const std::string& bytes, std::string* message = nullptr) {
    try {
      DxfGroupReader reader{std::string_view(bytes)};
      readDxfInput(reader, rootFolder(), "plan", settings, ui);
    } catch (const CError& e) {
      if (message) *message = e.message();
      return e.code();
    }
    return 0;
  }
  uint16_t category(const std::string& name) { return categories(name); }

  DxfReadSettings settings;
  FakeCategories categories;
  CountingUi ui;
};

bool near(const Pt& p, double x, double y, double z, double tol = 1e-6) {
  return std::fabs(p.x - x) <= tol && std::fabs(p.y - y) <= tol && std::fabs(p.z - z) <= tol;
}

// --- blocks and inserts ----------------------------------------------------------------

TEST_F(DxfBlocksTest, InsertsExpandAsEzdxfExpandsThem) {
  if (std::system("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-ezdxf is not installed (scripts/setup.sh installs it)";
  const std::string command = "/usr/bin/python3 '" + kOracle.string() + "' '" + (kData / "blocks.dxf").string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);

  const BlockId layout = readDxfFile(kData / "blocks.dxf", rootFolder(), settings, ui);
  ASSERT_NE(layout, 0u);
  const std::vector<Pt> pts = pointsOf(layout);
  std::istringstream in(out);
  std::string kind, layer;
  size_t singles = 0, vertices = 0;
  while (in >> kind) {
    double x, y, z;
    in >> x >> y >> z >> layer;
    SCOPED_TRACE(kind + " " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + " " + layer);
    const uint16_t want = category(layer.substr(3));  // VL_ dropped
    bool found = false;
    for (const Pt& p : pts)
      if ((kind == "P") == (p.polygonSize == 1) && near(p, x, y, z, 1e-5) && p.category == want) found = true;
    EXPECT_TRUE(found);
    (kind == "P" ? singles : vertices)++;
  }
  ASSERT_GT(singles, 5u);
  // Nothing more: no anonymous block, no insert on a layer that is not
  // read, no undefined block.
  size_t ourSingles = 0, ourVertices = 0;
  for (const Pt& p : pts) (p.polygonSize == 1 ? ourSingles : ourVertices)++;
  EXPECT_EQ(ourSingles, singles);
  EXPECT_EQ(ourVertices, vertices);
}

TEST_F(DxfBlocksTest, AnchorPointsOnly) {
  settings.blockAnchorPoints = true;
  const BlockId layout = readDxfFile(kData / "blocks.dxf", rootFolder(), settings, ui);
  ASSERT_NE(layout, 0u);
  const std::vector<Pt> pts = pointsOf(layout);
  // The four inserts on plan layers with a definition (extrusion (0, 0, -1)
  // mirrors the insertion point) and the drawing's own POINT.
  ASSERT_EQ(pts.size(), 5u);
  // The drawing's own POINT first; the anchors are added after ENTITIES.
  EXPECT_TRUE(near(pts[0], 100, 200, 5));
  EXPECT_EQ(pts[0].category, category("points"));
  EXPECT_TRUE(near(pts[1], 100, 200, 5));
  EXPECT_EQ(pts[1].category, category("pipes"));
  EXPECT_TRUE(near(pts[2], 110, 200, 0));
  EXPECT_TRUE(near(pts[3], 300, 300, 0));
  EXPECT_EQ(pts[3].category, category("green"));
  EXPECT_TRUE(near(pts[4], -400, 400, -2));
  EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(DxfBlocksTest, FarInsertionPointWarnsOncePerDrawing) {
  settings.blockAnchorPoints = true;
  // The block's contents move with the insert: inserts far from the
  // origin are no reason for the warning.
  const std::string d = drawing(block("B", point(0, 0, 0, "0") + point(10, 10, 0, "0")),
                                insert("B", 5000, 0, "VL_A") + insert("B", -7000, 0, "VL_A"));
  // Inserting moves the block, so the test needs a base point far from
  // its contents: block C has its contents 5000 units from its base.
  const std::string far = drawing(block("C", point(5000, 0, 0, "0")),
                                  insert("C", 0, 0, "VL_A") + insert("C", 10, 0, "VL_A") + insert("C", 0, 0, "VL"));
  const std::vector<Pt> pts = read(far);
  ASSERT_EQ(pts.size(), 2u);  // the bare "VL" takes no anchor
  EXPECT_EQ(ui.warnings, std::vector<int>{122});
  ui.warnings.clear();
  read(d);
  EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(DxfBlocksTest, LayerZeroContentsTakeTheInsertsLayer) {
  const std::string d = drawing(block("B", point(1, 0, 0, "0") + point(2, 0, 0, "VL_OWN")),
                                insert("B", 0, 0, "VL_PIPES"));
  const std::vector<Pt> pts = read(d);
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_EQ(pts[0].category, category("pipes"));
  EXPECT_EQ(pts[1].category, category("own"));
}

TEST_F(DxfBlocksTest, BlockRules) {
  struct Case {
    const char* what;
    std::string drawing;
    std::vector<double> xs;  // x of the points read, in order
  } cases[] = {
      {"anonymous block holds entities but contributes nothing",
       drawing(block("*Model_Space", point(9, 9, 9, "VL_A")), point(1, 0, 0, "VL_A")), {1}},
      {"the first of two definitions of a name is found",
       drawing(block("B", point(1, 0, 0, "0")) + block("B", point(2, 0, 0, "0")), insert("B", 0, 0, "VL_A")), {1}},
      {"an undefined block adds nothing", drawing("", insert("NONE", 0, 0, "VL_A") + point(3, 0, 0, "VL_A")), {3}},
      {"base point, then insertion point",
       drawing(block("B", point(11, 0, 0, "0"), 10, 0), insert("B", 100, 0, "VL_A")), {101}},
      {"a block that inserts itself is expanded once",
       drawing(block("S", point(1, 0, 0, "0") + insert("S", 10, 0, "0")), insert("S", 0, 0, "VL_A")), {1}},
      {"a cycle through another block stops at the block being expanded",
       drawing(block("A", point(1, 0, 0, "0") + insert("B", 10, 0, "0")) +
                   block("B", point(2, 0, 0, "0") + insert("A", 100, 0, "0")),
               insert("A", 0, 0, "VL_A")),
       {1, 12}},
      {"columns and rows are read, the block is placed once",
       drawing(block("B", point(1, 0, 0, "0")),
               insert("B", 0, 0, "VL_A", pairs({{70, "1000000"}, {71, "1000000"}, {44, "1"}, {45, "1"}}))),
       {1}},
      {"an insert on an off layer is dropped",
       "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nVL_OFF\n62\n-7\n70\n0\n0\nENDTAB\n0\nENDSEC\n" +
           drawing(block("B", point(1, 0, 0, "0")), insert("B", 0, 0, "VL_OFF") + point(5, 0, 0, "VL_A")),
       {5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<Pt> pts = read(c.drawing);
    ASSERT_EQ(pts.size(), c.xs.size());
    for (size_t i = 0; i < pts.size(); ++i) EXPECT_NEAR(pts[i].x, c.xs[i], 1e-9);
  }
}

TEST_F(DxfBlocksTest, NestedBlocksThatWouldMultiplyBeyondTheLimitAreRefused) {
  // 100^5 points would fill the memory: the expansion stops with -602.
  std::string blocks = block("L0", point(0, 0, 0, "0"));
  for (int level = 1; level <= 5; ++level) {
    std::string body;
    for (int k = 0; k < 100; ++k) body += insert("L" + std::to_string(level - 1), k, 0, "0");
    blocks += block("L" + std::to_string(level), body);
  }
  EXPECT_EQ(failure(drawing(blocks, insert("L5", 0, 0, "VL_A"))), -602);
}

TEST_F(DxfBlocksTest, BadInsertsFailWithCodeAndLine) {
  std::string message;
  const std::string d = drawing("", insert("B", 0, 0, "VL_A", pairs({{41, "1"}, {42, "0"}, {43, "1"}})));
  EXPECT_EQ(failure(d, &message), -2311);
  EXPECT_NE(message.find("[line 12]"), std::string::npos) << message;
  EXPECT_EQ(failure(drawing("", insert("B", 0, 0, "VL_A", pairs({{50, "east"}})))), -2302);
  EXPECT_EQ(failure(drawing(pairs({{0, "BLOCK"}, {2, "B"}, {10, "x"}}) + "0\nENDBLK\n", "")), -2302);
}

TEST_F(DxfBlocksTest, ProxyAnchorsNeedGraphicsAndThreeCoordinates) {
  settings.importProxyAnchorPoints = true;
  const std::string withGraphics =
      pairs({{0, "ACAD_PROXY_ENTITY"}, {8, "VL_P"}, {10, "1"}, {20, "2"}, {30, "3"}, {310, "00FF"}});
  const std::string noGraphics = pairs({{0, "ACAD_PROXY_ENTITY"}, {8, "VL_P"}, {10, "4"}, {20, "5"}, {30, "6"}});
  const std::string twoCoordinates = pairs({{0, "ACAD_PROXY_ENTITY"}, {8, "VL_P"}, {10, "7"}, {20, "8"}, {310, "00"}});
  const std::string classes =
      "0\nSECTION\n2\nCLASSES\n0\nCLASS\n1\nAECC_POINT\n2\nAeccPoint\n281\n1\n0\nENDSEC\n";
  const std::string ofClass = pairs({{0, "AECC_POINT"}, {8, "VL_P"}, {10, "9"}, {20, "9"}, {30, "9"}, {310, "00"}});
  std::vector<Pt> pts = read(classes + drawing("", withGraphics + noGraphics + twoCoordinates + ofClass));
  ASSERT_EQ(pts.size(), 2u);
  EXPECT_TRUE(near(pts[0], 1, 2, 3));
  EXPECT_TRUE(near(pts[1], 9, 9, 9));
  settings.importProxyAnchorPoints = false;
  pts = read(drawing("", withGraphics + point(0, 0, 0, "VL_P")));
  EXPECT_EQ(pts.size(), 1u);
}

// --- point ids -----------------------------------------------------------------------

TEST_F(DxfBlocksTest, MtextLinesAndFormattingCodes) {
  struct Case {
    const char* value;
    std::vector<std::string> lines;
  } cases[] = {
      {"1001", {"1001"}},
      {"{\\H2.5;\\C1;1002}\\P2nd", {"1002", "2nd"}},
      {"\\A1;\\fArial|b1;17\\Pline", {"17", "line"}},
      {"\\S1^2; x\\~y \\\\ \\{a\\}", {"1/2 x y \\ {a}"}},
      {"\\LUnder\\l", {"Under"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(splitMtext(c.value), c.lines);
  }
}

TEST_F(DxfBlocksTest, TextsLabelTheNearestPointWithinEpsilon) {
  settings.pidImport = true;
  settings.pidEpsilon = 0.005;
  struct Case {
    const char* what;
    std::string entities;
    bool ignoreZ;
    std::vector<uint32_t> numbers;  // of the points in order
  } cases[] = {
      {"0.004 away labels, 0.006 does not",
       point(0, 0, 0, "VL_A") + point(10, 0, 0, "VL_A") + text("17", 0.004, 0, 0, "VL_PID") +
           text("18", 10.006, 0, 0, "VL_PID"),
       false, {17, 0}},
      // When no text labels any point, the final check numbers them 1, 2 ...
      {"ignore z: 3 m higher still labels", point(0, 0, 0, "VL_A") + text("5", 0, 0, 3, "VL_PID"), true, {5}},
      {"without ignore z 3 m higher labels nothing", point(0, 0, 0, "VL_A") + text("5", 0, 0, 3, "VL_PID"), false,
       {1}},
      {"texts on other layers are not ids", point(0, 0, 0, "VL_A") + text("5", 0, 0, 0, "VL_OTHER"), false, {1}},
      {"a nearer text displaces a farther one, which finds nothing else",
       point(0, 0, 0, "VL_A") + text("1", 0.003, 0, 0, "VL_PID") + text("2", 0.001, 0, 0, "VL_PID"), false, {2}},
      {"equally near points: the first in x, y, z order takes the text",
       point(0.002, 0, 0, "VL_A") + point(-0.002, 0, 0, "VL_A") + text("9", 0, 0, 0, "VL_PID"), false, {0, 9}},
      {"a text that is not a number is skipped", point(0, 0, 0, "VL_A") + text("P12", 0, 0, 0, "VL_PID"), false, {1}},
      {"an id used twice: the second point gets 10001",
       point(0, 0, 0, "VL_A") + point(5, 0, 0, "VL_A") + text("17", 0, 0, 0, "VL_PID") + text("17", 5, 0, 0, "VL_PID"),
       false, {17, 10001}},
      {"MTEXT with codes", point(0, 0, 0, "VL_A") + text("{\\H2.5;44}\\Psecond", 0, 0, 0, "VL_PID", "MTEXT"), false,
       {44}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings.pidIgnoreZ = c.ignoreZ;
    const std::vector<Pt> pts = read(drawing("", c.entities));
    ASSERT_EQ(pts.size(), c.numbers.size());
    for (size_t i = 0; i < pts.size(); ++i) EXPECT_EQ(pts[i].number, c.numbers[i]) << i;
  }
}

TEST_F(DxfBlocksTest, LayerSelectors) {
  settings.pidImport = true;
  settings.pidEpsilon = 0.01;
  const std::string d =
      drawing("", point(0, 0, 0, "VL_A") + point(5, 0, 0, "VL_A") + point(9, 0, 0, "VL_B") +
                      text("1", 0, 0, 0, "NUMBERS") + text("2", 5, 0, 0, "VL_A") + text("3", 9, 0, 0, "numbers"));
  struct Case {
    const char* layer;
    std::vector<uint32_t> numbers;
  } cases[] = {{"*", {1, 2, 3}}, {"&", {0, 2, 0}}, {"Numbers", {1, 0, 3}}, {"", {1, 2, 3}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layer);
    settings.pidLayer = c.layer;
    const std::vector<Pt> pts = read(d);
    ASSERT_EQ(pts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(pts[i].number, c.numbers[i]) << i;
  }
}

TEST_F(DxfBlocksTest, IdsFromBlockTextsAndAttributes) {
  settings.pidImport = true;
  settings.blockAnchorPoints = true;
  const std::string blocks = block("PNT", point(0, 0, 0, "0") + text("71", 0.5, 0.5, 0, "0")) +
                             block("TWO", text("81", 0, 0, 0, "0") + text("82", 0, 0, 0, "0"));
  const std::string entities =
      insert("PNT", 10, 10, "VL_PKT", pairs({{66, "1"}}) + attributes({{"HEIGHT", "101.5"}, {"PNR", "501"}})) +
      insert("TWO", 20, 20, "VL_PKT") + insert("PNT", 30, 30, "VL_PKT", pairs({{66, "1"}}) + attributes({{"pnr", "A7"}}));
  struct Case {
    const char* what;
    int source, textNumber;
    bool alphanumeric;
    std::vector<uint32_t> numbers;
    std::vector<std::string> names;
  } cases[] = {
      {"attribute PNR", 2, 1, false, {501, 0, 0}, {"", "", ""}},
      {"attribute PNR, alphanumeric", 2, 1, true, {10001, 0, 10002}, {"501", "", "A7"}},
      {"first block text (71 twice: the second is renumbered)", 1, 1, false, {71, 81, 10001}, {"", "", ""}},
      {"second block text: a block of one text gives none", 1, 2, false, {0, 82, 0}, {"", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings.pidSource = c.source;
    settings.pidAttribute = "PNR";
    settings.pidTextNumber = c.textNumber;
    settings.pidAlphaNum = c.alphanumeric;
    const std::vector<Pt> pts = read(drawing(blocks, entities));
    ASSERT_EQ(pts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(pts[i].number, c.numbers[i]) << i;
      EXPECT_EQ(pts[i].name, c.names[i]) << i;
    }
  }
}

}  // namespace
}  // namespace vltrx
