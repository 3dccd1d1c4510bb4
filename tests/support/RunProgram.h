// Test helper: runs the built vltrx executable as a user would (stdin from /dev/null or answers typed on a terminal, stdout and stderr kept, exit status returned) and reads and writes the files around it; header-only.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vltrx::test {

/// What a run leaves: its exit status (or 1000 + the signal that ended it,
/// or 2000 when it hung and was killed) and what it printed.
struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

/// The whole content of a file; empty when it cannot be read.
inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

/// Writes text to the file, creating its folders.
inline void spit(const std::filesystem::path& p, const std::string& text) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

/// The folder "work" below root (created on first use), or a path in it.
inline std::filesystem::path workPath(const std::filesystem::path& root, const std::string& name = {}) {
  std::filesystem::create_directories(root / "work");
  return name.empty() ? root / "work" : root / "work" / name;
}

struct RunOptions {
  /// Typed on a terminal that is the program's stdin; empty: stdin is /dev/null.
  std::string answers;
  /// Variables set (or replaced) in the program's environment.
  std::map<std::string, std::string> env;
  /// The program's working folder; empty: the test's own.
  std::filesystem::path cwd;
  /// The program to run; empty: the built vltrx (VLTRX_EXE).
  std::filesystem::path program;

  RunOptions& typed(std::string text) { answers = std::move(text); return *this; }
  RunOptions& setting(std::map<std::string, std::string> vars) { env = std::move(vars); return *this; }
  RunOptions& inFolder(std::filesystem::path folder) { cwd = std::move(folder); return *this; }
};

/// A started vltrx process. stdout and stderr go to stdout.txt and
/// stderr.txt in folder; a process still running is killed on destruction.
class Process {
 public:
  Process(const std::filesystem::path& folder, std::vector<std::string> args, const RunOptions& options = {})
      : m_folder(folder) {
    const std::string program = options.program.empty() ? std::string(VLTRX_EXE) : options.program.string();
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
      std::string s = *e;
      if (!options.env.count(s.substr(0, s.find('=')))) envText.push_back(s);
    }
    for (const auto& [k, v] : options.env) envText.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : envText) envp.push_back(s.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int terminal = -1;
    if (!options.answers.empty()) {
      m_master = posix_openpt(O_RDWR | O_NOCTTY);
      if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
        terminal = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
      if (terminal >= 0) {
        if (::write(m_master, options.answers.data(), options.answers.size()) < 0) ADD_FAILURE() << "answers not typed";
        posix_spawn_file_actions_adddup2(&actions, terminal, 0);
      }
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    const std::filesystem::path out = m_folder / "stdout.txt", err = m_folder / "stderr.txt";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
    // The signals the program cleans up for arrive with their default
    // action, whatever the test runner set.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, sig);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    if (posix_spawn(&m_pid, program.c_str(), &actions, &attr, argv.data(), envp.data()) != 0) m_pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (terminal >= 0) ::close(terminal);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
    if (m_master >= 0) ::close(m_master);
  }

  pid_t pid() const { return m_pid; }
  bool running() {
    if (m_pid <= 0 || m_done) return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) finish(status);
    return !m_done;
  }

  /// Waits at most seconds; a process still running then is killed and the
  /// result says so (status 2000), so a hang fails the test instead of
  /// stopping the suite.
  Result wait(int seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (running()) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
      m_done = true;
      m_result.status = 2000;
    }
    m_pid = -1;
    m_result.out = slurp(m_folder / "stdout.txt");
    m_result.err = slurp(m_folder / "stderr.txt");
    return m_result;
  }

 private:
  void finish(int status) {
    m_done = true;
    m_result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }

  std::filesystem::path m_folder;
  pid_t m_pid = -1;
  int m_master = -1;
  bool m_done = false;
  Result m_result;
};

/// Runs vltrx to its end (see Process); stdout.txt and stderr.txt land in folder.
inline Result runProgram(const std::filesystem::path& folder, std::vector<std::string> args,
                         const RunOptions& options = {}) {
  return Process(folder, std::move(args), options).wait();
}

}  // namespace vltrx::test
