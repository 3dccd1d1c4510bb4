// Native XML output: one pre-pass over the tree (coordinate limit, used
// categories, element count for the progress bar), then a straight
// serialisation with fixed attribute order and number formats.
#include "xml/NativeXmlWriter.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/MessageTable.h"
#include "ui/Ui.h"
#include "xml/XmlWriter.h"

#include <bitset>
#include <charconv>
#include <memory>
#include <string>
#include <vector>

namespace vltrx {
namespace {

constexpr std::string_view kProlog = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";
constexpr std::string_view kRootStart = "<velmora version=\"2.12\">\r\n";
constexpr std::string_view kRootEnd = "</velmora>\r\n";

// Bytes of a name or comment kept before conversion.
constexpr size_t kNameCut = 59;
constexpr size_t kCommentCut = 29;
// The progress bar moves every this many elements.
constexpr uint32_t kTickStep = 1024;

struct TreeSummary {
  bool beyondLimit = false;
  uint32_t elements = 0;
  std::unique_ptr<std::bitset<65536>> usedCategories = std::make_unique<std::bitset<65536>>();
};

void markCategories(std::bitset<65536>& used, CategoryIds ids) {
  for (uint16_t id : ids) used.set(id);
}

TreeSummary summarize(BlockId root) {
  TreeSummary s;
  int rc = visit(root, [&](BlockId node, int phase) {
    if (phase == 2) return 1;
    if (node != root || phase == 0) ++s.elements;
    if (phase == 1) return 1;
    uint32_t nPolygons = polygonCount(node);
    uint32_t nPoints = pointCount(node);
    s.elements += nPolygons + nPoints;
    for (uint32_t i = 0; i < nPolygons; ++i)
      if (const MPolygon* polygon = polygonView(node, i)) markCategories(*s.usedCategories, categoryIds(*polygon));
    if (const MPoint* pts = points(node)) {
      for (uint32_t i = 0; i < nPoints; ++i) {
        const MPoint& p = pts[i];
        if (p.x > kNativeCoordinateLimit || p.y > kNativeCoordinateLimit) s.beyondLimit = true;
        markCategories(*s.usedCategories, categoryIds(p));
      }
    }
    return 1;
  });
  if (rc < 0) throw makeError(rc);
  return s;
}

// The text of message 121 with its "%i" filled.
std::string coordinateWarning() {
  std::string message = text(121);
  auto pos = message.find("%i");
  if (pos != std::string::npos) message.replace(pos, 2, "10000");
  return message;
}

class NativeWriter {
 public:
  NativeWriter(Sink& sink, Ui& ui, NativeXmlCallback& callback, uint32_t total)
      : m_w(sink), m_ui(ui), m_callback(callback) {
    m_ui.beginPhase(100, total > 0 ? total : 1);
    m_w.setTick([this] {
      if (++m_ticks % kTickStep == 0) m_ui.update(m_ticks);
    });
  }

  XmlWriter& xml() { return m_w; }

  void writeTree(BlockId root) {
    int rc = visit(root, [&](BlockId node, int phase) {
      // The root folder itself is not written; a layout given as the root is.
      if (node == root && phase != 0) return 1;
      if (phase == 0) {
        writeLayout(node);
      } else if (phase == 1) {
        writeNodeStart(node, true);
      } else {
        m_w.raw("</subfolder>\r\n");
      }
      return 1;
    });
    if (rc < 0) throw makeError(rc);
  }

  void finish() {
    m_ui.update(m_ticks);
    m_ui.endPhase();
  }

 private:
  // Writes ` attr="text"` when the text, cut and converted, is not empty.
  void textAttribute(std::string_view name, std::string_view utf8, size_t cut) {
    if (utf8.empty()) return;
    m_text.assign(cutUtf8(utf8, cut));
    m_callback.convertToFile(m_text);
    if (!m_text.empty()) m_w.attributeShortText(name, m_text);
  }

  void categoriesAttribute(CategoryIds ids) {
    if (ids.empty()) return;
    // The whole set, never cut: a cut list would lose ids or turn the last
    // one into another number.
    m_text.clear();
    char buf[8];
    for (uint16_t id : ids) {
      if (!m_text.empty()) m_text.push_back(' ');
      auto r = std::to_chars(buf, buf + sizeof buf, id);
      m_text.append(buf, r.ptr);
    }
    m_w.attributeText("categories", m_text);
  }

  void writeNodeStart(BlockId node, bool isSubfolder) {
    std::string_view name = nodeName(node);
    m_callback.nodeStarted(name, isSubfolder);
    m_w.tick();
    m_w.raw(isSubfolder ? "<subfolder" : "<mfolder");
    textAttribute("name", name, kNameCut);
    const NodeHeader* h = nodeHeader(node);
    if (h && h->isProtected) m_w.raw(" protected=\"1\"");
    textAttribute("comment", nodeComment(node), kCommentCut);
    if (isSubfolder) m_w.raw(">\r\n");
  }

  void writeLayout(BlockId layout) {
    writeNodeStart(layout, false);
    const MFolder* f = mFolder(layout);
    uint32_t nPolygons = polygonCount(layout);
    if (f && nPolygons > 0) {
      if (f->xOffset != 0) m_w.attributeFixed("x_offset", f->xOffset, 0);
      if (f->yOffset != 0) m_w.attributeFixed("y_offset", f->yOffset, 0);
      if (f->zOffset != 0) m_w.attributeFixed("z_offset", f->zOffset, 0);
    }
    if (f && f->layoutType == 1) m_w.raw(" type=\"Quintar_MinMaxZ\"");
    m_w.raw(">\r\n");

    // The offsets are written as attributes; the points keep their own
    // coordinates.
    walkLayout(
        layout, LayoutOffsets::Leave,
        [&](const MPolygon& poly, uint32_t) {
          m_w.tick();
          m_w.raw("<polygon");
          if (poly.closed) m_w.raw(" closed=\"1\"");
          categoriesAttribute(categoryIds(poly));
          textAttribute("comment", polygonComment(poly), kCommentCut);
          m_w.raw(">\r\n");
        },
        [&](const WalkedPoint& p) { writePoint(p.record); },
        [&](const MPolygon&, uint32_t) { m_w.raw("</polygon>\r\n"); });
    m_w.raw("</mfolder>\r\n");
  }

  void twoDigits(uint32_t a, uint32_t b, uint32_t c) {
    // "%02u%02u%02u"
    char buf[40];
    char* p = buf;
    for (uint32_t v : {a, b, c}) {
      if (v < 10) *p++ = '0';
      p = std::to_chars(p, buf + sizeof buf, v).ptr;
    }
    m_w.sink().write(buf, static_cast<size_t>(p - buf));
  }

  void writePoint(const MPoint& p) {
    m_w.tick();
    Sink& out = m_w.sink();
    out.write("<point", 6);
    if (p.number != 0) m_w.attribute("id", p.number);
    textAttribute("name", pointName(p), kNameCut);
    m_w.attributeFixed("x", p.x, 4);
    m_w.attributeFixed("y", p.y, 4);
    m_w.attributeFixed("z", p.z, 4);
    const PointExtra& extra = pointExtra(p);
    if (const PolarObservation observation = pointPolar(p); !observation.empty()) {
      PolarValues polar = decodePolar(observation);
      if (polar.r != 0) {
        m_w.attributeFixed("r", polar.r, 4);
        m_w.attributeFixed("phi", polar.phi, 5);
        m_w.attributeFixed("h", polar.h, 4);
      }
      if (polar.devR != 0) {
        m_w.attributeFixed("dev_r", polar.devR, 4);
        m_w.attributeFixed("dev_phi", polar.devPhi, 5);
      }
    }
    if (extra.station != 0) m_w.attribute("station", extra.station);
    if (extra.location != 0) m_w.attribute("location", extra.location);
    if (extra.temperature != kTemperatureNone) m_w.attribute("temperature", extra.temperature);
    if (p.mode != kModeNone) m_w.attribute("mode", p.mode);
    categoriesAttribute(categoryIds(p));
    if (extra.dateTime != 0) {
      DateTimeParts t = unpackDateTime(extra.dateTime);
      out.write(" date=\"", 7);
      twoDigits(t.yy, t.mm, t.dd);
      out.write("\" time=\"", 8);
      twoDigits(t.hh, t.mi, t.ss);
      out.put('"');
    }
    textAttribute("comment", pointComment(p), kCommentCut);
    if (std::optional<float> value = pointValue(p)) {
      out.write(">\r\n<value>", 10);
      m_w.general(*value);
      m_w.raw("</value>\r\n</point>\r\n");
    } else {
      m_w.raw("/>\r\n");
    }
  }

  XmlWriter m_w;
  Ui& m_ui;
  NativeXmlCallback& m_callback;
  uint32_t m_ticks = 0;
  std::string m_text;
};

}  // namespace

void writeNativeXml(Sink& sink, BlockId root, PreferredSystem system, Ui& ui, NativeXmlCallback& callback,
                    NativeCategoryHooks* categories) {
  if (!isSubFolder(root) && !isLayout(root)) throw makeError(ErrorCode::InvalidBlockId);
  TreeSummary summary = summarize(root);
  if (summary.beyondLimit && !ui.quiet()) ui.warningDialog(121, coordinateWarning());

  NativeWriter writer(sink, ui, callback, summary.elements);
  XmlWriter& w = writer.xml();
  w.raw(kProlog);
  w.raw(kRootStart);
  if (categories) {
    std::vector<uint16_t> used;
    for (uint32_t id = 1; id < 65536; ++id)
      if (summary.usedCategories->test(id)) used.push_back(static_cast<uint16_t>(id));
    if (!used.empty()) categories->writeCategoryRef(w, used);
  }
  w.raw("<measurements preferred_system=\"");
  w.raw(preferredSystemText(system));
  w.raw("\">\r\n");
  writer.writeTree(root);
  w.raw("</measurements>\r\n");
  w.raw(kRootEnd);
  sink.flush();
  writer.finish();
}

void writeNativeXmlFile(const std::filesystem::path& path, BlockId root, PreferredSystem system, Ui& ui,
                        NativeXmlCallback& callback, NativeCategoryHooks* categories) {
  FileSink sink(path);
  writeNativeXml(sink, root, system, ui, callback, categories);
  sink.commit();
}

void writeCategoryListDocument(Sink& sink, NativeCategoryHooks& categories) {
  XmlWriter w(sink);
  w.raw(kProlog);
  w.raw(kRootStart);
  categories.writeCategoryList(w);
  w.raw(kRootEnd);
  sink.flush();
}

}  // namespace vltrx
