// XML output: entity escaping and printf-exact numbers through to_chars.
#include "xml/XmlWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace vltrx {
namespace {

bool needsEscape(unsigned char c) { return c == '<' || c == '>' || c == '&' || c == '\'' || c == '"'; }

}  // namespace

void XmlWriter::raw(std::string_view text) {
  m_line += static_cast<uint32_t>(std::count(text.begin(), text.end(), '\n'));
  m_sink.write(text);
}

void XmlWriter::escaped(std::string_view text) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++m_line;
      continue;
    }
    if (!needsEscape(c)) continue;
    m_sink.write(text.data() + start, i - start);
    switch (c) {
      case '<': m_sink.write("&lt;", 4); break;
      case '>': m_sink.write("&gt;", 4); break;
      case '&': m_sink.write("&amp;", 5); break;
      case '\'': m_sink.write("&apos;", 6); break;
      default: m_sink.write("&quot;", 6); break;
    }
    start = i + 1;
  }
  m_sink.write(text.data() + start, text.size() - start);
}

void XmlWriter::attributeStart(std::string_view name) {
  m_sink.put(' ');
  m_sink.write(name);
  m_sink.write("=\"", 2);
}

void XmlWriter::integer(int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  m_sink.write(buf, static_cast<size_t>(r.ptr - buf));
}

namespace {

constexpr double kPowers[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5};

// "%.Nf" for N up to 5 and magnitudes below 1e10 without the general
// formatter: the product value * 10^N is split into its rounded result and
// the exact error (fma), and the nearest integer is taken only when the
// exact product is clearly away from a half. Returns the end of the text or
// null when the general formatter has to decide.
char* fastFixed(char* out, double value, int precision) {
  if (precision < 0 || precision > 5 || !(std::fabs(value) < 1e10)) return nullptr;
  bool negative = std::signbit(value);
  double v = negative ? -value : value;
  double scale = kPowers[precision];
  double scaled = v * scale;
  double err = std::fma(v, scale, -scaled);  // v * scale == scaled + err exactly
  double rounded = std::nearbyint(scaled);
  double d = scaled - rounded;  // exact: both below 2^52 and close together
  if (std::fabs(std::fabs(d) - 0.5) <= std::fabs(err) * 2 + 1e-9) return nullptr;
  // The exact product lies within err of scaled, on the same side of the
  // half as scaled, so it rounds to the same integer.
  uint64_t n = static_cast<uint64_t>(rounded);
  if (negative) *out++ = '-';
  uint64_t pow = static_cast<uint64_t>(scale);
  out = std::to_chars(out, out + 24, n / pow).ptr;
  if (precision > 0) {
    *out++ = '.';
    uint64_t frac = n % pow;
    for (int i = precision - 1; i >= 0; --i) {
      out[i] = static_cast<char>('0' + frac % 10);
      frac /= 10;
    }
    out += precision;
  }
  return out;
}

}  // namespace

void XmlWriter::fixed(double value, int precision) {
  {
    char buf[48];
    if (char* end = fastFixed(buf, value, precision)) {
      m_sink.write(buf, static_cast<size_t>(end - buf));
      return;
    }
  }
  // Wide enough for every double in "%.Nf" with N up to 20.
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
  if (r.ec != std::errc()) {
    m_sink.put('0');
    return;
  }
  m_sink.write(buf, static_cast<size_t>(r.ptr - buf));
}

void XmlWriter::general(double value) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
  if (r.ec != std::errc()) {
    m_sink.put('0');
    return;
  }
  m_sink.write(buf, static_cast<size_t>(r.ptr - buf));
}

void XmlWriter::attribute(std::string_view name, int64_t value) {
  attributeStart(name);
  integer(value);
  m_sink.put('"');
}

void XmlWriter::attributeFixed(std::string_view name, double value, int precision) {
  attributeStart(name);
  fixed(value, precision);
  m_sink.put('"');
}

void XmlWriter::attributeText(std::string_view name, std::string_view text) {
  attributeStart(name);
  escaped(text);
  m_sink.put('"');
}

void XmlWriter::attributeShortText(std::string_view name, std::string_view text) {
  attributeText(name, text.substr(0, std::min(text.size(), kShortTextLimit)));
}

}  // namespace vltrx
