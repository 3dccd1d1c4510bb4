// Locale-free number reading and writing against printf's results.
#include "core/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace vltrx;

TEST(Numbers, LeadingDoubleLikeScanf) {
  struct Case { const char* text; char decimal; size_t consumed; double value; };
  const Case cases[] = {
      {"  12.5abc", '.', 6, 12.5}, {"-0.25", '.', 5, -0.25}, {"+3", '.', 2, 3},   {"100,5", ',', 5, 100.5},
      {"100,5", '.', 3, 100},      {"1e3x", '.', 3, 1000},   {"1e", '.', 1, 1},   {".5", '.', 2, 0.5},
      {"", '.', 0, 0},             {"abc", '.', 0, 0},       {"-", '.', 0, 0},    {"5.", '.', 2, 5},   {"1e-400", '.', 6, 0},  {"0.001e-330", '.', 10, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double v = 0;
    EXPECT_EQ(parseLeadingDouble(c.text, v, c.decimal), c.consumed);
    if (c.consumed) {
      EXPECT_DOUBLE_EQ(v, c.value);
    }
  }
}

TEST(Numbers, FixedMatchesPrintfDigits) {
  const double values[] = {0.0, -0.0, 0.5, 1.00005, 500000.123, -1234.56785, 1e15 + 0.3, 2.5e-7, 123456789.987654321};
  for (double v : values) {
    for (int precision : {0, 3, 4, 6, 10}) {
      char expected[128];
      std::snprintf(expected, sizeof expected, "%.*f", precision, v);
      SCOPED_TRACE(expected);
      EXPECT_EQ(formatFixed(v, precision), expected);
    }
  }
  EXPECT_EQ(formatFixed(100.5, 2, ','), "100,50");
}

TEST(Numbers, LeadingIntSaturates) {
  int64_t v = 0;
  EXPECT_EQ(parseLeadingInt(" 42x", v), 3u);
  EXPECT_EQ(v, 42);
  EXPECT_EQ(parseLeadingInt("99999999999999999999999", v), 23u);
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_EQ(parseLeadingInt("x1", v), 0u);
}

TEST(Numbers, OverflowGivesInfinity) {
  double v = 0;
  EXPECT_EQ(parseLeadingDouble("1e400", v), 5u);
  EXPECT_TRUE(std::isinf(v));
  EXPECT_EQ(parseLeadingDouble("-1e400", v), 6u);
  EXPECT_TRUE(std::isinf(v) && v < 0);
}
