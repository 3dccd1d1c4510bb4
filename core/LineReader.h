// Buffered line reader of the text formats (tables, category files, DXF
// pairs): lines from a file read in large blocks, handed out as views into
// the read buffer, counted from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>

namespace vltrx {

/// Bytes of a line that the readers look at. A longer line is cut there and
/// the rest of it, up to its line end, is skipped unread, so a file without
/// line ends never makes the reader hold more than this.
inline constexpr size_t kMaxLineBytes = 1u << 20;

/// Bytes in memory to read lines from (they must outlive the reader).
struct MemoryInput {
  std::string_view bytes;
};

/// Reads a file (or bytes in memory) line by line. A line ends at CR LF, a
/// lone CR or a lone LF; the last line may end at the end of the file.
class LineReader {
 public:
  /// Opens file for reading. Throws CError -2101 with the file name when it
  /// cannot be opened (or is a folder).
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
  void grow();
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

}  // namespace vltrx
