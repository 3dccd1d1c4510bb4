// Error codes, the code table and the pending detail.
#include "core/CError.h"

#include <gtest/gtest.h>

using namespace vltrx;

TEST(CError, CodeTableMapsCodesToTextIds) {
  struct Case { int code; int textId; };
  const Case cases[] = {{-2130, 74}, {-613, 64}, {-12345, 64}, {-921, 102}, {-2102, 62}, {-2129, 112}, {-2304, 69}, {-611, 127}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(textIdForCode(c.code), c.textId);
  }
}

TEST(CError, PendingDetailIsConsumedEvenForAnotherCode) {
  setPendingDetail(-921, 7, "4000000000");
  CError e = makeError(-907);
  EXPECT_EQ(e.code(), -907);
  EXPECT_EQ(e.message().find("4000000000"), std::string::npos);
  EXPECT_FALSE(pendingDetail().set);
}

TEST(CError, PendingDetailIsCutTo119Bytes) {
  setPendingDetail(-2101, 0, std::string(300, 'a'));
  EXPECT_EQ(pendingDetail().text.size(), 119u);
  setPendingDetail(0);
  EXPECT_FALSE(pendingDetail().set);
}

TEST(CError, NamesInMessagesHaveTheirControlCharactersEscaped) {
  struct Case {
    std::string_view text;
    bool keepLineBreaks;
    std::string_view shown;
  };
  const Case cases[] = {
      {"in\x1b[2J.csv", false, "in\\x1B[2J.csv"},
      {"a\nb\tc", false, "a\\x0Ab\\x09c"},
      {"a\nb\tc", true, "a\nb\tc"},
      {"csi\xc2\x9b" "2J", false, "csi\\xC2\\x9B2J"},  // U+009B, the one-byte CSI
      {"Stra\xc3\x9f" "e \xc4\x80", false, "Stra\xc3\x9f" "e \xc4\x80"},  // letters stay
      {"del\x7f", false, "del\\x7F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(escapeControlCharacters(c.text, c.keepLineBreaks), c.shown);
  }
  EXPECT_EQ(makeError(-2101, "in\x1b[2J.csv").message().find('\x1b'), std::string::npos);
}
