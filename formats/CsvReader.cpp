// Reader of spreadsheet tables.
//
// Every line is split into the nine fields of the line record (point id,
// three coordinates, point categories, point comment, new-polygon marker,
// polygon categories, polygon comment). A line is a data line when fields 1
// and 2 start with a number; all others (title, column heads, notes) are
// skipped. Consecutive data lines are grouped into staged polygons and the
// staged plan is committed to one new layout.
//
// Cost per data line: one tokenizer pass over views into the read buffer,
// three from_chars conversions, and a staged point without heap memory
// unless the line carries a comment or categories. The layout builder
// commits finished polygons in batches; the category look-up caches the ids
// of each category field's bytes.
#include "formats/CsvReader.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutBuilder.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "core/Staging.h"
#include "formats/CategoryLookup.h"
#include "formats/TableCategories.h"
#include "formats/TablePointIds.h"
#include "formats/TableTokenizer.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "platform/CodePage.h"
#include "ui/LineProgress.h"
#include "ui/Ui.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace vltrx {

namespace {

// Fields of the line record.
enum Field : size_t {
  kId = 0,
  kFirst = 1,
  kSecond = 2,
  kHeight = 3,
  kPointCategories = 4,
  kPointComment = 5,
  kNewPolygon = 6,
  kPolygonCategories = 7,
  kPolygonComment = 8,
  kFieldCount = 9,
};

// First and last point of a polygon closer than this in x, y and z are one.
constexpr double kClosureTolerance = 5e-5;
// Lines between two progress reports (the view throttles to 100 ms itself).
bool startsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool samePosition(const StagedPoint& a, const StagedPoint& b) {
  return std::fabs(a.x - b.x) <= kClosureTolerance && std::fabs(a.y - b.y) <= kClosureTolerance &&
         std::fabs(a.z - b.z) <= kClosureTolerance;
}

// A finished polygon whose last point repeats its first is closed and loses
// the repeated point; a polygon of two points or fewer is never closed.
void finishGroup(StagedPolygon& group) {
  if (group.points.size() >= 2 && samePosition(group.points.front(), group.points.back())) {
    group.points.pop_back();
    group.closed = true;
  }
  if (group.points.size() <= 2) group.closed = false;
}

// The "System:" line names the coordinate order. With the WS delimiter the
// name stands in the next field.
PreferredSystem systemOf(std::string_view field0, std::string_view field1) {
  std::string_view rest = field0.substr(7);
  if (rest.find_first_not_of(" \t") == std::string_view::npos) return preferredSystemFromText(field1);
  return preferredSystemFromText(field0);
}

class CsvLineReader {
 public:
  CsvLineReader(LineReader& lines, LayoutBuilder& builder, const CsvReadSettings& settings,
                TableCategories& categories, Ui& ui)
      : m_lines(lines),
        m_builder(builder),
        m_settings(settings),
        m_categories(categories, settings.codePage),
        m_text(settings.codePage),
        m_ui(ui),
        m_tokenizer(settings.delimiter),
        m_ids("CSV", settings.pidReduce, settings.alphaNumIds) {}

  void run() {
    setPreferredSystem(PreferredSystem::Xyz);
    readLinesWithProgress(m_lines, m_ui, [this](std::string_view line) { readLine(line); });

    if (m_builder.fractionalPoints() == 0) m_ui.warningDialog(105, text(105));
    // The last polygon is handed over as it stands.
    m_builder.finish(m_settings.acceptDuplicateIds);
    m_ui.endPhase();
  }

 private:
  void readLine(std::string_view line) {
    std::array<std::string_view, kFieldCount> f;
    m_tokenizer.split(line, f);

    if (startsWith(f[kId], "System:")) {
      // Only before the first point; later ones are ignored.
      if (!m_pointRead) {
        m_system = systemOf(f[kId], f[kFirst]);
        setPreferredSystem(m_system);
      }
      return;
    }

    double first = 0, second = 0, height = 0;
    const char decimal = m_settings.decimal;
    if (parseLeadingDouble(f[kFirst], first, decimal) == 0 || parseLeadingDouble(f[kSecond], second, decimal) == 0)
      return;
    parseLeadingDouble(f[kHeight], height, decimal);
    m_pointRead = true;

    double x = first, y = second;
    if (m_system != PreferredSystem::Xyz) std::swap(x, y);
    // A number beyond the range of a double ("1e400") is no coordinate.
    for (auto [v, name] : {std::pair{x, "x"}, {y, "y"}, {height, "z"}})
      if (!std::isfinite(v)) throw makeLineError(ErrorCode::InvalidParameterValue, name, m_lines.lineNumber());

    std::string_view idText;
    if (m_ids.needsText()) {
      m_text.toUtf8(f[kId], m_idText);
      idText = m_idText;
    }
    const TablePointIds::Result id = m_ids.assign(f[kId], idText, m_ui);

    startGroupIfNeeded(f);

    StagedPoint& point = m_builder.addPoint(x, y, height);
    point.sourceNumber = static_cast<int32_t>(id.number);
    if (id.keepName) point.name = idText;
    if (!f[kPointCategories].empty()) m_categories.idsOfNames(f[kPointCategories], point.categories);
    if (id.idAsComment)
      point.comment = idText;
    else if (!f[kPointComment].empty())
      m_text.toUtf8(f[kPointComment], point.comment);
  }

  // Grouping by the new-polygon marker: until the first marker every point
  // is a group of its own; after it, a line without a marker continues the
  // current polygon.
  void startGroupIfNeeded(const std::array<std::string_view, kFieldCount>& f) {
    const std::string_view marker = f[kNewPolygon];
    if (m_builder.hasPolygon() && marker.empty() && m_polygonMode) return;
    if (m_builder.hasPolygon()) finishGroup(m_builder.polygon());
    StagedPolygon& group = m_builder.startPolygon();
    if (!marker.empty()) {
      m_polygonMode = true;
      group.closed = marker == "closed" || marker == "#";
      if (!f[kPolygonCategories].empty()) m_categories.idsOfNames(f[kPolygonCategories], group.categories);
      if (!f[kPolygonComment].empty()) m_text.toUtf8(f[kPolygonComment], group.comment);
    }
  }

  LineReader& m_lines;
  LayoutBuilder& m_builder;
  const CsvReadSettings& m_settings;
  CategoryLookup m_categories;
  platform::TextConverter m_text;
  Ui& m_ui;
  FieldTokenizer m_tokenizer;
  TablePointIds m_ids;

  PreferredSystem m_system = PreferredSystem::Xyz;
  bool m_pointRead = false;
  bool m_polygonMode = false;
  std::string m_idText;
};

}  // namespace

BlockId readCsvLines(LineReader& reader, BlockId parent, std::string_view layoutName,
                     const CsvReadSettings& settings, TableCategories& categories, Ui& ui) {
  LayoutBuilder builder(parent, layoutName);
  CsvLineReader(reader, builder, settings, categories, ui).run();
  return builder.layout();
}

BlockId readCsvFile(const std::filesystem::path& file, BlockId parent, const CsvReadSettings& settings,
                    TableCategories& categories, Ui& ui) {
  LineReader reader(file);
  return readCsvLines(reader, parent, file.stem().string(), settings, categories, ui);
}

void readCsv(const std::filesystem::path& file, BlockId parent, ConversionContext& context) {
  const CsvOptions& options = context.options.csv;
  CsvReadSettings settings;
  settings.delimiter = options.inDelimiter;
  settings.decimal = options.inDecimal;
  settings.pidReduce = options.inPidReduce;
  settings.alphaNumIds = options.inAlphaNumIds;
  settings.codePage = context.inputCodePage;
  settings.acceptDuplicateIds = context.acceptDuplicateIds;
  readCsvFile(file, parent, settings, activeTableCategories(), context.ui);
}

}  // namespace vltrx
