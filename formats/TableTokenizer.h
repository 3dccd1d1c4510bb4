// Line reader and field tokenizer of the table formats (CSV, TXT, GSI, REB):
// lines from a file read in large blocks, split into fields that are views
// into the read buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {

/// Bytes of a line that the readers look at. A longer line is cut there and
/// the rest of it, up to its line end, is skipped unread, so a file without
/// line ends never makes the reader hold more than this.
inline constexpr size_t kMaxLineBytes = 1u << 20;
/// Bytes a field keeps; the rest of a longer field is dropped.
inline constexpr size_t kMaxFieldBytes = 64u * 1024;

/// Bytes in memory to read lines from (they must outlive the reader).
struct MemoryInput {
  std::string_view bytes;
};

/// Reads a file (or bytes in memory) line by line. A line ends at CR LF, a
/// lone CR or a lone LF; the last line may end at the end of the file.
class LineReader {
 public:
  /// Opens file for reading. Throws CError -2101 with the file name when it
  /// cannot be opened or is no regular file (a folder, FIFO or device).
  explicit LineReader(const std::filesystem::path& file);
  /// Reads the lines of bytes in memory.
  explicit LineReader(MemoryInput input);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  /// The next line without its line end; false at the end of the input (also
  /// for an empty input). The view is valid until the next call. A line
  /// longer than kMaxLineBytes gives its first kMaxLineBytes bytes. Throws
  /// CError -2101 when reading the file fails.
  bool next(std::string_view& line);

  /// Bytes of the input consumed so far (for progress).
  uint64_t position() const { return m_consumed; }
  /// Length of the input (the file length when it was opened).
  uint64_t size() const { return m_size; }
  /// Number of the line that next() returned last (1-based).
  uint64_t lineNumber() const { return m_lineNumber; }
  /// Number of lines that were longer than kMaxLineBytes.
  uint64_t cutLines() const { return m_cutLines; }

 private:
  bool refill();
  const char* findLineEnd();
  void consume(const char* to);

  int m_fd = -1;
  std::filesystem::path m_file;
  struct FreeBuffer {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, FreeBuffer> m_buffer;
  size_t m_capacity = 0;
  const char* m_pos = nullptr;  // start of the unread bytes
  const char* m_end = nullptr;  // end of the bytes in the buffer
  // Cached positions of the next CR and LF at or after m_pos (nullptr: not
  // searched yet; m_end: none in the buffer), so that a buffer without any CR
  // is searched for CR once and not once per line.
  const char* m_nextCr = nullptr;
  const char* m_nextLf = nullptr;
  bool m_eof = false;
  bool m_skipRest = false;  // the last line was cut: skip to its line end
  uint64_t m_consumed = 0;
  uint64_t m_size = 0;
  uint64_t m_lineNumber = 0;
  uint64_t m_cutLines = 0;
};

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

/// True when bytes holds only ASCII characters other than NUL (the common
/// case, which needs no code-page conversion).
bool isPlainAscii(std::string_view bytes);

/// Text of a field in UTF-8: bytes in codePage (0 = the ANSI code page; an
/// unknown code page is read as the ANSI code page) converted to UTF-8, with
/// NUL bytes dropped. Plain ASCII is copied as it is.
void decodeField(std::string_view bytes, uint32_t codePage, std::string& out);

}  // namespace vltrx
