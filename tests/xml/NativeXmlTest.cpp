// The native XML format: the exact bytes written for every element and
// attribute, the round trip, and the reading rules and failures.
#include "xml/NativeXmlReader.h"
#include "xml/NativeXmlWriter.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "ui/Ui.h"
#include "xml/XmlReader.h"
#include "xml/XmlWriter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

using namespace vltrx;

namespace {

// A small category list in force: id -> name and colour. category_ref maps
// document ids 1..1024 to the list id of the same name.
class TestCategories : public NativeCategoryHooks {
 public:
  struct Entry {
    std::string name;
    std::string color;
  };
  std::map<uint16_t, Entry> list = {{5, {"Kerb", "FF0000"}}, {7, {"Tree", "00FF00"}}, {10500, {"PID", "000000"}}};

  bool isActive(uint16_t id) const override { return list.count(id) != 0; }

  void writeCategoryRef(XmlWriter& w, std::span<const uint16_t> used) override {
    bool any = false;
    for (uint16_t id : used) any |= isActive(id);
    if (!any) return;
    w.raw("<category_ref>\r\n");
    for (uint16_t id : used) {
      if (!isActive(id)) continue;
      w.tick();
      w.raw("<category");
      w.attribute("id", id);
      w.attributeShortText("name", list[id].name);
      w.attributeText("color", list[id].color);
      w.raw("/>\r\n");
    }
    w.raw("</category_ref>\r\n");
  }

  void writeCategoryList(XmlWriter& w) override {
    w.raw("<category_list>\r\n</category_list>\r\n");
  }

  int readCategoryList(XmlReader&) override {
    ++categoryLists;
    return 0;
  }

  int readCategoryRef(XmlReader& r, std::vector<uint16_t>& map) override {
    static constexpr std::array<std::string_view, 1> names = {"category"};
    static constexpr std::array<std::string_view, 3> attrs = {"I?id", "S!name", "S?color"};
    for (;;) {
      int i = r.nextElement(names);
      if (i < 0) return i;
      if (i == XmlReader::kEnd) return 0;
      char name[64], color[8];
      std::array<XmlSlot, 3> slots = {XmlSlot::integerSlot(1), XmlSlot::textSlot(name), XmlSlot::textSlot(color)};
      if (int e = r.readAttributes(attrs, slots); e < 0) return e;
      int id = slots[0].integer;
      if (id >= 1 && id <= 1024) {
        for (const auto& [listId, entry] : list)
          if (entry.name == name) map[id] = listId;
      }
      if (int e = r.skipRest(); e < 0) return e;
    }
  }

  int categoryLists = 0;
};

// Records warnings and answers them as told.
class RecordingUi : public SilentUi {
 public:
  int warnings = 0;
  std::vector<int> warningIds;
  bool continueOnWarning = true;

 protected:
  bool doWarning(int textId, std::string_view) override {
    ++warnings;
    warningIds.push_back(textId);
    return continueOnWarning;
  }
};

// Answers the replace question as told and records the phases.
class ScriptedCallback : public NativeXmlCallback {
 public:
  bool replace = true;
  std::vector<std::string> events;
  void nodeStarted(std::string_view name, bool isSubfolder) override {
    events.push_back((isSubfolder ? "folder " : "layout ") + std::string(name));
  }
  bool replaceExisting(std::string_view name, bool) override {
    events.push_back("exists " + std::string(name));
    return replace;
  }
  void nodeCreated(BlockId) override { events.push_back("created"); }
};

BlockId addNode(BlockId parent, std::string_view name, bool isSubfolder) {
  BlockId node = createNode(name, isSubfolder);
  int pos = findChildPosition(parent, name, isSubfolder);
  EXPECT_GE(pos, 0);
  EXPECT_EQ(linkChild(parent, static_cast<uint32_t>(pos), node), 0);
  return node;
}

// Appends a polygon made of pts to the layout.
MPolygon& addPolygonOf(BlockId layout, std::vector<MPoint> pts) {
  uint32_t first = pointCount(layout);
  for (size_t i = 0; i < pts.size(); ++i) EXPECT_EQ(addPoint(layout, first + static_cast<uint32_t>(i), pts[i]), 0);
  uint32_t index = polygonCount(layout);
  EXPECT_EQ(addPolygon(layout, index, static_cast<int16_t>(pts.size())), 0);
  return *polygonAt(layout, index);
}

MPoint point(uint32_t number, double x, double y, double z) {
  MPoint p = blankPoint();
  p.number = number;
  p.x = x;
  p.y = y;
  p.z = z;
  return p;
}

// The tree behind kFullDocument.
void buildFullTree() {
  BlockId root = rootFolder();
  BlockId site = addNode(root, "Site & Co", true);
  nodeHeader(site)->isProtected = 1;
  setNodeComment(site, "north <A>");
  BlockId plan = addNode(site, "Plan 1", false);
  setNodeComment(plan, "c");
  mFolder(plan)->xOffset = 1000;
  mFolder(plan)->yOffset = 2000;
  mFolder(plan)->layoutType = 1;

  MPoint p1 = point(1, 1.5, 2.25, -0.125);
  setText(p1, PointText::Name, "P'1");
  PointScalars scalars1;
  scalars1.polar = encodePolar({12.3456, 1.23456, 0.002, 0.0001, 0.01});
  scalars1.station = 3;
  scalars1.location = 7;
  scalars1.temperature = 21;
  scalars1.dateTime = *packDateTime(240131, 235959);
  setPointScalars(p1, scalars1);
  p1.mode = 1;
  const uint16_t five[] = {5};
  setCategories(p1, five);
  setText(p1, PointText::Comment, "first");
  setPointValue(p1, 12.5f);
  MPolygon& kerb = addPolygonOf(plan, {p1, point(2, 3, 4, 5)});
  kerb.closed = 1;
  const uint16_t ids[] = {5, 10500};
  setCategories(kerb, ids);
  setText(kerb, "kerb");

  MPoint p3 = point(3, -7, 8, 9);
  PointScalars scalars3;
  scalars3.temperature = -5;
  setPointScalars(p3, scalars3);
  addPolygonOf(plan, {p3});
  addNode(root, "Zeta", false);
}

const std::string kFullDocument =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
    "<velmora version=\"2.12\">\r\n"
    "<category_ref>\r\n"
    "<category id=\"5\" name=\"Kerb\" color=\"FF0000\"/>\r\n"
    "<category id=\"10500\" name=\"PID\" color=\"000000\"/>\r\n"
    "</category_ref>\r\n"
    "<measurements preferred_system=\"NEZ\">\r\n"
    "<subfolder name=\"Site &amp; Co\" protected=\"1\" comment=\"north &lt;A&gt;\">\r\n"
    "<mfolder name=\"Plan 1\" comment=\"c\" x_offset=\"1000\" y_offset=\"2000\" type=\"Quintar_MinMaxZ\">\r\n"
    "<polygon closed=\"1\" categories=\"5 10500\" comment=\"kerb\">\r\n"
    "<point id=\"1\" name=\"P&apos;1\" x=\"1.5000\" y=\"2.2500\" z=\"-0.1250\" r=\"12.3456\" phi=\"1.23456\" "
    "h=\"0.0100\" dev_r=\"0.0020\" dev_phi=\"0.00010\" station=\"3\" location=\"7\" temperature=\"21\" mode=\"1\" "
    "categories=\"5\" date=\"240131\" time=\"235959\" comment=\"first\">\r\n"
    "<value>12.5</value>\r\n"
    "</point>\r\n"
    "<point id=\"2\" x=\"3.0000\" y=\"4.0000\" z=\"5.0000\"/>\r\n"
    "</polygon>\r\n"
    "<polygon>\r\n"
    "<point id=\"3\" x=\"-7.0000\" y=\"8.0000\" z=\"9.0000\" temperature=\"-5\"/>\r\n"
    "</polygon>\r\n"
    "</mfolder>\r\n"
    "</subfolder>\r\n"
    "<mfolder name=\"Zeta\">\r\n"
    "</mfolder>\r\n"
    "</measurements>\r\n"
    "</velmora>\r\n";

std::string writeTree(NativeCategoryHooks* categories, PreferredSystem system = PreferredSystem::Nez) {
  StringSink sink;
  SilentUi ui;
  NativeXmlCallback callback;
  writeNativeXml(sink, rootFolder(), system, ui, callback, categories);
  return sink.str();
}

NativeReadResult readText(std::string_view doc, NativeReadOptions options = {},
                          NativeCategoryHooks* categories = nullptr, NativeXmlCallback* callback = nullptr) {
  SilentUi ui;
  NativeXmlCallback plain;
  return readNativeXmlText(doc, rootFolder(), options, ui, callback ? *callback : plain, categories);
}

// The error code of reading doc (0 when it reads).
int readError(std::string_view doc, NativeReadOptions options = {}, std::string* message = nullptr) {
  try {
    readText(doc, options);
  } catch (const CError& e) {
    if (message) *message = e.message();
    return e.code();
  }
  return 0;
}

std::string wrap(std::string_view measurements) {
  return "<?xml version=\"1.0\"?>\r\n<velmora version=\"2.12\">\r\n<measurements>\r\n" + std::string(measurements) +
         "</measurements>\r\n</velmora>\r\n";
}

BlockId onlyLayout() {
  BlockId root = rootFolder();
  for (uint32_t i = 0;; ++i) {
    BlockId c = childAt(root, i);
    if (!c || isLayout(c)) return c;
  }
}

class NativeXml : public ::testing::Test {
 protected:
  void SetUp() override { resetMeasurementStore(); }
  void TearDown() override { resetMeasurementStore(); }
};

}  // namespace

TEST_F(NativeXml, WritesEveryElementAndAttributeExactly) {
  buildFullTree();
  TestCategories categories;
  EXPECT_EQ(writeTree(&categories), kFullDocument);
}

TEST_F(NativeXml, RoundTripGivesIdenticalBytes) {
  buildFullTree();
  TestCategories categories;
  std::string first = writeTree(&categories);
  resetMeasurementStore();
  NativeReadResult result = readText(first, {.checkPointNumbers = true, .keepOffsets = true}, &categories);
  EXPECT_EQ(result.layouts.size(), 2u);
  ASSERT_TRUE(result.preferredSystem.has_value());
  EXPECT_EQ(*result.preferredSystem, PreferredSystem::Nez);
  EXPECT_EQ(writeTree(&categories, *result.preferredSystem), first);
}

TEST_F(NativeXml, FileRoundTripThroughSinkAndBlockInput) {
  buildFullTree();
  TestCategories categories;
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path dir = std::filesystem::path(tmp ? tmp : "/tmp") / "native-file";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::path file = dir / "plan.xml";
  SilentUi ui;
  NativeXmlCallback callback;
  writeNativeXmlFile(file, rootFolder(), PreferredSystem::Nez, ui, callback, &categories);
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), kFullDocument);

  resetMeasurementStore();
  readNativeXml(file, rootFolder(), {.checkPointNumbers = true, .keepOffsets = true}, ui, callback, &categories);
  EXPECT_EQ(writeTree(&categories), kFullDocument);

  try {
    readNativeXml(dir / "missing.xml", rootFolder(), {}, ui, callback, &categories);
    FAIL();
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::CannotOpenFile);
  }
}

TEST_F(NativeXml, CategoryIdsGoThroughTheDocumentMap) {
  // Document id 1 is "Tree" (list id 7); 10500 is fixed; 9 is unknown, 3 is
  // not in category_ref.
  TestCategories categories;
  readText("<velmora><category_ref><category id=\"1\" name=\"Tree\"/><category id=\"9\" name=\"Nope\"/>"
           "</category_ref><measurements><mfolder name=\"L\"><polygon categories=\"1\t3 10500\">"
           "<point x=\"0\" y=\"0\" z=\"0\" categories=\"9 1 1\"/></polygon></mfolder></measurements></velmora>",
           {}, &categories);
  BlockId layout = onlyLayout();
  ASSERT_NE(layout, 0u);
  EXPECT_EQ(categoryIds(*polygonAt(layout, 0)).toSet(), (CategorySet{7, 10500}));
  EXPECT_EQ(categoryIds(*pointAt(layout, 0)).toSet(), (CategorySet{7}));
}

TEST_F(NativeXml, ReadingRules) {
  // Points without ids are numbered; offsets are added; unknown elements and
  // valuedef are skipped; an empty polygon vanishes; value text is cut.
  NativeReadResult r = readText(
      "<?xml version=\"1.0\"?>\r\n<!-- made by hand -->\r\n<other><velmora/></other>\r\n"
      "<velmora version=\"2.12\"><valuedef><x/></valuedef><unknown a=\"1\"><measurements/></unknown>\r\n"
      "<measurements preferred_system=\"YXZ\">\r\n"
      "<mfolder name=\"  Padded  \" x_offset=\"1000\" y_offset=\"2000\" z_offset=\"0\" extra=\"1\">\r\n"
      "<polygon><junk><point x=\"1\" y=\"1\" z=\"1\"/></junk></polygon>\r\n"
      "<polygon closed=\"1\"><point x=\"5\" y=\"6\" z=\"7\"><value> 3.25 \r\n</value><odd/></point>"
      "<point x=\"1\" y=\"2\" z=\"3\" temperature=\"400\" date=\"240230\" time=\"120000\"/></polygon>\r\n"
      "</mfolder>\r\n</measurements>\r\n</velmora>\r\n");
  ASSERT_EQ(r.layouts.size(), 1u);
  EXPECT_EQ(*r.preferredSystem, PreferredSystem::Yxz);
  EXPECT_EQ(preferredSystem(), PreferredSystem::Yxz);
  BlockId layout = r.layouts[0];
  EXPECT_EQ(nodeName(layout), "Padded");
  ASSERT_EQ(polygonCount(layout), 1u);
  ASSERT_EQ(pointCount(layout), 2u);
  EXPECT_EQ(polygonAt(layout, 0)->closed, 1);
  const MPoint& a = *pointAt(layout, 0);
  const MPoint& b = *pointAt(layout, 1);
  EXPECT_EQ(a.number, 1u);
  EXPECT_EQ(b.number, 2u);
  EXPECT_EQ(a.x, 1005);
  EXPECT_EQ(a.y, 2006);
  EXPECT_EQ(a.z, 7);
  EXPECT_EQ(pointExtra(a).temperature, kTemperatureNone);
  EXPECT_EQ(a.mode, kModeNone);
  EXPECT_EQ(pointValue(a), 3.25f);
  EXPECT_EQ(pointExtra(b).temperature, 127);
  EXPECT_EQ(pointExtra(b).dateTime, 0u);  // 30 February: no timestamp, no error
  EXPECT_EQ(mFolder(layout)->xOffset, 0);
  EXPECT_EQ(mFolder(layout)->yOffset, 0);
}

TEST_F(NativeXml, KeepOffsetsAndLayoutTypes) {
  struct Case {
    const char* version;
    const char* type;
    uint16_t expected;
  };
  const Case cases[] = {{"2.12", "Quintar_MinMaxZ", 1}, {"2.12", "Other", 0}, {"2.82", "Quintar_MinMaxZ", 2},
                        {"2.83", "", 2},                 {"2.8", "", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.type);
    resetMeasurementStore();
    readText(std::string("<velmora version=\"") + c.version +
                 "\"><measurements><mfolder name=\"L\" x_offset=\"1000\" type=\"" + c.type +
                 "\"><polygon><point x=\"5\" y=\"0\" z=\"0\"/></polygon></mfolder></measurements></velmora>",
             {.checkPointNumbers = true, .keepOffsets = true});
    BlockId layout = onlyLayout();
    EXPECT_EQ(mFolder(layout)->layoutType, c.expected);
    EXPECT_EQ(mFolder(layout)->xOffset, 1000);
    EXPECT_EQ(pointAt(layout, 0)->x, 5);
  }
}

TEST_F(NativeXml, ExistingNodesAreReplacedOrSkipped) {
  const std::string doc = wrap(
      "<subfolder name=\"F\"><mfolder name=\"A\"><polygon><point x=\"9\" y=\"9\" z=\"9\"/></polygon></mfolder>"
      "</subfolder>\r\n<mfolder name=\"plan\"><polygon><point x=\"2\" y=\"2\" z=\"2\"/></polygon></mfolder>\r\n");
  BlockId root = rootFolder();
  BlockId old = addNode(root, "PLAN", false);
  addPolygonOf(old, {point(1, 1, 1, 1)});

  ScriptedCallback keep;
  keep.replace = false;
  NativeReadResult r = readText(doc, {}, nullptr, &keep);
  EXPECT_EQ(r.layouts.size(), 1u);  // only F/A
  BlockId plan = childAt(root, 1);
  EXPECT_EQ(nodeName(plan), "PLAN");
  EXPECT_EQ(pointAt(plan, 0)->x, 1);
  std::vector<std::string> expected = {"folder F", "created", "layout A", "created", "layout plan", "exists plan"};
  EXPECT_EQ(keep.events, expected);

  // The second read replaces both the folder F (with the layout read before)
  // and PLAN; the layouts of the replaced folder are not reported.
  ScriptedCallback replace;
  r = readText(doc, {}, nullptr, &replace);
  EXPECT_EQ(r.layouts.size(), 2u);
  EXPECT_EQ(childAt(root, 2), 0u);
  plan = childAt(root, 1);
  EXPECT_EQ(nodeName(plan), "plan");
  EXPECT_EQ(pointAt(plan, 0)->x, 2);
  BlockId folder = childAt(root, 0);
  EXPECT_EQ(nodeName(folder), "F");
  EXPECT_EQ(nodeName(childAt(folder, 0)), "A");
  EXPECT_EQ(childAt(folder, 1), 0u);
}

TEST_F(NativeXml, FailuresGiveTheirCodes) {
  struct Case {
    const char* name;
    std::string doc;
    int code;
    const char* inMessage;
  };
  const Case cases[] = {
      {"MissingZ", wrap("<mfolder name=\"L\"><polygon><point id=\"1\" x=\"1\" y=\"2\"/></polygon></mfolder>"), -505,
       "\"z\""},
      {"EmptyName", wrap("<mfolder name=\"   \"/>"), -707, nullptr},
      {"NumberTooBig",
       wrap("<mfolder name=\"L\"><polygon><point id=\"2147483601\" x=\"1\" y=\"2\" z=\"3\"/></polygon></mfolder>"),
       -921, "2147483601"},
      {"NegativeNumber",
       wrap("<mfolder name=\"L\"><polygon><point id=\"-4\" x=\"1\" y=\"2\" z=\"3\"/></polygon></mfolder>"), -701,
       nullptr},
      {"DuplicateNumbers",
       wrap("<mfolder name=\"L\"><polygon><point id=\"4\" x=\"1\" y=\"2\" z=\"3\"/><point id=\"4\" x=\"1\" y=\"2\" "
            "z=\"3\"/></polygon></mfolder>"),
       -907, nullptr},
      {"MissingNumber",
       wrap("<mfolder name=\"L\"><polygon><point id=\"4\" x=\"1\" y=\"2\" z=\"3\"/></polygon><polygon><point x=\"1\" "
            "y=\"2\" z=\"3\"/></polygon></mfolder>"),
       -907, nullptr},
      {"NotXml", "velmora", -508, nullptr},
      {"NoRoot", "<?xml version=\"1.0\"?>\r\n<other/>\r\n", -509, nullptr},
      {"Truncated", wrap("<mfolder name=\"L\"><polygon><point x=\"1\" y=\"2\" z=\"3\"/>").substr(0, 120), -405,
       nullptr},
      {"BadEntity", wrap("<mfolder name=\"&eacute;\"/>"), -510, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetMeasurementStore();
    std::string message;
    EXPECT_EQ(readError(c.doc, {}, &message), c.code);
    if (c.inMessage) {
      EXPECT_NE(message.find(c.inMessage), std::string::npos) << message;
    }
    EXPECT_NE(message.find("[line"), std::string::npos) << message;
    // No half-built layout stays behind.
    EXPECT_EQ(onlyLayout(), 0u);
  }
}

TEST_F(NativeXml, FolderLevels) {
  auto nested = [](int n) {
    std::string doc;
    for (int i = 0; i < n; ++i) doc += "<subfolder name=\"d" + std::to_string(i) + "\">";
    doc += "<mfolder name=\"L\"/>";
    for (int i = 0; i < n; ++i) doc += "</subfolder>";
    return wrap(doc);
  };
  // Below a folder at depth 1, eight levels fit and a ninth would lie at depth 10.
  BlockId base = addNode(rootFolder(), "base", true);
  SilentUi ui;
  NativeXmlCallback callback;
  EXPECT_NO_THROW(readNativeXmlText(nested(8), base, {}, ui, callback, nullptr));
  try {
    readNativeXmlText(nested(9), base, {}, ui, callback, nullptr);
    FAIL();
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::TooManyFolderLevels);
  }
  // From the root, the parser's 120-byte name stack ends the tenth level first.
  EXPECT_EQ(readError(nested(10)), +ErrorCode::XmlTooComplex);
}

TEST_F(NativeXml, LayoutsReadBeforeAFailureStay) {
  std::string message;
  EXPECT_EQ(readError(wrap("<mfolder name=\"A\"><polygon><point x=\"1\" y=\"2\" z=\"3\"/></polygon></mfolder>\r\n"
                           "<mfolder name=\"B\"><polygon><point x=\"1\" y=\"2\" z=\"3\"/>\r\n"
                           "<point x=\"1\" y=\"2\"/></polygon></mfolder>\r\n"),
                      {}, &message),
            -505);
  EXPECT_NE(message.find("[line 6]"), std::string::npos) << message;
  BlockId root = rootFolder();
  EXPECT_EQ(nodeName(childAt(root, 0)), "A");
  EXPECT_EQ(childAt(root, 1), 0u);
}

TEST_F(NativeXml, WriterCutsTextsAndLeavesOutEmptyParts) {
  BlockId plan = addNode(rootFolder(), "L", false);
  setNodeComment(plan, std::string(40, 'c'));
  BlockId empty = addNode(rootFolder(), "E", false);
  mFolder(empty)->xOffset = 12;  // no polygons: offsets are not written
  MPoint p = point(0, 1, 2, 3);
  setText(p, PointText::Comment, std::string(28, 'x') + "\xC3\xA4yz");  // a-umlaut across the cut
  setText(p, PointText::Name, std::string(70, 'n'));
  PointScalars scalars;
  scalars.polar = encodePolar({0, 1.0, 0, 0, 0.01});  // r = 0: no r, phi, h
  setPointScalars(p, scalars);
  addPolygonOf(plan, {p});
  std::string doc = writeTree(nullptr);
  EXPECT_NE(doc.find("<mfolder name=\"L\" comment=\"" + std::string(29, 'c') + "\">\r\n"), std::string::npos);
  EXPECT_NE(doc.find("<point name=\"" + std::string(59, 'n') + "\" x=\"1.0000\" y=\"2.0000\" z=\"3.0000\" comment=\"" +
                     std::string(28, 'x') + "\"/>\r\n"),
            std::string::npos)
      << doc;
  EXPECT_EQ(doc.find("phi"), std::string::npos);
  EXPECT_EQ(doc.find("offset"), std::string::npos);
}

TEST_F(NativeXml, TextsAreConvertedToAndFromTheFileCodePage) {
  BlockId plan = addNode(rootFolder(), "M\xC3\xBCller", false);
  addPolygonOf(plan, {point(1, 0, 0, 0)});
  StringSink sink;
  SilentUi ui;
  NativeXmlCallback cp1252(1252);
  writeNativeXml(sink, rootFolder(), PreferredSystem::Xyz, ui, cp1252, nullptr);
  EXPECT_NE(sink.str().find("name=\"M\xFCller\""), std::string::npos);
  resetMeasurementStore();
  readNativeXmlText(sink.str(), rootFolder(), {}, ui, cp1252, nullptr);
  EXPECT_EQ(nodeName(onlyLayout()), "M\xC3\xBCller");
}

TEST_F(NativeXml, CoordinateWarningBeforeWriting) {
  BlockId plan = addNode(rootFolder(), "L", false);
  addPolygonOf(plan, {point(1, 10000.1, -50000, 0)});
  RecordingUi ui;
  NativeXmlCallback callback;
  {
    StringSink sink;
    writeNativeXml(sink, rootFolder(), PreferredSystem::Xyz, ui, callback, nullptr);
    EXPECT_EQ(ui.warnings, 0);  // 10000.1 itself and negative values are within the limit
  }
  addPolygonOf(plan, {point(2, 0, 10000.2, 0)});
  {
    StringSink sink;
    writeNativeXml(sink, rootFolder(), PreferredSystem::Xyz, ui, callback, nullptr);
    EXPECT_EQ(ui.warningIds, std::vector<int>{121});
  }
  ui.continueOnWarning = false;
  StringSink sink;
  try {
    writeNativeXml(sink, rootFolder(), PreferredSystem::Xyz, ui, callback, nullptr);
    FAIL();
  } catch (const ExitRequest& e) {
    EXPECT_EQ(e.code, 1);
  }
  EXPECT_EQ(sink.str(), "");
}

TEST_F(NativeXml, CategoryListDocument) {
  TestCategories categories;
  StringSink sink;
  writeCategoryListDocument(sink, categories);
  EXPECT_EQ(sink.str(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<velmora version=\"2.12\">\r\n"
            "<category_list>\r\n</category_list>\r\n</velmora>\r\n");
  readText(sink.str(), {}, &categories);
  EXPECT_EQ(categories.categoryLists, 1);
}
