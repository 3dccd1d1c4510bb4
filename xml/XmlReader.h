// The pull parser for the converter's own XML documents (native format,
// category lists): no tree, the caller asks for the next child out of a list
// of expected names, reads attributes into typed slots and skips the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace vltrx {

/// One attribute slot of XmlReader::readAttributes, parallel to a descriptor.
/// The caller presets the default; the reader writes only attributes found.
struct XmlSlot {
  char* text = nullptr;   ///< "S": the caller's buffer ...
  size_t textSize = 0;    ///< ... and its size (keeps size-1 bytes and a zero)
  int32_t integer = 0;    ///< "I"
  double real = 0.0;      ///< "R", "D"
  bool present = false;   ///< set when the attribute was in the tag

  static XmlSlot textSlot(char* buffer, size_t size) {
    XmlSlot s;
    s.text = buffer;
    s.textSize = size;
    if (size > 0) buffer[0] = 0;
    return s;
  }
  template <size_t N>
  static XmlSlot textSlot(char (&buffer)[N]) {
    return textSlot(buffer, N);
  }
  static XmlSlot integerSlot(int32_t preset) {
    XmlSlot s;
    s.integer = preset;
    return s;
  }
  static XmlSlot realSlot(double preset) {
    XmlSlot s;
    s.real = preset;
    return s;
  }
};

/// The parser state of one document. Functions return 0 or a positive value
/// on success and a negative error code (-405, -501 to -510, or the input's
/// own code) on failure; errors found by the parser fill the pending detail
/// with the line number and, where it helps, a name.
class XmlReader {
 public:
  /// Result of nextElement when the current element has ended.
  static constexpr int kEnd = 2147483647;
  /// Characters of a name that are kept (the rest is read and dropped).
  static constexpr size_t kMaxNameLength = 19;
  /// Open elements at most.
  static constexpr int kMaxDepth = 20;
  /// Bytes of the name stack (names with their terminating zeros).
  static constexpr size_t kNameStackSize = 120;
  /// Characters kept by elementText.
  static constexpr size_t kMaxElementText = 19;
  /// Descriptors per readAttributes call at most.
  static constexpr size_t kMaxDescriptors = 24;
  /// Bytes read from a file at a time.
  static constexpr size_t kReadBlockSize = 1u << 20;

  /// Reports bytes consumed so far and the total (file size, or 0 if unknown)
  /// after each block read from a file.
  using ProgressFn = std::function<void(uint64_t done, uint64_t total)>;

  XmlReader();
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  /// Reads the document from memory; data must outlive the reader's use.
  void openMemory(std::string_view data);
  /// Opens a file for reading in blocks of blockSize bytes. Returns 0, or
  /// -2101 with the path in the pending detail when it cannot be opened or
  /// is no regular file (a folder, FIFO or device).
  int openFile(const std::filesystem::path& path, ProgressFn progress = {}, size_t blockSize = kReadBlockSize);
  /// Closes the input and resets the state (line 1, tag state 1, empty stack).
  void close();

  /// First step of every document: the first character that is not white
  /// space must be "<" (else -508); it is pushed back.
  int checkDocumentStart();

  /// The next character: the pushed-back one, else the next byte; "&" starts
  /// one of the entities lt, gt, amp, apos, quot, which yields its character
  /// plus 256 so that it is never taken for markup (-510 otherwise).
  int nextChar();
  /// Pushes c back; the next nextChar returns it.
  void pushBack(int c) {
    m_pushedBack = c;
    m_hasPushBack = true;
  }
  /// The next character that is not a blank, tab, CR or LF.
  int skipBlanks();
  /// Reads a name into name (at least kMaxNameLength + 1 bytes); keeps 19
  /// characters, drops the rest and pushes back the first other character.
  /// Returns the length kept.
  int readName(char* name);
  /// After blanks, a value in double or single quotes (-501 otherwise);
  /// keeps size-1 bytes in buffer (may be null with size 0) and a zero.
  int readQuotedValue(char* buffer, size_t size);

  /// Reads the attributes of the current start tag into slots described by
  /// descriptors such as "S!name", "I?id", "R?x" (type, required/optional,
  /// name). Does nothing (returns 0) when the start tag is already done.
  int readAttributes(std::span<const std::string_view> descriptors, std::span<XmlSlot> slots);
  /// Finishes the current start tag and scans for the next child element.
  /// Returns its index in names, or kEnd when the current element has ended.
  /// Children not in names are skipped with all their content.
  int nextElement(std::span<const std::string_view> names);
  /// Text of the current element up to the next "<": at most 19 characters,
  /// trailing blanks, tabs, CR and LF removed; text needs 20 bytes.
  int elementText(char* text);
  /// Consumes the rest of the current element including its end tag.
  int skipRest();
  /// Closes every open element.
  int endDocument();

  uint32_t line() const { return m_line; }
  int depth() const { return m_depth; }
  /// 0 = inside a start tag, 1 = in element content, 2 = element closed.
  int tagState() const { return m_tagState; }
  /// Name of the innermost open element ("" at the top level).
  std::string_view currentName() const;

 private:
  int fetchByte();
  int refill();
  int entity();
  int error(int code, std::string_view detail = {});
  int endOfInputAt(int code);
  int pushName(const char* name, size_t length);
  void popName(char* name);
  int finishStartTag();
  int skipProcessingInstruction();
  int skipComment();

  // Input: [m_pos, m_end) is what is left of the current block.
  const unsigned char* m_pos = nullptr;
  const unsigned char* m_end = nullptr;
  int m_fd = -1;
  std::unique_ptr<unsigned char[]> m_block;
  size_t m_blockSize = 0;
  uint64_t m_consumed = 0;
  uint64_t m_total = 0;
  ProgressFn m_progress;
  int m_inputError = 0;

  int m_pushedBack = 0;
  bool m_hasPushBack = false;
  uint32_t m_line = 1;
  int m_tagState = 1;
  int m_depth = 0;
  size_t m_stackEnd = 0;
  char m_stack[kNameStackSize] = {};
};

}  // namespace vltrx
