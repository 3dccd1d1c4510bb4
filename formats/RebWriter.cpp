// Writer of REB files.
//
// Record layouts (columns from 1, every record ends with CR LF):
//   DA30 "30" KZ(3-4) blanks(5-12) id(13-20) comment(21-50) x(51-60)
//        y(61-70) z(71-80)
//   DA45 "45" id(3-9) blank x(11-20) y(21-30) z(31-40)
//   DA49 "49" line(3-5) blanks(6-7) KZ(8-9) blank counter(11-12), then up
//        to seven ids of eight columns from column 13
// Coordinates are millimetres, "%10.0f", cut to their last ten characters.
//
// Every field keeps its columns, because readers of the format (ours
// included) take the fields by column: a comment longer than 30 characters
// is cut to 30 and a line end in it becomes a blank, and a plain point
// number wider than the id field keeps its last digits, as alphanumeric ids
// and coordinates do. A line number above 999 is printed wider ("%3u"); the
// reader follows that shift.
#include "formats/RebWriter.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/NumberFormat.h"
#include "core/Numbers.h"
#include "core/Sink.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "framework/SurveyOptions.h"
#include "platform/CodePage.h"
#include "ui/Ui.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vltrx {

namespace {

constexpr size_t kDa30IdWidth = 8;
constexpr size_t kDa45IdWidth = 7;
constexpr size_t kDa49IdWidth = 8;
constexpr size_t kCommentWidth = 30;
constexpr size_t kCoordinateWidth = 10;
constexpr uint32_t kIdsPerLineRecord = 7;
constexpr uint32_t kMaxRecordCounter = 99;
constexpr uint32_t kCodePageUtf8 = 65001;
// Items between two progress reports (the view throttles to 100 ms itself).
constexpr uint32_t kProgressItems = 4096;

void padLeft(std::string& out, std::string_view text, size_t width) {
  if (text.size() < width) out.append(width - text.size(), ' ');
  out.append(text);
}

// The last width characters of text, padded on the left to width.
void appendLast(std::string& out, std::string_view text, size_t width) {
  if (text.size() > width) text = text.substr(text.size() - width);
  padLeft(out, text, width);
}

class RebRecordWriter {
 public:
  RebRecordWriter(BlockId layout, Sink& sink, const RebWriteSettings& settings, Ui& ui)
      : m_layout(layout), m_sink(sink), m_settings(settings), m_ui(ui), m_converter(settings.codePage) {
    m_line.reserve(128);
  }

  void run() {
    const uint32_t kinds = m_settings.kinds;
    const uint32_t pointTotal = pointCount(m_layout);
    const uint32_t polygonTotal = polygonCount(m_layout);
    uint64_t total = 0;
    if (kinds & kRebDa30) total += pointTotal;
    if (kinds & kRebDa45) total += pointTotal;
    if (kinds & kRebDa49) total += polygonTotal;
    m_total = static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
    m_ui.beginPhase(100, m_total);
    if (kinds & kRebDa30) writePoints(true);
    if (kinds & kRebDa45) writePoints(false);
    if (kinds & kRebDa49) writeLines(polygonTotal);
    m_ui.update(m_total);
    m_ui.endPhase();
  }

 private:
  void progress() {
    if (++m_done % kProgressItems == 0) m_ui.update(m_done);
  }

  void writePoints(bool da30) {
    walkLayout(
        m_layout, LayoutOffsets::Apply, [](const MPolygon&, uint32_t) {},
        [&](const WalkedPoint& p) {
          std::string& l = m_line;
          l.clear();
          if (da30) {
            l.append("30");
            appendInt(l, m_settings.kz, NumberField{.width = 2});
            l.append(8, ' ');
            appendId(p.record, p.index, kDa30IdWidth);
            appendComment(pointComment(p.record));
          } else {
            l.append("45");
            appendId(p.record, p.index, kDa45IdWidth);
            l.push_back(' ');
          }
          appendCoordinate(p.x);
          appendCoordinate(p.y);
          appendCoordinate(p.z);
          l.append("\r\n");
          m_sink.write(l);
          progress();
        });
  }

  // One line per polygon of two points or more, numbered by the polygon's
  // place in the layout (single points count). A line of more than 99
  // records goes on under a spare number past the polygon count, its
  // counter starting at 0 again.
  void writeLines(uint32_t polygonTotal) {
    uint32_t spare = polygonTotal + 1;
    const MPoint* records = points(m_layout);
    uint32_t first = 0;
    for (uint32_t i = 0; i < polygonTotal; ++i) {
      const MPolygon* polygon = polygonView(m_layout, i);
      if (!polygon) break;
      const uint32_t count = polygon->pointCount > 0 ? static_cast<uint32_t>(polygon->pointCount) : 0;
      const uint32_t start = first;
      first += count;
      progress();
      if (count < 2) continue;
      m_ids.clear();
      for (uint32_t k = 0; k < count; ++k) m_ids.push_back(start + k);
      if (polygon->closed) m_ids.push_back(start);

      uint32_t line = i + 1;
      uint32_t counter = 1;
      for (size_t k = 0; k < m_ids.size(); k += kIdsPerLineRecord) {
        if (counter > kMaxRecordCounter) {
          line = spare++;
          counter = 0;
        }
        std::string& l = m_line;
        l.clear();
        l.append("49");
        appendInt(l, line, NumberField{.width = 3});
        l.append("  ");
        appendInt(l, m_settings.kz, NumberField{.width = 2});
        l.push_back(' ');
        appendInt(l, counter, NumberField{.width = 2});
        const size_t end = std::min(m_ids.size(), k + kIdsPerLineRecord);
        for (size_t n = k; n < end; ++n) appendId(records[m_ids[n]], m_ids[n], kDa49IdWidth);
        l.append("\r\n");
        m_sink.write(l);
        ++counter;
      }
    }
  }

  // The id field: the number right-aligned, or the id text (prefix and
  // number when the point has none) padded on the left or cut to its last
  // width characters. A cut text stays the point's id for the later
  // sections, so DA49 names a point as the last section before it did.
  void appendId(const MPoint& point, uint32_t index, size_t width) {
    if (!m_settings.alphaNumIds) {
      m_number.clear();
      appendInt(m_number, static_cast<int32_t>(point.number));
      appendLast(m_line, m_number, width);
      return;
    }
    auto cut = m_cutIds.find(index);
    if (cut != m_cutIds.end()) {
      appendLast(m_line, cut->second, width);
      if (cut->second.size() > width) cut->second.erase(0, cut->second.size() - width);
      return;
    }
    m_idText.clear();
    const std::string_view name = pointName(point);
    if (name.empty()) {
      m_converter.appendFromUtf8(m_settings.pointIdPrefix, m_idText);
      appendInt(m_idText, point.number);
    } else {
      m_converter.appendFromUtf8(name, m_idText);
    }
    appendLast(m_line, m_idText, width);
    if (m_idText.size() > width) m_cutIds.emplace(index, m_idText.substr(m_idText.size() - width));
  }

  void appendComment(std::string_view comment) {
    m_text.clear();
    m_converter.appendFromUtf8(comment, m_text);
    if (m_text.size() > kCommentWidth) {
      size_t end = kCommentWidth;
      // Never cut a UTF-8 character in two.
      if (m_settings.codePage == kCodePageUtf8)
        while (end > 0 && (static_cast<unsigned char>(m_text[end]) & 0xC0) == 0x80) --end;
      m_text.resize(end);
    }
    for (char& c : m_text)
      if (c == '\r' || c == '\n') c = ' ';
    padLeft(m_line, m_text, kCommentWidth);
  }

  // "%10.0f" of the millimetres, its last ten characters. Half millimetres
  // round away from zero (1.2345 m is written 1235), as the format's own
  // field programs do.
  void appendCoordinate(double metres) {
    const double mm = std::round(metres * 1000.0);
    m_number.clear();
    appendFixed(m_number, mm == 0 ? 0.0 : mm, 0, NumberField{.width = static_cast<int>(kCoordinateWidth)});
    m_line.append(std::string_view(m_number).substr(m_number.size() - kCoordinateWidth));
  }

  BlockId m_layout;
  Sink& m_sink;
  const RebWriteSettings& m_settings;
  Ui& m_ui;
  platform::TextConverter m_converter;
  uint32_t m_total = 0;
  uint32_t m_done = 0;
  std::string m_line;
  std::string m_number;
  std::string m_idText;
  std::string m_text;
  std::vector<uint32_t> m_ids;
  // Points whose id text was cut, by index: only long ids are kept.
  std::unordered_map<uint32_t, std::string> m_cutIds;
};

}  // namespace

void writeRebLayout(BlockId layout, Sink& sink, const RebWriteSettings& settings, Ui& ui) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);
  RebRecordWriter(layout, sink, settings, ui).run();
}

void writeReb(BlockId layout, Sink& sink, ConversionContext& context) {
  const RebOptions& options = context.options.reb;
  RebWriteSettings settings;
  // No record type chosen writes what the option's default does.
  settings.kinds = options.outTypes & (kRebDa30 | kRebDa45 | kRebDa49);
  if (settings.kinds == 0) settings.kinds = kRebDa30;
  settings.kz = options.outKz;
  settings.alphaNumIds = options.inAlphaNumIds;
  settings.codePage = context.outputCodePage;
  settings.pointIdPrefix = context.pointIdPrefix;
  writeRebLayout(layout, sink, settings, context.ui);
}

}  // namespace vltrx
