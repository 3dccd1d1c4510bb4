// Category files: the line-based reader and the fixed-layout writer.
#include "xml/CategoryFile.h"

#include "core/CError.h"
#include "core/LineReader.h"
#include "core/Sink.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace vltrx {
namespace {

// Code page assumed for a file without an encoding attribute.
constexpr uint32_t kAnsiCodePage = platform::kCodePageAnsi;

bool isNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':';
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The five predefined entities are decoded; any other "&" stays as it is,
// because the writer puts names into the file unescaped.
std::string decodeEntities(std::string_view v) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&quot;", '"'}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&apos;", '\''}};
  std::string out;
  out.reserve(v.size());
  for (size_t i = 0; i < v.size();) {
    bool done = false;
    if (v[i] == '&') {
      for (const auto& [entity, c] : kEntities) {
        if (v.substr(i, entity.size()) == entity) {
          out.push_back(c);
          i += entity.size();
          done = true;
          break;
        }
      }
    }
    if (!done) out.push_back(v[i++]);
  }
  return out;
}

// Skips leading blanks and an optional "+" and reads a decimal number (an
// integer or a real, by the type of out); false when there is none.
template <typename T>
bool parseNumber(std::string_view v, T& out) {
  size_t i = 0;
  while (i < v.size() && isBlank(v[i])) ++i;
  if (i < v.size() && v[i] == '+') ++i;
  auto [p, ec] = std::from_chars(v.data() + i, v.data() + v.size(), out);
  return ec == std::errc() && p != v.data() + i;
}

// Walks the attributes of the category line from just after "<category".
// Values may be in double or single quotes; an unterminated value runs to
// the end of the line. Parsing stops at the first character that cannot
// start an attribute ("/", ">", garbage).
template <typename Fn>
void forEachAttribute(std::string_view line, Fn&& fn) {
  size_t i = 0;
  const size_t n = line.size();
  for (;;) {
    while (i < n && isBlank(line[i])) ++i;
    size_t nameStart = i;
    while (i < n && isNameChar(line[i])) ++i;
    if (i == nameStart) return;
    std::string_view name = line.substr(nameStart, i - nameStart);
    while (i < n && isBlank(line[i])) ++i;
    if (i >= n || line[i] != '=') return;
    ++i;
    while (i < n && isBlank(line[i])) ++i;
    if (i >= n) return;
    std::string_view value;
    if (line[i] == '"' || line[i] == '\'') {
      char quote = line[i++];
      size_t end = line.find(quote, i);
      if (end == std::string_view::npos) end = n;
      value = line.substr(i, end - i);
      i = end < n ? end + 1 : n;
    } else {
      size_t start = i;
      while (i < n && !isBlank(line[i]) && line[i] != '/' && line[i] != '>') ++i;
      value = line.substr(start, i - start);
    }
    fn(name, value);
  }
}

// Lines longer than kMaxLineBytes are cut (category lines are a few hundred
// bytes; a huge garbage file is never held in memory whole).
int parseLines(LineReader& lines, std::string_view fileStem, CategoryRecord& out) {
  std::string_view line;
  size_t from = std::string::npos;
  while (lines.next(line)) {
    size_t v = line.find("<velmora");
    if (v != std::string::npos) {
      from = v + 8;
      break;
    }
  }
  if (from == std::string::npos) return kCategoryFileNoCategory;
  // The root line itself may carry the category when a file was put on one
  // line by hand; the files we write have it on the next line.
  size_t c = line.find("<category", from);
  while (c == std::string::npos) {
    if (!lines.next(line)) return kCategoryFileNoCategory;
    c = line.find("<category");
  }
  std::string_view text(line);
  text.remove_prefix(c + 9);

  CategoryRecord r;
  r.codePage = kAnsiCodePage;
  bool haveName = false;
  std::string rawName;
  forEachAttribute(text, [&](std::string_view name, std::string_view value) {
    if (name == "encoding") {
      if (value.substr(0, 3) == "CP_") {
        int64_t cp = 0;
        if (parseNumber(value.substr(3), cp) && cp > 0 && cp <= 0xFFFFFFFF) r.codePage = uint32_t(cp);
      }
    } else if (name == "name") {
      rawName = decodeEntities(value);
      haveName = true;
    } else if (name == "color") {
      int d[6];
      bool ok = value.size() >= 6;
      for (int k = 0; ok && k < 6; ++k) ok = (d[k] = hexDigit(value[k])) >= 0;
      if (ok) {
        r.red = uint8_t(d[0] * 16 + d[1]);
        r.green = uint8_t(d[2] * 16 + d[3]);
        r.blue = uint8_t(d[4] * 16 + d[5]);
      }
    } else if (name == "id") {
      int64_t id = 0;
      // An id that is no 16-bit number counts as none given.
      r.id = (parseNumber(value, id) && id > 0 && id <= 0xFFFF) ? uint16_t(id) : 0;
    } else if (name == "surface") {
      if (value == "planar")
        r.surface = SurfaceKind::Planar;
      else if (value == "fixed_height")
        r.surface = SurfaceKind::FixedHeight;
      else if (value == "triangle")
        r.surface = SurfaceKind::Triangle;
      else
        r.surface = SurfaceKind::None;
    } else if (name == "fixed_height") {
      double h = 0.0;
      if (parseNumber(value, h)) r.fixedHeight = h;
    }
  });
  r.name = haveName ? codePageToUtf8(rawName, r.codePage) : std::string(fileStem);
  out = std::move(r);
  return 0;
}

void appendUnsigned(std::string& s, uint64_t v) {
  char buf[24];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, p);
}

void appendHex2(std::string& s, uint8_t v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  s.push_back(kDigits[v >> 4]);
  s.push_back(kDigits[v & 15]);
}

}  // namespace

bool hasCategoryFileExtension(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  if (ext.size() != kCategoryFileExtension.size()) return false;
  for (size_t i = 0; i < ext.size(); ++i) {
    char c = ext[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != kCategoryFileExtension[i]) return false;
  }
  return true;
}

int parseCategoryFile(std::string_view content, std::string_view fileStem, CategoryRecord& out) {
  LineReader lines(MemoryInput{content});
  return parseLines(lines, fileStem, out);
}

int readCategoryFile(const std::filesystem::path& path, CategoryRecord& out) {
  if (!hasCategoryFileExtension(path)) return kCategoryFileBadExtension;
  try {
    // Throws CError -2101 for a folder, a missing file or a failed read.
    LineReader lines(path);
    return parseLines(lines, path.stem().string(), out);
  } catch (const CError&) {
    return kCategoryFileCannotOpen;
  }
}

std::string formatCategoryFile(const CategoryRecord& record) {
  std::string s;
  s.reserve(200);
  s += "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";
  s += "<velmora>\r\n";
  s += "  <category";
  if (record.id != 0) {
    s += " id=\"";
    appendUnsigned(s, record.id);
    s += '"';
  }
  s += " encoding=\"CP_65001\" name=\"";
  // The name goes in as it is, except what would end the attribute or the
  // line: a double quote becomes &quot; and control characters a blank.
  for (char c : record.name) {
    if (c == '"')
      s += "&quot;";
    else if (static_cast<unsigned char>(c) < 0x20)
      s += ' ';
    else
      s += c;
  }
  s += "\" color=\"";
  appendHex2(s, record.red);
  appendHex2(s, record.green);
  appendHex2(s, record.blue);
  s += '"';
  switch (record.surface) {
    case SurfaceKind::Planar: s += " surface=\"planar\""; break;
    case SurfaceKind::FixedHeight: {
      s += " surface=\"fixed_height\" fixed_height=\"";
      char buf[64];
      auto [p, ec] = std::to_chars(buf, buf + sizeof buf, record.fixedHeight, std::chars_format::fixed, 3);
      if (ec == std::errc()) s.append(buf, p);
      s += '"';
      break;
    }
    case SurfaceKind::Triangle: s += " surface=\"triangle\""; break;
    default: break;
  }
  s += "/>\r\n</velmora>\r\n";
  return s;
}

bool writeCategoryFile(const CategoryRecord& record, const std::filesystem::path& path) {
  // Through the file sink: written next to the target and renamed over it
  // when complete and on disk, so that neither a failure nor an interrupting
  // signal leaves a half-written category file behind.
  try {
    FileSink sink(path, 4096);
    sink.write(formatCategoryFile(record));
    sink.commit();
    return true;
  } catch (const CError&) {
    return false;
  }
}

std::filesystem::path categoryFileName(std::string_view name) {
  std::string file = platform::safePathComponent(name);
  file += kCategoryFileExtension;
  return std::filesystem::path(file);
}

std::string codePageToUtf8(std::string_view text, uint32_t codePage) {
  std::string out;
  // A code page this system does not know is read as the ANSI code page.
  platform::TextConverter(codePage).toUtf8(text, out);
  return out;
}

}  // namespace vltrx
