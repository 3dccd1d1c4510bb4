// Reader of REB files.
//
// Record layouts read (columns from 1, coordinates in millimetres):
//   DA30 id(13-20) comment(21-50) x(51-60) y(61-70) z(71-80), 80 columns
//   DA45 id(3-9) x(11-20) y(21-30) z(31-40); an 80-column record carries a
//        second point: id(43-49) x(51-60) y(61-70) z(71-80)
//   DA49 line(3-5) line type(6) KZ(8-9) counter(11-12), ids of eight columns
//        from column 13, at most seven
// Other data types (DA58 triangles and the like) are skipped.
//
// Points are kept until the end of the file, because a DA49 line may name
// any of them. The lines are then sorted by line number and record counter
// (file order among equal keys) and staged as polygons; a line whose first
// record counts 0 continues the line of the record before it in the file
// (the writer's spare line numbers past 99 records). The KZ of a line
// attaches the category of that id when the category list holds one. The
// line-type letters (blank or T plain, A and R special) are read as plain
// lines. A DA45 record that repeats the id of a DA30 record is the same
// point (the DA30 record, which carries the comment, is kept); records
// repeating an id within one data type are separate points, and a line
// names the first of them.
#include "formats/RebReader.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutBuilder.h"
#include "core/LineReader.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "core/PointNumberer.h"
#include "core/Staging.h"
#include "formats/TableCategories.h"
#include "formats/TablePointIds.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "platform/CodePage.h"
#include "ui/LineProgress.h"
#include "ui/Ui.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

namespace vltrx {

namespace {

constexpr size_t kDa30Length = 80;
constexpr size_t kDa45Length = 40;
constexpr size_t kDa45PairLength = 80;
constexpr size_t kDa49MinLength = 12;
constexpr size_t kLineIdWidth = 8;
constexpr size_t kLineIdsPerRecord = 7;
// A further id of a line within this of the first point in x, y and z
// closes the polygon.
constexpr double kClosureTolerance = 5e-5;
constexpr uint32_t kFirstReuseNumber = 10001;
// Lines between two progress reports (the view throttles to 100 ms itself).

std::string_view trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Columns from..to (1-based, inclusive) of line, as far as it reaches.
std::string_view columns(std::string_view line, size_t from, size_t to) {
  if (line.size() < from) return {};
  return line.substr(from - 1, to - from + 1);
}

struct RebPoint {
  double x = 0, y = 0, z = 0;
  std::string id;       // the id field as read, trimmed (file code page)
  std::string comment;  // UTF-8
  bool da30 = false;
  bool used = false;
};

struct LineRecord {
  uint32_t line = 0;
  uint32_t counter = 0;
  uint32_t order = 0;     // among the DA49 records of the file
  uint32_t previous = 0;  // line number of the DA49 record before it, 0 = none
  uint64_t fileLine = 0;  // for the messages
  int kz = 0;
  std::string ids;        // the id columns, eight per id
};

class RebFileReader {
 public:
  RebFileReader(LineReader& lines, LayoutBuilder& builder, std::string_view fileName,
                const RebReadSettings& settings, TableCategories& categories, Ui& ui)
      : m_lines(lines),
        m_builder(builder),
        m_fileName(fileName),
        m_settings(settings),
        m_categories(categories),
        m_ui(ui),
        m_text(settings.codePage),
        m_ids("REB", false, settings.alphaNumIds),
        m_reuse(kFirstReuseNumber, "REB") {}

  void run() {
    readLinesWithProgress(m_lines, m_ui, [this](std::string_view line) { readRecord(line); });
    if (!m_ids.needsText()) markPlainIds();
    stageLines();
    stageUnusedPoints();
    m_builder.finish(m_settings.acceptDuplicateIds);
    m_ui.endPhase();
  }

 private:
  [[noreturn]] void fail(ErrorCode code, uint64_t line) {
    CError e = makeError(code);
    e.append(m_fileName);
    e.append(lineSuffix(line));
    throw e;
  }

  // A coordinate field in millimetres as metres. A field without a number
  // reads as 0; a number beyond the doubles, inf or nan is refused.
  double coordinate(std::string_view field) {
    double v = 0;
    if (parseLeadingDouble(field, v) == 0) {
      std::string_view t = trim(field);
      if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
      std::string word(t.substr(0, 3));
      for (char& ch : word) ch = static_cast<char>(ch | 0x20);
      if (word != "inf" && word != "nan") return 0;
      v = NAN;
    }
    refuseNonFinite(v);
    return v / 1000.0;
  }

  // A coordinate beyond the doubles (1e400) is refused with the line.
  void refuseNonFinite(double v) {
    if (!std::isfinite(v)) fail(ErrorCode::InvalidRebFile2, m_lines.lineNumber());
  }

  void readRecord(std::string_view line) {
    if (line.size() < 2) return;
    const std::string_view type = line.substr(0, 2);
    if (type == "30") {
      if (line.size() < kDa30Length) fail(ErrorCode::InvalidRebFile2, m_lines.lineNumber());
      addPoint(columns(line, 13, 20), columns(line, 51, 60), columns(line, 61, 70), columns(line, 71, 80),
               columns(line, 21, 50), true);
    } else if (type == "45") {
      if (line.size() < kDa45Length) shortDa45();
      addPoint(columns(line, 3, 9), columns(line, 11, 20), columns(line, 21, 30), columns(line, 31, 40), {},
               false);
      // The second point of an 80-column record; a blank second half holds none.
      if (line.size() >= kDa45PairLength && !trim(columns(line, 41, 80)).empty())
        addPoint(columns(line, 43, 49), columns(line, 51, 60), columns(line, 61, 70), columns(line, 71, 80), {},
                 false);
    } else if (type == "49") {
      if (line.size() >= kDa49MinLength) addLineRecord(line);
    }
  }

  // A short DA45 record ends the run after the error box, with the code
  // as exit status. Without dialogs (-nodialog) no box shows it, so it
  // ends as an error, which is reported on the error stream.
  [[noreturn]] void shortDa45() {
    if (m_ui.quiet()) fail(ErrorCode::InvalidRebFile2, m_lines.lineNumber());
    std::string message = text(17);
    message.append(" ").append(std::to_string(+ErrorCode::InvalidRebFile2)).append(": ").append(text(116));
    message.append(m_fileName);
    m_ui.messageBox(message, nullptr, text(16), Ui::Buttons::Ok, Ui::Icon::Error);
    throw ExitRequest{+ErrorCode::InvalidRebFile2};
  }

  void addPoint(std::string_view id, std::string_view x, std::string_view y, std::string_view z,
                std::string_view comment, bool da30) {
    id = trim(id);
    std::string key(id);
    RebPoint* target = nullptr;
    if (!key.empty()) {
      auto [it, inserted] = m_byId.try_emplace(key, static_cast<uint32_t>(m_points.size()));
      if (!inserted) {
        RebPoint& known = m_points[it->second];
        if (known.da30 != da30) {
          if (!da30) return;  // the DA30 record of this point was read
          target = &known;    // the DA30 record replaces the DA45 one
        }
      }
    }
    RebPoint& p = target ? *target : m_points.emplace_back();
    p.id = std::move(key);
    p.x = coordinate(x);
    p.y = coordinate(y);
    p.z = coordinate(z);
    p.da30 = da30;
    comment = trim(comment);
    if (!comment.empty()) m_text.toUtf8(comment, p.comment);
  }

  void addLineRecord(std::string_view line) {
    // "%3u" prints a line number above 999 wider: its further digits push
    // the rest of the record to the right. The line-type column never
    // holds a digit otherwise.
    size_t shift = 0;
    while (5 + shift < line.size() && line[5 + shift] >= '0' && line[5 + shift] <= '9') ++shift;
    int64_t number = 0, kz = 0, counter = 0;
    parseLeadingInt(columns(line, 3, 5 + shift), number);
    parseLeadingInt(columns(line, 8 + shift, 9 + shift), kz);
    parseLeadingInt(columns(line, 11 + shift, 12 + shift), counter);
    LineRecord& r = m_lineRecords.emplace_back();
    r.line = static_cast<uint32_t>(std::clamp<int64_t>(number, 0, UINT32_MAX));
    r.counter = static_cast<uint32_t>(std::clamp<int64_t>(counter, 0, UINT32_MAX));
    r.kz = static_cast<int>(std::clamp<int64_t>(kz, 0, 65535));
    r.order = static_cast<uint32_t>(m_lineRecords.size() - 1);
    r.previous = m_lineRecords.size() >= 2 ? m_lineRecords[m_lineRecords.size() - 2].line : 0;
    r.fileLine = m_lines.lineNumber();
    const std::string_view ids = line.size() > 12 + shift ? line.substr(12 + shift) : std::string_view{};
    r.ids.assign(ids.substr(0, std::min(ids.size(), kLineIdWidth * kLineIdsPerRecord)));
  }

  // The records of every line in order; lines that continue another one
  // under a spare number are appended to it.
  void stageLines() {
    if (m_lineRecords.empty()) return;
    std::vector<uint32_t> order(m_lineRecords.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      const LineRecord &ra = m_lineRecords[a], &rb = m_lineRecords[b];
      if (ra.line != rb.line) return ra.line < rb.line;
      if (ra.counter != rb.counter) return ra.counter < rb.counter;
      return ra.order < rb.order;
    });

    // Runs of one line number, by their first sorted record.
    struct Run {
      uint32_t line, begin, end;
      int next = -1;   // the run that continues this one
      bool continuation = false;
    };
    std::vector<Run> runs;
    std::unordered_map<uint32_t, uint32_t> runOfLine;
    for (uint32_t i = 0; i < order.size(); ++i) {
      const uint32_t line = m_lineRecords[order[i]].line;
      if (runs.empty() || runs.back().line != line) {
        runOfLine.emplace(line, static_cast<uint32_t>(runs.size()));
        runs.push_back({line, i, i + 1});
      } else {
        runs.back().end = i + 1;
      }
    }
    // Continuations are linked in the file order of their first records,
    // always to a run that starts earlier in the file, so no chain loops.
    std::vector<uint32_t> byFile(runs.size());
    for (uint32_t r = 0; r < runs.size(); ++r) byFile[r] = r;
    auto headOf = [&](uint32_t r) -> const LineRecord& { return m_lineRecords[order[runs[r].begin]]; };
    std::sort(byFile.begin(), byFile.end(), [&](uint32_t a, uint32_t b) { return headOf(a).order < headOf(b).order; });
    std::vector<uint32_t> rootOf(runs.size()), tailOf(runs.size());
    for (uint32_t r : byFile) {
      rootOf[r] = tailOf[r] = r;
      const LineRecord& head = headOf(r);
      if (head.counter != 0 || head.previous == 0 || head.previous == head.line) continue;
      auto it = runOfLine.find(head.previous);
      if (it == runOfLine.end() || headOf(it->second).order >= head.order) continue;
      const uint32_t root = rootOf[it->second];
      runs[tailOf[root]].next = static_cast<int>(r);
      tailOf[root] = r;
      rootOf[r] = root;
      runs[r].continuation = true;
    }

    for (uint32_t r = 0; r < runs.size(); ++r) {
      if (runs[r].continuation) continue;
      beginLine(m_lineRecords[order[runs[r].begin]].kz);
      for (int k = static_cast<int>(r); k >= 0 && !m_closed; k = runs[k].next)
        for (uint32_t i = runs[k].begin; i < runs[k].end && !m_closed; ++i) stageRecord(m_lineRecords[order[i]]);
      endLine();
    }
  }

  void beginLine(int kz) {
    StagedPolygon& polygon = m_builder.startPolygon();
    std::string name;
    if (kz > 0 && kz <= 65535 && m_categories.nameOf(static_cast<uint16_t>(kz), name))
      insertCategory(polygon.categories, static_cast<uint16_t>(kz));
    m_lineIndices.clear();
    m_closed = false;
  }

  void endLine() {
    StagedPolygon& polygon = m_builder.polygon();
    if (m_closed && polygon.points.size() < 3) polygon.closed = false;
  }

  void stageRecord(const LineRecord& record) {
    const std::string_view ids = record.ids;
    for (size_t at = 0; at < ids.size() && !m_closed; at += kLineIdWidth) {
      const std::string_view id = trim(ids.substr(at, kLineIdWidth));
      if (id.empty()) continue;
      m_key.assign(id);
      auto it = m_byId.find(m_key);
      if (it == m_byId.end()) fail(ErrorCode::InvalidRebFile, record.fileLine);
      const uint32_t index = it->second;
      if (!m_lineIndices.empty() && closesLine(index)) {
        m_closed = true;
        m_builder.polygon().closed = true;
        return;
      }
      m_lineIndices.push_back(index);
      stagePoint(index);
    }
  }

  // A further id that repeats one of the line, its point at the first
  // point, closes the line (three points or more make a closed polygon).
  bool closesLine(uint32_t index) {
    if (m_builder.polygon().points.size() < 3) return false;
    const RebPoint& first = m_points[m_lineIndices.front()];
    const RebPoint& p = m_points[index];
    if (std::fabs(p.x - first.x) > kClosureTolerance || std::fabs(p.y - first.y) > kClosureTolerance ||
        std::fabs(p.z - first.z) > kClosureTolerance)
      return false;
    return index == m_lineIndices.front() ||
           std::find(m_lineIndices.begin(), m_lineIndices.end(), index) != m_lineIndices.end();
  }

  void stagePoint(uint32_t index) {
    RebPoint& p = m_points[index];
    StagedPoint& staged = m_builder.addPoint(p.x, p.y, p.z);
    std::string_view idText;
    if (m_ids.needsText()) {
      m_text.toUtf8(p.id, m_idText);
      idText = m_idText;
    }
    if (p.used && !m_ids.needsText()) {
      // A further use of a point with a plain id: the next number past the
      // ids of the file.
      staged.sourceNumber = static_cast<int32_t>(m_reuse.assign({}).number);
    } else {
      const TablePointIds::Result id = m_ids.assign(p.id, idText, m_ui);
      staged.sourceNumber = static_cast<int32_t>(id.number);
      if (id.keepName) staged.name = idText;
    }
    staged.comment = p.comment;
    p.used = true;
  }

  // Further uses of a point number past every plain id of the file.
  void markPlainIds() {
    for (const RebPoint& p : m_points) {
      int64_t n = 0;
      parseLeadingInt(p.id, n);
      if (n > 0 && n <= int64_t(kMaxPointNumber)) m_reuse.markUsed(static_cast<uint32_t>(n));
    }
  }

  void stageUnusedPoints() {
    for (uint32_t i = 0; i < m_points.size(); ++i) {
      if (m_points[i].used) continue;
      m_builder.startPolygon();
      stagePoint(i);
    }
  }

  LineReader& m_lines;
  LayoutBuilder& m_builder;
  std::string_view m_fileName;
  const RebReadSettings& m_settings;
  TableCategories& m_categories;
  Ui& m_ui;
  platform::TextConverter m_text;
  TablePointIds m_ids;
  PointNumberer m_reuse;

  std::vector<RebPoint> m_points;
  std::unordered_map<std::string, uint32_t> m_byId;
  std::vector<LineRecord> m_lineRecords;
  std::vector<uint32_t> m_lineIndices;
  bool m_closed = false;
  std::string m_idText;
  std::string m_key;
};

}  // namespace

BlockId readRebLines(LineReader& reader, BlockId parent, std::string_view layoutName, std::string_view fileName,
                     const RebReadSettings& settings, TableCategories& categories, Ui& ui) {
  LayoutBuilder builder(parent, layoutName);
  RebFileReader(reader, builder, fileName, settings, categories, ui).run();
  return builder.layout();
}

BlockId readRebFile(const std::filesystem::path& file, BlockId parent, const RebReadSettings& settings,
                    TableCategories& categories, Ui& ui) {
  LineReader reader(file);
  return readRebLines(reader, parent, file.stem().string(), file.filename().string(), settings, categories, ui);
}

void readReb(const std::filesystem::path& file, BlockId parent, ConversionContext& context) {
  RebReadSettings settings;
  settings.alphaNumIds = context.options.reb.inAlphaNumIds;
  settings.codePage = context.inputCodePage;
  settings.acceptDuplicateIds = context.acceptDuplicateIds;
  readRebFile(file, parent, settings, activeTableCategories(), context.ui);
}

}  // namespace vltrx
