// Starting external programs: the XSLT processor and programs named in
// import scripts, and the converter itself from the graphical interface.
// Command lines follow the Windows quoting rules so that scripts and stored
// command lines read the same on every platform.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx::platform {

/// Splits a command line into arguments the way CommandLineToArgvW does:
/// the first argument (the program) ends at the next quote when it starts
/// with one, else at white space, and keeps its backslashes; later arguments
/// are separated by spaces and tabs outside quotes, 2n backslashes before a
/// quote give n backslashes and the quote toggles quoting, 2n+1 give n
/// backslashes and a literal quote, other backslashes are literal, and a
/// doubled quote inside quotes is a literal quote. An empty or blank command
/// line gives no arguments.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

/// Starts argv[0] (searched in PATH when it holds no "/") with the arguments
/// argv, without a shell, and waits for it without time-out. Returns true
/// when the program ran; exitCode then holds its exit status, or 128 plus
/// the signal number when a signal ended it. Returns false when it could not
/// be started (empty argv, not found, not executable); error, when given,
/// receives the reason.
bool runProgram(const std::vector<std::string>& argv, int* exitCode, std::string* error = nullptr);

/// As runProgram, for programs named in scripts: the child starts in
/// workingFolder (unless it is empty), reads its standard input from
/// /dev/null and inherits no file descriptor besides standard output and
/// standard error. A relative program path with a "/" is taken from the
/// working folder.
bool runProgramIn(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder, int* exitCode,
                  std::string* error = nullptr);

/// The program that runProgram or runProgramIn is waiting for, 0 when none.
/// Async-signal-safe: the signal handler of SignalCleanup hands a signal
/// that ends the converter on to it.
int runningChild() noexcept;

/// Opens a web page in the desktop's browser with "xdg-open <url>" (found
/// in PATH, started without a shell, standard input from /dev/null and no
/// other inherited descriptor). Only http:// and https:// addresses with a
/// host and without blanks or control characters are opened. The browser
/// may keep xdg-open running: it is waited for at most about a second, then
/// left to a thread of its own that collects it when it ends. False, with
/// the reason in error, when the address is refused, xdg-open cannot be
/// started or it ends at once with a non-zero exit status.
bool openWebPage(const std::string& url, std::string* error = nullptr);

/// splitCommandLine then runProgram.
bool runCommandLine(std::string_view commandLine, int* exitCode, std::string* error = nullptr);

}  // namespace vltrx::platform
