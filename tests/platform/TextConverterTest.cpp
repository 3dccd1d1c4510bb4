// The readers' and writers' text conversion: the plain-ASCII path, NUL
// bytes, code pages that do not hold ASCII as itself, unknown code pages.
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace platform = vltrx::platform;
using namespace std::string_literals;

TEST(TextConverter, ReadsFileTextAsUtf8) {
  struct Case {
    const char* name;
    uint32_t codePage;
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {"plain ASCII passes", 1252, "Kerb 12", "Kerb 12"},
      {"ANSI code page", 0, "caf\xE9", "café"},
      {"Cyrillic", 1251, "\xcf\xf0\xe8", "При"},
      {"NUL dropped in ASCII", 1252, "a\0b"s, "ab"},
      {"NUL dropped before conversion", 65001, "a\0b\xFF"s, "ab\xEF\xBF\xBD"},
      {"unknown code page read as ANSI", 4242, "\xE9", "é"},
      // IBM037 (EBCDIC) does not hold ASCII as itself: even ASCII-looking
      // bytes go through the code page ("\xC1\xC2" is "AB" there).
      {"EBCDIC never passes as ASCII", 37, "\xC1\xC2", "AB"},
      {"EBCDIC ASCII bytes converted", 37, "A", "\xC2\xA0"},  // no-break space
  };
  std::string out = "stale";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::TextConverter converter(c.codePage);
    converter.toUtf8(c.bytes, out);
    EXPECT_EQ(out, c.utf8);
  }
}

TEST(TextConverter, WritesUtf8InTheCodePage) {
  std::string out;
  platform::TextConverter ansi(0);
  ansi.fromUtf8("Straße", out);
  EXPECT_EQ(out, "Stra\xdf" "e");
  ansi.fromUtf8("plain", out);
  EXPECT_EQ(out, "plain");
  ansi.fromUtf8("Ж", out);  // not in 1252
  EXPECT_EQ(out, "?");
  platform::TextConverter ebcdic(37);
  ebcdic.fromUtf8("AB", out);
  EXPECT_EQ(out, "\xC1\xC2");
}

TEST(TextConverter, PassesAsIsOnlyPlainAsciiInAsciiCodePages) {
  platform::TextConverter ansi(1252), utf16(1200);
  EXPECT_TRUE(ansi.passesAsIs("Kerb, Fence 12"));
  EXPECT_TRUE(ansi.passesAsIs(""));
  EXPECT_FALSE(ansi.passesAsIs("caf\xE9"));
  EXPECT_FALSE(ansi.passesAsIs("a\0b"s));
  EXPECT_FALSE(utf16.passesAsIs("Kerb"));
  EXPECT_EQ(platform::TextConverter(4242).codePage(), platform::kCodePageAnsi);
  // The word-at-a-time test at every position of a long text.
  for (size_t at = 0; at < 40; ++at) {
    std::string text(40, 'x');
    text[at] = '\x80';
    EXPECT_FALSE(platform::isPlainAscii(text)) << at;
    text[at] = '\0';
    EXPECT_FALSE(platform::isPlainAscii(text)) << at;
  }
}
