// Locale-free number reading and writing against printf's results.
#include "core/Numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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

// Short decimals take a quicker way than long ones or those with an
// exponent; every way must give the nearest double, bit for bit.
TEST(Numbers, LeadingDoubleIsCorrectlyRounded) {
  std::mt19937_64 random(7);
  const char* const fixedCases[] = {"9007199254740992.5", "9007199254740993", "0.1", "0.3", "123456789012345.678",
                                    "1.0000000000000002", "0.0000000000000000000001", "00000000000000000000000012.5",
                                    "4503599627370497.5", "-0.000", "8.589973e9", "1.7976931348623157e308"};
  std::vector<std::string> texts(std::begin(fixedCases), std::end(fixedCases));
  for (int n = 0; n < 20000; ++n) {
    std::string text = random() % 4 == 0 ? "-" : "";
    const int intDigits = static_cast<int>(random() % 18), fractionDigits = static_cast<int>(random() % 24);
    for (int i = 0; i < intDigits; ++i) text.push_back(static_cast<char>('0' + random() % 10));
    if (intDigits == 0 || fractionDigits > 0) text.push_back('.');
    for (int i = 0; i <= fractionDigits; ++i) text.push_back(static_cast<char>('0' + random() % 10));
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    double v = 0;
    ASSERT_EQ(parseLeadingDouble(text, v), text.size());
    const double expected = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << v << " != " << expected;
    std::string comma = text;
    if (const size_t dot = comma.find('.'); dot != std::string::npos) comma[dot] = ',';
    ASSERT_EQ(parseLeadingDouble(comma, v, ','), text.size());
    EXPECT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << v << " != " << expected;
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

// Exact halves (ties go to even), decimals just beside a half, and values
// of every magnitude the shortcut covers, against printf.
TEST(Numbers, FixedMatchesPrintfOnManyValues) {
  std::mt19937_64 random(11);
  std::vector<double> values = {0.5, 1.5, 2.5, 0.125, 0.375, 9999999999.99995, 9999999999.5, 1e-320, -1e-5,
                                -0.00005, 0.00005, 4.9999999999999996e-5, 123.45675, 2.675};
  for (int n = 0; n < 20000; ++n) {
    switch (n % 4) {
      case 0: values.push_back(std::ldexp(static_cast<double>(random() % (1u << 20)), -static_cast<int>(random() % 20)));
        break;
      case 1: values.push_back(static_cast<double>(static_cast<int64_t>(random() % 2000000000000) - 1000000000000) /
                               std::pow(10.0, static_cast<double>(random() % 9)));
        break;
      case 2: values.push_back(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 120) - 100));
        break;
      default: values.push_back((static_cast<double>(random() % 100000000) + 0.5) / 10000.0);
    }
  }
  for (double v : values) {
    for (int precision = 0; precision <= 6; ++precision) {
      char expected[512];
      std::snprintf(expected, sizeof expected, "%.*f", precision, v);
      ASSERT_EQ(formatFixed(v, precision), expected) << precision;
    }
  }
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
