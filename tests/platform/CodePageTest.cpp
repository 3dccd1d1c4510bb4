#include "platform/CodePage.h"

#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace platform = vltrx::platform;
using namespace std::string_literals;

namespace {

const std::string kFffd = "\xEF\xBF\xBD";

}  // namespace

TEST(CodePage, RoundTripsThroughCodePages) {
  struct Case {
    uint32_t codePage;
    std::string utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {1252, "Müller Straße 5 °C", "M\xfcller Stra\xdf" "e 5 \xb0" "C"},
      {1252, "€ …", "\x80 \x85"},
      {1251, "Привет, мир", "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0"},
      {850, "Größe ÄÖÜ", "Gr\x94\xe1" "e \x8e\x99\x9a"},
      {437, "Größe", "Gr\x94\xe1" "e"},
      {28605, "€", "\xa4"},
      {20127, "plain ascii", "plain ascii"},
      {932, "日本", "\x93\xfa\x96\x7b"},
      {1200, "Aé€", "A\0\xe9\0\xac\x20"s},
      {1201, "A", "\0A"s},
      {65001, "Größe 日本", "Größe 日本"},
      {37, "AB1", "\xc1\xc2\xf1"},
      {50220, "a日本b", "a\x1b$B" "F|K\\" "\x1b(Bb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + " " + c.utf8);
    auto encoded = platform::fromUtf8(c.utf8, c.codePage);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, c.bytes);
    auto decoded = platform::toUtf8(c.bytes, c.codePage);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, c.utf8);
  }
}

TEST(CodePage, AnsiCodePageIs1252UnlessTheEnvironmentNamesAnother) {
  vltrx::test::Sandbox box;
  box.set("VLTRX_ANSI_CODEPAGE", "");
  EXPECT_EQ(platform::ansiCodePage(), 1252u);
  EXPECT_EQ(platform::fromUtf8("ä", 0), "\xe4");
  box.set("VLTRX_ANSI_CODEPAGE", "1251");
  EXPECT_EQ(platform::ansiCodePage(), 1251u);
  EXPECT_EQ(platform::toUtf8("\xcf", 0), "П");
  for (const char* bad : {"abc", "12345", "1251x", "0"}) {
    SCOPED_TRACE(bad);
    box.set("VLTRX_ANSI_CODEPAGE", bad);
    EXPECT_EQ(platform::ansiCodePage(), 1252u);
  }
}

TEST(CodePage, UnknownCodePagesFail) {
  for (uint32_t cp : {1u, 42u, 12345u, 65002u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(cp);
    EXPECT_FALSE(platform::isSupportedCodePage(cp));
    EXPECT_FALSE(platform::toUtf8("abc", cp));
    EXPECT_FALSE(platform::fromUtf8("abc", cp));
    std::string out = "old";
    EXPECT_FALSE(platform::toUtf8("abc", cp, out));
    EXPECT_TRUE(out.empty());
  }
}

TEST(CodePage, BadInputIsSubstitutedNeverDroppedOrCut) {
  struct Case {
    const char* what;
    bool encode;
    uint32_t codePage;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"unmappable to 1252", true, 1252, "xЖ€y", "x?\x80y"},
      {"invalid UTF-8 to 1252", true, 1252, "a\xff" "b\xc3", "a?b?"},
      {"unmappable to 850", true, 850, "a€b", "a?b"},
      {"invalid UTF-8 to UTF-16", true, 1200, "a\xff", "a\0\xfd\xff"s},
      {"unmappable inside JIS run", true, 50220, "日€本", "\x1b$BF|\x1b(B?\x1b$BK\\\x1b(B"},
      {"invalid UTF-8 to UTF-8", true, 65001, "a\xc0\xafz", "a" + kFffd + kFffd + "z"},
      {"undefined 1252 byte", false, 1252, "a\x81z", "a" + kFffd + "z"},
      {"cut Shift-JIS at end", false, 932, "ab\x93", "ab" + kFffd},
      {"odd UTF-16 length", false, 1200, "A\0B"s, "A" + kFffd},
      {"lone surrogate in UTF-16", false, 1200, "\x00\xd8" "A\0"s, kFffd + "A"},
      {"invalid UTF-8 from UTF-8", false, 65001, "x\xe2\x82", "x" + kFffd},
      {"NUL bytes kept", false, 1252, "a\0\xe4"s, "a\0ä"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto result = c.encode ? platform::fromUtf8(c.in, c.codePage) : platform::toUtf8(c.in, c.codePage);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, c.out);
  }
  // A long text with junk in the middle keeps its tail.
  std::string text = std::string(10000, 'a') + "\xff" + std::string(10000, 'b');
  auto decoded = platform::toUtf8(text, 65001);
  EXPECT_EQ(*decoded, std::string(10000, 'a') + kFffd + std::string(10000, 'b'));
  auto encoded = platform::fromUtf8(std::string(5000, 'x') + "Ж" + std::string(5000, 'y'), 1251);
  EXPECT_EQ(*encoded, std::string(5000, 'x') + "\xc6" + std::string(5000, 'y'));
}

TEST(CodePage, SanitizeReplacesEachIllFormedSubpart) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"Größe 😀", "Größe 😀"},
      {"\xc0\xaf", kFffd + kFffd},                       // overlong "/"
      {"\xed\xa0\x80", kFffd + kFffd + kFffd},           // surrogate
      {"\xe2\x82", kFffd},                               // cut three-byte sequence
      {"\xe2\x82x", kFffd + "x"},
      {"\xf4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},  // above U+10FFFF
      {"\x80\xbf", kFffd + kFffd},                       // stray continuation bytes
      {"a\xf0\x9f\x98", "a" + kFffd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(platform::sanitizeUtf8(c.in), c.out);
    EXPECT_EQ(platform::isValidUtf8(c.in), c.in == c.out);
  }
}

TEST(CodePage, EveryKnownCodePageOpensAndAsciiFlagIsTrue) {
  std::string ascii;
  for (int c = 1; c < 128; ++c) ascii += static_cast<char>(c);
  for (uint32_t cp : platform::knownCodePages()) {
    SCOPED_TRACE(cp);
    const char* name = platform::iconvName(cp);
    ASSERT_NE(name, nullptr);
    for (bool encode : {false, true}) {
      iconv_t cd = encode ? iconv_open(name, "UTF-8") : iconv_open("UTF-8", name);
      ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
      if (platform::isAsciiCompatible(cp)) {
        // What the fast path skips must be what iconv would have done.
        std::string out(512, '\0');
        char* in = ascii.data();
        size_t inLeft = ascii.size();
        char* op = out.data();
        size_t outLeft = out.size();
        ASSERT_NE(iconv(cd, &in, &inLeft, &op, &outLeft), static_cast<size_t>(-1));
        ASSERT_NE(iconv(cd, nullptr, nullptr, &op, &outLeft), static_cast<size_t>(-1));
        out.resize(out.size() - outLeft);
        EXPECT_EQ(out, ascii);
      }
      iconv_close(cd);
    }
  }
}
