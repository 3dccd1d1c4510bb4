// XML output: entity escaping and printf-exact numbers through to_chars.
#include "xml/XmlWriter.h"

#include "core/NumberFormat.h"

#include <algorithm>
#include <charconv>
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

void XmlWriter::fixed(double value, int precision) {
  char buf[kFixedBufferBytes];
  char* end = writeFixed(buf, value, precision);
  m_sink.write(buf, static_cast<size_t>(end - buf));
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
