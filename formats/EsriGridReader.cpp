// Reader of ESRI ASCII raster grids.
//
//   ncols 4            header lines: keyword and one value, any order, the
//   nrows 3            keywords in any letter case; xllcenter/yllcenter
//   xllcorner 1000.0   give the centre of the lower left cell instead of its
//   yllcorner 2000.0   corner; NODATA_value is compared as text
//   cellsize 0.5
//   NODATA_value -9999
//   1 2 3 -9999        values, top row first
//
// A row of ncols values is one line or is spread over several lines (one
// value per line included), and it ends at a line end: a line that runs on
// past the end of its row, and values that stop inside a row, fail with
// -2402 (as does any value when ncols was never given). Fewer rows than
// nrows are read at their places from the top. A cell whose text is the
// no-data marker, or reads as nan, is no point.
//
// The file is mapped and parsed in one pass without a copy. Nothing is
// allocated per cell or sized from the header: the 16 Ki staged single
// points of a batch are allocated once and filled again for every batch.
#include "formats/EsriGridReader.h"

#include "core/CError.h"
#include "core/Layout.h"
#include "core/LayoutBuilder.h"
#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "core/Staging.h"
#include "framework/Conversion.h"
#include "ui/Ui.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

namespace vltrx {

namespace {

// Staged single points committed together.
constexpr size_t kBatchPoints = 16 * 1024;
// Bytes between two progress reports (the view throttles to 100 ms itself).
constexpr size_t kProgressBytes = 1u << 20;

enum class Key { None, Ncols, Nrows, Xllcorner, Yllcorner, Xllcenter, Yllcenter, Cellsize, Nodata };

struct KeyName {
  std::string_view name;
  Key key;
};
constexpr std::array<KeyName, 8> kKeys = {{{"ncols", Key::Ncols},
                                           {"nrows", Key::Nrows},
                                           {"xllcorner", Key::Xllcorner},
                                           {"yllcorner", Key::Yllcorner},
                                           {"xllcenter", Key::Xllcenter},
                                           {"yllcenter", Key::Yllcenter},
                                           {"cellsize", Key::Cellsize},
                                           {"nodata_value", Key::Nodata}}};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

Key keyOf(std::string_view token) {
  for (const KeyName& k : kKeys) {
    if (k.name.size() != token.size()) continue;
    bool same = true;
    for (size_t i = 0; i < token.size() && same; ++i) same = lowerAscii(token[i]) == k.name[i];
    if (same) return k.key;
  }
  return Key::None;
}

// "nan", "-nan", "NaN", "nan(0x...)": a cell without a value.
bool isNan(std::string_view t) {
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
  return t.size() >= 3 && lowerAscii(t[0]) == 'n' && lowerAscii(t[1]) == 'a' && lowerAscii(t[2]) == 'n';
}

// "inf", "-Infinity": a value beyond the doubles.
bool isInfinity(std::string_view t) {
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
  return t.size() >= 3 && lowerAscii(t[0]) == 'i' && lowerAscii(t[1]) == 'n' && lowerAscii(t[2]) == 'f';
}

// A decimal number whose decimal separator is a point or a comma.
size_t parseNumber(std::string_view token, double& value) {
  const char decimal = token.find(',') != std::string_view::npos ? ',' : '.';
  return parseLeadingDouble(token, value, decimal);
}

class GridParser {
 public:
  // consumed, when given, is told every megabyte how far the parse has got:
  // the bytes before that are never read again.
  GridParser(BlockId layout, std::string_view fileName, Ui& ui, std::function<void(const char*)> consumed = {})
      : m_layout(layout), m_fileName(fileName), m_ui(ui), m_consumed(std::move(consumed)) {}

  void run(std::string_view bytes) {
    const size_t kib = bytes.size() / 1024 + 1;
    const uint32_t total = static_cast<uint32_t>(std::min<uint64_t>(kib, UINT32_MAX));
    m_ui.beginPhase(100, total);
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    const char* nextReport = p + std::min(bytes.size(), kProgressBytes);
    while (p < end) {
      ++m_line;
      p = parseLine(p, end);
      // CR LF, a lone CR or a lone LF ends the line.
      if (p < end && *p == '\r') ++p;
      if (p < end && *p == '\n') ++p;
      if (p >= nextReport) {
        if (m_consumed) m_consumed(p);
        m_ui.update(static_cast<uint32_t>((p - bytes.data()) / 1024));
        nextReport = p + std::min<size_t>(static_cast<size_t>(end - p), kProgressBytes);
      }
    }
    if (m_column != 0) fail(ErrorCode::InvalidFileFormat2);
    commit();
    m_ui.update(total);
    m_ui.endPhase();
  }

 private:
  [[noreturn]] void fail(ErrorCode code) {
    CError e = makeError(code);
    e.append(": ");
    e.append(m_fileName);
    e.append(lineSuffix(m_line));
    throw e;
  }

  // A number beyond the doubles (1e400, inf) is refused with the line.
  void refuseNonFinite(double v, ErrorCode code) {
    if (!std::isfinite(v)) fail(code);
  }

  // The next token at or after p on this line; empty at the line end.
  static std::string_view token(const char*& p, const char* end) {
    while (p < end && isBlank(*p)) ++p;
    const char* start = p;
    while (p < end && !isBlank(*p) && !isLineEnd(*p)) ++p;
    return std::string_view(start, static_cast<size_t>(p - start));
  }

  const char* parseLine(const char* p, const char* end) {
    std::string_view first = token(p, end);
    if (first.empty()) return skipToLineEnd(p, end);
    const Key key = keyOf(first);
    if (key != Key::None) {
      const std::string_view value = token(p, end);
      if (value.empty() || !token(p, end).empty()) fail(ErrorCode::InvalidFileFormat);
      setHeader(key, value);
      return skipToLineEnd(p, end);
    }
    for (std::string_view t = first; !t.empty();) {
      cell(t);
      t = token(p, end);
      // A row ends at a line end: a line never runs on into the next row.
      if (m_column == 0 && !t.empty()) fail(ErrorCode::InvalidFileFormat2);
    }
    return p;
  }

  static const char* skipToLineEnd(const char* p, const char* end) {
    while (p < end && !isLineEnd(*p)) ++p;
    return p;
  }

  void setHeader(Key key, std::string_view value) {
    m_originReady = false;
    if (key == Key::Nodata) {
      m_marker.assign(value);
      return;
    }
    if (key == Key::Ncols || key == Key::Nrows) {
      int64_t n = 0;
      if (parseLeadingInt(value, n) == 0 || n <= 0) fail(ErrorCode::InvalidFileFormat);
      (key == Key::Ncols ? m_ncols : m_nrows) = n;
      return;
    }
    double v = 0;
    if (parseNumber(value, v) == 0) fail(ErrorCode::InvalidFileFormat);
    refuseNonFinite(v, ErrorCode::InvalidFileFormat);
    switch (key) {
      case Key::Xllcorner:
      case Key::Xllcenter:
        m_xll = v;
        m_xCentre = key == Key::Xllcenter;
        m_haveX = true;
        break;
      case Key::Yllcorner:
      case Key::Yllcenter:
        m_yll = v;
        m_yCentre = key == Key::Yllcenter;
        m_haveY = true;
        break;
      case Key::Cellsize:
        if (!(v > 0)) fail(ErrorCode::InvalidFileFormat);
        m_cellsize = v;
        break;
      default:
        break;
    }
  }

  // The lower left corner, from the header as it stands at the first value
  // after a header line. A grid needs all of its header before its values.
  void prepareOrigin() {
    if (m_ncols <= 0) fail(ErrorCode::InvalidFileFormat2);
    if (m_nrows <= 0 || m_cellsize <= 0 || !m_haveX || !m_haveY) fail(ErrorCode::InvalidFileFormat);
    m_x0 = m_xll - (m_xCentre ? m_cellsize / 2 : 0);
    m_y0 = m_yll - (m_yCentre ? m_cellsize / 2 : 0);
    m_originReady = true;
  }

  void cell(std::string_view t) {
    if (!m_originReady) prepareOrigin();
    const int64_t column = m_column;
    const int64_t row = m_row;
    if (++m_column == m_ncols) {
      m_column = 0;
      ++m_row;
    }
    if (t == m_marker || isNan(t)) return;
    double z = 0;
    // A value that does not read as a number is 0.
    if (parseNumber(t, z) == 0 && isInfinity(t)) z = INFINITY;
    refuseNonFinite(z, ErrorCode::InvalidFileFormat2);
    stage(m_x0 + (static_cast<double>(column) + 0.5) * m_cellsize,
          m_y0 + (static_cast<double>(m_nrows - row) - 0.5) * m_cellsize, z);
  }

  // Each cell is a polygon of one point. The polygons of a batch stay
  // allocated and are filled again for the next batch.
  void stage(double x, double y, double z) {
    std::vector<StagedPolygon>& polygons = m_plan.polygons;
    if (m_used == polygons.size()) polygons.emplace_back().points.emplace_back();
    StagedPoint& point = polygons[m_used].points.front();
    point.x = x;
    point.y = y;
    point.z = z;
    if (++m_used == kBatchPoints) commit();
  }

  void commit() {
    if (m_used < m_plan.polygons.size()) m_plan.polygons.resize(m_used);
    if (m_used > 0) commitStagedPlan(m_layout, m_plan);
    m_used = 0;
  }

  BlockId m_layout;
  std::string_view m_fileName;
  Ui& m_ui;
  std::function<void(const char*)> m_consumed;
  uint64_t m_line = 0;

  int64_t m_ncols = 0, m_nrows = 0;
  double m_xll = 0, m_yll = 0, m_cellsize = 0;
  bool m_xCentre = false, m_yCentre = false, m_haveX = false, m_haveY = false;
  std::string m_marker = "-9999";

  bool m_originReady = false;
  double m_x0 = 0, m_y0 = 0;
  int64_t m_column = 0, m_row = 0;

  StagedPlan m_plan;
  size_t m_used = 0;
};

// A read-only mapping of a whole regular file.
class MappedFile {
 public:
  explicit MappedFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      if (fd >= 0) ::close(fd);
      throw makeError(ErrorCode::CannotOpenFile, file.string());
    }
    m_size = static_cast<size_t>(st.st_size);
    if (m_size > 0) {
      void* data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (data == MAP_FAILED) {
        ::close(fd);
        throw makeError(ErrorCode::CannotOpenFile, file.string());
      }
      ::madvise(data, m_size, MADV_SEQUENTIAL);
      m_data = static_cast<const char*>(data);
    }
    ::close(fd);
  }
  ~MappedFile() {
    if (m_data) ::munmap(const_cast<char*>(m_data), m_size);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::string_view bytes() const { return {m_data ? m_data : "", m_size}; }

  // The pages wholly before upTo are not read again: they leave the
  // process's memory (a read of them would fetch them from the file again),
  // so the mapped file does not add its size to the store's.
  void release(const char* upTo) {
    static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t end = static_cast<size_t>(upTo - m_data) / page * page;
    if (!m_data || end <= m_released) return;
    ::madvise(const_cast<char*>(m_data) + m_released, end - m_released, MADV_DONTNEED);
    m_released = end;
  }

 private:
  const char* m_data = nullptr;
  size_t m_size = 0;
  size_t m_released = 0;
};

BlockId readGrid(std::string_view bytes, BlockId parent, std::string_view layoutName, std::string_view fileName,
                 Ui& ui, std::function<void(const char*)> consumed) {
  const BlockId layout = createLayout(parent, layoutName);
  LayoutGuard guard(layout);
  GridParser(layout, fileName, ui, std::move(consumed)).run(bytes);
  guard.release();
  return layout;
}

}  // namespace

BlockId readEsriGridBytes(std::string_view bytes, BlockId parent, std::string_view layoutName,
                          std::string_view fileName, Ui& ui) {
  return readGrid(bytes, parent, layoutName, fileName, ui, {});
}

BlockId readEsriGridFile(const std::filesystem::path& file, BlockId parent, Ui& ui) {
  MappedFile mapped(file);
  return readGrid(mapped.bytes(), parent, file.stem().string(), file.filename().string(), ui,
                  [&mapped](const char* upTo) { mapped.release(upTo); });
}

void readEsriGrid(const std::filesystem::path& file, BlockId parent, ConversionContext& context) {
  readEsriGridFile(file, parent, context.ui);
}

}  // namespace vltrx
