// Writer of total-station GSI files.
//
// Every point becomes one GSI-16 block:
//   *11bbbb+iiiiiiiiiiiiiiii 71....+cccccccccccccccc 81..10+xxxxxxxxxxxxxxxx
//   82..10+yyyyyyyyyyyyyyyy 83..10+zzzzzzzzzzzzzzzz CR LF
// (one line; b = block number modulo 10000, i = point id, c = comment, x y z
// in millimetres, unit digit 0). Ids and comments fill their 16 data
// characters from the right, padded with "0", which the reader's text rule
// removes again; a longer id text keeps its last 16 characters, a longer
// comment its first 16. A line end inside a text is written as a blank so
// that the block stays one line.
//
// Points closer than 0.0001 m in x, y and z to a neighbour in the sort by
// position are written once, with the smaller id; the rest are ordered by
// id.
#include "formats/GsiWriter.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/NumberFormat.h"
#include "core/Numbers.h"
#include "core/Sink.h"
#include "framework/AllFormatOptions.h"
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

constexpr double kNearTolerance = 0.0001;
constexpr size_t kDataChars = 16;
constexpr uint32_t kBlockModulus = 10000;
constexpr uint32_t kUtf8 = 65001;
// Millimetres below this print as at most 16 digits (the next double
// below 1e16 is 9999999999999998).
constexpr double kMillimetreLimit = 1e16;
// Records between two progress reports.
constexpr uint32_t kProgressRecords = 4096;

struct Record {
  double x, y, z;
  int32_t number;
  uint32_t index;  // in the layout's point array
};

// NaN after every number, so that the sort stays well-defined.
bool lessDouble(double a, double b) { return a < b || (std::isnan(b) && !std::isnan(a)); }
bool byPosition(const Record& a, const Record& b) {
  if (a.x != b.x) return lessDouble(a.x, b.x);
  if (a.y != b.y) return lessDouble(a.y, b.y);
  return lessDouble(a.z, b.z);
}

bool near(const Record& a, const Record& b) {
  return std::fabs(a.x - b.x) < kNearTolerance && std::fabs(a.y - b.y) < kNearTolerance &&
         std::fabs(a.z - b.z) < kNearTolerance;
}

// One pass over neighbours in position order: of two near points the one
// with the larger id goes, and the survivor is compared with the next.
void dropNearDuplicates(std::vector<Record>& records) {
  if (records.empty()) return;
  size_t kept = 0;
  for (size_t i = 1; i < records.size(); ++i) {
    if (near(records[kept], records[i])) {
      if (records[i].number < records[kept].number) records[kept] = records[i];
    } else {
      records[++kept] = records[i];
    }
  }
  records.resize(kept + 1);
}

class GsiLineWriter {
 public:
  GsiLineWriter(BlockId layout, Sink& sink, const GsiWriteSettings& settings)
      : m_layout(layout), m_sink(sink), m_settings(settings), m_converter(settings.codePage) {
    m_line.reserve(160);
  }

  void write(const Record& r, uint32_t block) {
    std::string& l = m_line;
    l.clear();
    l.append("*11");
    appendInt(l, block % kBlockModulus, NumberField{.width = 4, .zeroPad = true});
    l.push_back('+');
    const MPoint& point = *pointAt(m_layout, r.index);
    if (m_settings.alphaNumIds) {
      m_text.clear();
      const std::string_view name = pointName(point);
      if (name.empty()) {
        m_converter.appendFromUtf8(m_settings.pointIdPrefix, m_text);
        appendInt(m_text, static_cast<uint32_t>(r.number));
      } else {
        m_converter.appendFromUtf8(name, m_text);
      }
      size_t start = m_text.size() > kDataChars ? m_text.size() - kDataChars : 0;
      while (start < m_text.size() && continuationByte(m_text[start])) ++start;
      appendPadded(std::string_view(m_text).substr(start));
    } else {
      appendInt(l, r.number, NumberField{.width = 16, .zeroPad = true});
    }
    l.append(" 71....+");
    m_text.clear();
    m_converter.appendFromUtf8(pointComment(point), m_text);
    size_t end = std::min(m_text.size(), kDataChars);
    if (end < m_text.size())
      while (end > 0 && continuationByte(m_text[end])) --end;
    appendPadded(std::string_view(m_text).substr(0, end));
    appendCoordinate(" 81..10", r.x, "x");
    appendCoordinate(" 82..10", r.y, "y");
    appendCoordinate(" 83..10", r.z, "z");
    l.append(" \r\n");
    m_sink.write(l);
  }

 private:
  // Texts are cut by bytes, as the words are fixed in bytes; in UTF-8 never
  // inside a character.
  bool continuationByte(char c) const {
    return m_converter.codePage() == kUtf8 && (static_cast<unsigned char>(c) & 0xC0) == 0x80;
  }

  // Right-aligned in the 16 data characters, "0" on the left.
  void appendPadded(std::string_view text) {
    m_line.append(kDataChars - text.size(), '0');
    for (char c : text) m_line.push_back(c == '\r' || c == '\n' ? ' ' : c);
  }

  void appendCoordinate(std::string_view head, double metres, const char* name) {
    const double mm = metres * 1000;
    if (!(std::fabs(mm) < kMillimetreLimit)) throw makeError(ErrorCode::InvalidParameterValue, name);
    m_line.append(head);
    appendFixed(m_line, mm, 0, NumberField{.width = 17, .plus = true, .zeroPad = true});
  }

  const BlockId m_layout;
  Sink& m_sink;
  const GsiWriteSettings& m_settings;
  platform::TextConverter m_converter;
  std::string m_line;
  std::string m_text;
};

}  // namespace

void writeGsiLayout(BlockId layout, Sink& sink, const GsiWriteSettings& settings, Ui& ui) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);

  std::vector<Record> records;
  records.reserve(pointCount(layout));
  walkLayout(layout, LayoutOffsets::Apply, [](const MPolygon&, uint32_t) {}, [&](const WalkedPoint& p) {
    records.push_back({p.x, p.y, p.z, static_cast<int32_t>(p.record.number), p.index});
  });
  std::sort(records.begin(), records.end(), byPosition);
  dropNearDuplicates(records);
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return a.number < b.number; });

  GsiLineWriter writer(layout, sink, settings);
  const uint32_t total = static_cast<uint32_t>(records.size());
  ui.beginPhase(100, total);
  for (uint32_t i = 0; i < total; ++i) {
    writer.write(records[i], i + 1);
    if (i % kProgressRecords == 0) ui.update(i);
  }
  ui.update(total);
  ui.endPhase();
}

void writeGsi(BlockId layout, Sink& sink, ConversionContext& context) {
  GsiWriteSettings settings;
  settings.alphaNumIds = context.options.gsi.inAlphaNumIds;
  settings.codePage = context.outputCodePage;
  settings.pointIdPrefix = context.pointIdPrefix;
  writeGsiLayout(layout, sink, settings, context.ui);
}

}  // namespace vltrx
