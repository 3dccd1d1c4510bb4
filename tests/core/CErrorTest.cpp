// Error codes, the code table and the pending detail.
#include "core/CError.h"

#include <gtest/gtest.h>

using namespace vltrx;

TEST(CError, CodeTableMapsCodesToTextIds) {
  struct Case { int code; int textId; };
  const Case cases[] = {{-2130, 74}, {-613, 64}, {-12345, 64}, {-921, 102}, {-2102, 62}, {-2129, 112}, {-2304, 69}};
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
