// Signal-time removal of temporary files: static path slots that the
// handler reads without allocating, and a handler that chains to the one
// installed before it.
#include "platform/SignalCleanup.h"

#include "platform/Process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace vltrx::platform {
namespace {

// A slot's active flag is set only after its path is complete and cleared
// before the path may change.
constexpr int kSlots = 8;
struct Slot {
  std::atomic<bool> used{false};
  std::atomic<bool> active{false};
  char path[PATH_MAX];
};
Slot g_slots[kSlots];
std::once_flag g_installed;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3];

int signalIndex(int sig) {
  for (int i = 0; i < 3; ++i)
    if (kSignals[i] == sig) return i;
  return -1;
}

extern "C" void removeFilesOnSignal(int sig) {
  // Only async-signal-safe calls: kill, waitpid, unlink, sigaction, raise.
  // A tool still running (the XSLT processor) gets the signal too and is
  // waited for, so that it cannot write a file after it was removed.
  if (const pid_t child = runningChild(); child > 0) {
    ::kill(child, sig);
    int status = 0;
    while (::waitpid(child, &status, 0) == -1 && errno == EINTR) {
    }
  }
  for (Slot& slot : g_slots)
    if (slot.active.load()) ::unlink(slot.path);
  const int i = signalIndex(sig);
  if (i >= 0 && g_previous[i].sa_handler != SIG_DFL && g_previous[i].sa_handler != SIG_IGN &&
      !(g_previous[i].sa_flags & SA_SIGINFO) && g_previous[i].sa_handler) {
    // Another part of the program removes its own files: let it finish the job.
    ::sigaction(sig, &g_previous[i], nullptr);
    ::raise(sig);
    return;
  }
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  ::raise(sig);
}

void installHandlers() {
  for (int i = 0; i < 3; ++i) {
    const int sig = kSignals[i];
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0) continue;
    // nohup and friends ignore a signal on purpose: keep it ignored.
    if (old.sa_handler == SIG_IGN) continue;
    g_previous[i] = old;
    struct sigaction act {};
    act.sa_handler = removeFilesOnSignal;
    sigemptyset(&act.sa_mask);
    for (int other : kSignals) sigaddset(&act.sa_mask, other);
    act.sa_flags = SA_RESETHAND;
    ::sigaction(sig, &act, nullptr);
  }
}

}  // namespace

int removeOnSignal(const std::filesystem::path& path) {
  const std::string& text = path.native();
  if (text.empty() || text.size() >= PATH_MAX) return -1;
  std::call_once(g_installed, installHandlers);
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!g_slots[i].used.compare_exchange_strong(expected, true)) continue;
    std::memcpy(g_slots[i].path, text.c_str(), text.size() + 1);
    g_slots[i].active.store(true);
    return i;
  }
  return -1;
}

void releaseOnSignal(int slot) {
  if (slot < 0 || slot >= kSlots) return;
  g_slots[slot].active.store(false);
  g_slots[slot].used.store(false);
}

SignalGuardedFile::SignalGuardedFile(std::filesystem::path path)
    : m_path(std::move(path)), m_slot(removeOnSignal(m_path)) {}

SignalGuardedFile::~SignalGuardedFile() {
  releaseOnSignal(m_slot);
  ::unlink(m_path.c_str());
}

}  // namespace vltrx::platform
