// Writer of spreadsheet tables.
//
// Each point line is built in one reused string (numbers through to_chars,
// never the locale) and handed to the sink whole. Texts are converted to
// the output code page only when they hold non-ASCII characters, and
// category names are looked up once per id and run.
//
// Three things are written so that the reader gets back what was written:
// a line end inside a text is written as a blank (a quoted field cannot
// span lines, so the rest of the text would otherwise be read as a line of
// its own); quotes inside category names are doubled like those inside
// comments; an id text that holds the delimiter, a quote or (WS) a blank is
// quoted. With the WS delimiter, where a run of blanks is one delimiter, an
// empty text column is written as "" so that the columns after it keep
// their place.
#include "formats/CsvWriter.h"

#include "core/CError.h"
#include "core/DelimiterCodes.h"
#include "core/Layout.h"
#include "core/LayoutWalk.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "core/Numbers.h"
#include "core/Sink.h"
#include "formats/TableCategories.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "platform/CodePage.h"
#include "ui/Ui.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace vltrx {

namespace {

constexpr std::string_view kTitle = "Velmora CSV Version 2.1";
constexpr int kPrecision = 4;
// Points between two progress reports.
constexpr uint32_t kProgressPoints = 4096;

class CsvLineWriter {
 public:
  CsvLineWriter(Sink& sink, const CsvWriteSettings& settings, TableCategories& categories)
      : m_sink(sink),
        m_settings(settings),
        m_categories(categories),
        m_ws(settings.delimiter == kDelimiterWs),
        m_delimiter(delimiterCharacter(settings.delimiter)),
        m_converter(settings.codePage) {
    m_line.reserve(256);
  }

  void header(PreferredSystem system) {
    const std::string_view name = preferredSystemText(system);
    const char d = m_delimiter;
    std::string h;
    h.append(kTitle).append("\r\nSystem: ").append(name).append("\r\n\r\nPoint No.");
    for (char letter : name) h.append(1, d).append(1, letter);
    h.append(1, d).append("Point Categories").append(1, d).append("Point Comment").append(1, d);
    h.append("New Poly").append(1, d).append("Poly Categories").append(1, d).append("Poly Comment\r\n\r\n");
    m_sink.write(h);
  }

  void point(const MPoint& p, double x, double y, double z, const MPolygon* polygon) {
    std::string& l = m_line;
    l.clear();
    if (m_settings.alphaNumIds) {
      std::string_view name = pointName(p);
      m_idText.clear();
      if (name.empty()) {
        m_converter.appendFromUtf8(m_settings.pointIdPrefix, m_idText);
        appendInt(m_idText, p.number);
      } else {
        m_converter.appendFromUtf8(name, m_idText);
      }
      appendId(m_idText);
    } else {
      appendInt(l, static_cast<int32_t>(p.number));
    }
    const char d = m_delimiter;
    const char decimal = m_settings.decimal;
    l.push_back(d);
    appendFixed(l, x, kPrecision, decimal);
    l.push_back(d);
    appendFixed(l, y, kPrecision, decimal);
    l.push_back(d);
    appendFixed(l, z, kPrecision, decimal);
    l.push_back(d);
    appendCategories(categoryIds(p));
    l.push_back(d);
    appendComment(pointComment(p));
    if (polygon) {
      l.push_back(d);
      l.append(polygon->closed ? "closed" : "open");
      l.push_back(d);
      appendCategories(categoryIds(*polygon));
      l.push_back(d);
      appendComment(polygonComment(*polygon));
    }
    l.append("\r\n");
    m_sink.write(l);
  }

 private:
  // Appends converted text between quotes: quotes doubled, line ends blank.
  void appendQuoted(std::string_view converted) {
    for (char c : converted) {
      if (c == '"')
        m_line.append("\"\"");
      else if (c == '\r' || c == '\n')
        m_line.push_back(' ');
      else
        m_line.push_back(c);
    }
  }

  void appendId(std::string_view id) {
    bool quote = id.empty() && m_ws;
    for (char c : id) {
      if (c == m_delimiter || c == '"' || c == '\r' || c == '\n' || (m_ws && (c == ' ' || c == '\t'))) {
        quote = true;
        break;
      }
    }
    if (!quote) {
      m_line.append(id);
      return;
    }
    m_line.push_back('"');
    appendQuoted(id);
    m_line.push_back('"');
  }

  void appendEmpty() {
    if (m_ws) m_line.append("\"\"");
  }

  void appendComment(std::string_view comment) {
    if (comment.empty()) {
      appendEmpty();
      return;
    }
    m_text.clear();
    m_converter.appendFromUtf8(comment, m_text);
    m_line.push_back('"');
    appendQuoted(m_text);
    m_line.push_back('"');
  }

  void appendCategories(const CategoryIds& ids) {
    if (ids.empty()) {
      appendEmpty();
      return;
    }
    m_line.push_back('"');
    bool firstName = true;
    for (uint16_t id : ids) {
      if (!firstName) m_line.append(", ");
      firstName = false;
      appendQuoted(categoryName(id));
    }
    m_line.push_back('"');
  }

  // The name of a category in the output code page; empty for an id that
  // is not in the category list.
  const std::string& categoryName(uint16_t id) {
    auto it = m_names.find(id);
    if (it != m_names.end()) return it->second;
    std::string utf8, converted;
    if (m_categories.nameOf(id, utf8)) m_converter.appendFromUtf8(utf8, converted);
    return m_names.emplace(id, std::move(converted)).first->second;
  }

  Sink& m_sink;
  const CsvWriteSettings& m_settings;
  TableCategories& m_categories;
  const bool m_ws;
  const char m_delimiter;
  platform::TextConverter m_converter;
  std::string m_line;
  std::string m_text;
  std::string m_idText;
  std::unordered_map<uint16_t, std::string> m_names;
};

}  // namespace

void writeCsvLayout(BlockId layout, Sink& sink, const CsvWriteSettings& settings, TableCategories& categories,
                    Ui& ui) {
  if (!mFolder(layout)) throw makeError(ErrorCode::InvalidBlockId);
  const PreferredSystem system = preferredSystem();
  const bool swapColumns = system != PreferredSystem::Xyz;

  CsvLineWriter writer(sink, settings, categories);
  writer.header(system);

  const uint32_t total = pointCount(layout);
  ui.beginPhase(100, total);
  walkLayout(
      layout, LayoutOffsets::Apply, [](const MPolygon&, uint32_t) {},
      [&](const WalkedPoint& p) {
        writer.point(p.record, swapColumns ? p.y : p.x, swapColumns ? p.x : p.y, p.z,
                     p.indexInPolygon == 0 ? &p.polygon : nullptr);
        if (p.index % kProgressPoints == 0) ui.update(p.index);
      });
  ui.update(total);
  ui.endPhase();
}

void writeCsv(BlockId layout, Sink& sink, ConversionContext& context) {
  const CsvOptions& options = context.options.csv;
  CsvWriteSettings settings;
  settings.delimiter = options.outDelimiter;
  settings.decimal = options.outDecimal;
  settings.alphaNumIds = options.inAlphaNumIds;
  settings.codePage = context.outputCodePage;
  settings.pointIdPrefix = context.pointIdPrefix;
  writeCsvLayout(layout, sink, settings, activeTableCategories(), context.ui);
}

}  // namespace vltrx
