// Field tokenizer of the table formats (CSV, TXT, GSI, REB): lines from the
// line reader split into fields that are views into the read buffer.
#pragma once

#include "core/LineReader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

/// Bytes a field keeps; the rest of a longer field is dropped.
inline constexpr size_t kMaxFieldBytes = 64u * 1024;

/// Splits lines into fields. Delimiter codes: 11 = WS (any run of blanks and
/// tabs), 9 = TAB, any other code is the delimiter character itself.
///
/// A field that begins with a double quote is quoted: the delimiter inside
/// it is kept, a doubled quote inside it gives one quote, the quotes are not
/// kept. Quotes never continue a field past the end of its line. With WS, a
/// tab counts as a blank and blanks before a field are skipped. Leading
/// blanks and tabs are removed from every field; trailing ones stay.
class FieldTokenizer {
 public:
  explicit FieldTokenizer(char delimiterCode);

  /// Splits line into at most fields.size() fields and returns how many were
  /// read: the field that the line end ends counts, even when empty (an empty
  /// line gives 1). Fields beyond the count are set empty; after the last
  /// field the rest of the line is ignored. The views point into line or
  /// into the tokenizer's own storage and are valid until the next split.
  size_t split(std::string_view line, std::span<std::string_view> fields);

  bool whiteSpace() const { return m_ws; }
  /// The delimiter character (a blank for WS).
  char delimiter() const { return m_delimiter; }

 private:
  // One field from p; sets field and returns where the next one starts
  // (nullptr when the line end ended this one).
  const char* field(const char* p, const char* end, size_t index, std::string_view& field);
  const char* slowField(const char* p, const char* end, size_t index, std::string_view& field);

  char m_delimiter;
  bool m_ws;
  std::vector<std::string> m_scratch;  // per field index, for fields that need a copy
};

/// Text of a field in UTF-8: bytes in codePage (0 = the ANSI code page; an
/// unknown code page is read as the ANSI code page) converted to UTF-8, with
/// NUL bytes dropped. A reader that decodes many fields keeps one
/// platform::TextConverter instead.
void decodeField(std::string_view bytes, uint32_t codePage, std::string& out);

}  // namespace vltrx
