// Reader of total-station GSI files.
//
// Word layout (positions inside a word): 0-1 word index, 2-5 information
// with the unit digit at 5, 6 sign, then 8 (GSI-8) or 16 (GSI-16) data
// characters and one separating blank. A block starting with "*" holds
// GSI-16 words from position 1; any other block GSI-8 words from position
// 0, except that a block whose first word has its separating blank at 23
// instead of 15 is read as GSI-16 too (some programs write GSI-16 without
// the "*"). Both kinds may be mixed in one file, block by block.
//
// What real files hold and how it is read:
// - words in any order and any subset: each block is cut into its words and
//   the words are found by index (the first of an index counts); indexes
//   that are not read here (station 84-86, code blocks 41-49, 51 with its
//   two numbers, measurement blocks) are ignored;
// - a word cut short by the line end is not found; the last word may lack
//   only its separating blank (trailing blanks stripped by an editor);
// - unset values written with dashes ("+00000000000-----") are no number:
//   the word counts as absent;
// - units differ from word to word (mm, 1/10 mm, 1/100 mm, feet; gon,
//   degrees, DMS, mil) and are converted per word;
// - blank lines and lines without word 11 are skipped.
//
// Cost per block: one pass over its words, integer parsing of the data, and
// a staged point without heap memory unless the block carries a comment.
#include "formats/GsiReader.h"

#include "core/CError.h"
#include "core/LayoutBuilder.h"
#include "core/LineReader.h"
#include "core/MeasurementTypes.h"
#include "core/Staging.h"
#include "formats/CategoryLookup.h"
#include "formats/TableCategories.h"
#include "formats/TablePointIds.h"
#include "framework/AllFormatOptions.h"
#include "framework/Conversion.h"
#include "platform/CodePage.h"
#include "ui/LineProgress.h"
#include "ui/Ui.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace vltrx {

namespace {

constexpr size_t kGsi8Word = 16;   // with its separating blank
constexpr size_t kGsi16Word = 24;
constexpr size_t kDataStart = 7;
constexpr size_t kUnitDigit = 5;
constexpr size_t kSign = 6;
constexpr int kWordIndexes = 100;
// Lines between two progress reports (the view throttles to 100 ms itself).

constexpr int kPointId = 11;
constexpr int kHorizontalAngle = 21;
constexpr int kVerticalAngle = 22;
constexpr int kSlopeDistance = 31;
constexpr int kEast = 81;
constexpr int kNorth = 82;
constexpr int kHeight = 83;

constexpr double kPi = std::numbers::pi;
// Seconds of arc to radians: pi / 648000.
constexpr double kArcSecond = kPi * 1.5432098765432098e-06;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The words of one block, by word index.
class BlockWords {
 public:
  void cut(std::string_view line) {
    for (int index : m_found) m_words[static_cast<size_t>(index)] = {};
    m_found.clear();
    size_t length = kGsi8Word, pos = 0;
    if (!line.empty() && line[0] == '*') {
      length = kGsi16Word;
      pos = 1;
    } else if (line.size() >= kGsi16Word - 1 && line[kGsi8Word - 1] != ' ' &&
               (line.size() == kGsi16Word - 1 || line[kGsi16Word - 1] == ' ')) {
      length = kGsi16Word;
    }
    // A word counts when it lies inside the line; only the separating blank
    // of the last one may be missing.
    for (; pos + length - 1 <= line.size(); pos += length) {
      const std::string_view word = line.substr(pos, length - 1);
      if (!isDigit(word[0]) || !isDigit(word[1])) continue;
      const int index = (word[0] - '0') * 10 + (word[1] - '0');
      if (!m_words[static_cast<size_t>(index)].empty()) continue;
      m_words[static_cast<size_t>(index)] = word;
      m_found.push_back(index);
    }
  }

  /// The word of index (1..99), empty when the block has none.
  std::string_view word(int index) const {
    return index > 0 && index < kWordIndexes ? m_words[static_cast<size_t>(index)] : std::string_view{};
  }

  bool number(int index, double& value) const {
    const std::string_view w = word(index);
    return !w.empty() && gsiValue(w, value);
  }

  bool raw(int index, double& value) const {
    bool angle;
    const std::string_view w = word(index);
    return !w.empty() && gsiRawValue(w, value, angle);
  }

 private:
  std::array<std::string_view, kWordIndexes> m_words{};
  std::vector<int> m_found;
};

// An unset text ("-----") is no text.
bool unsetText(std::string_view text) {
  return !text.empty() && text.find_first_not_of('-') == std::string_view::npos;
}

class GsiLineReader {
 public:
  GsiLineReader(LineReader& lines, LayoutBuilder& builder, const GsiReadSettings& settings,
                TableCategories& categories, Ui& ui)
      : m_lines(lines),
        m_builder(builder),
        m_settings(settings),
        m_categories(categories, settings.codePage),
        m_text(settings.codePage),
        m_ui(ui),
        m_ids("GSI", !settings.alphaNumIds, settings.alphaNumIds) {}

  void run() {
    readLinesWithProgress(m_lines, m_ui, [this](std::string_view line) { readBlock(line); });
    // Point numbers are made unique above, so -907 means a broken layout:
    // always an error.
    m_builder.finish(false);
    m_ui.endPhase();
  }

 private:
  void readBlock(std::string_view line) {
    m_words.cut(line);
    const std::string_view idWord = m_words.word(kPointId);
    if (idWord.empty()) return;
    const std::string_view idBytes = gsiText(idWord);
    if (unsetText(idBytes)) return;

    double x = 0, y = 0, z = 0;
    if (m_words.number(kEast, x) && m_words.number(kNorth, y)) {
      if (!m_words.number(kHeight, z)) z = 0;
    } else {
      // Polar from the instrument at the origin, with the angles as the
      // instrument counts them (Hz clockwise from north, V from the zenith).
      double hz, v, d;
      if (!m_words.raw(kHorizontalAngle, hz) || !m_words.raw(kVerticalAngle, v) ||
          !m_words.raw(kSlopeDistance, d))
        return;
      x = d * std::sin(v) * std::sin(hz);
      y = d * std::sin(v) * std::cos(hz);
      z = d * std::cos(v);
    }

    m_text.toUtf8(idBytes, m_idText);
    const TablePointIds::Result id = m_ids.assign(idBytes, m_idText, m_ui);

    m_builder.startPolygon();
    StagedPoint& point = m_builder.addPoint(x, y, z);
    point.sourceNumber = static_cast<int32_t>(id.number);
    if (id.keepName) point.name = m_idText;
    if (id.idAsComment) {
      point.comment = m_idText;
    } else if (const std::string_view w = m_words.word(m_settings.commentWordIndex); !w.empty()) {
      const std::string_view comment = gsiText(w);
      if (!comment.empty() && !unsetText(comment)) m_text.toUtf8(comment, point.comment);
    }
    if (const std::string_view w = m_words.word(m_settings.categoryWordIndex); !w.empty()) {
      const std::string_view names = gsiText(w);
      if (!names.empty() && !unsetText(names)) m_categories.idsOfNames(names, point.categories);
    }
  }

  LineReader& m_lines;
  LayoutBuilder& m_builder;
  const GsiReadSettings& m_settings;
  CategoryLookup m_categories;
  platform::TextConverter m_text;
  Ui& m_ui;
  TablePointIds m_ids;
  BlockWords m_words;
  std::string m_idText;
};

}  // namespace

namespace {

// The data of a word as a signed integer (at most 16 digits, exact in an
// int64) and the word's unit digit.
bool wordInteger(std::string_view word, int64_t& v, char& unit) {
  if (word.size() <= kDataStart) return false;
  const std::string_view data = word.substr(kDataStart);
  size_t i = 0;
  while (i < data.size() && data[i] == ' ') ++i;
  if (i == data.size()) return false;
  v = 0;
  for (; i < data.size(); ++i) {
    if (!isDigit(data[i])) return false;
    v = v * 10 + (data[i] - '0');
  }
  if (word[kSign] == '-') v = -v;
  unit = word[kUnitDigit];
  return true;
}

// An angle unit: the integer steps of one turn and the radians of a step.
// Angles are turned and normalised on the integers, so that 400 gon is
// exactly 0 and no rounding leaves an angle just below a full turn.
struct AngleUnit {
  int64_t turn;
  double radians;
};

// Units 2 to 5 as steps; DMS (ddd.mmsss) as tenths of a second.
bool angleSteps(int64_t v, char unit, int64_t& steps, AngleUnit& u) {
  switch (unit) {
    case '2': u = {40000000, kPi / 20000000}; steps = v; return true;  // gon, 1e-5
    case '3': u = {36000000, kPi / 18000000}; steps = v; return true;  // degrees, 1e-5
    case '4': {
      u = {12960000, kArcSecond / 10};
      const int64_t a = v < 0 ? -v : v;
      const int64_t tenths = a / 100000 * 36000 + (a / 1000) % 100 * 600 + a % 1000;
      steps = v < 0 ? -tenths : tenths;
      return true;
    }
    case '5': u = {64000000, kPi / 32000000}; steps = v; return true;  // mil, 1e-4
    default: return false;
  }
}

// Lengths by integer division by a power of ten, which gives the double
// nearest to the written decimal (12345 mm is exactly the double of 12.345).
double length(int64_t v, char unit) {
  const double d = static_cast<double>(v);
  switch (unit) {
    case '0': return d / 1e3;
    case '1': return d * 3048 / 1e7;  // 1/1000 ft = 0.0003048 m
    case '6': return d / 1e4;
    case '7': return d * 3048 / 1e8;  // 1/10000 ft
    case '8': return d / 1e5;
    default: return d;
  }
}

}  // namespace

bool gsiRawValue(std::string_view word, double& value, bool& angle) {
  int64_t v;
  char unit;
  if (!wordInteger(word, v, unit)) return false;
  int64_t steps;
  AngleUnit u;
  angle = angleSteps(v, unit, steps, u);
  value = angle ? static_cast<double>(steps) * u.radians : length(v, unit);
  return true;
}

bool gsiValue(std::string_view word, double& value) {
  int64_t v;
  char unit;
  if (!wordInteger(word, v, unit)) return false;
  int64_t steps;
  AngleUnit u;
  if (!angleSteps(v, unit, steps, u)) {
    value = length(v, unit);
    return true;
  }
  // The instrument counts clockwise, the data counter-clockwise.
  steps = (-steps) % u.turn;
  if (steps < 0) steps += u.turn;
  value = static_cast<double>(steps) * u.radians;
  return true;
}

std::string_view gsiText(std::string_view word) {
  if (word.size() <= kDataStart) return {};
  std::string_view text = word.substr(kDataStart);
  const size_t first = text.find_first_not_of("0 ");
  if (first == std::string_view::npos) return {};
  text.remove_prefix(first);
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

BlockId readGsiLines(LineReader& reader, BlockId parent, std::string_view layoutName,
                     const GsiReadSettings& settings, TableCategories& categories, Ui& ui) {
  LayoutBuilder builder(parent, layoutName);
  GsiLineReader(reader, builder, settings, categories, ui).run();
  return builder.layout();
}

BlockId readGsiFile(const std::filesystem::path& file, BlockId parent, const GsiReadSettings& settings,
                    TableCategories& categories, Ui& ui) {
  LineReader reader(file);
  return readGsiLines(reader, parent, file.stem().string(), settings, categories, ui);
}

void readGsi(const std::filesystem::path& file, BlockId parent, ConversionContext& context) {
  const GsiOptions& options = context.options.gsi;
  GsiReadSettings settings;
  settings.commentWordIndex = options.wordIndexComment;
  settings.categoryWordIndex = options.wordIndexCategory;
  settings.alphaNumIds = options.inAlphaNumIds;
  settings.codePage = context.inputCodePage;
  readGsiFile(file, parent, settings, activeTableCategories(), context.ui);
}

}  // namespace vltrx
