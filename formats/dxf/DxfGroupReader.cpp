// Pair reader of ASCII DXF drawings.
//
// The file is mapped, not copied: a pair is two views into the mapping, so
// reading costs one scan for the line ends and one from_chars per number.
// Pages behind the read position are handed back to the system every 32 MB,
// so a 240 MB drawing never holds more than a few dozen MB of file pages in
// memory while the staged plan grows.
#include "formats/dxf/DxfGroupReader.h"

#include "core/MessageTable.h"
#include "core/Numbers.h"
#include "platform/CodePage.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vltrx {
namespace {

constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
// The whole sentinel line of a binary drawing: the name, CR LF, SUB, NUL.
constexpr std::string_view kBinaryHeader{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// Value types of binary pairs, by group-code range.
enum class BinaryType { String, Double, Int16, Int32, Int64, Bool, Chunk, Unknown };

BinaryType binaryType(int code) {
  if (code < 0) return BinaryType::Unknown;
  if (code <= 9) return BinaryType::String;
  if (code <= 59) return BinaryType::Double;
  if (code <= 79) return BinaryType::Int16;
  if (code <= 89) return BinaryType::Unknown;
  if (code <= 99) return BinaryType::Int32;
  if (code <= 109) return BinaryType::String;
  if (code <= 149) return BinaryType::Double;
  if (code <= 159) return BinaryType::Unknown;
  if (code <= 169) return BinaryType::Int64;
  if (code <= 179) return BinaryType::Int16;
  if (code <= 209) return BinaryType::Unknown;
  if (code <= 239) return BinaryType::Double;
  if (code <= 269) return BinaryType::Unknown;
  if (code <= 289) return BinaryType::Int16;
  if (code <= 299) return BinaryType::Bool;
  if (code <= 309) return BinaryType::String;
  if (code <= 319) return BinaryType::Chunk;
  if (code <= 369) return BinaryType::String;
  if (code <= 389) return BinaryType::Int16;
  if (code <= 399) return BinaryType::String;
  if (code <= 409) return BinaryType::Int16;
  if (code <= 419) return BinaryType::String;
  if (code <= 429) return BinaryType::Int32;
  if (code <= 439) return BinaryType::String;
  if (code <= 459) return BinaryType::Int32;
  if (code <= 469) return BinaryType::Double;
  if (code <= 481) return BinaryType::String;
  if (code == 999) return BinaryType::String;
  if (code >= 1000 && code <= 1003) return BinaryType::String;
  if (code == 1004) return BinaryType::Chunk;
  if (code >= 1005 && code <= 1009) return BinaryType::String;
  if (code >= 1010 && code <= 1059) return BinaryType::Double;
  if (code >= 1060 && code <= 1070) return BinaryType::Int16;
  if (code == 1071) return BinaryType::Int32;
  return BinaryType::Unknown;
}

template <typename T>
T littleEndian(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);  // the build targets are little-endian
  return v;
}
constexpr uint64_t kReleaseStep = 32u << 20;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (isBlank(s[i]) || s[i] == '\r' || s[i] == '\n' || s[i] == '\f' || s[i] == '\v')) ++i;
  return s.substr(i);
}

// "%d": white space, an optional sign, digits; whatever follows is ignored.
bool parseInt(std::string_view s, int& value) {
  s = trimLeft(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  int64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (end == s.data()) return false;
  if (ec == std::errc::result_out_of_range) v = s.front() == '-' ? INT32_MIN : INT32_MAX;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  value = static_cast<int>(v);
  return true;
}

// The common form of a code line, blanks and up to nine digits ("  10"):
// the value parseInt gives, without its general path. False for any other
// form, which parseInt then reads.
bool parseGroupCode(std::string_view s, int& value) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  const size_t first = i;
  int v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - first < 9) v = v * 10 + (s[i++] - '0');
  if (i == first || (i < s.size() && s[i] >= '0' && s[i] <= '9')) return false;
  value = v;
  return true;
}

// "%lf" without its infinities and NaN: a coordinate of "1e999" or "nan"
// would poison every computation after it, so it counts as no number.
bool parseDouble(std::string_view s, double& value) {
  s = trimLeft(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  const char c = s.front();
  // from_chars would take "inf" and "nan" as numbers.
  if (!(c == '-' || c == '.' || (c >= '0' && c <= '9'))) return false;
  // The shared parser: exact for the plain decimals drawings are made of,
  // from_chars for the rest; too small a number gives 0, as "%lf" does.
  double v = 0;
  if (parseLeadingDouble(s, v) == 0 || !std::isfinite(v)) return false;
  value = v;
  return true;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

void decodeDxfUnicodeEscapes(std::string_view text, std::string& out) {
  out.clear();
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\\' && i + 7 <= text.size() && (text[i + 1] == 'U' || text[i + 1] == 'u') &&
        text[i + 2] == '+') {
      uint32_t cp = 0;
      bool ok = true;
      for (size_t k = 0; ok && k < 4; ++k) {
        int d = hexDigit(text[i + 3 + k]);
        if (d < 0) ok = false;
        cp = cp * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
      }
      // Surrogate halves are no characters of their own.
      if (ok && (cp < 0xD800 || cp > 0xDFFF) && cp != 0) {
        appendUtf8(out, cp);
        i += 7;
        continue;
      }
    }
    out.push_back(text[i++]);
  }
}

DxfGroupReader::DxfGroupReader(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    throw makeError(ErrorCode::CannotOpenFile, file.string());
  }
  m_size = static_cast<uint64_t>(st.st_size);
  if (m_size > 0) {
    void* map = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) {
      ::close(fd);
      throw makeError(ErrorCode::CannotOpenFile, file.string());
    }
    ::madvise(map, m_size, MADV_SEQUENTIAL);
    m_map = map;
    m_data = static_cast<const char*>(map);
  }
  ::close(fd);
  checkBinary();
}

DxfGroupReader::DxfGroupReader(std::string_view bytes) : m_data(bytes.data()), m_size(bytes.size()) {
  checkBinary();
}

DxfGroupReader::~DxfGroupReader() {
  if (m_map) ::munmap(m_map, m_size);
}

void DxfGroupReader::checkBinary() {
  if (m_size >= kBinarySentinel.size() && std::memcmp(m_data, kBinarySentinel.data(), kBinarySentinel.size()) == 0) {
    // A binary drawing: read through the same pairs. A sentinel that is
    // cut or bent is still refused as a binary drawing that cannot be read.
    if (m_size < kBinaryHeader.size() + 2 || std::memcmp(m_data, kBinaryHeader.data(), kBinaryHeader.size()) != 0)
      throw makeError(ErrorCode::DxfBinary);
    m_binary = true;
    m_pos = kBinaryHeader.size();
    // The first pair is (0, "SECTION"): two zero bytes before the name when
    // group codes take two bytes.
    m_twoByteCodes = m_data[m_pos] == 0 && m_data[m_pos + 1] == 0;
    return;
  }
  // A byte-order mark written by some programs before the first code.
  if (m_size >= 3 && std::memcmp(m_data, "\xEF\xBB\xBF", 3) == 0) m_pos = 3;
}

// A line ends at CR LF, a lone CR or a lone LF; the last line may end at the
// end of the file.
bool DxfGroupReader::nextLine(std::string_view& line) {
  if (m_pos >= m_size) return false;
  const char* begin = m_data + m_pos;
  const char* end = m_data + m_size;
  const char* p = begin;
  while (p < end && *p != '\n' && *p != '\r') ++p;
  line = std::string_view(begin, static_cast<size_t>(p - begin));
  if (p < end && *p == '\r') {
    ++p;
    if (p < end && *p == '\n') ++p;
  } else if (p < end) {
    ++p;
  }
  m_pos = static_cast<uint64_t>(p - m_data);
  ++m_line;
  return true;
}

void DxfGroupReader::releaseConsumed() {
  if (!m_map || m_pos - m_released < kReleaseStep) return;
  const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  // Keep a page below the current pair: its views point there.
  uint64_t upTo = (m_pos / page) * page;
  upTo = upTo > page ? upTo - page : 0;
  if (upTo <= m_released) return;
  ::madvise(static_cast<char*>(m_map) + m_released, upTo - m_released, MADV_DONTNEED);
  m_released = upTo;
}

void DxfGroupReader::releaseInput() {
  if (!m_map) return;
  ::madvise(m_map, m_size, MADV_DONTNEED);
}

int DxfGroupReader::readBinaryPair() {
  // A binary drawing that is cut or holds a pair of no known type cannot be
  // read on: -2312 with the place.
  auto need = [this](uint64_t n) {
    if (m_size - m_pos < n) fail(ErrorCode::DxfBinary);
  };
  need(1);
  int code = 0;
  if (m_twoByteCodes) {
    need(2);
    code = littleEndian<int16_t>(m_data + m_pos);
    m_pos += 2;
  } else {
    code = static_cast<unsigned char>(m_data[m_pos++]);
    if (code == 255) {
      need(2);
      code = littleEndian<int16_t>(m_data + m_pos);
      m_pos += 2;
    }
  }
  m_line += 2;
  m_code = code;
  m_value = {};
  m_numeric = true;
  const char* p = m_data + m_pos;
  switch (binaryType(code)) {
    case BinaryType::String: {
      const void* nul = std::memchr(p, 0, m_size - m_pos);
      if (!nul) fail(ErrorCode::DxfBinary);
      size_t n = static_cast<size_t>(static_cast<const char*>(nul) - p);
      m_pos += n + 1;
      while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t' || p[n - 1] == '\r' || p[n - 1] == '\n')) --n;
      m_value = std::string_view(p, n);
      m_numeric = false;
      break;
    }
    case BinaryType::Double:
      need(8);
      m_number = littleEndian<double>(p);
      m_pos += 8;
      break;
    case BinaryType::Int16:
      need(2);
      m_number = littleEndian<int16_t>(p);
      m_pos += 2;
      break;
    case BinaryType::Int32:
      need(4);
      m_number = littleEndian<int32_t>(p);
      m_pos += 4;
      break;
    case BinaryType::Int64:
      need(8);
      m_number = static_cast<double>(littleEndian<int64_t>(p));
      m_pos += 8;
      break;
    case BinaryType::Bool:
      need(1);
      m_number = static_cast<unsigned char>(*p);
      m_pos += 1;
      break;
    case BinaryType::Chunk: {
      need(1);
      const uint64_t n = static_cast<unsigned char>(*p);
      need(1 + n);
      m_value = std::string_view(p + 1, n);
      m_numeric = false;
      m_pos += 1 + n;
      break;
    }
    case BinaryType::Unknown:
      fail(ErrorCode::DxfBinary);
  }
  return code;
}

int DxfGroupReader::ReadCode() {
  if (m_pushedBack) {
    m_pushedBack = false;
    return m_code;
  }
  if (m_binary) {
    readBinaryPair();
    if (m_pos - m_released >= kReleaseStep) releaseConsumed();
    return m_code;
  }
  std::string_view codeLine;
  if (!nextLine(codeLine)) fail(ErrorCode::DxfUnexpectedEnd);
  int code = 0;
  if (!parseGroupCode(codeLine, code) && !parseInt(codeLine, code)) fail(ErrorCode::DxfNumericExpected);
  std::string_view value;
  if (!nextLine(value)) fail(ErrorCode::DxfUnexpectedEnd);
  size_t n = value.size();
  while (n > 0 && (value[n - 1] == ' ' || value[n - 1] == '\t')) --n;
  m_code = code;
  m_value = value.substr(0, n);
  if (m_pos - m_released >= kReleaseStep) releaseConsumed();
  return code;
}

void DxfGroupReader::SkipToEntityStart() {
  while (ReadCode() != 0) {
  }
}

const std::string& DxfGroupReader::ValueString() {
  const std::string_view raw = m_value;
  if (isAscii(raw)) {
    if (raw.find('\\') == std::string_view::npos) {
      m_string.assign(raw);
      return m_string;
    }
    decodeDxfUnicodeEscapes(raw, m_string);
    return m_string;
  }
  std::string converted;
  if (m_utf8) {
    // Drawings of AC1021 and later are UTF-8 whatever their header says.
    converted = platform::isValidUtf8(raw) ? std::string(raw) : platform::sanitizeUtf8(raw);
  } else if (m_codePage == 0 && platform::isValidUtf8(raw)) {
    // No code page declared and the bytes form UTF-8: a program that wrote
    // UTF-8 without saying so. cp1252 text almost never forms valid UTF-8.
    converted.assign(raw);
  } else if (!platform::toUtf8(raw, m_codePage, converted) &&
             !platform::toUtf8(raw, platform::kCodePageAnsi, converted)) {
    converted = platform::sanitizeUtf8(raw);
  }
  decodeDxfUnicodeEscapes(converted, m_string);
  return m_string;
}

int DxfGroupReader::ValueInt() {
  if (m_binary && m_numeric) {
    if (!(m_number >= INT32_MIN && m_number <= INT32_MAX)) fail(ErrorCode::DxfNumericExpected);
    return static_cast<int>(m_number);
  }
  int v = 0;
  if (!parseInt(m_value, v)) fail(ErrorCode::DxfNumericExpected);
  return v;
}

double DxfGroupReader::ValueDouble() {
  if (m_binary && m_numeric) {
    if (!std::isfinite(m_number)) fail(ErrorCode::DxfNumericExpected);
    return m_number;
  }
  double v = 0;
  if (!parseDouble(m_value, v)) fail(ErrorCode::DxfNumericExpected);
  return v;
}

CError DxfGroupReader::errorAt(ErrorCode code, uint64_t line) {
  CError e = makeError(code);
  e.append(lineSuffix(line));
  return e;
}

}  // namespace vltrx
