// Line reader: the three line ends, line numbers, cut lines, and buffers that
// fit small files and grow when a file grows while it is read.
#include "core/LineReader.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;

struct Line {
  std::string text;
  uint64_t number;
  bool operator==(const Line&) const = default;
};

std::vector<Line> linesOf(LineReader& reader) {
  std::vector<Line> out;
  std::string_view line;
  while (reader.next(line)) out.push_back({std::string(line), reader.lineNumber()});
  return out;
}

fs::path writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

TEST(LineReader, LineEndsAndNumbersFromMemoryAndFile) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Line> lines;
  };
  const std::vector<Case> cases = {
      {"empty input", "", {}},
      {"one line end only", "\n", {{"", 1}}},
      {"CR LF, lone CR, lone LF", "a\r\nb\rc\nd", {{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}}},
      {"empty lines of each end", "\r\n\r\r\n\n", {{"", 1}, {"", 2}, {"", 3}, {"", 4}}},
      {"LF CR is two line ends", "a\n\rb", {{"a", 1}, {"", 2}, {"b", 3}}},
      {"lone CR at the end", "a\r", {{"a", 1}}},
      {"NUL bytes stay in the line", std::string("a\0b\nc", 5), {{std::string("a\0b", 3), 1}, {"c", 2}}},
  };
  test::Sandbox sandbox;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineReader memory(MemoryInput{c.text});
    EXPECT_EQ(linesOf(memory), c.lines);
    EXPECT_EQ(memory.position(), c.text.size());
    LineReader file(writeFile(sandbox.tmp() / "lines.txt", c.text));
    EXPECT_EQ(linesOf(file), c.lines);
    EXPECT_EQ(file.position(), c.text.size());
    EXPECT_EQ(file.size(), c.text.size());
  }
}

TEST(LineReader, LongLineInSmallFileIsCutOnce) {
  // Below the large buffer's size, so the reader sizes its buffer to the file.
  test::Sandbox sandbox;
  const std::string content = "first\r\n" + std::string(kMaxLineBytes + 5000, 'q') + "\r\nlast";
  LineReader reader(writeFile(sandbox.tmp() / "long.txt", content));
  std::vector<Line> lines = linesOf(reader);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (Line{"first", 1}));
  EXPECT_EQ(lines[1], (Line{std::string(kMaxLineBytes, 'q'), 2}));
  EXPECT_EQ(lines[2], (Line{"last", 3}));
  EXPECT_EQ(reader.cutLines(), 1u);
  EXPECT_EQ(reader.position(), content.size());
}

TEST(LineReader, FilesOfEveryBufferSizeAreReadWhole) {
  // Between 2 and 4 MiB the buffer is huge-page aligned but not a whole
  // number of huge pages (a 3 MiB CSV used to abort under ASan).
  test::Sandbox sandbox;
  for (size_t size : {size_t{100}, (size_t{2} << 20) - 3, (size_t{3} << 20) + 17, (size_t{5} << 20) + 1}) {
    SCOPED_TRACE(size);
    std::string content;
    while (content.size() + 10 <= size) content += "123456789\n";
    content.resize(size, 'x');
    LineReader reader(writeFile(sandbox.tmp() / "sized.txt", content));
    size_t lines = linesOf(reader).size();
    EXPECT_EQ(lines, size / 10 + (size % 10 ? 1 : 0));
    EXPECT_EQ(reader.position(), size);
  }
}

TEST(LineReader, FileThatGrowsWhileReadGivesWholeLines) {
  // Opened at 6 bytes (a small buffer), then grown by lines longer than that
  // buffer and a line longer than the cut: every line still comes whole or
  // cut at kMaxLineBytes, never split in two.
  test::Sandbox sandbox;
  const fs::path path = writeFile(sandbox.tmp() / "growing.txt", "start\n");
  LineReader reader(path);
  const std::string wide(300u << 10, 'w');
  const std::string huge(kMaxLineBytes + 10, 'h');
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << wide << "\r" << huge << "\nend\n";
  }
  std::vector<Line> lines = linesOf(reader);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], (Line{"start", 1}));
  EXPECT_EQ(lines[1], (Line{wide, 2}));
  EXPECT_EQ(lines[2], (Line{std::string(kMaxLineBytes, 'h'), 3}));
  EXPECT_EQ(lines[3], (Line{"end", 4}));
  EXPECT_EQ(reader.cutLines(), 1u);
}

}  // namespace
}  // namespace vltrx
