// Sinks: buffering, and the file sink's all-or-nothing replacement of its target.
#include "core/Sink.h"

#include "core/CError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace vltrx;

namespace {

std::filesystem::path freshDir(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  std::filesystem::path dir = std::filesystem::path(tmp ? tmp : "/tmp") / ("sink-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

size_t entries(const std::filesystem::path& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

// Pieces of every size around the buffer size, then a byte at a time.
std::string writePattern(Sink& sink) {
  std::string expected;
  for (size_t n : {1u, 100u, 4095u, 4096u, 4097u, 20000u, 3u}) {
    std::string piece(n, static_cast<char>('a' + n % 26));
    sink.write(piece);
    expected += piece;
  }
  for (int i = 0; i < 5000; ++i) {
    sink.put(static_cast<char>('0' + i % 10));
    expected += static_cast<char>('0' + i % 10);
  }
  return expected;
}

}  // namespace

TEST(Sink, StringSinkKeepsEveryByte) {
  StringSink sink;
  std::string expected = writePattern(sink);
  EXPECT_EQ(sink.bytesWritten(), expected.size());
  EXPECT_EQ(sink.str(), expected);
}

TEST(Sink, FileSinkReplacesTargetOnlyOnCommit) {
  std::filesystem::path dir = freshDir("commit");
  std::filesystem::path target = dir / "out.xml";
  { std::ofstream(target, std::ios::binary) << "old contents"; }

  std::string expected;
  {
    FileSink sink(target, 4096);
    expected = writePattern(sink);
    EXPECT_EQ(readFile(target), "old contents");
    EXPECT_EQ(sink.temporaryPath().parent_path(), dir);
    sink.commit();
    EXPECT_TRUE(sink.committed());
  }
  EXPECT_EQ(readFile(target), expected);
  EXPECT_EQ(entries(dir), 1u);
}

TEST(Sink, FileSinkWithoutCommitLeavesNothingBehind) {
  std::filesystem::path dir = freshDir("abandon");
  std::filesystem::path target = dir / "out.xml";
  {
    FileSink sink(target, 4096);
    writePattern(sink);
  }
  EXPECT_EQ(entries(dir), 0u);

  { std::ofstream(target, std::ios::binary) << "keep me"; }
  try {
    FileSink sink(target, 4096);
    sink.write("partial");
    throw makeError(ErrorCode::XmlTooComplex);
  } catch (const CError&) {
  }
  EXPECT_EQ(readFile(target), "keep me");
  EXPECT_EQ(entries(dir), 1u);
}

TEST(Sink, FileSinkInMissingFolderFailsWithCannotCreate) {
  std::filesystem::path target = freshDir("missing") / "no" / "such" / "out.xml";
  try {
    FileSink sink(target);
    FAIL() << "no error";
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::CannotCreateFile);
  }
}
