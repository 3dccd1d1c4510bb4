#include "platform/Files.h"

#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

namespace platform = vltrx::platform;
namespace fs = std::filesystem;

TEST(Files, NamesBecomeComponentsThatStayInTheirFolder) {
  using namespace std::string_literals;
  struct Case {
    std::string name;
    std::string component;
  };
  const Case cases[] = {
      {"Plan 12", "Plan 12"},          {"../escaped", ".._escaped"}, {"/etc/passwd", "_etc_passwd"},
      {"..", "_"},                     {".", "_"},                   {"", "_"},
      {"a\\b", "a_b"},                 {"nul\0byte"s, "nul_byte"},   {"clear\x1b[2J", "clear_[2J"},
      {"del\x7f", "del_"},             {"Straße", "Straße"},         {"...", "..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::safePathComponent(c.name), c.component);
  }
}

TEST(Files, OnlyRegularFilesOpen) {
  vltrx::test::Sandbox box;
  const fs::path file = box.tmp() / "plain.txt", fifo = box.tmp() / "fifo", link = box.tmp() / "zero";
  std::ofstream(file) << "x";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  fs::create_symlink("/dev/zero", link);
  const int fd = platform::openRegularFile(file);
  EXPECT_GE(fd, 0);
  if (fd >= 0) ::close(fd);
  for (const fs::path& p : {fifo, link, box.tmp(), box.tmp() / "missing"}) {
    SCOPED_TRACE(p.string());
    EXPECT_EQ(platform::openRegularFile(p), -1);
  }
}
