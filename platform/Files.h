// File-system rules shared by every layer: the one rule that turns a name
// from a file into a safe path component, opening regular files only (a FIFO
// or a device would block or never end), and removing the temporary files
// of unfinished writes when the process is interrupted.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vltrx::platform {

/// A name from a file (layout, subfolder, category) as one path component
/// that stays inside its folder: "/", "\", NUL and the other control
/// characters (below 0x20 and 0x7F) become "_", and a name that is empty,
/// "." or ".." becomes "_".
std::string safePathComponent(std::string_view name);

/// Opens path for reading only when it is a regular file (after following
/// symlinks), without ever blocking on a FIFO or a device. Returns the file
/// descriptor (close-on-exec, blocking mode) or -1 with errno set (EINVAL
/// when the path names something other than a regular file).
int openRegularFile(const std::filesystem::path& path);

/// The prefix of every temporary file the converter writes beside a target:
/// ".vltrx-tmp-<pid>-<n>".
inline constexpr std::string_view kTemporaryFilePrefix = ".vltrx-tmp-";

/// Records path as a temporary file to be removed when SIGINT, SIGTERM or
/// SIGHUP ends the process (the handlers are installed on first use; a
/// signal that was ignored at start stays ignored). Returns a slot number
/// for forgetTemporaryFile, or -1 when all slots are taken or the path is
/// too long (the file is then not removed on a signal).
int rememberTemporaryFile(const std::filesystem::path& path);
/// Forgets a slot of rememberTemporaryFile (-1 is ignored).
void forgetTemporaryFile(int slot);

/// Creates path (write only, O_EXCL, close-on-exec, mode 0666 less the
/// umask) as a temporary file recorded as by rememberTemporaryFile; *slot
/// receives the slot (-1 when none was free). Returns the descriptor, or -1
/// with errno set (ECANCELED after abandonTemporaryFiles).
int createTemporaryFile(const std::filesystem::path& path, int* slot);

/// For a process that ends at once without unwinding (Cancel in a progress
/// window, then _Exit): ends the tool still running (SIGTERM, waited for),
/// removes every recorded temporary file and lets no further one be created
/// by createTemporaryFile, so that no partial file outlives the process.
void abandonTemporaryFiles() noexcept;

/// Removes path at the end of the scope and, until then, on a signal (the
/// temporary files of a plug-in export).
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
