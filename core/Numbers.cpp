// Number text conversions on std::from_chars/std::to_chars: exact printf
// digits, immune to setlocale, and several times faster than stdio.
#include "core/Numbers.h"

#include "core/NumberFormat.h"

#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

namespace vltrx {
namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Skips leading white space and an optional sign, as scanf does before a
// number. Returns the index after them; negative tells the sign.
size_t skipSpaceAndSign(std::string_view s, bool& negative) {
  size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  return i;
}

// 10^0 .. 10^22: the powers of ten a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
}  // namespace

size_t parseLeadingDouble(std::string_view s, double& value, char decimal) {
  bool negative;
  size_t i = skipSpaceAndSign(s, negative);
  size_t mantissaStart = i;
  // The digits as one integer; it wraps beyond 19 digits, which are then
  // left to from_chars.
  uint64_t mantissa = 0;
  const char* const text = s.data();
  const size_t size = s.size();
  while (i < size && isDigit(text[i])) mantissa = mantissa * 10 + static_cast<unsigned>(text[i++] - '0');
  size_t digits = i - mantissaStart;
  size_t sepPos = std::string_view::npos;
  size_t fractionDigits = 0;
  if (i < size && text[i] == decimal) {
    sepPos = i;
    ++i;
    const size_t fractionStart = i;
    while (i < size && isDigit(text[i])) mantissa = mantissa * 10 + static_cast<unsigned>(text[i++] - '0');
    fractionDigits = i - fractionStart;
    digits += fractionDigits;
  }
  if (digits == 0) return 0;
  size_t end = i;
  // Most coordinates have at most 15 digits and no exponent: the integer of
  // their digits and the power of ten are both exact doubles, so their one
  // correctly rounded quotient is the nearest double, as from_chars gives.
  constexpr uint64_t kExactMantissa = uint64_t{1} << 53;
  if (digits <= 19 && mantissa <= kExactMantissa && fractionDigits < std::size(kExactPowersOfTen) &&
      !(i < s.size() && (s[i] == 'e' || s[i] == 'E'))) {
    const double v = static_cast<double>(mantissa) / kExactPowersOfTen[fractionDigits];
    value = negative ? -v : v;
    return end;
  }
  // Exponent only when followed by at least one digit.
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      end = j;
    }
  }
  // from_chars wants '.' and no '+': copy the mantissa when needed.
  std::string_view body = s.substr(mantissaStart, end - mantissaStart);
  double v = 0;
  std::from_chars_result r;
  if (sepPos != std::string_view::npos && decimal != '.') {
    char buf[512];
    if (body.size() >= sizeof buf) {
      std::string copy(body);
      copy[sepPos - mantissaStart] = '.';
      r = std::from_chars(copy.data(), copy.data() + copy.size(), v);
    } else {
      body.copy(buf, body.size());
      buf[sepPos - mantissaStart] = '.';
      r = std::from_chars(buf, buf + body.size(), v);
    }
  } else {
    r = std::from_chars(body.data(), body.data() + body.size(), v);
  }
  if (r.ec == std::errc::result_out_of_range) {
    // Too large gives infinity, too small gives 0, as strtod does: decide by
    // the sign of the decimal exponent of the first significant digit.
    long exponent = 0;
    size_t epos = body.find_first_of("eE");
    if (epos != std::string_view::npos) {
      int64_t e = 0;
      parseLeadingInt(body.substr(epos + 1), e);
      exponent = static_cast<long>(std::clamp<int64_t>(e, -100000, 100000));
    }
    std::string_view mant = body.substr(0, epos);
    size_t firstNonZero = mant.find_first_not_of("0.,");
    size_t intDigits = mant.find(decimal);
    if (intDigits == std::string_view::npos) intDigits = mant.size();
    long position = firstNonZero == std::string_view::npos ? 0
                    : firstNonZero < intDigits ? static_cast<long>(intDigits - firstNonZero)
                                               : -static_cast<long>(firstNonZero - intDigits - 1);
    v = position + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (r.ec != std::errc()) {
    return 0;
  }
  value = negative ? -v : v;
  return end;
}

size_t parseLeadingInt(std::string_view s, int64_t& value) {
  bool negative;
  size_t i = skipSpaceAndSign(s, negative);
  size_t first = i;
  uint64_t v = 0;
  bool overflow = false;
  while (i < s.size() && isDigit(s[i])) {
    unsigned d = static_cast<unsigned>(s[i] - '0');
    if (v > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - d) / 10) overflow = true;
    if (!overflow) v = v * 10 + d;
    ++i;
  }
  if (i == first) return 0;
  if (overflow) {
    value = negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  } else {
    value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  }
  return i;
}

std::string_view leadingIntText(std::string_view s) {
  bool negative;
  size_t i = skipSpaceAndSign(s, negative);
  size_t start = i;
  while (start > 0 && (s[start - 1] == '+' || s[start - 1] == '-')) --start;
  size_t end = i;
  while (end < s.size() && isDigit(s[end])) ++end;
  if (end == i) return {};
  return s.substr(start, end - start);
}

bool parseWholeDouble(std::string_view s, double& value, char decimal) {
  double v;
  size_t n = parseLeadingDouble(s, v, decimal);
  if (n == 0) return false;
  for (size_t i = n; i < s.size(); ++i)
    if (!isSpace(s[i])) return false;
  value = v;
  return true;
}

void appendFixed(std::string& out, double value, int precision, char decimal) {
  char buf[kFixedBufferBytes];
  char* end = writeFixed(buf, value, precision);
  size_t start = out.size();
  out.append(buf, end);
  if (decimal != '.') {
    for (size_t i = start; i < out.size(); ++i)
      if (out[i] == '.') out[i] = decimal;
  }
}

std::string formatFixed(double value, int precision, char decimal) {
  std::string s;
  appendFixed(s, value, precision, decimal);
  return s;
}

void appendInt(std::string& out, int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

}  // namespace vltrx
