// Table tokenizer and line reader shared by the table formats: field
// splitting for every delimiter, quotes, cut fields, line ends, files across
// block boundaries and overlong lines, and field decoding.
#include "formats/TableTokenizer.h"

#include "core/CError.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace vltrx {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> split(std::string_view line, char delimiter, size_t max = 9) {
  FieldTokenizer tokenizer(delimiter);
  std::vector<std::string_view> fields(max);
  size_t n = tokenizer.split(line, fields);
  return std::vector<std::string>(fields.begin(), fields.begin() + static_cast<long>(n));
}

TEST(TableTokenizer, SplitsFields) {
  struct Case {
    const char* name;
    std::string line;
    char delimiter;
    std::vector<std::string> fields;
  };
  const std::vector<Case> cases = {
      {"Semicolons", "a;b;c", ';', {"a", "b", "c"}},
      {"TrailingDelimiterGivesEmptyField", "a;b;", ';', {"a", "b", ""}},
      {"EmptyLineIsOneField", "", ';', {""}},
      {"LeadingBlanksGoTrailingStay", " ;  x ;\t y", ';', {"", "x ", "y"}},
      {"QuotedDelimiter", "1;\"a;b\";x", ';', {"1", "a;b", "x"}},
      {"DoubledQuotes", "\"say \"\"hi\"\"\";2", ';', {"say \"hi\"", "2"}},
      // Several copied fields in one line: each keeps its own storage.
      {"SeveralCopiedFields", "\"a\"\"1\";\"b\"\"2\";x;\"c\"\"3\"", ';', {"a\"1", "b\"2", "x", "c\"3"}},
      {"QuoteNeverClosedRunsToLineEnd", "\"abc;def", ';', {"abc;def"}},
      {"TextAfterClosingQuote", "\"ab\"cd;e", ';', {"abcd", "e"}},
      {"QuoteInsideUnquotedField", "ab\"c;d", ';', {"ab\"c", "d"}},
      {"QuoteAfterBlankIsNoQuote", " \"a;b\"", ';', {"\"a", "b\""}},
      {"EmptyQuotedField", "\"\";x", ';', {"", "x"}},
      {"AtMostNineFields", "1;2;3;4;5;6;7;8;9;10;11", ';', {"1", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {"Tab", "a\t\tb", '\t', {"a", "", "b"}},
      {"OtherCharacter", "a,b", ',', {"a", "b"}},
      {"WsRunsAreOneDelimiter", "  7 \t 1.5   2.5  0", 11, {"7", "1.5", "2.5", "0"}},
      {"WsTrailingBlankGivesEmptyField", "  7 \t 1.5   2.5  0 ", 11, {"7", "1.5", "2.5", "0", ""}},
      {"WsQuotedBlank", "\"a b\" c", 11, {"a b", "c"}},
      {"WsTabInQuotesIsBlank", "\"a\tb\" c", 11, {"a b", "c"}},
      {"WsEmptyQuoted", "1 \"\" x", 11, {"1", "", "x"}},
      {"WsBlankLine", "   ", 11, {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(split(c.line, c.delimiter), c.fields);
  }
}

TEST(TableTokenizer, LongFieldsAreCut) {
  std::string line = std::string(kMaxFieldBytes + 100, 'a') + ";\"" + std::string(kMaxFieldBytes + 5, 'b') +
                     "\"\"x\";z";
  auto fields = split(line, ';');
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[0].size(), kMaxFieldBytes);
  EXPECT_EQ(fields[1].size(), kMaxFieldBytes);
  EXPECT_EQ(fields[2], "z");
}

std::vector<std::string> linesOf(LineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) lines.emplace_back(line);
  return lines;
}

TEST(TableTokenizer, LineEnds) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"Mixed", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"EmptyInput", "", {}},
      {"OnlyLineEnd", "\n", {""}},
      {"CrCrIsTwoLines", "a\r\rb", {"a", "", "b"}},
      {"LfCrIsTwoLineEnds", "a\n\rb", {"a", "", "b"}},
      {"FinalCr", "a\r", {"a"}},
      {"QuotesDoNotSpanLines", "\"a\nb\"", {"\"a", "b\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineReader reader(MemoryInput{c.text});
    EXPECT_EQ(linesOf(reader), c.lines);
  }
}

class TableFileTest : public ::testing::Test {
 protected:
  fs::path file(const std::string& name, const std::string& content) {
    fs::path p = sandbox.tmp() / name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }
  test::Sandbox sandbox;
};

TEST_F(TableFileTest, CrLfAcrossBlockBoundary) {
  // The reader's buffer is 4 MiB: put a CR LF pair and a lone CR right at
  // the end of the first block, and lines of every length around it.
  const size_t block = 4u << 20;
  std::string content;
  std::vector<std::string> expected;
  while (content.size() < block - 100) {
    std::string line(content.size() % 97, 'x');
    content += line + "\n";
    expected.push_back(line);
  }
  std::string last(block - 1 - content.size(), 'y');
  content += last + "\r\nz\r";
  expected.push_back(last);
  expected.push_back("z");
  ASSERT_EQ(content[block - 1], '\r');
  LineReader reader(file("boundary.csv", content));
  EXPECT_EQ(linesOf(reader), expected);
  EXPECT_EQ(reader.position(), content.size());
}

TEST_F(TableFileTest, OverlongLineIsCutAndSkipped) {
  // 6 MiB without a line end, then a normal line, then 3 MiB up to the end.
  std::string content = std::string(6u << 20, 'q') + "\r\n1;2;3\n" + std::string(3u << 20, 'w');
  LineReader reader(file("long.csv", content));
  std::vector<std::string> lines = linesOf(reader);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(kMaxLineBytes, 'q'));
  EXPECT_EQ(lines[1], "1;2;3");
  EXPECT_EQ(lines[2].size(), kMaxLineBytes);
  EXPECT_EQ(reader.cutLines(), 2u);
}

TEST_F(TableFileTest, MissingFileFailsWithItsName) {
  try {
    LineReader reader(sandbox.tmp() / "missing.csv");
    FAIL() << "no error";
  } catch (const CError& e) {
    EXPECT_EQ(e.code(), +ErrorCode::CannotOpenFile);
    EXPECT_NE(e.message().find("missing.csv"), std::string::npos);
  }
  EXPECT_THROW(LineReader{sandbox.tmp()}, CError);  // a folder
}

TEST(TableTokenizer, DecodeField) {
  std::string out;
  decodeField("plain", 1252, out);
  EXPECT_EQ(out, "plain");
  decodeField("caf\xE9", 1252, out);
  EXPECT_EQ(out, "caf\xC3\xA9");
  decodeField(std::string_view("a\0b\xFF", 4), 65001, out);
  EXPECT_EQ(out, "ab\xEF\xBF\xBD");  // NUL dropped, invalid UTF-8 replaced
  decodeField("\xE9", 4242, out);      // unknown code page: the ANSI one
  EXPECT_EQ(out, "\xC3\xA9");
}

}  // namespace
}  // namespace vltrx
