// Field tokenizer of the table formats.
//
// A quoted field never continues past a line end, so the tokenizer works on
// the line that the line reader gives alone. Unquoted fields and quoted
// fields without doubled quotes are views into the line; only a quoted
// field with a doubled quote (or text after its closing quote, or a tab
// inside quotes with WS) is copied, into a string kept per field index and
// reused from line to line.
#include "formats/TableTokenizer.h"

#include "core/DelimiterCodes.h"
#include "platform/CodePage.h"

#include <cstring>

namespace vltrx {

namespace {

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Removes leading blanks and tabs (CR and LF never reach a field) and keeps
// at most kMaxFieldBytes.
inline std::string_view finish(std::string_view field) {
  if ((field.empty() || !isBlankOrTab(field[0])) && field.size() <= kMaxFieldBytes) return field;
  size_t i = 0;
  while (i < field.size() && isBlankOrTab(field[i])) ++i;
  field.remove_prefix(i);
  if (field.size() > kMaxFieldBytes) field = field.substr(0, kMaxFieldBytes);
  return field;
}

}  // namespace

// --- FieldTokenizer --------------------------------------------------------------

FieldTokenizer::FieldTokenizer(char delimiterCode)
    : m_delimiter(delimiterCharacter(delimiterCode)), m_ws(delimiterCode == kDelimiterWs) {}

size_t FieldTokenizer::split(std::string_view line, std::span<std::string_view> fields) {
  const char* p = line.data();
  const char* end = line.data() + line.size();
  // Sized before any field is copied: growing it later would move the
  // strings that earlier fields of this line point into.
  if (m_scratch.size() < fields.size()) m_scratch.resize(fields.size());
  size_t count = 0;
  while (count < fields.size()) {
    if (!m_ws && !(p < end && *p == '"' && m_delimiter != '"')) {
      // The common field: unquoted, up to the next delimiter.
      const char* q = p;
      while (q < end && *q != m_delimiter) ++q;
      fields[count++] = finish(std::string_view(p, static_cast<size_t>(q - p)));
      if (q == end) break;
      p = q + 1;
      continue;
    }
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

void decodeField(std::string_view bytes, uint32_t codePage, std::string& out) {
  platform::TextConverter(codePage).toUtf8(bytes, out);
}

}  // namespace vltrx
