// Command-line splitting with the Windows rules, and running a program with
// posix_spawnp and waitpid.
#include "platform/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace vltrx::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = line.size();
  size_t firstNonBlank = 0;
  while (firstNonBlank < n && isBlank(line[firstNonBlank])) ++firstNonBlank;
  if (firstNonBlank == n) return args;

  // The program: up to the closing quote, or up to white space; backslashes
  // and quotes have no further meaning in it.
  std::string program;
  if (line[0] == '"') {
    for (i = 1; i < n && line[i] != '"'; ++i) program += line[i];
    if (i < n) ++i;  // the closing quote
  } else {
    for (; i < n && !isBlank(line[i]); ++i) program += line[i];
  }
  args.push_back(std::move(program));

  while (i < n && isBlank(line[i])) ++i;
  if (i == n) return args;

  // The other arguments. quotes counts quote characters seen in a row the
  // way CommandLineToArgvW does: 1 = inside quotes; a third quote in a row
  // inside quotes is a literal quote.
  std::string arg;
  size_t backslashes = 0;
  int quotes = 0;
  bool open = true;  // an argument has started
  while (i < n) {
    char c = line[i];
    if (isBlank(c) && quotes == 0) {
      args.push_back(std::move(arg));
      arg.clear();
      open = false;
      while (i < n && isBlank(line[i])) ++i;
      if (i < n) open = true;
      backslashes = 0;
    } else if (c == '\\') {
      arg += c;
      ++backslashes;
      ++i;
    } else if (c == '"') {
      if (backslashes % 2 == 0) {
        // 2n backslashes: n of them stay, the quote toggles quoting.
        arg.resize(arg.size() - backslashes / 2);
        ++quotes;
      } else {
        // 2n+1 backslashes: n of them stay, then a literal quote.
        arg.resize(arg.size() - backslashes / 2 - 1);
        arg += '"';
      }
      ++i;
      backslashes = 0;
      while (i < n && line[i] == '"') {
        if (++quotes == 3) {
          arg += '"';
          quotes = 0;
        }
        ++i;
      }
      if (quotes == 2) quotes = 0;
    } else {
      arg += c;
      backslashes = 0;
      ++i;
    }
  }
  if (open) args.push_back(std::move(arg));
  return args;
}

namespace {

std::atomic<pid_t> g_runningChild{0};

bool spawnAndWait(const std::vector<std::string>& argv, const posix_spawn_file_actions_t* actions, int* exitCode,
                  std::string* error) {
  if (argv.empty() || argv[0].empty()) {
    if (error) *error = "no program given";
    return false;
  }
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& a : argv) pointers.push_back(const_cast<char*>(a.c_str()));
  pointers.push_back(nullptr);

  pid_t pid = 0;
  int rc = posix_spawnp(&pid, pointers[0], actions, nullptr, pointers.data(), environ);
  if (rc != 0) {
    if (error) *error = std::strerror(rc);
    return false;
  }
  int status = 0;
  pid_t waited;
  g_runningChild.store(pid);
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited == -1 && errno == EINTR);
  g_runningChild.store(0);
  if (waited != pid) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  int code = 0;
  if (WIFEXITED(status))
    code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    code = 128 + WTERMSIG(status);
  if (exitCode) *exitCode = code;
  return true;
}

}  // namespace

int runningChild() noexcept { return g_runningChild.load(); }

bool runProgram(const std::vector<std::string>& argv, int* exitCode, std::string* error) {
  return spawnAndWait(argv, nullptr, exitCode, error);
}

bool runProgramIn(const std::vector<std::string>& argv, const std::filesystem::path& workingFolder, int* exitCode,
                  std::string* error) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    if (error) *error = "out of memory";
    return false;
  }
  // A tool of a script must not wait for the user's terminal, nor keep the
  // converter's open files (an output being written, the settings store).
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  bool ran = spawnAndWait(argv, &actions, exitCode, error);
  posix_spawn_file_actions_destroy(&actions);
  return ran;
}

namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// An address the browser may be given: http or https with a host, and
// nothing xdg-open or the browser could take for something else.
bool isWebAddress(std::string_view url) {
  size_t rest = startsWithNoCase(url, "https://") ? 8 : startsWithNoCase(url, "http://") ? 7 : 0;
  if (rest == 0 || rest == url.size() || url[rest] == '/' || url[rest] == '?' || url[rest] == '#') return false;
  for (unsigned char c : url)
    if (c <= 0x20 || c == 0x7f) return false;
  return true;
}

}  // namespace

bool openWebPage(const std::string& url, std::string* error) {
  if (!isWebAddress(url)) {
    if (error) *error = "not an http or https address: " + url;
    return false;
  }
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    if (error) *error = "out of memory";
    return false;
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    if (error) *error = "xdg-open: " + std::string(std::strerror(rc));
    return false;
  }
  // xdg-open usually hands the page to a running browser and ends at once;
  // a failure (no browser, no desktop) shows in its exit status.
  using namespace std::chrono_literals;
  const auto until = std::chrono::steady_clock::now() + 1s;
  int status = 0;
  for (;;) {
    pid_t waited = waitpid(pid, &status, WNOHANG);
    if (waited == pid) break;
    if (waited == -1 && errno != EINTR) return true;  // collected elsewhere: nothing more to tell
    if (std::chrono::steady_clock::now() >= until) {
      // The browser runs in the foreground of xdg-open: collect it later.
      std::thread([pid] {
        int s = 0;
        while (waitpid(pid, &s, 0) == -1 && errno == EINTR) {
        }
      }).detach();
      return true;
    }
    std::this_thread::sleep_for(10ms);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (error) {
    *error = WIFEXITED(status) ? "xdg-open ended with exit status " + std::to_string(WEXITSTATUS(status))
                               : "xdg-open ended by signal " + std::to_string(WTERMSIG(status));
  }
  return false;
}

bool runCommandLine(std::string_view commandLine, int* exitCode, std::string* error) {
  return runProgram(splitCommandLine(commandLine), exitCode, error);
}

}  // namespace vltrx::platform
