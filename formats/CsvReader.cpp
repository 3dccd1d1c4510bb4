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
// unless the line carries a comment or categories. Category fields repeat a
// lot, so their ids are cached by the field's bytes.
//
// Finished polygons are committed in batches of about 16 Ki points, so the
// staged copy never holds more than one batch besides the store. Measured
// on a 1 M point file (42.5 MB, 78.7 MB in the store): staged whole and
// committed once, the read peaks at 268 MB and takes 1.1 s of CPU; in
// batches it peaks at 85 MB and takes 0.6 s (fewer fresh pages to fault in).
#include "formats/CsvReader.h"

#include "app/FormatDrivers.h"
#include "core/CError.h"
#include "core/Layout.h"
#include "core/MeasurementTree.h"
#include "core/MeasurementTypes.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "core/Staging.h"
#include "formats/TableCategories.h"
#include "formats/TablePointIds.h"
#include "formats/TableTokenizer.h"
#include "framework/AllFormatOptions.h"
#include "ui/Ui.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <unordered_map>

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

// Fractional parts up to this are taken for whole numbers.
constexpr double kFractionLimit = 1e-7;
// First and last point of a polygon closer than this in x, y and z are one.
constexpr double kClosureTolerance = 5e-5;
// Staged points after which finished polygons are committed.
constexpr size_t kCommitBatchPoints = 16 * 1024;
// Lines between two progress reports (the view throttles to 100 ms itself).
constexpr uint32_t kProgressLines = 16 * 1024;
// Distinct category fields whose ids are remembered, and the longest field
// remembered (so the cache stays below 1 MB whatever the file holds).
constexpr size_t kCategoryCacheLimit = 4096;
constexpr size_t kCategoryCacheFieldMax = 256;

struct BytesHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool hasFraction(double v) { return std::fabs(v - std::trunc(v)) > kFractionLimit; }

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
  CsvLineReader(LineReader& lines, BlockId layout, const CsvReadSettings& settings, TableCategories& categories,
                Ui& ui)
      : m_lines(lines),
        m_layout(layout),
        m_settings(settings),
        m_categories(categories),
        m_ui(ui),
        m_tokenizer(settings.delimiter),
        m_ids("CSV", settings.pidReduce, settings.alphaNumIds) {}

  void run() {
    setPreferredSystem(PreferredSystem::Xyz);
    const uint64_t kib = m_lines.size() / 1024 + 1;
    const uint32_t total = static_cast<uint32_t>(std::min<uint64_t>(kib, UINT32_MAX));
    m_ui.beginPhase(100, total);

    std::string_view line;
    uint32_t sinceProgress = 0;
    while (m_lines.next(line)) {
      readLine(line);
      if (++sinceProgress == kProgressLines) {
        sinceProgress = 0;
        m_ui.update(static_cast<uint32_t>(std::min<uint64_t>(m_lines.position() / 1024, total)));
      }
    }
    m_ui.update(total);

    if (!m_fraction) m_ui.warningDialog(text(105));
    // The last polygon is handed over as it stands.
    commitStaged();
    int rc = checkPointNumbers(m_layout);
    if (rc < 0 && !(rc == +ErrorCode::InvalidPointNumbers && m_settings.acceptDuplicateIds)) throw makeError(rc);
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
    if (hasFraction(x) || hasFraction(y)) m_fraction = true;

    std::string_view idText;
    if (m_ids.needsText()) {
      decodeField(f[kId], m_settings.codePage, m_idText);
      idText = m_idText;
    }
    const TablePointIds::Result id = m_ids.assign(f[kId], idText, m_ui);

    startGroupIfNeeded(f);

    StagedPolygon& group = m_plan.polygons.back();
    // A polygon record counts its points in 16 bits; fail before staging
    // more of a polygon that can never be stored.
    if (group.points.size() > kMaxPolygonPoints) throw makeError(ErrorCode::StorageExceeded);
    // Built in place: most points carry no text and no category, so this
    // allocates nothing beyond the vector's own growth.
    StagedPoint& point = group.points.emplace_back();
    point.x = x;
    point.y = y;
    point.z = height;
    point.sourceNumber = static_cast<int32_t>(id.number);
    point.indexInPolygon = static_cast<uint32_t>(group.points.size() - 1);
    ++m_staged;
    if (id.keepName) point.name = idText;
    if (!f[kPointCategories].empty()) categoriesOf(f[kPointCategories], point.categories);
    if (id.idAsComment)
      point.comment = idText;
    else if (!f[kPointComment].empty())
      decodeField(f[kPointComment], m_settings.codePage, point.comment);
  }

  // Grouping by the new-polygon marker: until the first marker every point
  // is a group of its own; after it, a line without a marker continues the
  // current polygon.
  void startGroupIfNeeded(const std::array<std::string_view, kFieldCount>& f) {
    const std::string_view marker = f[kNewPolygon];
    if (!m_plan.polygons.empty() && marker.empty() && m_polygonMode) return;
    if (!m_plan.polygons.empty()) {
      finishGroup(m_plan.polygons.back());
      if (m_staged >= kCommitBatchPoints) commitStaged();
    }
    StagedPolygon& group = m_plan.polygons.emplace_back();
    if (!marker.empty()) {
      m_polygonMode = true;
      group.closed = marker == "closed" || marker == "#";
      if (!f[kPolygonCategories].empty()) categoriesOf(f[kPolygonCategories], group.categories);
      if (!f[kPolygonComment].empty()) decodeField(f[kPolygonComment], m_settings.codePage, group.comment);
    }
  }

  // Commits every staged polygon (the caller has finished the last one).
  void commitStaged() {
    if (!m_plan.polygons.empty()) commitStagedPlan(m_layout, m_plan);
    m_plan.polygons.clear();
    m_staged = 0;
  }

  void categoriesOf(std::string_view bytes, CategorySet& set) {
    auto it = m_categoryCache.find(bytes);
    if (it != m_categoryCache.end()) {
      set = it->second;
      return;
    }
    decodeField(bytes, m_settings.codePage, m_categoryText);
    CategorySet ids;
    m_categories.idsFromNames(m_categoryText, ids);
    set = ids;
    if (m_categoryCache.size() < kCategoryCacheLimit && bytes.size() <= kCategoryCacheFieldMax)
      m_categoryCache.emplace(std::string(bytes), std::move(ids));
  }

  LineReader& m_lines;
  BlockId m_layout;
  const CsvReadSettings& m_settings;
  TableCategories& m_categories;
  Ui& m_ui;
  FieldTokenizer m_tokenizer;
  TablePointIds m_ids;

  PreferredSystem m_system = PreferredSystem::Xyz;
  bool m_pointRead = false;
  bool m_fraction = false;
  bool m_polygonMode = false;
  StagedPlan m_plan;
  size_t m_staged = 0;
  std::string m_idText;
  std::string m_categoryText;
  std::unordered_map<std::string, CategorySet, BytesHash, std::equal_to<>> m_categoryCache;
};

}  // namespace

BlockId readCsvLines(LineReader& reader, BlockId parent, std::string_view layoutName,
                     const CsvReadSettings& settings, TableCategories& categories, Ui& ui) {
  const BlockId layout = createLayout(parent, layoutName);
  try {
    CsvLineReader(reader, layout, settings, categories, ui).run();
  } catch (...) {
    // No half-built layout stays behind, whatever ended the reading.
    deleteNode(layout);
    throw;
  }
  return layout;
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
  settings.codePage = context.job.inputCodePage;
  settings.acceptDuplicateIds = context.acceptDuplicateIds;
  readCsvFile(file, parent, settings, activeTableCategories(), context.ui);
}

}  // namespace vltrx
