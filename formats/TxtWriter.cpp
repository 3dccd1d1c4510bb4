// Writer of text tables with a user field layout.
//
// The points are collected as small records (coordinates with the layout's
// offsets added, number, the first category of the point and of its
// polygon). The result is that of sorting by position, dropping each record
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
#include "core/Numbers.h"
#include "core/Sink.h"
#include "formats/TableCategories.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "framework/TableOptions.h"
#include "platform/CodePage.h"
#include "ui/Ui.h"

#include <algorithm>
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

struct Record {
  double x, y, z;
  int32_t number;
  uint32_t index;  // in the layout's point array
  uint16_t k, p, c;
};

// Ids first; records of the same id by position, then categories.
bool lessDouble(double a, double b) { return a < b || (std::isnan(b) && !std::isnan(a)); }
bool byId(const Record& a, const Record& b) {
  if (a.number != b.number) return a.number < b.number;
  if (a.x != b.x) return lessDouble(a.x, b.x);
  if (a.y != b.y) return lessDouble(a.y, b.y);
  if (a.z != b.z) return lessDouble(a.z, b.z);
  if (a.k != b.k) return a.k < b.k;
  if (a.p != b.p) return a.p < b.p;
  return a.c < b.c;
}

bool sameRecord(const Record& a, const Record& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.k == b.k && a.p == b.p && a.c == b.c;
}

// Bits of a coordinate for hashing: 0.0 and -0.0 are equal, so hash alike.
uint64_t bitsOf(double v) {
  if (v == 0) v = 0;
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

uint64_t hashOf(const Record& r) {
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (uint64_t part : {bitsOf(r.x), bitsOf(r.y), bitsOf(r.z),
                        uint64_t(r.k) | uint64_t(r.p) << 16 | uint64_t(r.c) << 32}) {
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
// the one with the smallest id), in order.
void dropExactDuplicates(std::vector<Record>& records) {
  size_t slots = 16;
  while (slots < records.size() * 2) slots *= 2;
  constexpr uint32_t kEmpty = UINT32_MAX;
  std::vector<uint32_t> table;
  table.reserve(slots);
  adviseHugePages(table.data(), slots * sizeof(uint32_t));
  table.assign(slots, kEmpty);
  size_t kept = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    const Record r = records[i];
    bool duplicate = false;
    size_t slot = hashOf(r) & (slots - 1);
    for (; table[slot] != kEmpty; slot = (slot + 1) & (slots - 1)) {
      if (sameRecord(records[table[slot]], r)) {
        duplicate = true;
        break;
      }
    }
    if (duplicate) continue;
    records[kept] = r;
    table[slot] = static_cast<uint32_t>(kept);
    ++kept;
  }
  records.resize(kept);
}

uint16_t firstCategory(const CategoryIds& ids) { return ids.empty() ? 0 : ids[0]; }

class TxtLineWriter {
 public:
  TxtLineWriter(BlockId layout, Sink& sink, const TxtWriteSettings& settings, TableCategories& categories)
      : m_layout(layout),
        m_sink(sink),
        m_settings(settings),
        m_categories(categories),
        m_ws(settings.delimiter == kDelimiterWs),
        m_delimiter(delimiterCharacter(settings.delimiter)),
        m_converter(settings.codePage) {
    for (char c : settings.layout) m_columns.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    m_line.reserve(256);
  }

  void write(const Record& r) {
    std::string& l = m_line;
    l.clear();
    for (char column : m_columns) {
      switch (column) {
        case '#': appendId(r); break;
        case 'X': case 'E': appendFixed(l, r.x, kPrecision, m_settings.decimal); break;
        case 'Y': case 'N': appendFixed(l, r.y, kPrecision, m_settings.decimal); break;
        case 'Z': appendFixed(l, r.z, kPrecision, m_settings.decimal); break;
        case 'K': appendCategory(r.k); break;
        case 'P': appendCategory(r.p); break;
        case 'C': appendCategory(r.c); break;
        case 'I': break;
        default: continue;  // no field, no delimiter
      }
      l.push_back(m_delimiter);
    }
    l.append("\r\n");
    m_sink.write(l);
  }

 private:
  void appendConverted(std::string& out, std::string_view utf8) {
    if (m_converter.passesAsIs(utf8)) {
      out.append(utf8);
      return;
    }
    m_converter.fromUtf8(utf8, m_converted);
    out.append(m_converted);
  }

  bool splits(char c) const {
    return c == m_delimiter || c == '\r' || c == '\n' || (m_ws && (c == ' ' || c == '\t'));
  }

  void appendId(const Record& r) {
    if (!m_settings.alphaNumIds) {
      appendInt(m_line, static_cast<uint32_t>(r.number));
      return;
    }
    m_id.clear();
    const std::string_view name = pointName(*pointAt(m_layout, r.index));
    if (name.empty()) {
      appendConverted(m_id, m_settings.pointIdPrefix);
      appendInt(m_id, static_cast<uint32_t>(r.number));
    } else {
      appendConverted(m_id, name);
    }
    const bool quote = (m_id.empty() && m_ws) || (!m_id.empty() && m_id.front() == '"') ||
                       std::any_of(m_id.begin(), m_id.end(), [&](char c) { return splits(c); });
    if (!quote) {
      m_line.append(m_id);
      return;
    }
    m_line.push_back('"');
    for (char c : m_id) {
      if (c == '"') m_line.push_back('"');
      m_line.push_back(c == '\r' || c == '\n' ? ' ' : c);
    }
    m_line.push_back('"');
  }

  void appendCategory(uint16_t id) {
    const std::string& name = categoryName(id);
    if (name.empty()) {
      if (m_ws) m_line.push_back('0');
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
    if (id != 0 && m_categories.nameOf(id, utf8)) appendConverted(converted, utf8);
    for (char& c : converted)
      if (splits(c)) c = '_';
    return m_names.emplace(id, std::move(converted)).first->second;
  }

  const BlockId m_layout;
  Sink& m_sink;
  const TxtWriteSettings& m_settings;
  TableCategories& m_categories;
  const bool m_ws;
  const char m_delimiter;
  platform::TextConverter m_converter;
  std::string m_columns;
  std::string m_line;
  std::string m_id;
  std::string m_converted;
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
      layout, LayoutOffsets::Apply,
      [&](const MPolygon& polygon, uint32_t) { polygonCategory = firstCategory(categoryIds(polygon)); },
      [&](const WalkedPoint& p) {
        const uint16_t k = firstCategory(categoryIds(p.record));
        records.push_back({p.x, p.y, p.z, static_cast<int32_t>(p.record.number), p.index, k, polygonCategory,
                           k != 0 ? k : polygonCategory});
      });

  if (!std::is_sorted(records.begin(), records.end(), byId)) std::sort(records.begin(), records.end(), byId);
  dropExactDuplicates(records);

  TxtLineWriter writer(layout, sink, settings, categories);
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
