// Writer of DXF R12 drawings.
//
// The file is three runs over the layout after one scan: the scan finds the
// extent (for $EXTMIN/$EXTMAX, the view and relative text heights) and the
// categories in use (for the layer table, which precedes the entities);
// then the entities go out in three passes: geometry with point-id texts,
// coordinate texts, comment texts. Every entity is built in one reused
// string (numbers through to_chars, never the locale) and handed to the
// sink whole, so the file sink's buffer sees one call per entity and the
// system one call per megabyte.
//
// Group layout: R12 readers take a group code on its own line, right-
// aligned to three characters ("  0", " 10", "100"), and the value on the
// next; integers in the tables are right-aligned to six ("     0"). The
// one exception is the POLYLINE flags, written "70" without the blank, a
// form that AutoCAD and every reader we checked (ezdxf, GDAL) accept since
// group codes are read as integers.
//
// Three things are made safe that would otherwise break the file for other
// programs: a line end inside a text would end the group value (it is
// written as a blank); a layer name holding one of <>/\":;?*|=` is refused
// by AutoCAD and flagged by ezdxf's audit (those characters become "_");
// and a plan without extent in y would give an aspect ratio of inf or nan
// in the viewport (1.0 is written instead).
#include "formats/dxf/DxfWriter.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "core/NumberFormat.h"
#include "core/Numbers.h"
#include "core/RecordStore.h"
#include "core/Sink.h"
#include "formats/PlanLabels.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "platform/CodePage.h"
#include "ui/Ui.h"
#include "xml/CategoryList.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vltrx {

namespace {

// The standard DXF colour palette, colour numbers 1 to 255 (0 is BYBLOCK,
// 256 BYLAYER): seven named colours, two greys, 24 hues of ten shades
// (full and half saturation at five brightness steps), six greys.
constexpr uint8_t kPalette[255][3] = {
    {255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}, {255, 0, 255},
    {255, 255, 255}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {255, 127, 127}, {165, 0, 0},
    {165, 82, 82}, {127, 0, 0}, {127, 63, 63}, {76, 0, 0}, {76, 38, 38}, {38, 0, 0},
    {38, 19, 19}, {255, 63, 0}, {255, 159, 127}, {165, 41, 0}, {165, 103, 82}, {127, 31, 0},
    {127, 79, 63}, {76, 19, 0}, {76, 47, 38}, {38, 9, 0}, {38, 23, 19}, {255, 127, 0},
    {255, 191, 127}, {165, 82, 0}, {165, 124, 82}, {127, 63, 0}, {127, 95, 63}, {76, 38, 0},
    {76, 57, 38}, {38, 19, 0}, {38, 28, 19}, {255, 191, 0}, {255, 223, 127}, {165, 124, 0},
    {165, 145, 82}, {127, 95, 0}, {127, 111, 63}, {76, 57, 0}, {76, 66, 38}, {38, 28, 0},
    {38, 33, 19}, {255, 255, 0}, {255, 255, 127}, {165, 165, 0}, {165, 165, 82}, {127, 127, 0},
    {127, 127, 63}, {76, 76, 0}, {76, 76, 38}, {38, 38, 0}, {38, 38, 19}, {191, 255, 0},
    {223, 255, 127}, {124, 165, 0}, {145, 165, 82}, {95, 127, 0}, {111, 127, 63}, {57, 76, 0},
    {66, 76, 38}, {28, 38, 0}, {33, 38, 19}, {127, 255, 0}, {191, 255, 127}, {82, 165, 0},
    {124, 165, 82}, {63, 127, 0}, {95, 127, 63}, {38, 76, 0}, {57, 76, 38}, {19, 38, 0},
    {28, 38, 19}, {63, 255, 0}, {159, 255, 127}, {41, 165, 0}, {103, 165, 82}, {31, 127, 0},
    {79, 127, 63}, {19, 76, 0}, {47, 76, 38}, {9, 38, 0}, {23, 38, 19}, {0, 255, 0},
    {127, 255, 127}, {0, 165, 0}, {82, 165, 82}, {0, 127, 0}, {63, 127, 63}, {0, 76, 0},
    {38, 76, 38}, {0, 38, 0}, {19, 38, 19}, {0, 255, 63}, {127, 255, 159}, {0, 165, 41},
    {82, 165, 103}, {0, 127, 31}, {63, 127, 79}, {0, 76, 19}, {38, 76, 47}, {0, 38, 9},
    {19, 88, 23}, {0, 255, 127}, {127, 255, 191}, {0, 165, 82}, {82, 165, 124}, {0, 127, 63},
    {63, 127, 95}, {0, 76, 38}, {38, 76, 57}, {0, 38, 19}, {19, 88, 28}, {0, 255, 191},
    {127, 255, 223}, {0, 165, 124}, {82, 165, 145}, {0, 127, 95}, {63, 127, 111}, {0, 76, 57},
    {38, 76, 66}, {0, 38, 28}, {19, 88, 88}, {0, 255, 255}, {127, 255, 255}, {0, 165, 165},
    {82, 165, 165}, {0, 127, 127}, {63, 127, 127}, {0, 76, 76}, {38, 76, 76}, {0, 38, 38},
    {19, 88, 88}, {0, 191, 255}, {127, 223, 255}, {0, 124, 165}, {82, 145, 165}, {0, 95, 127},
    {63, 111, 127}, {0, 57, 76}, {38, 66, 126}, {0, 28, 38}, {19, 88, 88}, {0, 127, 255},
    {127, 191, 255}, {0, 82, 165}, {82, 124, 165}, {0, 63, 127}, {63, 95, 127}, {0, 38, 76},
    {38, 57, 126}, {0, 19, 38}, {19, 28, 88}, {0, 63, 255}, {127, 159, 255}, {0, 41, 165},
    {82, 103, 165}, {0, 31, 127}, {63, 79, 127}, {0, 19, 76}, {38, 47, 126}, {0, 9, 38},
    {19, 23, 88}, {0, 0, 255}, {127, 127, 255}, {0, 0, 165}, {82, 82, 165}, {0, 0, 127},
    {63, 63, 127}, {0, 0, 76}, {38, 38, 126}, {0, 0, 38}, {19, 19, 88}, {63, 0, 255},
    {159, 127, 255}, {41, 0, 165}, {103, 82, 165}, {31, 0, 127}, {79, 63, 127}, {19, 0, 76},
    {47, 38, 126}, {9, 0, 38}, {23, 19, 88}, {127, 0, 255}, {191, 127, 255}, {82, 0, 165},
    {124, 82, 165}, {63, 0, 127}, {95, 63, 127}, {38, 0, 76}, {57, 38, 126}, {19, 0, 38},
    {28, 19, 88}, {191, 0, 255}, {223, 127, 255}, {124, 0, 165}, {145, 82, 165}, {95, 0, 127},
    {111, 63, 127}, {57, 0, 76}, {66, 38, 76}, {28, 0, 38}, {88, 19, 88}, {255, 0, 255},
    {255, 127, 255}, {165, 0, 165}, {165, 82, 165}, {127, 0, 127}, {127, 63, 127}, {76, 0, 76},
    {76, 38, 76}, {38, 0, 38}, {88, 19, 88}, {255, 0, 191}, {255, 127, 223}, {165, 0, 124},
    {165, 82, 145}, {127, 0, 95}, {127, 63, 111}, {76, 0, 57}, {76, 38, 66}, {38, 0, 28},
    {88, 19, 88}, {255, 0, 127}, {255, 127, 191}, {165, 0, 82}, {165, 82, 124}, {127, 0, 63},
    {127, 63, 95}, {76, 0, 38}, {76, 38, 57}, {38, 0, 19}, {88, 19, 28}, {255, 0, 63},
    {255, 127, 159}, {165, 0, 41}, {165, 82, 103}, {127, 0, 31}, {127, 63, 79}, {76, 0, 19},
    {76, 38, 47}, {38, 0, 9}, {88, 19, 23}, {0, 0, 0}, {101, 101, 101}, {102, 102, 102},
    {153, 153, 153}, {204, 204, 204}, {255, 255, 255},
};

constexpr double kMinTextHeight = 1e-7;
// Longest TEXT value (R12 readers take at most 255 bytes per group value).
constexpr size_t kMaxTextBytes = 255;
constexpr uint32_t kProgressStep = 4096;
constexpr int kSurfaceTriangle = 2;

constexpr std::string_view kLayerRecordHead =
    "  0\r\nLAYER\r\n100\r\nAcDbSymbolTableRecord\r\n100\r\nAcDbLayerTableRecord\r\n  2\r\n";

struct Extent {
  double minX = 0, minY = 0, minZ = 0, maxX = 0, maxY = 0, maxZ = 0;
  bool any = false;
  void add(double x, double y, double z) {
    if (!any) {
      minX = maxX = x;
      minY = maxY = y;
      minZ = maxZ = z;
      any = true;
      return;
    }
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
    minZ = std::min(minZ, z), maxZ = std::max(maxZ, z);
  }
};

// The positions already labelled with one kind of text, as an open-addressed
// table of point indexes (4 bytes a slot, at most half full): a node-based
// set of positions cost a quarter of the run time for 1 million point ids
// and 56 bytes a point.
class PositionSet {
 public:
  PositionSet(const MPoint* points, uint32_t count) : m_points(points) {
    size_t capacity = 16;
    while (capacity < 2 * static_cast<size_t>(count)) capacity *= 2;
    m_slots.assign(capacity, 0);
  }

  /// True when no point at the position of points[index] was inserted before.
  bool insert(uint32_t index) {
    const MPoint& p = m_points[index];
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash(p) & mask;; i = (i + 1) & mask) {
      const uint32_t slot = m_slots[i];
      if (slot == 0) {
        m_slots[i] = index + 1;
        return true;
      }
      const MPoint& q = m_points[slot - 1];
      if (q.x == p.x && q.y == p.y && q.z == p.z) return false;
    }
  }

 private:
  static size_t hash(const MPoint& p) {
    // + 0.0 makes -0.0 and 0.0, which compare equal, hash alike.
    uint64_t h = std::bit_cast<uint64_t>(p.x + 0.0) * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 29) ^ std::bit_cast<uint64_t>(p.y + 0.0)) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 32) ^ std::bit_cast<uint64_t>(p.z + 0.0)) * 0x94D049BB133111EBull;
    return static_cast<size_t>(h ^ (h >> 31));
  }

  const MPoint* m_points;
  std::vector<uint32_t> m_slots;
};

struct PlanPoint {
  const MPoint* record;
  double x, y, z;
};

// One layer an element is written on.
struct ElementLayer {
  const std::string* name;
  uint32_t surface;
};

bool invalidInLayerName(char c) {
  return static_cast<unsigned char>(c) < 0x20 || std::strchr("<>/\\\":;?*|=`", c) != nullptr;
}

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

class DxfWriter {
 public:
  DxfWriter(BlockId layout, Sink& sink, const DxfOptions& options, const DxfWriteSettings& settings,
            std::span<const CategoryEntry> categories)
      : m_layout(layout),
        m_sink(sink),
        m_options(options),
        m_settings(settings),
        m_categories(categories),
        m_converter(settings.codePage),
        m_index(65536, -1),
        m_used(65536, false) {
    for (size_t i = 0; i < categories.size(); ++i) {
      const CategoryEntry& e = categories[i];
      if (!e.isFolder() && m_index[e.id] < 0) m_index[e.id] = static_cast<int32_t>(i);
    }
    m_layerNames.resize(categories.size());
    m_layerNameMade.resize(categories.size(), false);
    m_defaultLayer = options.addVlLayerPrefix ? "VL" : "0";
    m_buffer.reserve(1024);
  }

  void write(Ui& ui) {
    m_first = points(m_layout);
    scan();
    m_pidHeight = height(m_options.pid);
    m_coordHeight = height(m_options.coord);
    m_commentHeight = height(m_options.comment);
    m_textHeight = height(m_options.text);
    m_pidLayer = textLayer(m_options.pid, "PID");
    m_coordLayer = textLayer(m_options.coord, "COORD");
    m_commentLayer = textLayer(m_options.comment, "COMMENT");
    header();
    tables();
    m_sink.write("  0\r\nSECTION\r\n  2\r\nENTITIES\r\n");
    const uint32_t total = pointCount(m_layout);
    ui.beginPhase(100, 3 * total);
    m_progressBase = 0;
    geometryPass(ui);
    m_progressBase = total;
    if (m_options.coord.enabled && m_coordHeight > kMinTextHeight) coordinatePass(ui);
    m_progressBase = 2 * total;
    if (m_options.comment.enabled && m_commentHeight > kMinTextHeight) commentPass(ui);
    ui.update(3 * total);
    ui.endPhase();
    m_sink.write("  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
  }

 private:
  // --- scan ---------------------------------------------------------------

  void scan() {
    forEachPolygon([&](const MPolygon& polygon, std::span<const PlanPoint> pts) {
      for (const PlanPoint& p : pts) m_extent.add(p.x, p.y, p.z);
      for (uint16_t id : elementCategories(polygon, pts)) m_used[id] = true;
    });
  }

  // Calls f(polygon, points) for every polygon with its points (offsets added).
  template <typename F>
  void forEachPolygon(F&& f) {
    walkLayout(
        m_layout, LayoutOffsets::Apply, [&](const MPolygon&, uint32_t) { m_points.clear(); },
        [&](const WalkedPoint& p) { m_points.push_back({&p.record, p.x, p.y, p.z}); },
        [&](const MPolygon& polygon, uint32_t) { f(polygon, std::span<const PlanPoint>(m_points)); });
  }

  // A single point carries its own categories (its polygon's when it has
  // none); a polygon of two or more points those of the polygon.
  static CategoryIds elementCategories(const MPolygon& polygon, std::span<const PlanPoint> pts) {
    if (pts.size() == 1) {
      CategoryIds own = categoryIds(*pts[0].record);
      if (!own.empty()) return own;
    }
    return categoryIds(polygon);
  }

  const CategoryEntry* category(uint16_t id) const {
    const int32_t i = m_index[id];
    return i < 0 ? nullptr : &m_categories[static_cast<size_t>(i)];
  }

  double height(const TextLabelOptions& label) const {
    return label.relative ? (m_extent.maxY - m_extent.minY) * label.height * 0.01 : label.height;
  }

  // --- text helpers -------------------------------------------------------

  // UTF-8 text in the output code page, line ends as blanks.
  void appendConverted(std::string& out, std::string_view utf8) {
    const size_t start = out.size();
    m_converter.appendFromUtf8(utf8, out);
    for (size_t i = start; i < out.size(); ++i)
      if (out[i] == '\r' || out[i] == '\n') out[i] = ' ';
  }

  // The layer of a category by the layer-name rule.
  const std::string& layerOf(uint16_t id) {
    const int32_t i = m_index[id];
    if (i < 0) return m_defaultLayer;
    const CategoryEntry& e = m_categories[static_cast<size_t>(i)];
    if (e.nameView().empty()) return m_defaultLayer;
    if (!m_layerNameMade[i]) {
      std::string name = m_options.addVlLayerPrefix ? "VL_" : "";
      appendConverted(name, e.nameView());
      for (char& c : name)
        if (invalidInLayerName(c)) c = '_';
      m_layerNames[i] = std::move(name);
      m_layerNameMade[i] = true;
    }
    return m_layerNames[i];
  }

  // A configured layer name (a text layer) as written.
  std::string plainLayerName(std::string_view utf8) {
    std::string name;
    appendConverted(name, utf8);
    for (char& c : name)
      if (invalidInLayerName(c)) c = '_';
    return name;
  }

  // The layer of one kind of texts; empty means "the element's layer".
  std::string textLayer(const TextLabelOptions& label, std::string_view plain) {
    if (label.origLayer || label.layer == m_settings.originalLayer) return {};
    if (!label.layer.empty()) return plainLayerName(label.layer);
    return m_options.addVlLayerPrefix ? "VL_" + std::string(plain) : std::string(plain);
  }

  // The layers of an element, one per category (text categories excluded),
  // or the default layer alone.
  void elementLayers(CategoryIds ids) {
    m_elementLayers.clear();
    for (uint16_t id : ids) {
      if (isTextCategory(id)) continue;
      const std::string& name = layerOf(id);
      const CategoryEntry* e = category(id);
      bool seen = false;
      for (const ElementLayer& l : m_elementLayers) seen = seen || l.name == &name;
      if (!seen) m_elementLayers.push_back({&name, e && &name != &m_defaultLayer ? e->surface : 0u});
    }
    if (m_elementLayers.empty()) m_elementLayers.push_back({&m_defaultLayer, 0});
  }

  // --- number and group output -------------------------------------------

  void fixed(double v, int decimals) {
    appendFixed(m_buffer, v, decimals);
    m_buffer.append("\r\n");
  }
  void f(double v) { fixed(v, 6); }

  void flush() { m_sink.write(m_buffer), m_buffer.clear(); }

  // --- header and tables --------------------------------------------------

  void header() {
    std::string& b = m_buffer;
    b.append("  0\r\nSECTION\r\n  2\r\nHEADER\r\n");
    b.append("  9\r\n$ACADVER\r\n  1\r\nAC1009\r\n");
    if (m_settings.codePage != 0) {
      b.append("  9\r\n$DWGCODEPAGE\r\n  3\r\nANSI_");
      appendInt(b, m_settings.codePage);
      b.append("\r\n");
    }
    b.append("  9\r\n$EXTMIN\r\n 10\r\n");
    fixed(m_extent.minX, 4);
    b.append(" 20\r\n");
    fixed(m_extent.minY, 4);
    b.append(" 30\r\n");
    fixed(m_extent.minZ, 4);
    b.append("  9\r\n$EXTMAX\r\n 10\r\n");
    fixed(m_extent.maxX, 4);
    b.append(" 20\r\n");
    fixed(m_extent.maxY, 4);
    b.append(" 30\r\n");
    fixed(m_extent.maxZ, 4);
    b.append("  9\r\n$CLAYER\r\n  8\r\nVL\r\n");
    if (m_options.pdMode < 128) {
      b.append("  9\r\n$PDMODE\r\n 70\r\n");
      appendInt(b, m_options.pdMode);
      b.append("\r\n  9\r\n$PDSIZE\r\n 40\r\n");
      fixed(m_options.pdSize, 2);
    }
    b.append("  0\r\nENDSEC\r\n");
    flush();
  }

  void tables() {
    const double dx = m_extent.maxX - m_extent.minX, dy = m_extent.maxY - m_extent.minY;
    const double aspect = dy > 0 && std::isfinite(dx / dy) ? dx / dy : 1.0;
    std::string& b = m_buffer;
    b.append(
        "  0\r\nSECTION\r\n  2\r\nTABLES\r\n"
        "  0\r\nTABLE\r\n  2\r\nVPORT\r\n 70\r\n     1\r\n"
        "  0\r\nVPORT\r\n  2\r\n*ACTIVE\r\n 70\r\n     0\r\n"
        " 10\r\n0.0\r\n 20\r\n0.0\r\n 11\r\n1.0\r\n 21\r\n1.0\r\n 12\r\n");
    fixed((m_extent.minX + m_extent.maxX) / 2, 4);
    b.append(" 22\r\n");
    fixed((m_extent.minY + m_extent.maxY) / 2, 4);
    b.append(
        " 13\r\n0.0\r\n 23\r\n0.0\r\n 14\r\n1.0\r\n 24\r\n1.0\r\n 15\r\n0.0\r\n 25\r\n0.0\r\n"
        " 16\r\n0.0\r\n 26\r\n0.0\r\n 36\r\n1.0\r\n 17\r\n0.0\r\n 27\r\n0.0\r\n 37\r\n0.0\r\n 40\r\n");
    fixed(dy * 1.2, 4);
    b.append(" 41\r\n");
    fixed(aspect, 4);
    b.append(
        " 42\r\n50.0\r\n 43\r\n0.0\r\n 44\r\n0.0\r\n 50\r\n0.0\r\n 51\r\n0.0\r\n"
        " 71\r\n     0\r\n 72\r\n   100\r\n 73\r\n     1\r\n 74\r\n     1\r\n"
        " 75\r\n     0\r\n 76\r\n     0\r\n 77\r\n     0\r\n 78\r\n     0\r\n"
        "  0\r\nENDTAB\r\n"
        "  0\r\nTABLE\r\n  2\r\nLTYPE\r\n 70\r\n     1\r\n"
        "  0\r\nLTYPE\r\n  2\r\nCONTINUOUS\r\n 70\r\n     0\r\n  3\r\nSolid line\r\n"
        " 72\r\n    65\r\n 73\r\n     0\r\n 40\r\n0.0\r\n"
        "  0\r\nENDTAB\r\n"
        "  0\r\nTABLE\r\n  2\r\nLAYER\r\n 70\r\n");

    // The layer records, collected first for the count of the table.
    std::string records;
    std::unordered_set<std::string> written;
    uint32_t usedLayers = 0;
    auto record = [&](std::string_view name, const CategoryColour& c) {
      if (!written.insert(lowerAscii(name)).second) return false;
      records.append(kLayerRecordHead).append(name).append("\r\n 70\r\n     0\r\n 62\r\n");
      appendInt(records, nearestDxfColour(c.red, c.green, c.blue), NumberField{.width = 6});
      records.append("\r\n  6\r\nCONTINUOUS\r\n");
      return true;
    };
    record("VL", CategoryColour{224, 224, 224, 0});
    const TextLabelOptions* firstText = m_options.comment.enabled ? &m_options.comment
                                        : m_options.coord.enabled ? &m_options.coord
                                        : m_options.pid.enabled   ? &m_options.pid
                                                                  : nullptr;
    for (const CategoryEntry& e : m_categories) {
      if (e.isFolder() || isTextCategory(e.id)) continue;
      const std::string_view name = e.nameView();
      if (name == m_settings.originalLayer) continue;
      if (firstText && name == firstText->layer) record(plainLayerName(name), e.colour);
      if (m_used[e.id] && category(e.id) == &e && !name.empty()) {
        m_used[e.id] = false;  // one record per id
        if (record(layerOf(e.id), e.colour)) ++usedLayers;
      }
    }
    appendInt(b, usedLayers + 1, NumberField{.width = 6});
    b.append("\r\n");
    b.append(records);
    b.append("  0\r\nENDTAB\r\n  0\r\nENDSEC\r\n");
    flush();
  }

  // --- entities -------------------------------------------------------------

  void pointEntity(const std::string& layer, double x, double y, double z) {
    std::string& b = m_buffer;
    b.append("  0\r\nPOINT\r\n100\r\nAcDbEntity\r\n  8\r\n").append(layer);
    b.append("\r\n100\r\nAcDbPoint\r\n 10\r\n");
    f(x);
    b.append(" 20\r\n");
    f(y);
    b.append(" 30\r\n");
    f(z);
    if (m_options.pdMode == 130 || m_options.pdMode == 131) {
      const double s = m_options.pdSize;
      if (m_options.pdMode == 130) {
        lineEntity(layer, x - s, y, z, x + s, y, z);
        lineEntity(layer, x, y - s, z, x, y + s, z);
      } else {
        lineEntity(layer, x + s, y - s, z, x - s, y + s, z);
        lineEntity(layer, x + s, y + s, z, x - s, y - s, z);
      }
    }
  }

  void lineEntity(const std::string& layer, double x1, double y1, double z1, double x2, double y2, double z2) {
    std::string& b = m_buffer;
    b.append("  0\r\nLINE\r\n100\r\nAcDbEntity\r\n  8\r\n").append(layer);
    b.append("\r\n100\r\nAcDbLine\r\n 10\r\n");
    f(x1);
    b.append(" 20\r\n");
    f(y1);
    b.append(" 30\r\n");
    f(z1);
    b.append(" 11\r\n");
    f(x2);
    b.append(" 21\r\n");
    f(y2);
    b.append(" 31\r\n");
    f(z2);
  }

  void faceEntity(const std::string& layer, std::span<const PlanPoint> pts) {
    std::string& b = m_buffer;
    b.append("  0\r\n3DFACE\r\n  8\r\n").append(layer).append("\r\n");
    for (int corner = 0; corner < 4; ++corner) {
      const PlanPoint& p = pts[corner < 3 ? corner : 0];
      const char digit = static_cast<char>('0' + corner);
      b.append(" 1").append(1, digit).append("\r\n");
      f(p.x);
      b.append(" 2").append(1, digit).append("\r\n");
      f(p.y);
      b.append(" 3").append(1, digit).append("\r\n");
      f(p.z);
    }
  }

  void polylineEntity(const std::string& layer, std::span<const PlanPoint> pts, bool closed) {
    std::string& b = m_buffer;
    b.append("  0\r\nPOLYLINE\r\n100\r\nAcDbEntity\r\n  8\r\n").append(layer);
    b.append("\r\n100\r\nAcDb3dPolyline\r\n 66\r\n1\r\n 10\r\n0\r\n 20\r\n0\r\n 30\r\n0\r\n70\r\n");
    b.append(closed ? "1\r\n" : "0\r\n");
    for (const PlanPoint& p : pts) {
      b.append("  0\r\nVERTEX\r\n100\r\nAcDbEntity\r\n  8\r\n").append(layer);
      b.append("\r\n100\r\nAcDbVertex\r\n100\r\nAcDb3dPolylineVertex\r\n 10\r\n");
      f(p.x);
      b.append(" 20\r\n");
      f(p.y);
      b.append(" 30\r\n");
      f(p.z);
      b.append(" 70\r\n32\r\n");
      if (b.size() > 64 * 1024) flush();
    }
    b.append("  0\r\nSEQEND\r\n");
  }

  // One TEXT; text is in the output code page already.
  void textEntity(const std::string& layer, double x, double y, double z, std::string_view orientation,
                  double height, std::string_view text) {
    std::string& b = m_buffer;
    b.append("  0\r\nTEXT\r\n100\r\nAcDbEntity\r\n  8\r\n").append(layer).append("\r\n 10\r\n");
    f(x);
    b.append(" 20\r\n");
    f(y);
    b.append(" 30\r\n");
    f(z);
    b.append(" 11\r\n");
    f(x);
    b.append(" 21\r\n");
    f(y);
    b.append(" 31\r\n");
    f(z);
    b.append(orientation).append(" 40\r\n");
    fixed(height, 4);
    if (text.size() > kMaxTextBytes) {
      size_t cut = kMaxTextBytes;
      // A UTF-8 output keeps whole characters.
      if (m_settings.codePage == 65001)
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
      text = text.substr(0, cut);
    }
    b.append("  1\r\n").append(text).append("\r\n");
  }

  static std::string_view orientationGroups(int code) {
    switch (code) {
      case 1:
        return " 72\r\n0\r\n 73\r\n1\r\n";
      case 2:
        return " 72\r\n2\r\n 73\r\n1\r\n";
      case 3:
        return " 72\r\n0\r\n 73\r\n3\r\n";
      case 4:
        return " 72\r\n2\r\n 73\r\n3\r\n";
      default:
        return {};
    }
  }

  const std::string& labelLayer(const std::string& configured) const {
    return configured.empty() ? *m_elementLayers.front().name : configured;
  }

  void pidText(const PlanPoint& p) {
    if (!m_options.pid.enabled || m_pidHeight <= kMinTextHeight) return;
    if (!m_pidPositions->insert(static_cast<uint32_t>(p.record - m_first))) return;
    m_text.clear();
    const std::string_view name = pointName(*p.record);
    if (m_settings.alphaNumIds && !name.empty()) {
      appendConverted(m_text, name);
    } else if (m_settings.alphaNumIds) {
      appendConverted(m_text, m_settings.pointIdPrefix);
      appendInt(m_text, static_cast<uint32_t>(p.record->number));
    } else {
      appendInt(m_text, static_cast<int32_t>(static_cast<uint32_t>(p.record->number)));
    }
    textEntity(labelLayer(m_pidLayer), p.x, p.y, p.z, orientationGroups(m_options.pid.orientation), m_pidHeight,
               m_text);
  }

  void textObject(const MPolygon& polygon, std::span<const PlanPoint> pts, CategoryIds ids) {
    if (!m_options.text.enabled || m_textHeight <= kMinTextHeight || pts.empty()) return;
    std::string_view text = polygonComment(polygon);
    if (pts.size() == 1 || text.empty()) text = pointComment(*pts[0].record);
    if (pts.size() == 1 && text.empty()) text = polygonComment(polygon);
    if (text.empty()) return;
    // The text category gives the horizontal alignment (group 72: 0 left,
    // 1 centre, 2 right); left is the default and needs no group.
    std::string_view align;
    for (uint16_t id : ids) {
      if (id == kTextCentreCategory) align = " 72\r\n1\r\n";
      if (id == kTextRightCategory && align.empty()) align = " 72\r\n2\r\n";
      if (id == kTextLeftCategory) {
        align = {};
        break;
      }
    }
    m_text.clear();
    appendConverted(m_text, text);
    textEntity(*m_elementLayers.front().name, pts[0].x, pts[0].y, pts[0].z, align, m_textHeight, m_text);
  }

  void progress(Ui& ui, const PlanPoint& last) {
    const uint32_t done = static_cast<uint32_t>(last.record - m_first);
    if (done / kProgressStep != m_lastReport) {
      m_lastReport = done / kProgressStep;
      ui.update(m_progressBase + done);
    }
  }

  void geometryPass(Ui& ui) {
    m_lastReport = 0;
    if (m_options.pid.enabled && m_pidHeight > kMinTextHeight) m_pidPositions.emplace(m_first, pointCount(m_layout));
    forEachPolygon([&](const MPolygon& polygon, std::span<const PlanPoint> pts) {
      if (pts.empty()) return;
      const CategoryIds ids = elementCategories(polygon, pts);
      elementLayers(ids);
      if (isTextObject(ids)) {
        textObject(polygon, pts, ids);
      } else if (pts.size() == 1) {
        for (const ElementLayer& l : m_elementLayers) {
          pointEntity(*l.name, pts[0].x, pts[0].y, pts[0].z);
          pidText(pts[0]);
        }
      } else {
        const bool closed = polygon.closed != 0;
        for (const ElementLayer& l : m_elementLayers) {
          if (pts.size() == 2) {
            lineEntity(*l.name, pts[0].x, pts[0].y, pts[0].z, pts[1].x, pts[1].y, pts[1].z);
            if (closed) lineEntity(*l.name, pts[1].x, pts[1].y, pts[1].z, pts[0].x, pts[0].y, pts[0].z);
          } else if (closed && pts.size() == 3 && l.surface == kSurfaceTriangle) {
            faceEntity(*l.name, pts);
          } else {
            polylineEntity(*l.name, pts, closed);
          }
          if (m_options.addPolyPoints)
            for (const PlanPoint& p : pts) pointEntity(*l.name, p.x, p.y, p.z);
        }
        for (const PlanPoint& p : pts) pidText(p);
      }
      flush();
      progress(ui, pts.back());
    });
  }

  std::string_view firstCategoryName(CategoryIds ids) const {
    for (uint16_t id : ids)
      if (const CategoryEntry* e = category(id)) return e->nameView();
    return {};
  }

  void coordinatePass(Ui& ui) {
    if (m_options.coordFormat.empty()) return;
    PositionSet positions(m_first, pointCount(m_layout));
    m_lastReport = 0;
    const std::string_view orientation = orientationGroups(m_options.coord.orientation);
    forEachPolygon([&](const MPolygon& polygon, std::span<const PlanPoint> pts) {
      if (pts.empty()) return;
      const CategoryIds ids = elementCategories(polygon, pts);
      if (isTextObject(ids)) return;
      elementLayers(ids);
      const std::string& layer = labelLayer(m_coordLayer);
      CoordinatePoint c;
      c.polygonCategory = firstCategoryName(categoryIds(polygon));
      for (const PlanPoint& p : pts) {
        if (!positions.insert(static_cast<uint32_t>(p.record - m_first))) continue;
        c.number = static_cast<int32_t>(static_cast<uint32_t>(p.record->number));
        c.x = p.x, c.y = p.y, c.z = p.z;
        c.pointCategory = firstCategoryName(categoryIds(*p.record));
        expandCoordinateFormat(m_options.coordFormat, c, "%%010", m_texts);
        for (const std::string& t : m_texts) {
          m_text.clear();
          appendConverted(m_text, t);
          textEntity(layer, p.x, p.y, p.z, orientation, m_coordHeight, m_text);
        }
      }
      flush();
      progress(ui, pts.back());
    });
  }

  void commentPass(Ui& ui) {
    m_lastReport = 0;
    const std::string_view orientation = orientationGroups(m_options.comment.orientation);
    forEachPolygon([&](const MPolygon& polygon, std::span<const PlanPoint> pts) {
      if (pts.empty()) return;
      const CategoryIds ids = elementCategories(polygon, pts);
      if (isTextObject(ids)) return;
      elementLayers(ids);
      const std::string& layer = labelLayer(m_commentLayer);
      auto comment = [&](double x, double y, double z, std::string_view text) {
        m_text.clear();
        appendConverted(m_text, text);
        textEntity(layer, x, y, z, orientation, m_commentHeight, m_text);
      };
      for (const PlanPoint& p : pts) {
        const std::string_view text = pointComment(*p.record);
        if (!text.empty()) comment(p.x, p.y, p.z, text);
      }
      // A polygon's comment stands at the mean of its points.
      const std::string_view text = polygonComment(polygon);
      if (!text.empty() && !(pts.size() == 1 && text == pointComment(*pts[0].record))) {
        double x = 0, y = 0, z = 0;
        for (const PlanPoint& p : pts) x += p.x, y += p.y, z += p.z;
        const double n = static_cast<double>(pts.size());
        comment(x / n, y / n, z / n, text);
      }
      flush();
      progress(ui, pts.back());
    });
  }

  BlockId m_layout;
  Sink& m_sink;
  const DxfOptions& m_options;
  const DxfWriteSettings& m_settings;
  std::span<const CategoryEntry> m_categories;
  platform::TextConverter m_converter;
  std::vector<int32_t> m_index;  // category id -> first entry, -1 none
  std::vector<bool> m_used;      // category id -> used by the layout
  std::vector<std::string> m_layerNames;
  std::vector<bool> m_layerNameMade;
  std::string m_defaultLayer;
  std::string m_pidLayer, m_coordLayer, m_commentLayer;
  double m_pidHeight = 0, m_coordHeight = 0, m_commentHeight = 0, m_textHeight = 0;
  Extent m_extent;
  std::vector<PlanPoint> m_points;
  std::vector<ElementLayer> m_elementLayers;
  std::optional<PositionSet> m_pidPositions;
  std::string m_buffer, m_text;
  std::vector<std::string> m_texts;
  const MPoint* m_first = nullptr;
  uint32_t m_progressBase = 0;
  uint32_t m_lastReport = 0;
};

}  // namespace

int nearestDxfColour(uint8_t red, uint8_t green, uint8_t blue) {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < 255; ++i) {
    const long dr = long(kPalette[i][0]) - red, dg = long(kPalette[i][1]) - green, db = long(kPalette[i][2]) - blue;
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = i;
  }
  return best + 1;
}

void writeDxfLayout(BlockId layout, Sink& sink, const DxfOptions& options, const DxfWriteSettings& settings,
                    std::span<const CategoryEntry> categories, Ui& ui) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);
  DxfWriter writer(layout, sink, options, settings, categories);
  writer.write(ui);
}

void writeDxf(BlockId layout, Sink& sink, ConversionContext& context) {
  DxfWriteSettings settings;
  settings.codePage = context.outputCodePage;
  settings.alphaNumIds = context.options.dxf.inAlphaNumIds;
  settings.pointIdPrefix = context.pointIdPrefix;
  settings.originalLayer = text(198);
  // A copy: the list in force lives in the record store, which nothing
  // here changes, but the writer should not depend on that.
  const CategoryListView view = currentCategoryList();
  const std::vector<CategoryEntry> categories(view.entries, view.entries + view.count);
  writeDxfLayout(layout, sink, context.options.dxf, settings, categories, context.ui);
}

}  // namespace vltrx
