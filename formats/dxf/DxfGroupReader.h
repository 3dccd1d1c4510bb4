// The group-code/value pair reader of DXF drawings: a memory-mapped file
// read two lines at a time (ASCII) or one typed pair at a time (binary),
// with line counting, one-pair push-back and the code-page handling of
// string values.
#pragma once

#include "core/CError.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace vltrx {

class DxfGroupReader {
 public:
  /// Maps file. Throws CError -2101 with the file name when it cannot be
  /// opened (or is a folder), -2312 when it is a binary drawing whose
  /// sentinel is cut.
  explicit DxfGroupReader(const std::filesystem::path& file);
  /// Reads bytes in memory (they must outlive the reader).
  explicit DxfGroupReader(std::string_view bytes);
  ~DxfGroupReader();
  DxfGroupReader(const DxfGroupReader&) = delete;
  DxfGroupReader& operator=(const DxfGroupReader&) = delete;

  /// The next group code, or the current one again after PushBack. Throws
  /// -2301 when the input ends inside a pair, -2302 when the code line holds
  /// no number; in a binary drawing -2312 for a cut pair or a group code
  /// whose value type is unknown.
  int ReadCode();
  /// Reads pairs until one with group code 0 (which is current afterwards).
  void SkipToEntityStart();
  /// Hands the pages of a mapped file read so far back to the system; views
  /// stay valid (the pages are read again should they be used).
  void releaseInput();
  /// The next ReadCode returns the current pair again.
  void PushBack() { m_pushedBack = true; }

  int code() const { return m_code; }
  /// The value line as it stands in the file, trailing blanks cut (in a
  /// binary drawing the string value; empty for numbers).
  std::string_view rawValue() const { return m_value; }
  /// The value as UTF-8 (valid until the next call).
  const std::string& ValueString();
  /// The value read as "%d" (leading blanks, sign, digits; the rest is
  /// ignored). Throws -2302 when it holds no number.
  int ValueInt();
  /// The value read as "%lf". Throws -2302 when it holds no finite number.
  double ValueDouble();

  /// Values from now on are UTF-8 (drawings of AC1021 and later).
  void setUtf8(bool utf8) { m_utf8 = utf8; }
  /// Code page of the values of older drawings (0 = the ANSI code page).
  void setCodePage(uint32_t codePage) { m_codePage = codePage; }

  /// Line number of the value line of the current pair (1-based). A binary
  /// drawing counts two per pair, the line the pair would have in ASCII.
  uint64_t line() const { return m_line; }
  bool binary() const { return m_binary; }
  uint64_t position() const { return m_pos; }
  uint64_t size() const { return m_size; }

  /// A CError of code with " [line n]" of the current pair appended.
  CError error(ErrorCode code) const { return errorAt(code, m_line); }
  /// The same with the line given (the start of an entity).
  static CError errorAt(ErrorCode code, uint64_t line);
  [[noreturn]] void fail(ErrorCode code) const { throw error(code); }

 private:
  void checkBinary();
  bool nextLine(std::string_view& line);
  int readBinaryPair();
  void releaseConsumed();

  const char* m_data = nullptr;
  uint64_t m_size = 0;
  uint64_t m_pos = 0;
  uint64_t m_line = 0;
  void* m_map = nullptr;  // the mapping, when the reader owns one
  uint64_t m_released = 0;

  int m_code = 0;
  std::string_view m_value;
  // Binary drawings: group codes of two bytes (AC1012 and later) or one
  // byte with 255 as escape; the value of a numeric pair.
  bool m_binary = false;
  bool m_twoByteCodes = false;
  bool m_numeric = false;
  double m_number = 0;
  bool m_pushedBack = false;
  bool m_utf8 = false;
  uint32_t m_codePage = 0;
  std::string m_string;
};

/// Sets out to text with its "\U+xxxx" escapes (AutoCAD's form of characters
/// outside the drawing's code page) replaced by their UTF-8 form.
void decodeDxfUnicodeEscapes(std::string_view text, std::string& out);

}  // namespace vltrx
