// Buffered sinks: the shared buffer logic and the file sink with its
// temporary-file-and-rename commit.
#include "core/Sink.h"

#include "core/CError.h"
#include "platform/Files.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vltrx {

Sink::Sink(size_t bufferSize) {
  if (bufferSize < 64) bufferSize = 64;
  m_buffer = std::make_unique<char[]>(bufferSize);
  m_begin = m_pos = m_buffer.get();
  m_end = m_begin + bufferSize;
}

void Sink::drainBuffer() {
  size_t n = static_cast<size_t>(m_pos - m_begin);
  // Reset first: a throwing drain must not leave the bytes to be drained again.
  m_pos = m_begin;
  if (n == 0) return;
  m_drained += n;
  drain(m_begin, n);
}

void Sink::writeSlow(const char* data, size_t size) {
  // Fill the rest of the buffer, drain it, and hand large blocks through directly.
  size_t room = static_cast<size_t>(m_end - m_pos);
  std::memcpy(m_pos, data, room);
  m_pos += room;
  data += room;
  size -= room;
  drainBuffer();
  size_t capacity = static_cast<size_t>(m_end - m_begin);
  if (size >= capacity) {
    m_drained += size;
    drain(data, size);
    return;
  }
  std::memcpy(m_pos, data, size);
  m_pos += size;
}

namespace {
std::atomic<unsigned> g_tempCounter{0};

// Makes a rename in folder durable. File systems that cannot sync a folder
// (EINVAL) have nothing to do; the file itself is already on disk.
void syncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
}  // namespace

FileSink::FileSink(const std::filesystem::path& target, size_t bufferSize) : Sink(bufferSize), m_target(target) {
  // A hidden sibling of the target: same folder, so the final rename never
  // crosses a file system, named ".vltrx-tmp-<pid>-<n>" so that a leftover
  // is recognisable whatever the target is called (and never too long).
  // O_EXCL with a fresh name per attempt; mode 0666 lets the umask decide
  // the permissions, as for any newly created file.
  std::filesystem::path folder = target.parent_path();
  std::string base(platform::kTemporaryFilePrefix);
  base += std::to_string(::getpid());
  base += '-';
  for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
    m_temp = folder / (base + std::to_string(g_tempCounter.fetch_add(1)));
    // SIGINT, SIGTERM or SIGHUP while writing, and Cancel in the progress
    // window, remove the file (20 MB and more for a large layout) instead
    // of leaving it beside the output for good.
    m_fd = platform::createTemporaryFile(m_temp, &m_signalSlot);
    if (m_fd < 0 && errno != EEXIST) break;
  }
  if (m_fd < 0) {
    m_temp.clear();
    throw makeError(ErrorCode::CannotCreateFile, target.string());
  }
}

FileSink::~FileSink() {
  if (!m_committed) discard();
}

void FileSink::discard() noexcept {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (!m_temp.empty()) {
    ::unlink(m_temp.c_str());
    m_temp.clear();
  }
  platform::forgetTemporaryFile(m_signalSlot);
  m_signalSlot = -1;
}

void FileSink::fail() {
  discard();
  throw makeError(ErrorCode::CannotCreateFile, m_target.string());
}

void FileSink::drain(const char* data, size_t size) {
  if (m_fd < 0) fail();
  while (size > 0) {
    ssize_t n = ::write(m_fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail();
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void FileSink::commit() {
  if (m_committed || m_fd < 0) fail();
  flush();
  // An existing target keeps its permissions.
  struct stat st;
  if (::stat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(m_fd, st.st_mode & 07777);
  // The data reach the disk before the name does, and the folder entry
  // after the rename: a power cut never leaves an empty or partial file
  // under the target's name.
  if (::fsync(m_fd) != 0 && errno != EINVAL) fail();
  int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0) fail();
  if (::rename(m_temp.c_str(), m_target.c_str()) != 0) fail();
  m_temp.clear();
  platform::forgetTemporaryFile(m_signalSlot);
  m_signalSlot = -1;
  syncFolder(m_target.parent_path());
  m_committed = true;
}

}  // namespace vltrx
