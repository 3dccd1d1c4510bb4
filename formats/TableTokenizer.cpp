// Line reader and field tokenizer of the table formats.
//
// The reader pulls the file through one 4 MiB buffer with read(2) (a
// syscall per block, never per byte) and hands out lines as views into it.
// Because a quoted field never continues past a line end, a line is simply
// everything up to the next CR or LF, found with memchr; the positions of
// the next CR and the next LF are cached so that a file with LF endings is
// searched for CR once per buffer, not once per line.
//
// The tokenizer then works on the line alone. Unquoted fields and quoted
// fields without doubled quotes are views into the line; only a quoted
// field with a doubled quote (or text after its closing quote, or a tab
// inside quotes with WS) is copied, into a string kept per field index and
// reused from line to line.
#include "formats/TableTokenizer.h"

#include "core/CError.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vltrx {

namespace {

constexpr size_t kBufferBytes = 4u << 20;
constexpr size_t kHugePage = 2u << 20;
static_assert(kBufferBytes > kMaxLineBytes + 1, "a cut line and its CR must fit the buffer with room to read");

constexpr char kWsCode = 11;
constexpr char kTabCode = 9;

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Removes leading blanks and tabs (CR and LF never reach a field) and keeps
// at most kMaxFieldBytes.
std::string_view finish(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && isBlankOrTab(field[i])) ++i;
  field.remove_prefix(i);
  if (field.size() > kMaxFieldBytes) field = field.substr(0, kMaxFieldBytes);
  return field;
}

}  // namespace

// --- LineReader ----------------------------------------------------------------

LineReader::LineReader(const std::filesystem::path& file) : m_file(file) {
  // Regular files only: a FIFO or a device (/dev/zero) would never end.
  m_fd = platform::openRegularFile(file);
  struct stat st {};
  if (m_fd < 0 || ::fstat(m_fd, &st) != 0) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    throw makeError(ErrorCode::CannotOpenFile, file.string());
  }
  if (S_ISREG(st.st_mode)) {
    m_size = static_cast<uint64_t>(st.st_size);
    // The kernel reads ahead more eagerly for a file read front to back.
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  m_capacity = kBufferBytes;
  // Aligned to huge pages and marked for them: first-touch page faults are
  // expensive on virtual machines (1,024 small pages for this buffer).
  void* buffer = std::aligned_alloc(kHugePage, m_capacity);
  if (!buffer) {
    ::close(m_fd);
    m_fd = -1;
    throw makeError(ErrorCode::StorageExceeded);
  }
  ::madvise(buffer, m_capacity, MADV_HUGEPAGE);
  m_buffer.reset(static_cast<char*>(buffer));
  m_pos = m_end = m_buffer.get();
}

LineReader::LineReader(MemoryInput input) {
  const std::string_view bytes = input.bytes;
  m_pos = bytes.data();
  m_end = bytes.data() + bytes.size();
  m_size = bytes.size();
  m_eof = true;
}

LineReader::~LineReader() {
  if (m_fd >= 0) ::close(m_fd);
}

void LineReader::consume(const char* to) {
  m_consumed += static_cast<uint64_t>(to - m_pos);
  m_pos = to;
}

bool LineReader::refill() {
  if (m_eof) return false;
  char* base = m_buffer.get();
  const size_t carry = static_cast<size_t>(m_end - m_pos);
  if (carry > 0 && m_pos != base) std::memmove(base, m_pos, carry);
  m_pos = base;
  m_end = base + carry;
  m_nextCr = m_nextLf = nullptr;
  while (true) {
    ssize_t n = ::read(m_fd, base + carry, m_capacity - carry);
    if (n > 0) {
      m_end = base + carry + n;
      return true;
    }
    if (n == 0) {
      m_eof = true;
      return false;
    }
    if (errno != EINTR) throw makeError(ErrorCode::CannotOpenFile, m_file.string());
  }
}

const char* LineReader::findLineEnd() {
  const size_t n = static_cast<size_t>(m_end - m_pos);
  if (!m_nextCr || m_nextCr < m_pos) {
    const void* p = std::memchr(m_pos, '\r', n);
    m_nextCr = p ? static_cast<const char*>(p) : m_end;
  }
  if (!m_nextLf || m_nextLf < m_pos) {
    const void* p = std::memchr(m_pos, '\n', n);
    m_nextLf = p ? static_cast<const char*>(p) : m_end;
  }
  return std::min(m_nextCr, m_nextLf);
}

bool LineReader::next(std::string_view& line) {
  // The rest of a cut line: skip it, up to and including its line end.
  while (m_skipRest) {
    const char* lineEnd = findLineEnd();
    if (lineEnd == m_end) {
      consume(m_end);
      if (!refill()) m_skipRest = false;
      continue;
    }
    if (*lineEnd == '\r' && lineEnd + 1 == m_end && !m_eof) {
      // Whether an LF follows is in the next block.
      consume(lineEnd);
      refill();
      continue;
    }
    const char* after = lineEnd + 1;
    if (*lineEnd == '\r' && after < m_end && *after == '\n') ++after;
    consume(after);
    m_skipRest = false;
  }

  while (true) {
    const char* lineEnd = findLineEnd();
    const size_t length = static_cast<size_t>(lineEnd - m_pos);
    if (length > kMaxLineBytes) {
      // Too long: hand out the first kMaxLineBytes, skip the rest next time.
      line = std::string_view(m_pos, kMaxLineBytes);
      consume(m_pos + kMaxLineBytes);
      m_skipRest = true;
      ++m_cutLines;
      ++m_lineNumber;
      return true;
    }
    if (lineEnd != m_end) {
      if (*lineEnd == '\r' && lineEnd + 1 == m_end && !m_eof) {
        refill();
        continue;
      }
      line = std::string_view(m_pos, length);
      const char* after = lineEnd + 1;
      if (*lineEnd == '\r' && after < m_end && *after == '\n') ++after;
      consume(after);
      ++m_lineNumber;
      return true;
    }
    if (!m_eof) {
      refill();
      continue;
    }
    if (m_pos == m_end) return false;
    // The last line, without a line end.
    line = std::string_view(m_pos, length);
    consume(m_end);
    ++m_lineNumber;
    return true;
  }
}

// --- FieldTokenizer --------------------------------------------------------------

FieldTokenizer::FieldTokenizer(char delimiterCode)
    : m_delimiter(delimiterCode == kWsCode ? ' ' : delimiterCode == kTabCode ? '\t' : delimiterCode),
      m_ws(delimiterCode == kWsCode) {}

size_t FieldTokenizer::split(std::string_view line, std::span<std::string_view> fields) {
  const char* p = line.data();
  const char* end = line.data() + line.size();
  // Sized before any field is copied: growing it later would move the
  // strings that earlier fields of this line point into.
  if (m_scratch.size() < fields.size()) m_scratch.resize(fields.size());
  size_t count = 0;
  while (count < fields.size()) {
    p = field(p, end, count, fields[count]);
    ++count;
    if (!p) break;
  }
  for (size_t i = count; i < fields.size(); ++i) fields[i] = {};
  return count;
}

const char* FieldTokenizer::field(const char* p, const char* end, size_t index, std::string_view& out) {
  if (m_ws) {
    while (p < end && isBlankOrTab(*p)) ++p;
    if (p == end) {
      out = {};
      return nullptr;
    }
    if (*p == '"') {
      const char* begin = p + 1;
      const char* close = static_cast<const char*>(std::memchr(begin, '"', static_cast<size_t>(end - begin)));
      const char* contentEnd = close ? close : end;
      // A tab inside the quotes is stored as a blank: copy.
      if (!std::memchr(begin, '\t', static_cast<size_t>(contentEnd - begin))) {
        if (!close) {
          out = finish(std::string_view(begin, static_cast<size_t>(end - begin)));
          return nullptr;
        }
        const char* after = close + 1;
        if (after == end || isBlankOrTab(*after)) {
          out = finish(std::string_view(begin, static_cast<size_t>(close - begin)));
          return after == end ? nullptr : after + 1;
        }
      }
      return slowField(p, end, index, out);
    }
    const char* q = p;
    while (q < end && !isBlankOrTab(*q)) ++q;
    out = finish(std::string_view(p, static_cast<size_t>(q - p)));
    return q == end ? nullptr : q + 1;
  }

  if (p < end && *p == '"' && m_delimiter != '"') {
    const char* begin = p + 1;
    const char* close = static_cast<const char*>(std::memchr(begin, '"', static_cast<size_t>(end - begin)));
    if (!close) {
      // Never closed: the rest of the line, delimiters included.
      out = finish(std::string_view(begin, static_cast<size_t>(end - begin)));
      return nullptr;
    }
    const char* after = close + 1;
    if (after == end || *after == m_delimiter) {
      out = finish(std::string_view(begin, static_cast<size_t>(close - begin)));
      return after == end ? nullptr : after + 1;
    }
    return slowField(p, end, index, out);
  }
  // Fields are short: a plain loop beats a call to memchr here.
  const char* q = p;
  while (q < end && *q != m_delimiter) ++q;
  out = finish(std::string_view(p, static_cast<size_t>(q - p)));
  return q == end ? nullptr : q + 1;
}

// The tokenizer character by character: quote state 0 (outside), 1 (inside
// quotes), 2 (just after a quote inside quotes).
const char* FieldTokenizer::slowField(const char* p, const char* end, size_t index, std::string_view& out) {
  std::string& text = m_scratch[index];
  text.clear();
  int state = 0;
  bool atStart = true;
  const char* next = nullptr;
  while (p < end) {
    char c = *p++;
    if (m_ws) {
      if (c == '\t') c = ' ';
      if (c == ' ' && atStart) continue;
      if (c == ' ' && state != 1) {
        next = p;
        break;
      }
    } else if (c == m_delimiter && state != 1) {
      next = p;
      break;
    }
    if (atStart && c == '"') {
      state = 1;
    } else if (state == 1) {
      if (c == '"')
        state = 2;
      else if (text.size() < kMaxFieldBytes)
        text.push_back(c);
    } else {
      if (text.size() < kMaxFieldBytes) text.push_back(c);
      if (state == 2) state = c == '"' ? 1 : 0;
    }
    atStart = false;
  }
  out = finish(text);
  return next;
}

// --- text of a field ---------------------------------------------------------------

bool isPlainAscii(std::string_view bytes) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  // Eight bytes at a time: no high bit set and no zero byte.
  constexpr uint64_t kLow = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  while (end - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if ((w & kHigh) || ((w - kLow) & ~w & kHigh)) return false;
    p += 8;
  }
  for (; p < end; ++p)
    if (*p == 0 || *p >= 0x80) return false;
  return true;
}

void decodeField(std::string_view bytes, uint32_t codePage, std::string& out) {
  if (isPlainAscii(bytes)) {
    out.assign(bytes);
    return;
  }
  std::string withoutNul;
  if (bytes.find('\0') != std::string_view::npos) {
    withoutNul.reserve(bytes.size());
    for (char c : bytes)
      if (c != '\0') withoutNul.push_back(c);
    bytes = withoutNul;
  }
  if (!platform::toUtf8(bytes, codePage, out)) platform::toUtf8(bytes, platform::kCodePageAnsi, out);
}

}  // namespace vltrx
