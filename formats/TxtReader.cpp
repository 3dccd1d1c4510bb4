// Reader of text tables with a user field layout.
//
// The layout string names the column of each role ("#XYZ": id, x, y, z;
// "#NEZ": id, y, x, z; "I" skips a column; "K" and "P" carry the point's and
// its polygon's categories). Every line is split by the shared tokenizer
// into no more fields than the layout reaches and gives one single point.
//
// Lines that are no points: an empty first field (a blank line, or with a
// delimiter other than WS a line that begins with the delimiter: the whole
// line is skipped, so that its remaining fields are never read as a point
// with every column shifted by one), and a header row whose x and y
// columns both hold words ("Nr X Y Z"), which would otherwise become a
// phantom point at 0, 0 with id 0. A line whose x or y is missing or not a
// number shows warning 109 once; OK goes on with 0 for it. A category
// column holding "0" names no category.
#include "formats/TxtReader.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutBuilder.h"
#include "core/LineReader.h"
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
#include "framework/TableOptions.h"
#include "platform/CodePage.h"
#include "ui/LineProgress.h"
#include "ui/Ui.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

namespace vltrx {

namespace {

// Lines between two progress reports (the view throttles to 100 ms itself).
// "Coordinate value invalid or missing"
constexpr int kCoordinateMissingText = 109;
// "No fractions in either coordinate (perhaps wrong decimal delimiter used)"
constexpr int kNoFractionsText = 105;
enum class Value { Missing, NotNumber, Number };

// With WS the writer puts "0" in an empty category column to keep the
// columns in place; read back, "0" is no category rather than one named "0".
bool namesCategory(std::string_view field) { return !field.empty() && field != "0"; }

class TxtLineReader {
 public:
  TxtLineReader(LineReader& lines, LayoutBuilder& builder, const TxtReadSettings& settings,
                const TxtColumns& columns, TableCategories& categories, Ui& ui)
      : m_lines(lines),
        m_builder(builder),
        m_settings(settings),
        m_columns(columns),
        m_categories(categories, settings.codePage),
        m_text(settings.codePage),
        m_ui(ui),
        m_tokenizer(settings.delimiter),
        m_ids("TXT", settings.pidReduce, settings.alphaNumIds),
        m_fields(std::max<size_t>(columns.fieldCount, 1)) {}

  void run() {
    setPreferredSystem(PreferredSystem::Xyz);
    readLinesWithProgress(m_lines, m_ui, [this](std::string_view line) { readLine(line); });

    if (m_builder.fractionalPoints() == 0) m_ui.warningDialog(kNoFractionsText, text(kNoFractionsText));
    m_builder.finish(m_settings.acceptDuplicateIds);
    m_ui.endPhase();
  }

 private:
  std::string_view field(int column) const {
    return column >= 0 ? m_fields[static_cast<size_t>(column)] : std::string_view{};
  }

  Value number(int column, double& value) const {
    const std::string_view f = field(column);
    if (f.empty()) return Value::Missing;
    return parseLeadingDouble(f, value, m_settings.decimal) > 0 ? Value::Number : Value::NotNumber;
  }

  void readLine(std::string_view line) {
    m_tokenizer.split(line, m_fields);
    if (m_fields[0].empty()) return;

    double x = 0, y = 0, z = 0;
    const Value vx = number(m_columns.x, x);
    const Value vy = number(m_columns.y, y);
    if (vx == Value::NotNumber && vy == Value::NotNumber) return;  // a header row
    if (vx != Value::Number || vy != Value::Number) {
      m_ui.warningDialog(kCoordinateMissingText, text(kCoordinateMissingText));
      if (vx != Value::Number) x = 0;
      if (vy != Value::Number) y = 0;
    }
    if (number(m_columns.z, z) != Value::Number) z = 0;
    // A number beyond the range of a double ("1e400") is no coordinate.
    if (!std::isfinite(x)) throw makeLineError(ErrorCode::InvalidParameterValue, "x", m_lines.lineNumber());
    if (!std::isfinite(y)) throw makeLineError(ErrorCode::InvalidParameterValue, "y", m_lines.lineNumber());
    if (!std::isfinite(z)) throw makeLineError(ErrorCode::InvalidParameterValue, "z", m_lines.lineNumber());

    const std::string_view idBytes = field(m_columns.id);
    std::string_view idText;
    if (m_ids.needsText()) {
      m_text.toUtf8(idBytes, m_idText);
      idText = m_idText;
    }
    const TablePointIds::Result id = m_ids.assign(idBytes, idText, m_ui);

    StagedPolygon& polygon = m_builder.startPolygon();
    const std::string_view polygonCategories = field(m_columns.polygonCategory);
    if (namesCategory(polygonCategories)) m_categories.idsOfNames(polygonCategories, polygon.categories);

    StagedPoint& point = m_builder.addPoint(x, y, z);
    point.sourceNumber = static_cast<int32_t>(id.number);
    if (id.keepName) point.name = idText;
    if (id.idAsComment) point.comment = idText;
    const std::string_view pointCategories = field(m_columns.pointCategory);
    if (namesCategory(pointCategories)) m_categories.idsOfNames(pointCategories, point.categories);
  }

  LineReader& m_lines;
  LayoutBuilder& m_builder;
  const TxtReadSettings& m_settings;
  const TxtColumns m_columns;
  CategoryLookup m_categories;
  platform::TextConverter m_text;
  Ui& m_ui;
  FieldTokenizer m_tokenizer;
  TablePointIds m_ids;
  std::vector<std::string_view> m_fields;
  std::string m_idText;
};

}  // namespace

TxtColumns txtColumns(std::string_view layout) {
  TxtColumns c;
  for (size_t i = 0; i < layout.size(); ++i) {
    const int column = static_cast<int>(std::min<size_t>(i, INT32_MAX));
    int* role = nullptr;
    switch (std::toupper(static_cast<unsigned char>(layout[i]))) {
      case '#': role = &c.id; break;
      case 'X': case 'E': role = &c.x; break;
      case 'Y': case 'N': role = &c.y; break;
      case 'Z': role = &c.z; break;
      case 'K': role = &c.pointCategory; break;
      case 'P': role = &c.polygonCategory; break;
      default: break;
    }
    if (role) *role = column;
  }
  for (int column : {c.id, c.x, c.y, c.z, c.pointCategory, c.polygonCategory})
    if (column >= 0) c.fieldCount = std::max(c.fieldCount, static_cast<size_t>(column) + 1);
  return c;
}

BlockId readTxtLines(LineReader& reader, BlockId parent, std::string_view layoutName,
                     const TxtReadSettings& settings, TableCategories& categories, Ui& ui) {
  // The stored layout may come from an option file or an older version.
  if (!isValidTxtLayout(settings.layout, true)) throw makeError(ErrorCode::InvalidFormatString);
  const TxtColumns columns = txtColumns(settings.layout);
  LayoutBuilder builder(parent, layoutName);
  TxtLineReader(reader, builder, settings, columns, categories, ui).run();
  return builder.layout();
}

BlockId readTxtFile(const std::filesystem::path& file, BlockId parent, const TxtReadSettings& settings,
                    TableCategories& categories, Ui& ui) {
  LineReader reader(file);
  return readTxtLines(reader, parent, file.stem().string(), settings, categories, ui);
}

void readTxt(const std::filesystem::path& file, BlockId parent, ConversionContext& context) {
  const TxtOptions& options = context.options.txt;
  TxtReadSettings settings;
  settings.delimiter = options.inDelimiter;
  settings.decimal = options.inDecimal;
  settings.layout = options.inFormat;
  settings.pidReduce = options.inPidReduce;
  settings.alphaNumIds = options.inAlphaNumIds;
  settings.codePage = context.inputCodePage;
  settings.acceptDuplicateIds = context.acceptDuplicateIds;
  readTxtFile(file, parent, settings, activeTableCategories(), context.ui);
}

}  // namespace vltrx
