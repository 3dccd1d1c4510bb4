// Writer of text tables with a user field layout.
//
// The points are collected as small records (number, index of the point in
// the layout, the first category of the point and of its polygon; the
// coordinates, with the layout's offsets added, are read from the point). The result is that of sorting by position, dropping each record
// equal to its neighbour (same x, y, z and the same categories) and sorting
// by id: every point ordered by id, an exact duplicate written once with the
// smallest id. It is computed the cheap way: records in id order (a layout
// read from a file mostly is already; otherwise one sort), then one pass
// that keeps a record unless an equal one was kept before, found through an
// open-addressing table of record indexes: linear time where the two sorts
// were n log n.
//
// Every field is followed by the delimiter, the last one included. A
// delimiter inside a category name is written as "_" (the name would
// otherwise split into two columns); with WS an empty category column is
// written as "0" so that the columns after it keep their place. An id text
// that holds the delimiter is quoted, which the tokenizer reads back.
#include "formats/TxtWriter.h"

#include "core/CError.h"
#include "core/DelimiterCodes.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/NumberFormat.h"
#include "core/Numbers.h"
#include "core/Sink.h"
#include "formats/TableCategories.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "framework/TableOptions.h"
#include "platform/CodePage.h"
#include "ui/Ui.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unordered_map>
#include <vector>

namespace vltrx {

namespace {

constexpr int kPrecision = 4;
// Records between two progress reports.
constexpr uint32_t kProgressRecords = 4096;

// 12 bytes a point: the table of 1 M points is 12 MB where a copy of the
// coordinates made it 40 MB.
struct Record {
  int32_t number;
  uint32_t index;  // in the layout's point array
  uint16_t k, p;
  // The category of the C column: the point's, else its polygon's.
  uint16_t c() const { return k != 0 ? k : p; }
};

// The coordinates of the layout's points with its offsets added.
class Coordinates {
 public:
  explicit Coordinates(BlockId layout) : m_points(points(layout)) {
    if (const MFolder* f = mFolder(layout)) {
      m_dx = f->xOffset;
      m_dy = f->yOffset;
      m_dz = f->zOffset;
    }
  }
  double x(const Record& r) const { return m_points[r.index].x + m_dx; }
  double y(const Record& r) const { return m_points[r.index].y + m_dy; }
  double z(const Record& r) const { return m_points[r.index].z + m_dz; }

 private:
  const MPoint* m_points;
  double m_dx = 0, m_dy = 0, m_dz = 0;
};

// Ids first; records of the same id by position, then categories.
bool lessDouble(double a, double b) { return a < b || (std::isnan(b) && !std::isnan(a)); }
struct ById {
  const Coordinates& at;
  bool operator()(const Record& a, const Record& b) const {
    if (a.number != b.number) return a.number < b.number;
    const double ax = at.x(a), bx = at.x(b);
    if (ax != bx) return lessDouble(ax, bx);
    const double ay = at.y(a), by = at.y(b);
    if (ay != by) return lessDouble(ay, by);
    const double az = at.z(a), bz = at.z(b);
    if (az != bz) return lessDouble(az, bz);
    if (a.k != b.k) return a.k < b.k;
    if (a.p != b.p) return a.p < b.p;
    return a.c() < b.c();
  }
};

bool sameRecord(const Coordinates& at, const Record& a, const Record& b) {
  return at.x(a) == at.x(b) && at.y(a) == at.y(b) && at.z(a) == at.z(b) && a.k == b.k && a.p == b.p;
}

// Bits of a coordinate for hashing: 0.0 and -0.0 are equal, so hash alike.
uint64_t bitsOf(double v) {
  if (v == 0) v = 0;
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

uint64_t hashOf(const Coordinates& at, const Record& r) {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (uint64_t part : {bitsOf(at.x(r)), bitsOf(at.y(r)), bitsOf(at.z(r)),
                        uint64_t(r.k) | uint64_t(r.p) << 16 | uint64_t(r.c()) << 32}) {
    h ^= part + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h *= 0xFF51AFD7ED558CCDull;
  }
  return h ^ (h >> 29);
}

// Asks for the pages of a large table to be huge pages: the records of 1 M
// points (40 MB) and the duplicate table took 12 000 faults of 4 KiB, more
// system time than the rest of the write.
void adviseHugePages(const void* data, size_t bytes) {
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // only a hint
}

// Keeps the first of every group of equal records (records in id order:
// the one with the smallest id), in order. A slot holds a kept record's
// index and 32 more bits of its hash, so that a probe compares records (two
// more reads far apart in memory) only when the hashes agree; the slot of a
// record some records ahead is fetched while the current one is looked up.
void dropExactDuplicates(const Coordinates& at, std::vector<Record>& records) {
  struct Slot {
    uint32_t tag;
    uint32_t index;
  };
  size_t slots = 16;
  while (slots < records.size() * 2) slots *= 2;
  const size_t mask = slots - 1;
  constexpr uint32_t kEmpty = UINT32_MAX;
  std::vector<Slot> table;
  table.reserve(slots);
  adviseHugePages(table.data(), slots * sizeof(Slot));
  table.assign(slots, Slot{0, kEmpty});

  constexpr size_t kAhead = 16;
  uint64_t hashes[kAhead];
  const size_t count = records.size();
  for (size_t i = 0; i < std::min(kAhead, count); ++i) {
    hashes[i] = hashOf(at, records[i]);
    __builtin_prefetch(&table[hashes[i] & mask]);
  }
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    const Record r = records[i];
    const uint64_t hash = hashes[i % kAhead];
    // records[i + kAhead] is still in its place: kept <= i.
    if (i + kAhead < count) {
      const uint64_t ahead = hashOf(at, records[i + kAhead]);
      hashes[i % kAhead] = ahead;
      __builtin_prefetch(&table[ahead & mask]);
    }
    const uint32_t tag = static_cast<uint32_t>(hash >> 32);
    bool duplicate = false;
    size_t slot = hash & mask;
    for (; table[slot].index != kEmpty; slot = (slot + 1) & mask) {
      if (table[slot].tag == tag && sameRecord(at, records[table[slot].index], r)) {
        duplicate = true;
        break;
      }
    }
    if (duplicate) continue;
    records[kept] = r;
    table[slot] = Slot{tag, static_cast<uint32_t>(kept)};
    ++kept;
  }
  records.resize(kept);
}

uint16_t firstCategory(const CategoryIds& ids) { return ids.empty() ? 0 : ids[0]; }

// The bytes of one line. Numbers are written straight into it, with no
// copy through a buffer of their own; it only grows.
class LineBuffer {
 public:
  LineBuffer() : m_bytes(256) {}
  void clear() { m_size = 0; }
  void push(char c) {
    *room(1) = c;
    ++m_size;
  }
  void append(std::string_view text) {
    if (text.empty()) return;
    std::memcpy(room(text.size()), text.data(), text.size());
    m_size += text.size();
  }
  void appendFixed(double value, char decimal) {
    char* begin = room(kFixedBufferBytes);
    char* end = writeFixed(begin, value, kPrecision);
    if (decimal != '.')
      if (char* dot = static_cast<char*>(std::memchr(begin, '.', static_cast<size_t>(end - begin)))) *dot = decimal;
    m_size = static_cast<size_t>(end - m_bytes.data());
  }
  void appendUnsigned(uint32_t value) {
    char* begin = room(10);
    m_size = static_cast<size_t>(std::to_chars(begin, begin + 10, value).ptr - m_bytes.data());
  }
  std::string_view view() const { return {m_bytes.data(), m_size}; }

 private:
  // Room for n more bytes at the end.
  char* room(size_t n) {
    if (m_bytes.size() - m_size < n) m_bytes.resize(std::max(m_bytes.size() * 2, m_size + n));
    return m_bytes.data() + m_size;
  }

  std::vector<char> m_bytes;
  size_t m_size = 0;
};

class TxtLineWriter {
 public:
  TxtLineWriter(BlockId layout, const Coordinates& at, Sink& sink, const TxtWriteSettings& settings,
                TableCategories& categories)
      : m_layout(layout),
        m_at(at),
        m_sink(sink),
        m_settings(settings),
        m_categories(categories),
        m_ws(settings.delimiter == kDelimiterWs),
        m_delimiter(delimiterCharacter(settings.delimiter)),
        m_converter(settings.codePage) {
    for (char c : settings.layout) m_columns.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }

  void write(const Record& r) {
    LineBuffer& l = m_line;
    l.clear();
    for (char column : m_columns) {
      switch (column) {
        case '#': appendId(r); break;
        case 'X': case 'E': l.appendFixed(m_at.x(r), m_settings.decimal); break;
        case 'Y': case 'N': l.appendFixed(m_at.y(r), m_settings.decimal); break;
        case 'Z': l.appendFixed(m_at.z(r), m_settings.decimal); break;
        case 'K': appendCategory(r.k); break;
        case 'P': appendCategory(r.p); break;
        case 'C': appendCategory(r.c()); break;
        case 'I': break;
        default: continue;  // no field, no delimiter
      }
      l.push(m_delimiter);
    }
    l.append("\r\n");
    m_sink.write(l.view());
  }

 private:
  bool splits(char c) const {
    return c == m_delimiter || c == '\r' || c == '\n' || (m_ws && (c == ' ' || c == '\t'));
  }

  void appendId(const Record& r) {
    if (!m_settings.alphaNumIds) {
      m_line.appendUnsigned(static_cast<uint32_t>(r.number));
      return;
    }
    m_id.clear();
    const std::string_view name = pointName(*pointAt(m_layout, r.index));
    if (name.empty()) {
      m_converter.appendFromUtf8(m_settings.pointIdPrefix, m_id);
      appendInt(m_id, static_cast<uint32_t>(r.number));
    } else {
      m_converter.appendFromUtf8(name, m_id);
    }
    const bool quote = (m_id.empty() && m_ws) || (!m_id.empty() && m_id.front() == '"') ||
                       std::any_of(m_id.begin(), m_id.end(), [&](char c) { return splits(c); });
    if (!quote) {
      m_line.append(m_id);
      return;
    }
    m_line.push('"');
    for (char c : m_id) {
      if (c == '"') m_line.push('"');
      m_line.push(c == '\r' || c == '\n' ? ' ' : c);
    }
    m_line.push('"');
  }

  void appendCategory(uint16_t id) {
    const std::string& name = categoryName(id);
    if (name.empty()) {
      if (m_ws) m_line.push('0');
      return;
    }
    m_line.append(name);
  }

  // The name in the output code page with the characters that would split
  // the column replaced; empty for no category or an id not in the list.
  const std::string& categoryName(uint16_t id) {
    auto it = m_names.find(id);
    if (it != m_names.end()) return it->second;
    std::string utf8, converted;
    if (id != 0 && m_categories.nameOf(id, utf8)) m_converter.appendFromUtf8(utf8, converted);
    for (char& c : converted)
      if (splits(c)) c = '_';
    return m_names.emplace(id, std::move(converted)).first->second;
  }

  const BlockId m_layout;
  const Coordinates& m_at;
  Sink& m_sink;
  const TxtWriteSettings& m_settings;
  TableCategories& m_categories;
  const bool m_ws;
  const char m_delimiter;
  platform::TextConverter m_converter;
  std::string m_columns;
  LineBuffer m_line;
  std::string m_id;
  std::unordered_map<uint16_t, std::string> m_names;
};

}  // namespace

void writeTxtLayout(BlockId layout, Sink& sink, const TxtWriteSettings& settings, TableCategories& categories,
                    Ui& ui) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);
  if (!isValidTxtLayout(settings.layout, false)) throw makeError(ErrorCode::InvalidFormatString);

  std::vector<Record> records;
  records.reserve(pointCount(layout));
  adviseHugePages(records.data(), records.capacity() * sizeof(Record));
  uint16_t polygonCategory = 0;
  walkLayout(
      layout, LayoutOffsets::Leave,
      [&](const MPolygon& polygon, uint32_t) { polygonCategory = firstCategory(categoryIds(polygon)); },
      [&](const WalkedPoint& p) {
        records.push_back(
            {static_cast<int32_t>(p.record.number), p.index, firstCategory(categoryIds(p.record)), polygonCategory});
      });

  // The layout does not change while it is written: the point pointers stay.
  const Coordinates at(layout);
  const ById byId{at};
  if (!std::is_sorted(records.begin(), records.end(), byId)) std::sort(records.begin(), records.end(), byId);
  dropExactDuplicates(at, records);

  TxtLineWriter writer(layout, at, sink, settings, categories);
  const uint32_t total = static_cast<uint32_t>(records.size());
  ui.beginPhase(100, total);
  for (uint32_t i = 0; i < total; ++i) {
    writer.write(records[i]);
    if (i % kProgressRecords == 0) ui.update(i);
  }
  ui.update(total);
  ui.endPhase();
}

void writeTxt(BlockId layout, Sink& sink, ConversionContext& context) {
  const TxtOptions& options = context.options.txt;
  TxtWriteSettings settings;
  settings.delimiter = options.outDelimiter;
  settings.decimal = options.outDecimal;
  settings.layout = options.outFormat;
  settings.alphaNumIds = options.inAlphaNumIds;
  settings.codePage = context.outputCodePage;
  settings.pointIdPrefix = context.pointIdPrefix;
  writeTxtLayout(layout, sink, settings, activeTableCategories(), context.ui);
}

}  // namespace vltrx
