// The driver's table of readers and writers against the format cards.
#include "app/FormatDrivers.h"

#include "framework/FormatTable.h"

#include <gtest/gtest.h>

namespace vltrx {
namespace {

TEST(FormatDrivers, OneRowPerCardInCardOrderWithinTheCardsDirections) {
  const auto cards = formatCards();
  const auto drivers = formatDrivers();
  ASSERT_EQ(drivers.size(), cards.size());
  for (size_t i = 0; i < cards.size(); ++i) {
    SCOPED_TRACE(cards[i].keyPrefix);
    EXPECT_EQ(drivers[i].type, cards[i].type);
    EXPECT_TRUE(!drivers[i].read || cards[i].import);
    EXPECT_TRUE(!drivers[i].write || cards[i].exportable);
    EXPECT_EQ(formatDriver(cards[i].type), &drivers[i]);
  }
  EXPECT_EQ(formatDriver(kFormatNone), nullptr);
  EXPECT_EQ(formatDriver(kFormatAll), nullptr);
}

}  // namespace
}  // namespace vltrx
