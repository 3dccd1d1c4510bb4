// Byte sinks for every writer: a buffered file sink that never leaves a
// half-written file behind, and a string sink for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace vltrx {

/// Where a writer puts its bytes. The buffer lives in the base class so that
/// the per-byte and per-field writes of the writers stay inline; a derived
/// sink only says what happens to a full buffer.
class Sink {
 public:
  virtual ~Sink() = default;
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  /// Appends size bytes. A sink that cannot take them throws CError.
  void write(const char* data, size_t size) {
    if (size <= static_cast<size_t>(m_end - m_pos)) {
      std::memcpy(m_pos, data, size);
      m_pos += size;
    } else {
      writeSlow(data, size);
    }
  }
  void write(std::string_view text) { write(text.data(), text.size()); }

  /// Appends one byte.
  void put(char c) {
    if (m_pos == m_end) drainBuffer();
    *m_pos++ = c;
  }

  /// Hands every buffered byte to the destination.
  void flush() { drainBuffer(); }

  /// Bytes written so far (buffered ones included).
  uint64_t bytesWritten() const { return m_drained + static_cast<uint64_t>(m_pos - m_begin); }

 protected:
  /// bufferSize bytes of buffer; the derived class drains it.
  explicit Sink(size_t bufferSize);
  /// Takes size bytes from the buffer (size may be 0). Throws CError on failure.
  virtual void drain(const char* data, size_t size) = 0;

 private:
  void drainBuffer();
  void writeSlow(const char* data, size_t size);

  std::unique_ptr<char[]> m_buffer;
  char* m_begin;
  char* m_pos;
  char* m_end;
  uint64_t m_drained = 0;
};

/// Collects the bytes in a string (tests, in-memory documents).
class StringSink : public Sink {
 public:
  StringSink() : Sink(64 * 1024) {}
  /// Everything written so far.
  const std::string& str() {
    flush();
    return m_text;
  }

 protected:
  void drain(const char* data, size_t size) override { m_text.append(data, size); }

 private:
  std::string m_text;
};

/// Writes a file through a large buffer into a temporary file in the target's
/// folder (".vltrx-tmp-<pid>-<n>"); commit() syncs it to disk and renames it
/// over the target. Destroyed without commit (an error or exception on the
/// way) it removes the temporary file, and so does SIGINT, SIGTERM or SIGHUP
/// while it is open, so a target is either left as it was or replaced by a
/// complete file.
class FileSink : public Sink {
 public:
  static constexpr size_t kDefaultBufferSize = 1u << 20;

  /// Creates the temporary file; throws CError -2126 ("Could not create
  /// file") with the target path when that fails.
  explicit FileSink(const std::filesystem::path& target, size_t bufferSize = kDefaultBufferSize);
  ~FileSink() override;

  /// Flushes, closes and renames the temporary file over the target. Throws
  /// CError -2126 with the target path on failure (the temporary file is then
  /// removed). Writing after commit is an error.
  void commit();

  const std::filesystem::path& target() const { return m_target; }
  const std::filesystem::path& temporaryPath() const { return m_temp; }
  bool committed() const { return m_committed; }

 protected:
  void drain(const char* data, size_t size) override;

 private:
  [[noreturn]] void fail();
  void discard() noexcept;

  std::filesystem::path m_target;
  std::filesystem::path m_temp;
  int m_fd = -1;
  int m_signalSlot = -1;  // platform::rememberTemporaryFile
  bool m_committed = false;
};

}  // namespace vltrx
