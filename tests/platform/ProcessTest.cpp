#include "platform/Process.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace platform = vltrx::platform;
using Args = std::vector<std::string>;

TEST(Process, SplitsLikeCommandLineToArgvW) {
  struct Case {
    const char* line;
    Args args;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"prog", {"prog"}},
      {"prog a b\tc   ", {"prog", "a", "b", "c"}},
      {R"("C:\Program Files\vltrx.exe" -in:csv)", {R"(C:\Program Files\vltrx.exe)", "-in:csv"}},
      {R"(prog "a b" c)", {"prog", "a b", "c"}},
      {R"(prog a\\\b d"e f"g h)", {"prog", R"(a\\\b)", "de fg", "h"}},
      {R"(prog a\\\"b c d)", {"prog", R"(a\"b)", "c", "d"}},
      {R"(prog a\\\\"b c" d e)", {"prog", R"(a\\b c)", "d", "e"}},
      {R"(prog "C:\out dir\\" x)", {"prog", R"(C:\out dir\)", "x"}},
      {R"(prog "a""b")", {"prog", R"(a"b)"}},
      {R"(prog "" x "")", {"prog", "", "x", ""}},
      {R"(prog \"quoted\")", {"prog", R"("quoted")"}},
      {R"("prog \"x)", {R"(prog \)", "x"}},
      {R"("unclosed prog)", {"unclosed prog"}},
      {R"(prog "open arg)", {"prog", "open arg"}},
      {"  prog a", {"", "prog", "a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(platform::splitCommandLine(c.line), c.args);
  }
}

TEST(Process, RunsProgramsAndReportsExitCodes) {
  struct Case {
    Args argv;
    int exitCode;
  };
  const Case cases[] = {
      {{"/bin/true"}, 0},
      {{"/bin/false"}, 1},
      {{"true"}, 0},  // found through PATH
      {{"sh", "-c", "exit 7"}, 7},
      {{"sh", "-c", "kill -9 $$"}, 128 + 9},
      {{"sh", "-c", "test \"$1\" = 'a b\"c'", "sh", "a b\"c"}, 0},  // no shell in between
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv.back());
    int code = -1;
    std::string error;
    ASSERT_TRUE(platform::runProgram(c.argv, &code, &error)) << error;
    EXPECT_EQ(code, c.exitCode);
  }
  int code = -1;
  EXPECT_TRUE(platform::runCommandLine(R"(sh -c "exit 3")", &code));
  EXPECT_EQ(code, 3);
}

TEST(Process, ProgramsThatCannotStartFail) {
  for (const Args& argv : {Args{}, Args{""}, Args{"/no/such/program"}, Args{"vltrx-no-such-program"},
                           Args{"/etc/passwd"}}) {
    SCOPED_TRACE(argv.empty() ? "(empty)" : argv[0]);
    int code = 12345;
    std::string error;
    EXPECT_FALSE(platform::runProgram(argv, &code, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(code, 12345);
  }
}

TEST(Process, ScriptToolsStartInTheirFolderWithNothingInherited) {
  // A descriptor left open without close-on-exec (as a library might) must
  // not reach the tool, nor may the tool read the converter's input.
  const int fd = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 3);
  const std::string probe = "test ! -e /proc/self/fd/" + std::to_string(fd) +
                            " && test \"$(pwd)\" = /usr/share && test \"$(head -c 1 | wc -c)\" = 0";
  int code = -1;
  std::string error;
  EXPECT_TRUE(platform::runProgramIn({"sh", "-c", probe}, "/usr/share", &code, &error)) << error;
  EXPECT_EQ(code, 0);
  ::close(fd);
  // A relative program with a "/" is taken from the working folder.
  EXPECT_TRUE(platform::runProgramIn({"./true"}, "/usr/bin", &code, &error)) << error;
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(platform::runProgramIn({"true"}, "/no/such/folder", &code, &error));
}

// The browser is xdg-open from PATH, given the address as its one argument
// (no shell between), and only for http and https addresses.
TEST(Process, WebPagesOpenThroughXdgOpenOnlyForHttpAddresses) {
  vltrx::test::Sandbox box;
  const std::filesystem::path bin = box.root() / "bin", args = box.root() / "args";
  std::filesystem::create_directories(bin);
  std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > " << args.string()
                                  << "\nsleep ${FAKE_SLEEP:-0}\nexit ${FAKE_EXIT:-0}\n";
  std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
  box.set("PATH", bin);
  auto ran = [&] {
    std::ifstream in(args);
    std::stringstream s;
    s << in.rdbuf();
    std::filesystem::remove(args);
    return s.str();
  };

  std::string error;
  const std::string page = "https://u.example/d?lang=en&curver=3400;touch${IFS}x|$(id)";
  EXPECT_TRUE(platform::openWebPage(page, &error)) << error;
  EXPECT_EQ(ran(), "1|" + page + "|");
  EXPECT_TRUE(platform::openWebPage("HTTP://u.example", &error)) << error;
  EXPECT_EQ(ran(), "1|HTTP://u.example|");

  for (const char* refused : {"", "file:///etc/passwd", "ftp://u.example/d", "javascript:alert(1)", "https://",
                              "https:///d", "http://u.example/a b", "http://u.example/\n", "-http://u.example",
                              "u.example/d"}) {
    SCOPED_TRACE(refused);
    error.clear();
    EXPECT_FALSE(platform::openWebPage(refused, &error));
    EXPECT_NE(error.find("not an http or https address"), std::string::npos) << error;
    EXPECT_EQ(ran(), "");
  }

  // Ending at once with a failure is reported; a browser that keeps
  // xdg-open running does not hold the caller up.
  box.set("FAKE_EXIT", "3");
  EXPECT_FALSE(platform::openWebPage(page, &error));
  EXPECT_EQ(error, "xdg-open ended with exit status 3");
  box.set("FAKE_EXIT", "0");
  box.set("FAKE_SLEEP", "5");
  auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(platform::openWebPage(page, &error)) << error;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));

  box.set("PATH", box.root() / "empty");
  EXPECT_FALSE(platform::openWebPage(page, &error));
  EXPECT_NE(error.find("xdg-open: "), std::string::npos) << error;
}
