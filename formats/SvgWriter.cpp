// Writer of SVG drawings.
//
// A scan assigns every polygon to the groups of its categories (a single
// point by its own categories, else its polygon's) and finds the bounding
// box; the groups are then written one after the other in layer order.
// Each element is built in one reused string and handed to the sink whole;
// numbers go through to_chars, never the locale.
//
// The file declares ISO-8859-1: texts are written byte for byte where they
// fit that encoding and as character references ("&#x20AC;") where they do
// not, so nothing is lost; "&", "<", ">" and quotes are escaped, and line
// ends and other control characters (not allowed in XML 1.0) become blanks.
//
// Choices of ours, documented in docs/formats/svg.md:
// - group and symbol ids keep only XML name characters (others become "_"),
//   since "#VL_Control point_PointDef" is no reference a browser resolves;
// - a text object's first line ends with the transform's closing quote and
//   a blank before text-anchor, so that the element stays well-formed;
// - a plan without extent in x or y gets the other side (or 1 m) as its
//   size, since a view box of width or height 0 disables rendering;
// - an empty plan is written as an empty root element with a 1.2 m view box;
// - planarity: the polygon's normal by Newell's method, and every point
//   within kSvgPlanarTolerance of the plane through the points' centroid.
#include "formats/SvgWriter.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
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
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

namespace {

constexpr uint16_t kPidCategory = 10500;
constexpr uint16_t kCommentCategory = 10501;
constexpr uint16_t kCoordCategory = 10502;
constexpr uint32_t kSurfacePlanar = 1;
constexpr uint32_t kSurfaceTriangle = 2;
constexpr uint32_t kSurfaceFixedHeight = 3;

enum LabelKind : unsigned { kPidLabels = 1, kCoordLabels = 2, kCommentLabels = 4 };

struct Layer {
  std::string id;  // UTF-8, XML name characters only
  uint8_t red = 0, green = 0, blue = 0;
  uint32_t surface = 0;
  double fixedHeight = 0;
  uint32_t sortId = 0;
  unsigned labels = 0;              // LabelKind bits of the label layer
  std::vector<uint32_t> polygons;   // geometry, in store order
  std::vector<uint32_t> own;        // polygons whose first layer this is
  std::vector<uint32_t> texts;      // text objects
};

bool nameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c >= 0x80;
}

// Decodes one UTF-8 sequence at text[i]; U+FFFD for a broken one.
uint32_t nextCodePoint(std::string_view text, size_t& i) {
  const unsigned char c = static_cast<unsigned char>(text[i++]);
  if (c < 0x80) return c;
  int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (more < 0 || c > 0xF4) return 0xFFFD;
  uint32_t cp = c & (0x3F >> more);
  for (int k = 0; k < more; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0xFFFD : cp;
}

// UTF-8 text as ISO-8859-1 XML character data or attribute value.
void appendXmlText(std::string& out, std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    const uint32_t cp = nextCodePoint(utf8, i);
    switch (cp) {
      case '&': out.append("&amp;"); continue;
      case '<': out.append("&lt;"); continue;
      case '>': out.append("&gt;"); continue;
      case '"': out.append("&quot;"); continue;
      default: break;
    }
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp == 0xFFFE || cp == 0xFFFF) {
      out.push_back(' ');
    } else if (cp < 0x100) {
      out.push_back(static_cast<char>(cp));
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      char buf[8];
      int n = 0;
      for (uint32_t v = cp; v; v >>= 4) buf[n++] = kHex[v & 15];
      out.append("&#x");
      while (n) out.push_back(buf[--n]);
      out.push_back(';');
    }
  }
}

class SvgWriter {
 public:
  SvgWriter(BlockId layout, Sink& sink, const SvgOptions& options, std::span<const CategoryEntry> categories)
      : m_layout(layout),
        m_sink(sink),
        m_options(options),
        m_categories(categories),
        m_index(65536, -1),
        m_layerOf(65536, -1) {
    for (size_t i = 0; i < categories.size(); ++i) {
      const CategoryEntry& e = categories[i];
      if (!e.isFolder() && m_index[e.id] < 0) m_index[e.id] = static_cast<int32_t>(i);
    }
    const MFolder* folder = mFolder(layout);
    m_dx = folder->xOffset, m_dy = folder->yOffset, m_dz = folder->zOffset;
    m_points = points(layout);
    m_pointTotal = pointCount(layout);
  }

  void write(Ui& ui) {
    scan();
    m_sink.write(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
        "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
        "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\r\n");
    root();
    std::vector<size_t> order(m_layers.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      const Layer &la = m_layers[a], &lb = m_layers[b];
      const bool fa = la.surface == kSurfaceFixedHeight, fb = lb.surface == kSurfaceFixedHeight;
      if (fa != fb) return fa;
      if (fa) return la.fixedHeight < lb.fixedHeight;
      return la.sortId < lb.sortId;
    });
    ui.beginPhase(100, static_cast<uint32_t>(order.size()));
    uint32_t done = 0;
    for (size_t i : order) {
      layer(m_layers[i]);
      ui.update(++done);
    }
    ui.endPhase();
    m_sink.write("</svg>\r\n");
  }

 private:
  // --- scan -------------------------------------------------------------

  const CategoryEntry* category(uint16_t id) const {
    const int32_t i = m_index[id];
    return i < 0 ? nullptr : &m_categories[static_cast<size_t>(i)];
  }

  // The layer of a category id, made on first use; an id the list does not
  // hold goes with the elements without category to "VL".
  size_t layerFor(uint16_t id) {
    const CategoryEntry* e = id ? category(id) : nullptr;
    const uint16_t key = e ? id : 0;
    if (m_layerOf[key] >= 0) return static_cast<size_t>(m_layerOf[key]);
    Layer l;
    l.id = "VL";
    if (e && !e->nameView().empty()) {
      l.id += '_';
      for (char c : e->nameView()) l.id.push_back(nameChar(static_cast<unsigned char>(c)) ? c : '_');
    }
    if (e) {
      l.red = e->colour.red, l.green = e->colour.green, l.blue = e->colour.blue;
      l.surface = e->surface;
      l.fixedHeight = e->fixedHeight;
    }
    l.sortId = key;
    m_layers.push_back(std::move(l));
    m_layerOf[key] = static_cast<int32_t>(m_layers.size() - 1);
    return m_layers.size() - 1;
  }

  // The group of a kind of labels: the layer whose id is the configured
  // name, else one made for it in the colour of the built-in category.
  void labelLayer(const TextLabelOptions& label, uint16_t builtIn, LabelKind kind) {
    if (!label.enabled || label.origLayer || label.height <= 0) return;
    for (Layer& l : m_layers)
      if (l.id == label.layer) {
        l.labels |= kind;
        return;
      }
    Layer l;
    for (char c : label.layer) l.id.push_back(nameChar(static_cast<unsigned char>(c)) ? c : '_');
    if (l.id.empty()) l.id = "VL";
    if (const CategoryEntry* e = category(builtIn))
      l.red = e->colour.red, l.green = e->colour.green, l.blue = e->colour.blue;
    l.sortId = builtIn;
    l.labels = kind;
    m_layers.push_back(std::move(l));
  }

  CategoryIds elementCategories(uint32_t polygon) const {
    const MPolygon& p = *polygonView(m_layout, polygon);
    if (p.pointCount == 1) {
      CategoryIds own = categoryIds(m_points[m_first[polygon]]);
      if (!own.empty()) return own;
    }
    return categoryIds(p);
  }

  void scan() {
    const uint32_t total = polygonCount(m_layout);
    m_first.resize(total);
    m_count.resize(total);
    uint32_t next = 0;
    for (uint32_t i = 0; i < total; ++i) {
      const MPolygon& p = *polygonView(m_layout, i);
      const uint32_t n = p.pointCount > 0 ? static_cast<uint32_t>(p.pointCount) : 0;
      m_first[i] = next;
      m_count[i] = std::min(n, m_pointTotal - next);
      for (uint32_t k = next; k < next + m_count[i]; ++k) {
        const double x = m_points[k].x + m_dx, y = -(m_points[k].y + m_dy);
        if (!m_any) m_minX = m_maxX = x, m_minY = m_maxY = y, m_any = true;
        m_minX = std::min(m_minX, x), m_maxX = std::max(m_maxX, x);
        m_minY = std::min(m_minY, y), m_maxY = std::max(m_maxY, y);
      }
      next += m_count[i];
      if (m_count[i] == 0) continue;
      const CategoryIds ids = elementCategories(i);
      if (isTextObject(ids)) {
        for (uint16_t id : ids)
          if (isTextCategory(id)) {
            m_layers[layerFor(id)].texts.push_back(i);
            break;
          }
        continue;
      }
      bool first = true;
      for (uint16_t id : ids) {
        Layer& l = m_layers[layerFor(id)];
        if (!l.polygons.empty() && l.polygons.back() == i) continue;  // two ids of one layer
        l.polygons.push_back(i);
        if (first) l.own.push_back(i);
        first = false;
      }
      if (ids.empty()) {
        Layer& l = m_layers[layerFor(0)];
        l.polygons.push_back(i);
        l.own.push_back(i);
      }
    }
    labelLayer(m_options.pid, kPidCategory, kPidLabels);
    labelLayer(m_options.coord, kCoordCategory, kCoordLabels);
    labelLayer(m_options.comment, kCommentCategory, kCommentLabels);
  }

  // --- output -------------------------------------------------------------

  void f(double v) { appendFixed(m_b, v, 6); }
  void rgb(const Layer& l) {
    m_b.append("rgb(");
    appendInt(m_b, l.red);
    m_b.append(", ");
    appendInt(m_b, l.green);
    m_b.append(", ");
    appendInt(m_b, l.blue);
    m_b.append(")");
  }
  void flush() { m_sink.write(m_b), m_b.clear(); }

  void root() {
    double w = 1.2 * std::fabs(m_maxX - m_minX), h = 1.2 * std::fabs(m_maxY - m_minY);
    if (!(w > 0)) w = h > 0 ? h : 1.2;
    if (!(h > 0)) h = w;
    m_b.append("<svg viewBox=\"");
    f(m_minX - w / 12);
    m_b.push_back(' ');
    f(m_minY - h / 12);
    m_b.push_back(' ');
    f(w);
    m_b.push_back(' ');
    f(h);
    m_b.append("\" xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"");
    appendFixed(m_b, m_options.svgVersion, 1);
    m_b.append("\">\r\n");
    flush();
  }

  bool planar(uint32_t polygon) const {
    const MPoint* p = m_points + m_first[polygon];
    const uint32_t n = m_count[polygon];
    double nx = 0, ny = 0, nz = 0, cx = 0, cy = 0, cz = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const MPoint &a = p[i], &b = p[(i + 1) % n];
      nx += (a.y - b.y) * (a.z + b.z);
      ny += (a.z - b.z) * (a.x + b.x);
      nz += (a.x - b.x) * (a.y + b.y);
      cx += a.x, cy += a.y, cz += a.z;
    }
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0)) return false;
    cx /= n, cy /= n, cz /= n;
    for (uint32_t i = 0; i < n; ++i) {
      const double d = ((p[i].x - cx) * nx + (p[i].y - cy) * ny + (p[i].z - cz) * nz) / length;
      if (std::fabs(d) > kSvgPlanarTolerance) return false;
    }
    return true;
  }

  bool filled(const Layer& l, uint32_t polygon) const {
    const uint32_t n = m_count[polygon];
    if (!polygonView(m_layout, polygon)->closed || n <= 2) return false;
    switch (l.surface) {
      case kSurfaceTriangle: return n == 3;
      case kSurfaceFixedHeight: return true;
      case kSurfacePlanar: return planar(polygon);
      default: return false;
    }
  }

  // The opening of a text element, up to the end of its transform value.
  void textHead(double x, double y, const TextLabelOptions& label, const Layer& l) {
    m_b.append("\t\t<text x=\"");
    f(x);
    m_b.append("\" y=\"");
    f(-y);
    m_b.append("\" style=\"font-size:");
    f(label.height);
    m_b.append(label.relative ? "%" : "mm");
    m_b.append(";font-family:Arial;stroke:");
    rgb(l);
    m_b.append(";fill:");
    rgb(l);
    m_b.append("\" transform=\"scale(1.0, -1.0)");
  }

  void text(double x, double y, const TextLabelOptions& label, const Layer& l, std::string_view utf8) {
    textHead(x, y, label, l);
    m_b.append("\">\r\n\t\t\t");
    appendXmlText(m_b, utf8);
    m_b.append("\r\n\t\t</text>\r\n");
  }

  void labels(const Layer& l, unsigned kinds, std::span<const uint32_t> polygons, bool all) {
    const uint32_t total = all ? static_cast<uint32_t>(m_first.size()) : static_cast<uint32_t>(polygons.size());
    for (uint32_t k = 0; k < total; ++k) {
      const uint32_t polygon = all ? k : polygons[k];
      if (m_count[polygon] == 0 || isTextObject(elementCategories(polygon))) continue;
      for (uint32_t i = m_first[polygon]; i < m_first[polygon] + m_count[polygon]; ++i) {
        const MPoint& p = m_points[i];
        const double x = p.x + m_dx, y = p.y + m_dy;
        if ((kinds & kPidLabels) && p.number != 0) {
          m_idText.clear();
          appendInt(m_idText, static_cast<int32_t>(static_cast<uint32_t>(p.number)));
          text(x, y, m_options.pid, l, m_idText);
        }
        if ((kinds & kCoordLabels) && !m_options.coordFormat.empty()) {
          CoordinatePoint c;
          c.number = static_cast<int32_t>(static_cast<uint32_t>(p.number));
          c.x = x, c.y = y, c.z = p.z + m_dz;
          c.pointCategory = firstName(categoryIds(p));
          c.polygonCategory = firstName(categoryIds(*polygonView(m_layout, polygon)));
          expandCoordinateFormat(m_options.coordFormat, c, " ", m_texts);
          m_idText.clear();
          for (size_t t = 0; t < m_texts.size(); ++t) m_idText.append(t ? " " : "").append(m_texts[t]);
          text(x, y, m_options.coord, l, m_idText);
        }
        if ((kinds & kCommentLabels) && !pointComment(p).empty()) text(x, y, m_options.comment, l, pointComment(p));
        if (m_b.size() > 64 * 1024) flush();
      }
    }
  }

  std::string_view firstName(CategoryIds ids) const {
    for (uint16_t id : ids)
      if (const CategoryEntry* e = category(id)) return e->nameView();
    return {};
  }

  void layer(const Layer& l) {
    m_b.append("\t<g id=\"");
    appendXmlText(m_b, l.id);
    m_b.append("\" style=\"stroke:");
    rgb(l);
    m_b.append(";stroke-width:0.1%;fill:none\" transform=\"scale(1.0, -1.0)\">\r\n");
    m_b.append("\t\t<defs>\r\n\t\t\t<circle id=\"");
    appendXmlText(m_b, l.id);
    m_b.append("_PointDef\" cx=\"0.0\" cy=\"0.0\" r=\"0.5%\" ");
    m_b.append("style=\"stroke:black;stroke-width:0;fill:");
    rgb(l);
    m_b.append("\"/>\r\n\t\t</defs>\r\n");
    for (uint32_t polygon : l.polygons) {
      const uint32_t n = m_count[polygon];
      if (n < 2) continue;
      const bool closed = polygonView(m_layout, polygon)->closed != 0;
      m_b.append(closed ? "\t\t<polygon points=\"" : "\t\t<polyline points=\"");
      for (uint32_t i = m_first[polygon]; i < m_first[polygon] + n; ++i) {
        if (i != m_first[polygon]) m_b.push_back(' ');
        f(m_points[i].x + m_dx);
        m_b.push_back(' ');
        f(m_points[i].y + m_dy);
      }
      m_b.push_back('"');
      if (filled(l, polygon)) {
        m_b.append(" style=\"fill:");
        rgb(l);
        m_b.push_back('"');
      }
      m_b.append("/>\r\n");
      if (m_b.size() > 64 * 1024) flush();
    }
    if (!l.labels) {
      for (uint32_t polygon : l.polygons) {
        const uint32_t n = m_count[polygon];
        for (uint32_t i = m_first[polygon]; i < m_first[polygon] + n; ++i) {
          if (n > 1 && categoryIds(m_points[i]).empty()) continue;
          m_b.append("\t\t<use xlink:href=\"#");
          appendXmlText(m_b, l.id);
          m_b.append("_PointDef\" x=\"");
          f(m_points[i].x + m_dx);
          m_b.append("\" y=\"");
          f(m_points[i].y + m_dy);
          m_b.append("\"/>\r\n");
        }
        if (m_b.size() > 64 * 1024) flush();
      }
    }
    if (l.labels) labels(l, l.labels, {}, true);
    unsigned own = 0;
    if (m_options.pid.enabled && m_options.pid.origLayer && m_options.pid.height > 0) own |= kPidLabels;
    if (m_options.coord.enabled && m_options.coord.origLayer && m_options.coord.height > 0) own |= kCoordLabels;
    if (m_options.comment.enabled && m_options.comment.origLayer && m_options.comment.height > 0)
      own |= kCommentLabels;
    if (own) labels(l, own, l.own, false);
    if (m_options.text.enabled && m_options.text.height > 0) {
      for (uint32_t polygon : l.texts) {
        const MPolygon& pg = *polygonView(m_layout, polygon);
        std::string_view body = polygonComment(pg);
        if (m_count[polygon] == 1 || body.empty()) body = pointComment(m_points[m_first[polygon]]);
        if (m_count[polygon] == 1 && body.empty()) body = polygonComment(pg);
        if (body.empty()) continue;
        const CategoryIds ids = elementCategories(polygon);
        const bool left = std::find(ids.begin(), ids.end(), kTextLeftCategory) != ids.end();
        const bool right = std::find(ids.begin(), ids.end(), kTextRightCategory) != ids.end();
        for (uint32_t i = m_first[polygon]; i < m_first[polygon] + m_count[polygon]; ++i) {
          textHead(m_points[i].x + m_dx, m_points[i].y + m_dy, m_options.text, l);
          m_b.append(left ? "\" text-anchor=\"start\">\r\n" : right ? "\" text-anchor=\"end\">\r\n"
                                                                     : "\" text-anchor=\"middle\">\r\n");
          m_b.append("\t\t\t");
          appendXmlText(m_b, body);
          m_b.append("\r\n\t\t</text>\r\n");
        }
      }
    }
    m_b.append("\t</g>\r\n");
    flush();
  }

  BlockId m_layout;
  Sink& m_sink;
  const SvgOptions& m_options;
  std::span<const CategoryEntry> m_categories;
  std::vector<int32_t> m_index;    // category id -> first entry, -1 none
  std::vector<int32_t> m_layerOf;  // category id -> layer, -1 none yet
  std::vector<Layer> m_layers;
  std::vector<uint32_t> m_first, m_count;  // per polygon: first point, points
  const MPoint* m_points = nullptr;
  uint32_t m_pointTotal = 0;
  double m_dx = 0, m_dy = 0, m_dz = 0;
  double m_minX = 0, m_maxX = 0, m_minY = 0, m_maxY = 0;  // y negated
  bool m_any = false;
  std::string m_b, m_idText;
  std::vector<std::string> m_texts;
};

}  // namespace

void writeSvgLayout(BlockId layout, Sink& sink, const SvgOptions& options, std::span<const CategoryEntry> categories,
                    Ui& ui) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);
  SvgWriter writer(layout, sink, options, categories);
  writer.write(ui);
}

void writeSvg(BlockId layout, Sink& sink, ConversionContext& context) {
  const CategoryListView view = currentCategoryList();
  const std::vector<CategoryEntry> categories(view.entries, view.entries + view.count);
  writeSvgLayout(layout, sink, context.options.svg, categories, context.ui);
}

}  // namespace vltrx
