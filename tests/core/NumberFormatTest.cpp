// Number output: "%.Nf" digits and the padded column forms, each checked
// against snprintf.
#include "core/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vltrx {
namespace {

// The printf format of a field: "%+017.0f" and the like.
std::string printfFormat(const NumberField& f, const char* conversion, int precision = -1) {
  std::string format = "%";
  if (f.leftAlign) format += '-';
  if (f.plus) format += '+';
  if (f.zeroPad) format += '0';
  if (f.width > 0) format += std::to_string(f.width);
  if (precision >= 0) format += "." + std::to_string(precision);
  return format + conversion;
}

std::string printed(const std::string& format, double value) {
  char buf[512];
  std::snprintf(buf, sizeof buf, format.c_str(), value);
  return buf;
}

std::string printed(const std::string& format, int64_t value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format.c_str(), static_cast<long>(value));
  return buf;
}

// Decimal halves and their neighbours (where a shortcut through value * 10^N
// would round the wrong way), random values of survey magnitudes and beyond
// the shortcut's range, and the special values.
std::vector<double> testValues(int precision, std::mt19937_64& random) {
  std::uniform_real_distribution<double> any(-2e10, 2e10);
  std::uniform_int_distribution<int64_t> digits(-999999999, 999999999);
  std::vector<double> values = {0.0, -0.0, 0.00005, -0.00005, 0.000049999, 9999999999.99995, 1e10, -1e10,
                                0.125, 2.5, -2.5, 1e-300, 1e20, -1e300,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (int i = 0; i < 3000; ++i) {
    double half = (static_cast<double>(digits(random)) + 0.5) / std::pow(10.0, precision);
    for (double v : {half, std::nextafter(half, 0.0), std::nextafter(half, 1e300), -half, any(random),
                     any(random) / 1e6})
      values.push_back(v);
  }
  return values;
}

TEST(NumberFormat, WriteFixedMatchesPrintfNearRoundingHalves) {
  std::mt19937_64 random(11);
  for (int precision = 0; precision <= 7; ++precision) {
    SCOPED_TRACE(precision);
    for (double v : testValues(precision, random)) {
      char buf[kFixedBufferBytes];
      const std::string ours(buf, writeFixed(buf, v, precision));
      ASSERT_EQ(ours, printed("%." + std::to_string(precision) + "f", v)) << v;
    }
  }
}

TEST(NumberFormat, FixedColumnFormsMatchPrintf) {
  struct Form {
    NumberField field;
    int precision;
  };
  const Form forms[] = {
      {{.width = 17, .plus = true, .zeroPad = true}, 0},  // "%+017.0f"
      {{.width = 10}, 3},                                 // "%10.3f"
      {{.width = 12, .leftAlign = true}, 4},              // "%-12.4f"
      {{.width = 9, .plus = true, .zeroPad = true}, 2},   // "%+09.2f"
      {{.width = 8, .zeroPad = true}, 5},                 // narrower than most values
      {{.width = 14, .plus = true, .zeroPad = true, .leftAlign = true}, 1},
      {{.plus = true}, 4},
  };
  std::mt19937_64 random(12);
  for (const Form& form : forms) {
    const std::string format = printfFormat(form.field, "f", form.precision);
    SCOPED_TRACE(format);
    for (double v : testValues(form.precision, random)) {
      std::string ours = "|";
      appendFixed(ours, v, form.precision, form.field);
      ASSERT_EQ(ours, "|" + printed(format, v)) << v;
    }
  }
}

TEST(NumberFormat, FixedColumnWithDecimalComma) {
  std::string s;
  appendFixed(s, -2.5, 2, {.width = 8, .zeroPad = true}, ',');
  appendFixed(s, 1234.5678, 3, {.width = 10}, ',');
  EXPECT_EQ(s, "-0002,50  1234,568");
}

TEST(NumberFormat, IntegerColumnFormsMatchPrintf) {
  const NumberField fields[] = {
      {.width = 8, .zeroPad = true},                    // "%08ld"
      {.width = 16, .plus = true, .zeroPad = true},     // GSI-like words
      {.width = 6},
      {.width = 6, .leftAlign = true},
      {.width = 3, .zeroPad = true},                    // narrower than most values
      {.plus = true},
  };
  const int64_t values[] = {0, 1, -1, 42, -42, 99999999, -99999999, 123456789012, INT64_MAX, INT64_MIN};
  for (const NumberField& field : fields) {
    const std::string format = printfFormat(field, "ld");
    SCOPED_TRACE(format);
    for (int64_t v : values) {
      std::string ours;
      appendInt(ours, v, field);
      EXPECT_EQ(ours, printed(format, v)) << v;
    }
  }
}

}  // namespace
}  // namespace vltrx
