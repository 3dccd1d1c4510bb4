// Path components, regular-file opening and signal-time removal of
// temporary files.
#include "platform/Files.h"

#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace vltrx::platform {

std::string safePathComponent(std::string_view name) {
  std::string s;
  s.reserve(name.size());
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    s += (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) ? '_' : c;
  }
  if (s.empty() || s == "." || s == "..") s = "_";
  return s;
}

int openRegularFile(const std::filesystem::path& path) {
  // O_NONBLOCK: opening a FIFO without a writer would wait forever.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

namespace {

// The paths live in static buffers so that the signal handler reads them
// without allocating; a slot's flag is set only after its path is complete
// and cleared before the path is changed.
constexpr int kSlots = 8;
struct Slot {
  std::atomic<bool> used{false};
  std::atomic<bool> active{false};
  char path[PATH_MAX];
};
Slot g_slots[kSlots];
std::once_flag g_handlersInstalled;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
// createTemporaryFile records and creates a file under this flag, so that
// abandonTemporaryFiles (which takes it and never gives it back) sees every
// file that exists: none is created between its removal and the exit.
std::atomic_flag g_creating = ATOMIC_FLAG_INIT;
bool g_abandoned = false;  // written and read only while g_creating is held

void endRunningTool(int sig) noexcept {
  if (const pid_t child = runningChild(); child > 0) {
    ::kill(child, sig);
    int status = 0;
    while (::waitpid(child, &status, 0) == -1 && errno == EINTR) {
    }
  }
}

extern "C" void removeTemporaryFilesAndReraise(int sig) {
  // Only async-signal-safe calls: kill, waitpid, unlink, sigaction, raise.
  // A tool still running (the XSLT processor) gets the signal too and is
  // waited for, so that it cannot write a file after it was removed.
  endRunningTool(sig);
  for (Slot& slot : g_slots)
    if (slot.active.load()) ::unlink(slot.path);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  ::raise(sig);
}

void installHandlers() {
  for (int sig : kSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0) continue;
    // nohup and friends ignore a signal on purpose: keep it ignored.
    if (old.sa_handler == SIG_IGN) continue;
    struct sigaction act {};
    act.sa_handler = removeTemporaryFilesAndReraise;
    sigemptyset(&act.sa_mask);
    for (int other : kSignals) sigaddset(&act.sa_mask, other);
    act.sa_flags = SA_RESETHAND;
    ::sigaction(sig, &act, nullptr);
  }
}

}  // namespace

int rememberTemporaryFile(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (text.empty() || text.size() >= PATH_MAX) return -1;
  std::call_once(g_handlersInstalled, installHandlers);
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!g_slots[i].used.compare_exchange_strong(expected, true)) continue;
    std::memcpy(g_slots[i].path, text.c_str(), text.size() + 1);
    g_slots[i].active.store(true);
    return i;
  }
  return -1;
}

void forgetTemporaryFile(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  g_slots[slot].active.store(false);
  g_slots[slot].used.store(false);
}

int createTemporaryFile(const std::filesystem::path& path, int* slot) {
  *slot = -1;
  while (g_creating.test_and_set(std::memory_order_acquire)) {
  }
  int fd = -1;
  if (g_abandoned) {
    errno = ECANCELED;
  } else {
    // Recorded before the file exists, so that no signal finds it unknown.
    *slot = rememberTemporaryFile(path);
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  const int error = errno;
  g_creating.clear(std::memory_order_release);
  if (fd < 0) {
    forgetTemporaryFile(*slot);
    *slot = -1;
    errno = error;
  }
  return fd;
}

void abandonTemporaryFiles() noexcept {
  while (g_creating.test_and_set(std::memory_order_acquire)) {
  }
  g_abandoned = true;
  endRunningTool(SIGTERM);
  for (Slot& slot : g_slots)
    if (slot.active.load()) ::unlink(slot.path);
}

SignalGuardedFile::SignalGuardedFile(std::filesystem::path path)
    : m_path(std::move(path)), m_slot(rememberTemporaryFile(m_path)) {}

SignalGuardedFile::~SignalGuardedFile() {
  forgetTemporaryFile(m_slot);
  ::unlink(m_path.c_str());
}

}  // namespace vltrx::platform
