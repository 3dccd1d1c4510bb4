// Writer of REB DA11 coordinate files.
//
// Record (columns from 1, 80 columns and CR LF):
//   1-2 "11", 3-10 OZ ("%08ld"), 11 type character, 12-29 blank, 30-31 "22",
//   32-41 blank, 42-47 x, 49-54 y, 55 "=" when the record ends after its
//   first point, 56-61 x, 63-68 y, 69 "=" after the polygon's last point,
//   70-73 record number ("%04d"), 74 record letter, 75-80 "001001".
// Coordinates are metres ("%3d") and millimetres ("%03d") after the window
// offset. Every polygon is written closed: its first point follows its last.
//
// Records are numbered over the file from 0000 B: the letter runs to Z,
// then the number goes up and the letter starts again at A. The number
// field has four digits; after 9999 it starts again at 0000, so a record
// never grows past its 80 columns. For the same reason the window is
// checked on the rounded millimetres too: a value that rounds up to
// 1000.000 m would print four digits of metres.
#include "formats/Da11Writer.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/NumberFormat.h"
#include "core/Sink.h"
#include "framework/Conversion.h"
#include "platform/CodePage.h"
#include "ui/Ui.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

namespace {

constexpr double kWindow = 1000.0;
constexpr int64_t kWindowMm = 1000000;
constexpr std::string_view kOzKey = "OZ=";
constexpr size_t kOzDigits = 8;
// Edges whose directions have an absolute cross product up to this are
// parallel and never cross.
constexpr double kParallel = 0.001;
constexpr int kRecordNumbers = 10000;
// Points between two progress reports (the view throttles to 100 ms itself).
constexpr uint32_t kProgressPoints = 4096;

struct Xy {
  double x, y;
};

// True when two non-adjacent edges of the polygon (taken as closed) cross:
// the absolute cross product of their directions exceeds 0.001 and both
// intersection parameters lie in [0, 1]. The edges are swept in order of
// their smallest x, so only edges whose x ranges overlap are compared.
bool hasCrossingEdges(const std::vector<Xy>& p) {
  const size_t n = p.size();
  if (n < 4) return false;
  struct Edge {
    double minX, maxX, minY, maxY;
    size_t index;
  };
  std::vector<Edge> edges(n);
  for (size_t i = 0; i < n; ++i) {
    const Xy a = p[i], b = p[(i + 1) % n];
    edges[i] = {std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y), i};
  }
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.minX < b.minX; });
  auto adjacent = [n](size_t i, size_t j) {
    const size_t d = i > j ? i - j : j - i;
    return d <= 1 || d == n - 1;
  };
  auto cross = [&](size_t i, size_t j) {
    const Xy a = p[i], b = p[(i + 1) % n], c = p[j], d = p[(j + 1) % n];
    const double d1x = b.x - a.x, d1y = b.y - a.y, d2x = d.x - c.x, d2y = d.y - c.y;
    const double den = d1x * d2y - d1y * d2x;
    if (std::fabs(den) <= kParallel) return false;
    const double ex = c.x - a.x, ey = c.y - a.y;
    const double t = (ex * d2y - ey * d2x) / den;
    const double u = (ex * d1y - ey * d1x) / den;
    return t >= 0 && t <= 1 && u >= 0 && u <= 1;
  };
  for (size_t k = 0; k < n; ++k) {
    const Edge& e = edges[k];
    for (size_t m = k + 1; m < n && edges[m].minX <= e.maxX; ++m) {
      const Edge& f = edges[m];
      if (f.maxY < e.minY || f.minY > e.maxY || adjacent(e.index, f.index)) continue;
      if (cross(e.index, f.index)) return true;
    }
  }
  return false;
}

class Da11RecordWriter {
 public:
  Da11RecordWriter(Sink& sink, uint32_t codePage) : m_sink(sink), m_converter(codePage) { m_line.reserve(96); }

  bool wroteAny() const { return m_records > 0; }

  // Writes one polygon: its points two per record, then the first again.
  void polygon(uint32_t oz, char type, const std::vector<int64_t>& mm) {
    m_oz = oz;
    m_type = type;
    const size_t pairs = mm.size() / 2;
    std::vector<size_t> order(pairs + 1);
    for (size_t i = 0; i < pairs; ++i) order[i] = i;
    order[pairs] = 0;
    for (size_t k = 0; k < order.size(); k += 2) {
      const bool two = k + 1 < order.size();
      const bool last = k + 2 >= order.size();
      begin();
      appendPoint(mm, order[k]);
      if (two) {
        m_line.push_back(' ');
        appendPoint(mm, order[k + 1]);
        m_line.push_back(last ? '=' : ' ');
      } else {
        m_line.append("=              ");
      }
      end();
    }
  }

 private:
  void begin() {
    std::string& l = m_line;
    l.clear();
    l.append("11");
    appendInt(l, m_oz, NumberField{.width = 8, .zeroPad = true});
    l.push_back(m_type);
    l.append(18, ' ');
    l.append("22");
    l.append(10, ' ');
  }

  void appendPoint(const std::vector<int64_t>& mm, size_t index) {
    for (int axis = 0; axis < 2; ++axis) {
      if (axis == 1) m_line.push_back(' ');
      const int64_t v = mm[2 * index + axis];
      appendInt(m_line, v / 1000, NumberField{.width = 3});
      appendInt(m_line, v % 1000, NumberField{.width = 3, .zeroPad = true});
    }
  }

  void end() {
    appendInt(m_line, m_number, NumberField{.width = 4, .zeroPad = true});
    m_line.push_back(m_letter);
    m_line.append("001001\r\n");
    m_sink.write(m_line);
    ++m_records;
    if (m_letter == 'Z') {
      m_letter = 'A';
      m_number = (m_number + 1) % kRecordNumbers;
    } else {
      ++m_letter;
    }
  }

  Sink& m_sink;
  platform::TextConverter m_converter;
  std::string m_line;
  uint32_t m_oz = 0;
  char m_type = ' ';
  int m_number = 0;
  char m_letter = 'B';
  uint64_t m_records = 0;
};

// The OZ of a comment holding "OZ=": false when none is there. Throws
// -2203 with the comment when the eight characters after it are not all
// digits.
bool orderNumber(std::string_view comment, uint32_t& oz, std::string_view& type) {
  const size_t at = comment.find(kOzKey);
  if (at == std::string_view::npos) return false;
  const std::string_view digits = comment.substr(at + kOzKey.size(), kOzDigits);
  if (digits.size() < kOzDigits || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    throw makeError(ErrorCode::InvalidOz, comment);
  oz = 0;
  for (char c : digits) oz = oz * 10 + static_cast<uint32_t>(c - '0');
  type = comment.substr(at + kOzKey.size() + kOzDigits);
  return true;
}

// The type character in the output code page: the character after the OZ
// digits, blank when there is none or it has no single byte there.
char typeCharacter(std::string_view rest, platform::TextConverter& converter) {
  if (rest.empty()) return ' ';
  const unsigned char c = static_cast<unsigned char>(rest[0]);
  if (c < 0x80) return c < 0x20 ? ' ' : static_cast<char>(c);
  size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
  std::string converted;
  converter.fromUtf8(rest.substr(0, length), converted);
  return converted.size() == 1 ? converted[0] : ' ';
}

}  // namespace

void writeDa11Layout(BlockId layout, Sink& sink, uint32_t codePage, Ui& ui) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);
  const uint32_t total = pointCount(layout);
  ui.beginPhase(100, total);

  // The window over all points of the layout, OZ or not.
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  walkLayout(
      layout, LayoutOffsets::Apply, [](const MPolygon&, uint32_t) {},
      [&](const WalkedPoint& p) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
      });
  if (total > 0 && !(maxX - minX < kWindow && maxY - minY < kWindow)) throw makeError(ErrorCode::Da11RangeTooLarge);
  double offsetX = 0, offsetY = 0;
  if (total > 0 && !(minX >= 0 && maxX < kWindow && minY >= 0 && maxY < kWindow)) {
    offsetX = minX;
    offsetY = minY;
  }

  Da11RecordWriter writer(sink, codePage);
  platform::TextConverter converter(codePage);
  std::vector<Xy> outline;
  std::vector<int64_t> mm;
  uint32_t done = 0;
  bool keep = false;
  uint32_t oz = 0;
  char type = ' ';
  walkLayout(
      layout, LayoutOffsets::Apply,
      [&](const MPolygon& polygon, uint32_t) {
        outline.clear();
        const std::string_view comment = polygonComment(polygon);
        keep = comment.find(kOzKey) != std::string_view::npos;
      },
      [&](const WalkedPoint& p) {
        if (keep) outline.push_back({p.x - offsetX, p.y - offsetY});
        if (++done % kProgressPoints == 0) ui.update(done);
      },
      [&](const MPolygon& polygon, uint32_t) {
        if (!keep || outline.empty()) return;
        // An outline that repeats its first point at the end is closed
        // already: the repeat is written once, as every polygon's end.
        if (outline.size() >= 2 && outline.back().x == outline.front().x && outline.back().y == outline.front().y)
          outline.pop_back();
        if (hasCrossingEdges(outline)) throw makeError(ErrorCode::IntersectingEdges);
        std::string_view rest;
        orderNumber(polygonComment(polygon), oz, rest);
        type = typeCharacter(rest, converter);
        mm.clear();
        for (const Xy& q : outline) {
          for (double v : {q.x, q.y}) {
            const int64_t r = std::llround(v * 1000.0);
            if (r < 0 || r >= kWindowMm) throw makeError(ErrorCode::Da11RangeTooLarge);
            mm.push_back(r);
          }
        }
        writer.polygon(oz, type, mm);
      });
  if (!writer.wroteAny()) throw makeError(ErrorCode::NoPolygonsExported);
  sink.write("\r\n");
  ui.update(total);
  ui.endPhase();
}

void writeDa11(BlockId layout, Sink& sink, ConversionContext& context) {
  writeDa11Layout(layout, sink, context.outputCodePage, context.ui);
}

}  // namespace vltrx
