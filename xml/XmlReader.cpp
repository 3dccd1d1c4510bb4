// The pull parser: block input with one character of push-back, entities,
// the element name stack and the scan for expected child elements.
#include "xml/XmlReader.h"

#include "core/CError.h"
#include "core/Numbers.h"
#include "platform/Files.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vltrx {
namespace {

constexpr int kEntityFlag = 256;

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A-Z, a-z, 0-9, ".", "-", "_", ":" and the Latin-1 letters from 192 up
// (215 and 247 are the multiplication and division signs). Entity-produced
// characters (256 and up) never belong to a name.
bool isNameChar(int c) {
  if (c >= 'a' && c <= 'z') return true;
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= '0' && c <= '9') return true;
  if (c == '.' || c == '-' || c == '_' || c == ':') return true;
  return c >= 192 && c < 256 && c != 215 && c != 247;
}

}  // namespace

XmlReader::XmlReader() = default;

XmlReader::~XmlReader() { close(); }

void XmlReader::close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_pos = m_end = nullptr;
  m_consumed = m_total = 0;
  m_progress = nullptr;
  m_inputError = 0;
  m_pushedBack = 0;
  m_hasPushBack = false;
  m_line = 1;
  m_tagState = 1;
  m_depth = 0;
  m_stackEnd = 0;
  m_stack[0] = 0;
}

void XmlReader::openMemory(std::string_view data) {
  close();
  m_pos = reinterpret_cast<const unsigned char*>(data.data());
  m_end = m_pos + data.size();
  m_total = data.size();
}

int XmlReader::openFile(const std::filesystem::path& path, ProgressFn progress, size_t blockSize) {
  close();
  // Regular files only: a FIFO or a device (/dev/zero) would never end.
  int fd = platform::openRegularFile(path);
  struct stat st;
  if (fd >= 0 && ::fstat(fd, &st) != 0) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    setPendingDetail(ErrorCode::CannotOpenFile, 0, path.string());
    return +ErrorCode::CannotOpenFile;
  }
  m_fd = fd;
  m_total = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  m_progress = std::move(progress);
  if (blockSize == 0) blockSize = 1;
  if (!m_block || m_blockSize != blockSize) {
    m_block = std::make_unique<unsigned char[]>(blockSize);
    m_blockSize = blockSize;
  }
  return 0;
}

int XmlReader::error(int code, std::string_view detail) {
  setPendingDetail(code, m_line, detail);
  return code;
}

int XmlReader::endOfInputAt(int code) {
  // Running out of input between elements at the top level means the
  // document never held what the caller was looking for.
  if (code == +ErrorCode::UnexpectedEndOfData && m_depth == 0) return error(+ErrorCode::XmlUnknownDocumentType);
  return code;
}

int XmlReader::refill() {
  if (m_inputError != 0) return m_inputError;
  if (m_fd >= 0) {
    for (;;) {
      ssize_t n = ::read(m_fd, m_block.get(), m_blockSize);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        m_pos = m_block.get();
        m_end = m_pos + n;
        m_consumed += static_cast<uint64_t>(n);
        if (m_progress) m_progress(m_consumed, m_total);
        return 0;
      }
      break;  // end of file or read error
    }
  }
  m_inputError = +ErrorCode::UnexpectedEndOfData;
  return error(m_inputError);
}

inline int XmlReader::fetchByte() {
  if (m_pos == m_end) {
    int r = refill();
    if (r < 0) return r;
  }
  int c = *m_pos++;
  if (c == '\n') ++m_line;
  return c;
}

int XmlReader::entity() {
  // Up to 5 characters up to ";" name the entity.
  char name[6];
  size_t n = 0;
  for (;;) {
    int b = fetchByte();
    if (b < 0) return b;
    if (b == ';') break;
    name[n++] = static_cast<char>(b);
    if (n == 6) return error(+ErrorCode::XmlUnknownEntity, std::string_view(name, n));
  }
  std::string_view s(name, n);
  if (s == "lt") return '<' + kEntityFlag;
  if (s == "gt") return '>' + kEntityFlag;
  if (s == "amp") return '&' + kEntityFlag;
  if (s == "apos") return '\'' + kEntityFlag;
  if (s == "quot") return '"' + kEntityFlag;
  return error(+ErrorCode::XmlUnknownEntity, s);
}

int XmlReader::nextChar() {
  if (m_hasPushBack) {
    m_hasPushBack = false;
    return m_pushedBack;
  }
  int c = fetchByte();
  if (c == '&') return entity();
  return c;
}

int XmlReader::skipBlanks() {
  // Fast path over the buffered bytes; blanks are never entities.
  if (!m_hasPushBack) {
    const unsigned char* p = m_pos;
    const unsigned char* end = m_end;
    while (p != end && isBlank(*p)) {
      if (*p == '\n') ++m_line;
      ++p;
    }
    m_pos = p;
  }
  for (;;) {
    int c = nextChar();
    if (c < 0 || !isBlank(c)) return c;
  }
}

int XmlReader::checkDocumentStart() {
  int c = skipBlanks();
  if (c < 0) return endOfInputAt(c);
  if (c != '<') return error(+ErrorCode::XmlInvalidDocumentContents);
  pushBack(c);
  return 0;
}

int XmlReader::readName(char* name) {
  size_t n = 0;
  // Fast path over the buffered bytes: name characters are never "&" or LF.
  if (m_hasPushBack && isNameChar(m_pushedBack)) {
    m_hasPushBack = false;
    name[n++] = static_cast<char>(m_pushedBack);
  }
  if (!m_hasPushBack) {
    const unsigned char* p = m_pos;
    const unsigned char* end = m_end;
    while (p != end && isNameChar(*p)) {
      if (n < kMaxNameLength) name[n++] = static_cast<char>(*p);
      ++p;
    }
    m_pos = p;
  }
  for (;;) {
    int c = nextChar();
    if (c < 0) {
      name[n] = 0;
      return c;
    }
    if (!isNameChar(c)) {
      pushBack(c);
      break;
    }
    if (n < kMaxNameLength) name[n++] = static_cast<char>(c);
  }
  name[n] = 0;
  return static_cast<int>(n);
}

int XmlReader::readQuotedValue(char* buffer, size_t size) {
  if (size > 0) buffer[0] = 0;
  int quote = skipBlanks();
  if (quote < 0) return quote;
  if (quote != '"' && quote != '\'') return error(+ErrorCode::XmlInvalidCharacter);
  size_t n = 0;
  // Fast path over the buffered bytes up to the quote, an entity or a LF;
  // whatever stops it goes through nextChar below.
  if (!m_hasPushBack) {
    const unsigned char* p = m_pos;
    const unsigned char* end = m_end;
    while (p != end) {
      unsigned char b = *p;
      if (b == quote || b == '&' || b == '\n') break;
      if (n + 1 < size) buffer[n++] = static_cast<char>(b);
      ++p;
    }
    m_pos = p;
  }
  for (;;) {
    int c = nextChar();
    if (c < 0) {
      if (size > 0) buffer[n] = 0;
      return c;
    }
    if (c == quote) break;
    if (n + 1 < size) buffer[n++] = static_cast<char>(c & 0xFF);
  }
  if (size > 0) buffer[n] = 0;
  return static_cast<int>(n);
}

int XmlReader::readAttributes(std::span<const std::string_view> descriptors, std::span<XmlSlot> slots) {
  if (m_tagState != 0) return 0;
  size_t count = std::min({descriptors.size(), slots.size(), kMaxDescriptors});
  uint32_t seen = 0;
  size_t hint = 0;  // attributes mostly come in descriptor order
  char name[kMaxNameLength + 1];
  for (;;) {
    int c = skipBlanks();
    if (c < 0) return c;
    pushBack(c);
    int len = readName(name);
    if (len < 0) return len;
    if (len == 0) break;
    c = skipBlanks();
    if (c < 0) return c;
    if (c != '=') return error(+ErrorCode::XmlInvalidCharacter);

    std::string_view attr(name, static_cast<size_t>(len));
    size_t found = count;
    for (size_t k = 0; k < count; ++k) {
      size_t d = hint + k < count ? hint + k : hint + k - count;
      if (descriptors[d].size() >= 2 && descriptors[d].substr(2) == attr) {
        found = d;
        break;
      }
    }
    if (found == count) {
      int r = readQuotedValue(nullptr, 0);
      if (r < 0) return r;
      continue;
    }
    hint = found + 1 < count ? found + 1 : 0;
    if (seen & (1u << found)) return error(+ErrorCode::XmlDuplicateAttribute, attr);
    seen |= 1u << found;

    XmlSlot& slot = slots[found];
    char type = descriptors[found][0];
    if (type == 'S') {
      int r = readQuotedValue(slot.text, slot.textSize);
      if (r < 0) return r;
    } else {
      char number[40];
      int r = readQuotedValue(number, sizeof number);
      if (r < 0) return r;
      std::string_view text(number, static_cast<size_t>(r));
      if (type == 'I') {
        // strtol with a 32-bit long: saturates, 0 when there are no digits.
        int64_t v = 0;
        if (parseLeadingInt(text, v) == 0) v = 0;
        v = std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
        slot.integer = static_cast<int32_t>(v);
      } else {
        double v = 0.0;
        if (parseLeadingDouble(text, v) == 0) v = 0.0;
        // "1e400" reads as infinity, which no coordinate, offset or
        // observation can be, and which would be written back as "inf".
        if (!std::isfinite(v)) return error(+ErrorCode::InvalidParameterValue, attr);
        slot.real = v;
      }
    }
    slot.present = true;
  }

  int c = nextChar();
  if (c < 0) return c;
  if (c == '/') {
    char top[kMaxNameLength + 1];
    popName(top);
    m_tagState = 2;
    c = nextChar();
    if (c < 0) return c;
    if (c != '>') return error(+ErrorCode::XmlInvalidCharacter);
  } else if (c == '>') {
    m_tagState = 1;
  } else {
    return error(+ErrorCode::XmlInvalidCharacter);
  }

  for (size_t d = 0; d < count; ++d) {
    if (descriptors[d].size() >= 2 && descriptors[d][1] == '!' && !(seen & (1u << d)))
      return error(+ErrorCode::XmlMissingAttribute, descriptors[d].substr(2));
  }
  return 0;
}

int XmlReader::pushName(const char* name, size_t length) {
  if (m_depth >= kMaxDepth || m_stackEnd + length + 1 > kNameStackSize) return error(+ErrorCode::XmlTooComplex);
  std::memcpy(m_stack + m_stackEnd, name, length);
  m_stack[m_stackEnd + length] = 0;
  m_stackEnd += length + 1;
  ++m_depth;
  return 0;
}

void XmlReader::popName(char* name) {
  name[0] = 0;
  if (m_depth == 0) {
    m_stackEnd = 0;
    m_stack[0] = 0;
    return;
  }
  // The top name starts after the previous terminating zero.
  size_t start = m_stackEnd - 1;
  while (start > 0 && m_stack[start - 1] != 0) --start;
  std::memcpy(name, m_stack + start, m_stackEnd - start);
  m_stackEnd = start;
  --m_depth;
}

std::string_view XmlReader::currentName() const {
  if (m_depth == 0) return {};
  size_t start = m_stackEnd - 1;
  while (start > 0 && m_stack[start - 1] != 0) --start;
  return std::string_view(m_stack + start, m_stackEnd - 1 - start);
}

int XmlReader::finishStartTag() {
  if (m_tagState != 0) return 0;
  return readAttributes({}, {});
}

int XmlReader::skipProcessingInstruction() {
  // Raw bytes up to "?>": an ampersand in a declaration is no entity.
  int previous = 0;
  for (;;) {
    int b = fetchByte();
    if (b < 0) return b;
    if (previous == '?' && b == '>') return 0;
    previous = b;
  }
}

int XmlReader::skipComment() {
  int c = fetchByte();
  if (c < 0) return c;
  if (c != '-') return error(+ErrorCode::XmlInvalidCharacter);
  c = fetchByte();
  if (c < 0) return c;
  if (c != '-') return error(+ErrorCode::XmlInvalidCharacter);
  // Up to two (or more) dashes followed by ">"; single and double dashes
  // inside are part of the comment, and so is an ampersand.
  int dashes = 0;
  for (;;) {
    int b = fetchByte();
    if (b < 0) return b;
    if (b == '-') {
      ++dashes;
    } else if (b == '>' && dashes >= 2) {
      return 0;
    } else {
      dashes = 0;
    }
  }
}

int XmlReader::nextElement(std::span<const std::string_view> names) {
  int r = finishStartTag();
  if (r < 0) return r;
  if (m_tagState == 2) return kEnd;

  // Children of the element open at depth base are at base + 1; anything
  // deeper belongs to a child that is being skipped.
  const int base = m_depth;
  char name[kMaxNameLength + 1];
  for (;;) {
    int c;
    do {
      c = nextChar();
    } while (c >= 0 && c != '<');
    if (c < 0) return endOfInputAt(c);
    c = nextChar();
    if (c < 0) return endOfInputAt(c);

    if (c == '?') {
      r = skipProcessingInstruction();
      if (r < 0) return endOfInputAt(r);
      continue;
    }
    if (c == '!') {
      r = skipComment();
      if (r < 0) return endOfInputAt(r);
      continue;
    }
    if (c == '/') {
      int len = readName(name);
      if (len < 0) return endOfInputAt(len);
      char top[kMaxNameLength + 1];
      popName(top);
      if (len == 0 || std::strcmp(name, top) != 0) return error(+ErrorCode::XmlEndTagMismatch, name);
      c = skipBlanks();
      if (c < 0) return endOfInputAt(c);
      if (c != '>') return error(+ErrorCode::XmlInvalidCharacter);
      if (m_depth < base) {
        m_tagState = 2;
        return kEnd;
      }
      continue;
    }

    pushBack(c);
    int len = readName(name);
    if (len < 0) return endOfInputAt(len);
    if (len == 0) return error(+ErrorCode::XmlInvalidCharacter);
    r = pushName(name, static_cast<size_t>(len));
    if (r < 0) return r;
    m_tagState = 0;
    if (m_depth == base + 1) {
      std::string_view found(name, static_cast<size_t>(len));
      for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == found) return static_cast<int>(i);
    }
    // Not wanted: read past its start tag; its content and end tag are
    // consumed by the scan, which only returns at this element's level.
    r = finishStartTag();
    if (r < 0) return r;
  }
}

int XmlReader::elementText(char* text) {
  int r = finishStartTag();
  if (r < 0) return r;
  size_t n = 0;
  if (m_tagState == 1) {
    for (;;) {
      int c = nextChar();
      if (c < 0) {
        text[0] = 0;
        return c;
      }
      if (c == '<') {
        pushBack(c);
        break;
      }
      if (n < kMaxElementText) text[n++] = static_cast<char>(c & 0xFF);
    }
    while (n > 0 && isBlank(static_cast<unsigned char>(text[n - 1]))) --n;
  }
  text[n] = 0;
  return static_cast<int>(n);
}

int XmlReader::skipRest() {
  int r = nextElement({});
  if (r < 0) return r;
  m_tagState = 1;
  return 0;
}

int XmlReader::endDocument() {
  while (m_depth > 0) {
    int r = skipRest();
    if (r < 0) return r;
  }
  return 0;
}

}  // namespace vltrx
