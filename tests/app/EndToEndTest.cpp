// The built executable, run as a user would: exit status, what it prints,
// and the files it leaves. Every run gets its own sandboxed settings, data
// and temp folders; stdin is not a terminal, so every question takes the
// answer that loses nothing.
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

class EndToEnd : public ::testing::Test {
 protected:
  Result run(std::vector<std::string> args) {
    args.insert(args.begin(), VLTRX_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    fs::path outFile = box.root() / "stdout.txt", errFile = box.root() / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    Result r;
    if (posix_spawn(&pid, VLTRX_EXE, &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = slurp(outFile);
    r.err = slurp(errFile);
    return r;
  }

  fs::path work(const std::string& name) { return box.root() / "work" / name; }

  vltrx::test::Sandbox box;
};

}  // namespace

TEST_F(EndToEnd, UsageVersionAndHelp) {
  Result usage = run({});
  EXPECT_EQ(usage.status, 1);
  EXPECT_NE(usage.out.find("3.40"), std::string::npos);

  Result version = run({"-version"});
  EXPECT_EQ(version.status, 3400 & 0xFF);
  EXPECT_NE(version.out.find("3.40"), std::string::npos);

  Result help = run({"-help:csv"});
  EXPECT_EQ(help.status, 1);
  EXPECT_FALSE(help.out.empty());
  EXPECT_TRUE(help.err.empty());
}

TEST_F(EndToEnd, ErrorsPrintTheirCodeAndNeverExitZero) {
  struct Case { std::vector<std::string> args; int code; };
  const Case cases[] = {
      {{"-help:nosuch"}, -2113},
      {{"a.csv", "b.xml", "-in:nosuch"}, -2130},
      {{"a", "b", "c"}, -2118},
      {{"-swap:xxy", "a.xml", "b.xml"}, -2129},
      {{"-opt:nosuch"}, -2115},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Result r = run(c.args);
    EXPECT_EQ(r.status, c.code & 0xFF);
    EXPECT_NE(r.err.find("Error " + std::to_string(c.code) + ": "), std::string::npos) << r.err;
  }
}

TEST_F(EndToEnd, LanguageSwitchChangesTheMessages) {
  Result en = run({"-help:nosuch"});
  Result de = run({"-help:nosuch", "-lang:de"});
  EXPECT_EQ(en.status, de.status);
  EXPECT_NE(en.err, de.err);
  EXPECT_NE(de.err.find("-2113"), std::string::npos);
}

TEST_F(EndToEnd, OptionsListingAndOptionFiles) {
  Result list = run({"-opt:csv_out"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.out.find("CSV_Out_Delimiter"), std::string::npos);

  fs::path file = work("opts.trxopt");
  fs::create_directories(file.parent_path());
  Result save = run({"-saveopt:" + file.string(), "-in:xml", "-out:csv"});
  EXPECT_EQ(save.status, 0) << save.err;
  std::string text = slurp(file);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("\"XML_In_ScaleFactor\"="), std::string::npos);
  EXPECT_NE(text.find("\"CSV_Out_Delimiter\"="), std::string::npos);
  EXPECT_EQ(text.find("\"CSV_In_Delimiter\"="), std::string::npos);
  EXPECT_EQ(text.find("\"Version\""), std::string::npos);

  Result load = run({"-loadopt:" + file.string()});
  EXPECT_EQ(load.status, 0) << load.err;
  Result missing = run({"-loadopt:" + work("none.trxopt").string()});
  EXPECT_NE(missing.status, 0);
}
