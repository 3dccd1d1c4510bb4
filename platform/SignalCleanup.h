// Files that must not outlive an interrupted run: the temporary files of a
// plug-in export (the native XML the processor reads, the processor's
// output) are removed when SIGINT, SIGTERM or SIGHUP ends the process, after
// the program being waited for (platform/Process) got the signal and ended.
#pragma once

#include <filesystem>

namespace vltrx::platform {

/// Records path for removal when SIGINT, SIGTERM or SIGHUP ends the process.
/// The handlers are installed on first use; a signal ignored at start stays
/// ignored, and a handler installed before is called after the removal.
/// Returns a slot for releaseOnSignal, or -1 when all slots are taken or the
/// path is too long (the file is then not removed on a signal).
int removeOnSignal(const std::filesystem::path& path);
/// Forgets a slot of removeOnSignal (-1 is ignored).
void releaseOnSignal(int slot);

/// Removes path at the end of the scope and, until then, on a signal.
class SignalGuardedFile {
 public:
  explicit SignalGuardedFile(std::filesystem::path path);
  ~SignalGuardedFile();
  SignalGuardedFile(const SignalGuardedFile&) = delete;
  SignalGuardedFile& operator=(const SignalGuardedFile&) = delete;
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
  int m_slot;
};

}  // namespace vltrx::platform
