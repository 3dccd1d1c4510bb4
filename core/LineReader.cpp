// Buffered line reader.
//
// The reader pulls the file through one buffer with read(2) (a syscall per
// block, never per byte) and hands out lines as views into it. A line is
// everything up to the next CR or LF, found with memchr; the positions of
// the next CR and the next LF are cached so that a file with LF endings is
// searched for CR once per buffer, not once per line.
//
// The buffer is 4 MiB for large files and just above the file's size for
// small ones (a category file is a few hundred bytes, and there may be
// hundreds of them); a buffer that fills up without a line end grows up to
// 4 MiB, so a file that grows while it is read still gets whole lines.
#include "core/LineReader.h"

#include "core/CError.h"
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
constexpr size_t kSmallBufferBytes = 64u << 10;
constexpr size_t kHugePage = 2u << 20;
static_assert(kBufferBytes > kMaxLineBytes + 1, "a cut line and its CR must fit the buffer with room to read");

// A buffer of capacity bytes (nullptr when memory runs out).
char* allocateBuffer(size_t capacity) {
  if (capacity < kHugePage) return static_cast<char*>(std::malloc(capacity));
  // Aligned to huge pages and marked for them: first-touch page faults are
  // expensive on virtual machines (1,024 small pages for a 4 MiB buffer).
  // aligned_alloc wants a size that is a multiple of the alignment (the
  // buffer of a 3 MiB file is not; ASan aborts on it): round up.
  const size_t size = (capacity + kHugePage - 1) / kHugePage * kHugePage;
  void* buffer = std::aligned_alloc(kHugePage, size);
  if (buffer) ::madvise(buffer, size, MADV_HUGEPAGE);
  return static_cast<char*>(buffer);
}

// The buffer for a file of size bytes (0 when unknown): the whole file and
// its last line end, in steps of 64 KiB, at most 4 MiB.
size_t bufferFor(uint64_t size) {
  if (size == 0 || size >= kBufferBytes) return kBufferBytes;
  const uint64_t steps = (size + 2 + kSmallBufferBytes - 1) / kSmallBufferBytes;
  return static_cast<size_t>(std::min<uint64_t>(steps * kSmallBufferBytes, kBufferBytes));
}

}  // namespace

LineReader::LineReader(const std::filesystem::path& file) : m_file(file) {
  // Regular files only: a FIFO or a device (/dev/zero) would never end.
  m_fd = platform::openRegularFile(file);
  struct stat st {};
  if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    throw makeError(ErrorCode::CannotOpenFile, file.string());
  }
  if (S_ISREG(st.st_mode)) {
    m_size = static_cast<uint64_t>(st.st_size);
    // The kernel reads ahead more eagerly for a file read front to back.
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  m_capacity = bufferFor(m_size);
  char* buffer = allocateBuffer(m_capacity);
  if (!buffer) {
    ::close(m_fd);
    m_fd = -1;
    throw makeError(ErrorCode::StorageExceeded);
  }
  m_buffer.reset(buffer);
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
  if (carry == m_capacity) {
    // Full without a line end (only a small buffer can be): make room.
    grow();
    base = m_buffer.get();
  }
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

void LineReader::grow() {
  const size_t carry = static_cast<size_t>(m_end - m_pos);
  const size_t capacity = std::min(m_capacity * 2, kBufferBytes);
  char* buffer = allocateBuffer(capacity);
  if (!buffer) throw makeError(ErrorCode::StorageExceeded);
  std::memcpy(buffer, m_pos, carry);
  m_buffer.reset(buffer);
  m_capacity = capacity;
  m_pos = buffer;
  m_end = buffer + carry;
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

}  // namespace vltrx
