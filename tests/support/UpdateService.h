// Test helper: the reference update service (tools/update-service.py) as a
// child process on a free port of 127.0.0.1, a server that accepts and never
// answers, and a port nobody listens on. Header-only; the test target
// defines VLTRX_PYTHON and VLTRX_UPDATE_SERVICE.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vltrx::test {

inline std::string readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The reference service as a child process on a free port of 127.0.0.1.
class ReferenceService {
 public:
  ReferenceService(const std::filesystem::path& folder, std::vector<std::string> args) {
    std::filesystem::path portFile = folder / "port";
    m_log = folder / "service.log";
    std::filesystem::remove(portFile);
    std::vector<std::string> argv = {VLTRX_PYTHON, VLTRX_UPDATE_SERVICE, "--port", "0", "--port-file",
                                     portFile.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    // posix_spawn, not fork: the test may run other threads (Qt's).
    std::vector<char*> cargs;
    for (auto& a : argv) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&m_pid, cargs[0], &actions, nullptr, cargs.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 200 && m_pid > 0 && !std::filesystem::exists(portFile); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::ifstream(portFile) >> m_port;
  }
  ~ReferenceService() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
  }
  int port() const { return m_port; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/versions.xml"; }
  std::string httpsUrl() const { return "https://127.0.0.1:" + std::to_string(m_port) + "/versions.xml"; }
  std::string log() const { return readAll(m_log); }

 private:
  pid_t m_pid = -1;
  int m_port = 0;
  std::filesystem::path m_log;
};

// A server that accepts connections (the kernel completes the handshake
// from the backlog) and never answers.
class SilentServer {
 public:
  SilentServer() {
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(m_fd, 8);
    socklen_t len = sizeof a;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
  }
  ~SilentServer() { close(m_fd); }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/versions.xml"; }

 private:
  int m_fd = -1;
  int m_port = 0;
};

// A port nobody listens on: bound for a moment, then closed.
inline int closedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

}  // namespace vltrx::test
